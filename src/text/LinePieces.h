// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text/GlyphGroups.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Whether the glyph is a piece of a longer line of the drawing, cut from it where it crossed a long line
// across or up that was set aside: at a place where its ink meets such a line, its stroke goes on straight
// past that line for at least reach dots. Lines at other angles crossing a sheet's frames, tables and
// boxes leave such pieces, single bars and the V and X of lines crossing, glyph-sized; a glyph standing on
// a line or touching a cell's border ends there.
// asScanned: the line cells; stripped: the same without the long runs across and up; widestLine: the
// widest line set aside a stroke is followed across, in dots.
bool isCutLinePiece(const InkProbe& asScanned, const InkProbe& stripped, const Glyph& glyph, double reach,
                    double widestLine);

}  // namespace kelvarin
