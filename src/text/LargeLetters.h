// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "text/GlyphGroups.h"

namespace kelvarin {

// Takes into glyphs the strokes of large lettering set aside as lines of the drawing: in a title or a part
// number a few millimetres high, the stems of I, T, R and N are as long as a short line. Such a stroke is a
// letter only beside a glyph of its height, across or up, as in a line of text; one taken in may stand
// beside the next (TITLE). Large lettering stands at least least dots high. Both lists are in dots; taken
// candidates move from candidates to glyphs.
void takeLargeLetters(std::vector<Glyph>& candidates, std::vector<Glyph>& glyphs, double least);

}  // namespace kelvarin
