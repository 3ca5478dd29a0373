// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <vector>

#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

// An arc of a chain of tangent arcs: the run of points it is fitted to, its circle, and which way it bends
// walked in the points' order (true: to the left, counter-clockwise).
struct ChainArc {
    std::span<const Point> points;
    CircleFit circle;
    bool left = true;
};

// Refits the arcs of a chain together, each touching the next where they meet (inside it when both bend
// one way, outside when they bend opposite ways), by least squares from their circles as given: each next
// circle follows from the one before, where the two meet and its radius. Returns whether the fit
// converged; the arcs keep their circles when it did not.
bool fitTangentArcs(std::vector<ChainArc>& arcs);

// Where two tangent circles of a chain meet: the point of the first on the line through both centres, on the
// side away from the second's centre only when the first lies inside the second.
Point tangentPoint(const ChainArc& first, const ChainArc& second);

}  // namespace kelvarin
