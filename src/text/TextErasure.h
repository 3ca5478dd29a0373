// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "convert/Despeckle.h"
#include "text/GlyphGroups.h"

namespace kelvarin {

// Takes the ink of a glyph of a line of text height dots high out of the geometry, but for the line of the
// drawing it is joined to, if any (a digit touching its dimension line: a straight stroke of the glyph much
// longer than the text is high), and a dot either side of that line's band.
void clearGlyph(const Glyph& glyph, double height, CleanedGrid& geometry);

}  // namespace kelvarin
