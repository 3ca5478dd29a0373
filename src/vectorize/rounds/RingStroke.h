// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/rounds/Slots.h"

namespace kelvarin {

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

// The ring round a hole of the given shape: ink of about even width round most of it (lines touching or
// crossing it make the rest wider), running all the way round. The stroke may be twice as wide as the hole:
// a small circle of a heavy pen, whose hole is under a pen across. Each ray looks past that far, so ink
// wider all round (a filled area's) is no stroke.
std::optional<Ring> ringRound(const SlotShape& hole, const InkProbe& ink);

}  // namespace kelvarin
