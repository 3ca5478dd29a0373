// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "convert/VirtualVram.h"
#include "vectorize/Pieces.h"

namespace kelvarin {

class RunGroups;
class WorkerPool;

struct Ring {
    VectorCircle circle;
    double hole = 0, stroke = 0;  // dots: the radius of the ink's inner edge and the stroke's width

    // Whether a point so far from the centre lies on the stroke, a dot and a half either side of it at most.
    bool onStroke(double distance) const { return distance >= hole - 1.5 && distance <= hole + stroke + 1.5; }
};

// The small rings of the page, found by their holes: a round stretch of background enclosed by ink, or the
// pieces of one that lines through it cut apart, with a stroke of even width all round it. The same for any
// number of threads. The runs are the grid's.
std::vector<Ring> findRings(const VirtualVram& grid, const RunGroups& rows, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
