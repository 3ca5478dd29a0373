// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// An end of an arc: where it lies, and the arc's direction out of it (a unit vector).
struct ArcEnd {
    Point at;
    Point outward;
};
ArcEnd arcEnd(const VectorArc& arc, bool last);

// Whether an end of the first arc (its last, else its first) and one of the second run past each other along
// one stroke pen dots wide: each lies behind the other, on the other arc's stroke.
bool overlapping(const VectorArc& first, bool firstLast, const VectorArc& second, bool secondLast, double pen);

// The smooth way over a gap: the circle (or line) leaving an end along its direction and reaching a point.
struct GapPath {
    GapPath(const ArcEnd& from, Point to);

    Point at(double along) const;      // the point along dots from the end
    Point normal(double along) const;  // the unit normal there, to the left
    double length = 0;                 // dots to the point reached
    double turnDegrees = 0;            // how far the direction turns on the way, counter-clockwise

private:
    Point m_from;
    double m_heading = 0;    // radians
    double m_curvature = 0;  // 1/dots, counter-clockwise
};

// An arc of a chain, walked from its start (forward) or from its end.
struct ChainLink {
    std::size_t arc;
    bool forward;
};

// The chains of two arcs or more that meet end to end along one tangent, each in its order from one end (a
// closed chain from one of its joints). Two ends meet when no other entity's end lies as near, and they
// touch, run past each other along one stroke (overlap), or the ink runs on over the gap between them along
// the one smooth way there.
std::vector<std::vector<ChainLink>> tangentArcChains(const WideDrawing& wide, const InkProbe& ink);

}  // namespace kelvarin
