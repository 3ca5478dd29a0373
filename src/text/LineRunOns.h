// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "convert/VirtualVram.h"
#include "text/GlyphGroups.h"
#include "text/TextLines.h"

namespace kelvarin {

// Takes out of each line the glyphs at either end, past a word space, that a line of the drawing set aside
// (a long run across or up) runs through the middle of and on past: the pieces a dimension line leaves
// where it starts beside the value it stops short of (its noise, a centre line's dash crossing it), read
// as "1.750 上 -ー" for "1.750". Only where that line does not run through the rest of the text as well: a
// label struck through keeps its words. Those glyphs stay geometry.
// grid: the line cells; stripped: the same without the long runs.
void dropRunOnEnds(const VirtualVram& grid, const VirtualVram& stripped, const std::vector<Glyph>& glyphs,
                   std::vector<GlyphLine>& lines);

}  // namespace kelvarin
