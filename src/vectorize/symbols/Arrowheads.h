// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Outlines the filled arrowheads at the ends of lines and arcs (leaders, dimension lines): a narrow filled
// triangle is too thin to be hollowed, so its ink only thickens the stroke it sits on. Where the ink about
// an end widens evenly on both sides from the tip to a base two pens wide or more, and falls back
// to the pen's width past it, the triangle's three sides are added as LINEs; the stroke stays. scanned: the
// picture before filled areas were hollowed.
void outlineArrowheads(WideDrawing& wide, const InkProbe& scanned, const Tolerances& sizes, const Tick& tick);

}  // namespace kelvarin
