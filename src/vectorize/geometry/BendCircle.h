// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

// A corner where two lines, each running from its far end out to its end, meet.
struct Corner {
    Point d1, d2;     // the lines' directions out to their ends
    Point meet;       // where they cross
    Point inward;     // along the bisector into the corner
    double halfSine;  // of half the angle inside the corner
    double apart;     // a bend's middle lies its radius × apart inside the corner

    Point centreFor(double radius) const { return meet + inward * (radius / halfSine); }
};

// The corner of lines with the unit directions d1 and d2 (out to their ends) that cross at meet.
Corner cornerAt(Point d1, Point d2, Point meet);

// Bends of a larger radius (dots) are long enough for the chains to fit them; a bend's radius is at least
// the smallest and the stroke's width.
inline constexpr double kLargestBendRadius = 64;
inline constexpr double kSmallestBendRadius = 3;

// Whether a bend may round the corner: the angle inside it is 45 to 150 degrees. A sharper corner is drawn
// sharp; a flatter one's bend is too shallow for the ink to tell its radius.
bool mayBeRounded(const Corner& corner);

// The circle of the bend that rounds the corner, fitted to the middles of the bend's stroke and to touching
// both lines, from a first guess of its radius (dots).
CircleFit bendCircle(const Corner& corner, const std::vector<Point>& middles, double guess);

}  // namespace kelvarin
