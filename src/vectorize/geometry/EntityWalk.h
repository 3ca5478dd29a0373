// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Every point a dot apart along an entity.
template <typename Visit>
void walkLine(Point a, Point b, Visit visit) {
    const int steps = std::max(1, static_cast<int>(std::ceil(length(b - a))));
    for (int k = 0; k <= steps; ++k) {
        visit(a + (b - a) * (static_cast<double>(k) / steps));
    }
}

template <typename Visit>
void walkArc(Point centre, double radius, double startDegrees, double sweepDegrees, Visit visit) {
    const int steps = std::max(8, static_cast<int>(std::ceil(radius * sweepDegrees * std::numbers::pi / 180)));
    for (int k = 0; k <= steps; ++k) {
        const double radians = (startDegrees + sweepDegrees * k / steps) * std::numbers::pi / 180;
        visit({centre.x + radius * std::cos(radians), centre.y + radius * std::sin(radians)});
    }
}

// Keeps the items, and their widths alongside, for which keep is true, in their order.
template <typename T, typename Keep>
void keepIf(std::vector<T>& items, std::vector<double>& widths, Keep keep) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (keep(items[i])) {
            items[kept] = items[i];
            widths[kept++] = widths[i];
        }
    }
    items.resize(kept);
    widths.resize(kept);
}

}  // namespace kelvarin
