// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "convert/VirtualVram.h"
#include "text/GlyphGroups.h"
#include "text/TextLines.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// A line's reading: the text as it will be written, whether it is taken as text, and how likely it was.
struct LineResult {
    VectorText text;
    bool good = false;
    bool readInJapanese = false;  // taken as one Japanese character a square cell
    std::int64_t dropped = 0;
    double likelihood = -INFINITY;
};

// The checks made across a page's readings: which lines the page's surer lines vouch for.

// Whether a line was read surely enough to tell the sizes of the page's text: long, or a drawing's value
// (a balloon's number alone when upright and sure), or two kanji or three kana in as many square cells,
// mostly not of the stroke kana that geometry reads as.
bool tellsTextSize(const LineResult& result);

// Keeps the letters of a drawing frame's zones: a capital letter alone, upright and read fairly surely,
// with the same letter read alone across the page at its height (the frame's left and right margins) or
// over or under it (the top and bottom ones). A lone letter otherwise needs a very sure reading to be told
// from a mark of the drawing (a cross reads as X, a corner as L); marks do not come in such pairs.
void keepZoneLetters(const VirtualVram& grid, std::vector<LineResult>& results);

// Keeps the lines read less surely only when they are about as high as a line read surely: a drawing's
// text comes in a few sizes, and the symbols and hatches the engine reads as text are of other sizes or
// on pages without any text.
void keepTextOfThePagesSizes(std::vector<LineResult>& results);

// Keeps a line with large letters (see takeLargeLetters) only when read fairly surely in Latin letters and
// digits: a title or a part number. Symbols as large side by side (a relay's contacts, arrows) read as kana,
// kanji or unsurely.
void keepLargeLetteringInLatin(const std::vector<Glyph>& glyphs, const std::vector<GlyphLine>& lines,
                               std::vector<LineResult>& results);

// Keeps the lines read the way the page stands (see readThePagesWay), the sure lines telling it.
void keepTextOfThePagesDirection(std::vector<LineResult>& results);

}  // namespace kelvarin
