// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Where a heavy pen's stroke is wide enough to hold a chord, the pieces of a flat arc cut apart by the
// lines meeting it (hatching, a weld symbol's ribs) join into chords. The middles across such a line's
// stroke (taken from its edge that no line meets, where lines meet one side) bow away from it. Each bowed
// line becomes an arc of the circle through its middles, and bowed lines on one circle that overlap or
// meet become one arc; they are taken out of lines.
void bendBowedLines(std::vector<LinePiece>& lines, const InkProbe& ink, double tolerance, WideDrawing& drawing,
                    WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
