// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Draws the dashes of a dashed or centre-line circle or arc as ARCs of that one circle: three or more
// short LINEs and ARCs following each other with blank gaps between, whose ends lie on one circle that a
// line does not fit, each inked along the circle, become ARCs sharing the circle fitted to all their ends.
// A dash too short to show its bend comes out of the chains as a chord, each dash of another circle. The
// dashes, gaps and circles are at most tolerances.longestDash, longestDashGap and largestDashedRadius.
void gatherDashedCircles(WideDrawing& wide, const InkProbe& ink, const Tolerances& tolerances, const Tick& tick);

}  // namespace kelvarin
