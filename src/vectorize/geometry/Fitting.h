// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, double k) { return {a.x * k, a.y * k}; }
inline double dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
inline double cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
inline double length(Point a) { return std::sqrt(a.x * a.x + a.y * a.y); }

// The count, mean and central second moments of points: enough to fit the straight line through them by
// least squares, and to combine two sets exactly.
struct LineMoments {
    double n = 0;
    Point mean;
    double sxx = 0;
    double sxy = 0;
    double syy = 0;

    void add(Point p, double weight = 1);
    void merge(const LineMoments& other);
    // The unit direction of the fitted line (the principal axis).
    Point direction() const;
    // The summed squared distance of the points from the fitted line (the least eigenvalue).
    double squaredError() const;
};

// Whether two straight stretches of points meet at a corner rather than lie on one line: their directions
// differ clearly, and the one line through both strays from them systematically, by half a dot and more
// on the mean and with several times the squared error of the two lines apart. A line's ragged edge or a
// scan's noise moves neither.
bool meetAtCorner(const LineMoments& x, const LineMoments& y);

// v scaled to a length of one (nothing scaled to nothing).
inline Point unit(Point v) { return v * (1 / std::max(length(v), 1e-12)); }

// Where the line through p1 along d1 and the one through p2 along d2 cross; nothing when they are parallel
// (or a direction has no length).
inline std::optional<Point> crossingOfLines(Point p1, Point d1, Point p2, Point d2) {
    const double across = cross(d1, d2);
    if (std::abs(across) < 1e-9) {
        return std::nullopt;
    }
    return p1 + d1 * (cross(p2 - p1, d2) / across);
}

// The point at degrees counter-clockwise round the circle.
Point pointOnCircle(Point centre, double radius, double degrees);

struct CircleFit {
    Point centre;
    double radius = 0;
    bool valid = false;
};

// The circle nearest the points in the least squares sense: an algebraic fit refined geometrically.
CircleFit fitCircle(std::span<const Point> points);

// The circle nearest the points geometrically: start refined by Gauss-Newton rounds. On a short arc of a
// noisy stroke fitCircle's circle is drawn in (flat arcs of 15-40 degrees come out some 5 dots small on
// radii of 300-1200), and its fixed-point steps barely move it; these rounds reach the least squares.
CircleFit closestCircle(std::span<const Point> points, const CircleFit& start);

// The largest distance of the points from the circle.
double largestCircleDistance(std::span<const Point> points, const CircleFit& circle);
// The mean square distance of the points from the circle.
double meanSquareCircleDistance(std::span<const Point> points, const CircleFit& circle);

// The summed squared distance of the points from the circle.
double squaredCircleError(std::span<const Point> points, const CircleFit& circle);

// Degrees of the direction from the centre to p, in [0, 360).
double angleDegrees(Point centre, Point p);

// How far counter-clockwise from start to end, in [0, 360).
double sweepDegrees(double start, double end);

}  // namespace kelvarin
