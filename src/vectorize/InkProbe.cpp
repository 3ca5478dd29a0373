// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/InkProbe.h"

#include <algorithm>

namespace kelvarin {

double InkProbe::shareAlong(Point a, Point b) const {
    const double distance = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    const int steps = std::max(1, static_cast<int>(std::ceil(distance)));
    int inked = 0;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        inked += near({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}) ? 1 : 0;
    }
    return static_cast<double>(inked) / (steps + 1);
}

}  // namespace kelvarin
