// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "convert/VirtualVram.h"
#include "text/GlyphGroups.h"
#include "text/TextLines.h"

namespace kelvarin {

// What a line of text's surroundings and shape tell before its reading: which way up it stands and which
// script it is in. The engine's confidences do not tell these well by themselves: "50" turned 270° reads
// "OS" surely when turned over, and 尺度 reads "RE" surer than 尺度.

// Which side of the line a straight line of the drawing runs along, parallel to it and within about a cap
// height: a dimension's value stands on its dimension line. +1 beside the baseline only, -1 beside the cap
// line only, 0 on both sides or neither.
int parallelLineSide(const VirtualVram& grid, const LineFrame& frame);

// Whether a ring of ink encircles the line close around it: a balloon's circle, which holds an item's
// number (its leader may leave it).
bool inBalloon(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& line);

// Whether the glyph is the end of a line of the drawing that runs up or across: from the middle of its
// topmost, lowest, leftmost or rightmost ink, ink goes on straight outward for longer than the glyph (an
// arrowhead on its dimension line, a tick). A character alone ends at most on a line across its stroke.
bool endsALine(const VirtualVram& grid, const Glyph& glyph);

// Which of the lines, read in directions degrees, read the way the page stands. A drawing's text reads
// from below, from the right or from the left, never from the top: a line read upside down (turned more than
// 100° either way) is a mark of the drawing or a line read the wrong way round, unless more of the sure lines
// read upside down than upright (turned less than 80°), the page being scanned so; then the lines read
// upright are the odd ones.
std::vector<bool> readThePagesWay(const std::vector<double>& degrees, const std::vector<bool>& sure);

// The line's character cells along its baseline (glyphs whose extents along it overlap make one cell):
// how many and their median width in cap heights. Kanji and kana stand in square cells; Latin letters and
// digits in narrow ones.
struct CharacterCells {
    std::size_t count = 0;
    std::size_t squareCount = 0;  // cells about as wide as the cap height
    double medianWidth = 0;
    double widestWidth = 0;
    bool square() const;  // at least two cells, most of them square, none much wider than high
};
CharacterCells characterCells(const std::vector<Glyph>& glyphs, const GlyphLine& line, const LineFrame& frame);

}  // namespace kelvarin
