// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

class WorkerPool;

// Redraws free curves drawn as chains of tangent arcs (a logo, an outline, a cam profile) as their own arcs.
// The chains' fits cover such a curve with arcs that keep within the tolerance but end where the rows and
// columns cut the stroke, not where the drawn radius changes, so their circles lie between the drawn ones.
// Arcs meeting end to end along one tangent, with no other entity's end there, make a chain; the middles of
// its stroke are cut where one circle gives way to another (each cut paying for the arc it adds), and each
// run between cuts is an ARC fitted to its middles. Taken when the middles lie clearly closer to the new
// arcs and those meet along one tangent, each bending clearly otherwise than the one before.
void redrawArcChains(WideDrawing& wide, const InkProbe& ink, double tolerance, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
