// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/raster/InkProbe.h"

#include <algorithm>
#include <numbers>

#include "vectorize/geometry/Fitting.h"
#include "vectorize/raster/InkRay.h"

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

namespace {

// The share of the points a dot apart along the circle from start to end degrees that inked accepts. With
// leastShare above 0 it stops once the share can no longer reach leastShare, giving a share below it: the
// points still to come can at most all be found.
template <typename Inked>
double shareOnCircle(Point centre, double radius, double startDegrees, double endDegrees, Inked inked,
                     double leastShare = 0) {
    const double sweep = sweepDegrees(startDegrees, endDegrees);
    const int steps = std::max(1, static_cast<int>(std::ceil(sweep * std::numbers::pi / 180 * radius)));
    const double points = steps + 1;
    // The points a step apart are turned one from the next, the turn taken afresh from the angle every
    // kExactEvery points so that the rounding of the turns cannot add up.
    constexpr int kExactEvery = 64;
    const double stepRadians = sweep / steps * std::numbers::pi / 180;
    const double stepCos = std::cos(stepRadians), stepSin = std::sin(stepRadians);
    double cos = 0, sin = 0;
    int found = 0;
    for (int i = 0; i <= steps; ++i) {
        if (i % kExactEvery == 0) {
            const double radians = (startDegrees + sweep * i / steps) * std::numbers::pi / 180;
            cos = std::cos(radians);
            sin = std::sin(radians);
        } else {
            const double turned = cos * stepCos - sin * stepSin;
            sin = sin * stepCos + cos * stepSin;
            cos = turned;
        }
        if (inked({centre.x + radius * cos, centre.y + radius * sin})) {
            ++found;
        } else if ((points - (i + 1 - found)) / points < leastShare) {
            return (points - (i + 1 - found)) / points;
        }
    }
    return found / points;
}

}  // namespace

double InkProbe::shareAlongCircle(Point centre, double radius, double startDegrees, double endDegrees) const {
    return shareOnCircle(centre, radius, startDegrees, endDegrees, [this](Point p) { return at(p); });
}

bool InkProbe::mostlyNearCircle(Point centre, double radius, double startDegrees, double endDegrees,
                                double leastShare) const {
    return shareOnCircle(
               centre, radius, startDegrees, endDegrees, [this](Point p) { return near(p); }, leastShare) >= leastShare;
}

double InkProbe::reachAlongCircle(Point centre, double radius, double fromDegrees, double outward,
                                  double limitDegrees) const {
    const double step = std::min(0.5 / std::max(radius, 1.0) * 180 / std::numbers::pi, 5.0);
    double reached = 0;
    for (double turned = step; turned <= limitDegrees; turned += step) {
        const double radians = (fromDegrees + outward * turned) * std::numbers::pi / 180;
        if (!at({centre.x + radius * std::cos(radians), centre.y + radius * std::sin(radians)})) {
            break;
        }
        reached = turned;
    }
    return reached;
}

std::optional<InkProbe::Crossing> InkProbe::strokeCrossingNear(Point from, Point direction, double distance,
                                                               double width) const {
    constexpr double kStep = 0.5;  // dots between the probes
    const double near = std::max(0.0, distance - width - 2), far = distance + width + 2;
    std::optional<Crossing> best;
    InkRay(*this, from, direction, kStep).forEachStretch(near, far, [&](double enter, double after, bool ended) {
        const double exit = ended ? after - kStep : far;  // the last probe in ink
        const double middle = (enter + exit) / 2;
        if (!best || std::abs(middle - distance) < std::abs(best->middle - distance)) {
            best = Crossing{middle, exit - enter + kStep};
        }
        return true;
    });
    return best && std::abs(best->middle - distance) <= width ? best : std::nullopt;
}

}  // namespace kelvarin
