// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

#include "common/DisjointSets.h"
#include "text/GlyphGroups.h"

namespace kelvarin {

// The groups glyphs are joined into on their way to lines, by index into the page's glyphs.
using GlyphSets = DisjointSets<std::size_t>;

// A glyph's longer side, in dots.
double glyphSize(const Glyph& g);

// Whether two glyphs of these sizes may stand in one line: one is under smallest (dust, a dot, a sign), or
// neither is much larger than the other.
bool similarSizes(double a, double b, double smallest);

// Joins the marked glyphs that neighbour each other along rows (upright false) or columns (true).
GlyphSets joinAligned(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, double smallest);

// Joins each glyph that no neighbour joined and that lies inside the box of a line: a piece of a glyph
// above or beside the rest of it, as the upper box of 品.
void joinEnclosed(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets);

// Joins each glyph that no neighbour joined and that hangs from the baseline of a line between two of its
// glyphs, clear of both: a comma, which reaches out of the line's box. A line across has its baseline
// below; a column on either side, as it reads up or down.
void joinCommas(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets);

// Joins each glyph that no neighbour joined and that stands on the baseline just past the end of a line,
// small: a full stop or a comma ending it (TYP., FA0006,).
void joinStops(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets);

// Joins each glyph that no neighbour joined, flat, as long as a letter and lying on the baseline between
// a line's glyphs, clear of them: an underscore (BOTTOM_RIGHT), which lies below the letters' feet.
void joinUnderscores(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets);

// Joins each glyph that no neighbour joined, as high as a line and in its band, a word space or less from
// its start or end: a word of one character (the 7 of 7 1/2"), but for a narrow one (a 1, which a font sets
// in a wide cell) and a square one (a kanji or a part of one).
void joinLoneWords(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets,
                   double smallest);

// Joins the words of a line: lines of about the same height on one baseline, a word space apart.
void joinWords(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets);

}  // namespace kelvarin
