// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"

namespace kelvarin {

// Ends each line and arc, and each two arcs, that run into each other smoothly (a straight edge and its
// fillet, two bends of different radii) at the point where they touch: along a tangent the ink of both
// agrees for a while, so each was run out over the other's start. Lines whose ends stopped on their ink
// keep them. Within tolerances.entity of each other; a line takes from arcs of tolerances.smallestTakenArc
// to largestTakenArc radius.
void meetAtTangentPoints(VectorDrawing& drawing, const Tolerances& tolerances, const Tick& tick);

}  // namespace kelvarin
