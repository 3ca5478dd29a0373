// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/RingStroke.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

constexpr std::size_t kRays = 64;  // across the stroke, spread round the hole's edge, for its width
// How many rays at least cross the stroke where nothing touches it: an eighth of it.
constexpr std::size_t kFewestEven = kRays / 8;

// Where ray k of kRays across the ink round the hole starts, on its middle segment, and its unit direction,
// square to the hole's edge: the rays are spread evenly round the edge. A round hole's all start at its
// centre.
std::pair<Point, Point> rayAcross(const SlotShape& hole, std::size_t k) {
    const double toward = (static_cast<double>(k) + 0.5) / kRays;
    const auto at = [](double radians) { return Point{std::cos(radians), std::sin(radians)}; };
    if (hole.a == hole.b) {
        return {hole.a, at(toward * 2 * std::numbers::pi)};
    }
    // Round the end at b, back along one side, round the end at a and along the other side.
    const double straight = length(hole.b - hole.a), end = std::numbers::pi * hole.radius;
    const Point along = unit(hole.b - hole.a), side{-along.y, along.x};
    const double base = std::atan2(along.y, along.x) - std::numbers::pi / 2;
    double s = toward * (2 * end + 2 * straight);
    if (s < end) {
        return {hole.b, at(base + s / hole.radius)};
    }
    s -= end;
    if (s < straight) {
        return {hole.b - along * s, side};
    }
    s -= straight;
    if (s < end) {
        return {hole.a, at(base + std::numbers::pi + s / hole.radius)};
    }
    return {hole.a + along * (s - end), side * -1};
}

// The least share of the ring's or slot's middle line that is ink, over its ends' half circles and sides.
double inkedShare(const Ring& ring, const InkProbe& ink) {
    const Point a = ring.circle.centre, b = ring.tail;
    const double r = ring.circle.radius;
    if (!ring.isSlot()) {
        return ink.shareAlongCircle(a, r, 0, 360);
    }
    const Point side = ring.side();
    const double towardB = angleDegrees(a, b);
    return std::min({ink.shareAlongCircle(b, r, towardB - 90, towardB + 90),
                     ink.shareAlongCircle(a, r, towardB + 90, towardB + 270), ink.shareAlong(a + side, b + side),
                     ink.shareAlong(a - side, b - side)});
}

}  // namespace

std::optional<Ring> ringRound(const SlotShape& hole, const InkProbe& ink) {
    constexpr double kStep = 0.25;         // dots between probes along a ray
    constexpr double kWidestStroke = 2.0;  // of the hole's width
    const double widest = kWidestStroke * 2 * hole.radius;
    struct Crossing {
        double enter = 0, leave = 0;
    };
    std::array<Crossing, kRays> crossings{};
    std::array<double, kRays> widths{};
    for (std::size_t k = 0; k < kRays; ++k) {
        const std::pair<Point, Point> ray = rayAcross(hole, k);
        const InkRay probes(ink, ray.first, ray.second, kStep);
        const double t = probes.firstInk(std::max(0.0, hole.radius - 1.5), hole.radius + 2);
        Crossing& crossing = crossings[k];
        crossing = {t, probes.firstGap(t, t + std::max(8.0, widest + 3), 1)};
        widths[k] = crossing.leave - crossing.enter;
    }
    // The stroke is as wide as the thinnest crossings but a few, which noise may have made thinner still;
    // where lines touch or cross the ring, or other ink runs along it, the ink is wider.
    std::array<double, kRays> sorted = widths;
    std::sort(sorted.begin(), sorted.end());
    const auto thinnest =
        static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), 1.0) - sorted.begin());
    if (thinnest + kFewestEven > kRays) {
        return std::nullopt;
    }
    const double usual = sorted[thinnest + kFewestEven / 2];
    if (usual > widest) {
        return std::nullopt;
    }
    double middles = 0, strokes = 0, even = 0;
    for (std::size_t k = 0; k < kRays; ++k) {
        if (std::abs(widths[k] - usual) <= std::max(1.0, 0.3 * usual)) {
            middles += (crossings[k].enter + crossings[k].leave) / 2 - kStep / 2;
            strokes += widths[k];
            even += 1;
        }
    }
    if (even < kFewestEven) {
        return std::nullopt;
    }
    const Ring ring{{hole.a, middles / even}, hole.radius, strokes / even, hole.b};
    if (inkedShare(ring, ink) < kInkedShare) {
        return std::nullopt;
    }
    return ring;
}

}  // namespace kelvarin
