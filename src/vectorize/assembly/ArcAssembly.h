// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Gathers the arcs of one circle, cut by the lines that cross it or by the turns of the chains, into one
// circle when they go all the way round (gaps of ink count as covered), and otherwise into the arcs that
// the ink holds. Short lines that lie on a gathered circle within tolerance are taken into it and
// removed from lines.
void joinArcs(const std::vector<ArcPiece>& pieces, std::vector<LinePiece>& lines, const InkProbe& ink, double tolerance,
              WideDrawing& drawing, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
