// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>

#include "vectorize/geometry/Fitting.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Distances in dots of a point from lines, segments and circles.

// The distance of p from the line through mean along the unit direction.
inline double distanceFromLine(Point p, Point mean, Point direction) { return std::abs(cross(direction, p - mean)); }

// The foot of the perpendicular from p on the line through origin along the unit direction.
inline Point footOnLine(Point p, Point origin, Point direction) {
    return origin + direction * dot(p - origin, direction);
}

// Where on the segment from a to b the point nearest p lies: 0 at a, 1 at b (0 when a and b coincide).
inline double nearestOnSegment(Point p, Point a, Point b) {
    const Point along = b - a;
    return std::clamp(dot(p - a, along) / std::max(dot(along, along), 1e-12), 0.0, 1.0);
}

// The distance of p from the segment between the line's ends.
inline double distanceToSegment(Point p, const VectorLine& line) {
    return length(p - (line.a + (line.b - line.a) * nearestOnSegment(p, line.a, line.b)));
}

// The distance of p from the circle round centre.
inline double distanceToCircle(Point p, Point centre, double radius) { return std::abs(length(p - centre) - radius); }

// The distance of p from the arc: from its circle where p lies within its sweep, else from its nearer end.
inline double distanceToArc(Point p, const VectorArc& arc) {
    if (sweepDegrees(arc.startDegrees, angleDegrees(arc.centre, p)) <= sweepDegrees(arc.startDegrees, arc.endDegrees)) {
        return distanceToCircle(p, arc.centre, arc.radius);
    }
    return std::min(length(p - pointOnCircle(arc.centre, arc.radius, arc.startDegrees)),
                    length(p - pointOnCircle(arc.centre, arc.radius, arc.endDegrees)));
}

}  // namespace kelvarin
