// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

class WorkerPool;

// Refits each arc of 90 degrees or more to the middles of its stroke found along rays from its centre. The
// chains' middles are the middles of runs along rows or columns, and near a junction (a coil's lobes
// meeting at a cusp) they bend into the other stroke's ink. A ray from the centre crosses a round stroke
// square, so the middle it finds lies on the circle however the stroke lies on the grid. Rays near the arc's
// ends and rays crossing ink wider than its stroke (another stroke's too) are left out, and so are middles
// far off the circle (where the stroke runs on into a line's); the new circle is taken when the middles lie
// clearly closer to it.
void centreArcsOnStrokes(WideDrawing& wide, const InkProbe& ink, double tolerance, WorkerPool& pool);

// One arc so refitted (width: its stroke's, in dots), with its ends where the old ones lie; nothing when it
// is flatter than 90 degrees, or its middles are too few, or lie no closer to the new circle, or that circle
// is far from the old one.
std::optional<VectorArc> arcOnStrokeMiddles(const VectorArc& arc, double width, const InkProbe& ink, double tolerance);

}  // namespace kelvarin
