// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "convert/VirtualVram.h"
#include "vectorize/Pieces.h"

namespace kelvarin {

class RunGroups;
class WorkerPool;

// A ring, or a slot: a ring drawn out into two half circles round circle.centre and tail, joined by straight
// sides. A round ring's tail is its centre. Distances are from the segment between them.
struct Ring {
    VectorCircle circle;
    double hole = 0, stroke = 0;  // dots: the radius of the ink's inner edge and the stroke's width
    Point tail;

    bool isSlot() const { return !(tail == circle.centre); }
    double distanceFrom(Point p) const { return distanceToSegment(p, {circle.centre, tail}); }
    // A slot's step from its middle segment to one of its sides: square to the segment, the radius long.
    Point side() const {
        return Point{circle.centre.y - tail.y, tail.x - circle.centre.x} *
               (circle.radius / length(tail - circle.centre));
    }
    // Whether a point so far from the centre lies on the stroke, a dot and a half either side of it at most.
    bool onStroke(double distance) const { return distance >= hole - 1.5 && distance <= hole + stroke + 1.5; }
};

// The small rings of the page, found by their holes: a round stretch of background enclosed by ink, or the
// pieces of one that lines through it cut apart, with a stroke of even width all round it; and the slots,
// found by whole holes of a slot's shape with such a stroke. The same for any number of threads. The runs
// are the grid's.
std::vector<Ring> findRings(const VirtualVram& grid, const RunGroups& rows, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
