// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Where a run of points along a curve drawn as arcs one after another passes from one arc to the next: the
// cuts into runs, each a circle's, of the least summed squared distance from their circles plus pieceCost
// (dots²) for each run, every run at least shortest points long. The runs share their cut points: the
// first runs from 0 to the first cut, the last from the last cut to the end. None when one circle is best.
std::vector<std::size_t> arcBreaks(std::span<const Point> points, double pieceCost, std::size_t shortest);

// The summed squared distance (dots²) of points from the circle fitted to them algebraically, about the
// geometric one for a round run: infinity for fewer than three points or a straight run.
double algebraicCircleError(std::span<const Point> points);

}  // namespace kelvarin
