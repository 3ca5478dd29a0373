// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/symbols/CurvedBarbs.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "common/Angles.h"
#include "common/Median.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

constexpr int kRays = 15;                  // across the barb, evenly from kFromTip of its length to its far end
constexpr int kRaysNeeded = 9;             // finding the barb's stroke alone
constexpr double kFromTip = 0.15;          // next to the tip the barb runs into the shaft and the other barb
constexpr double kLongerStretch = 1.5;     // dots a stretch across a ray may be longer than most
constexpr double kLargestOff = 0.6;        // dots the middles may lie off the circle (root mean square)
constexpr double kCloserTimes = 1.25;      // the squared error off a line over that off the circle, at least
constexpr double kSmallestSagitta = 0.75;  // dots the circle bows by over the barb: less is a straight stroke
constexpr double kWidestSpread = 60;       // degrees between the barb and its shaft at the tip
constexpr double kLongestSweep = 180;      // degrees of a shaft; a longer arc is a round, not an arrow
constexpr double kLongestBarbSweep = 90;   // degrees of an arc taken for a barb
constexpr double kTipReachPens = 5;        // the barb's piece may stop this many pens short of the tip
constexpr double kWiderPen = 1.5;          // times the shaft's pen a barb's may be
constexpr int kFitRounds = 20;             // Gauss-Newton rounds of the centre

// A barb found: the entity it replaces (a line, else an arc) and its arc.
struct Barb {
    bool isLine = true;
    std::size_t index = 0;
    VectorArc arc;
    double width = 0;
};

// The centre of the circle of the radius nearest the points, from start, by Gauss-Newton rounds; and the
// points' summed squared distance from it.
struct FixedFit {
    Point centre;
    double squaredError = 0;
};
FixedFit fitCentre(const std::vector<Point>& points, double radius, Point start) {
    Point centre = start;
    for (int round = 0; round < kFitRounds; ++round) {
        double a = 0, b = 0, c = 0, u = 0, v = 0;  // the normal equations [a b; b c] step = [u v]
        for (const Point& p : points) {
            const Point d = p - centre;
            const double r = std::max(length(d), 1e-9);
            const Point j = d * (-1 / r);  // how the distance moves with the centre
            const double residual = r - radius;
            a += j.x * j.x;
            b += j.x * j.y;
            c += j.y * j.y;
            u -= j.x * residual;
            v -= j.y * residual;
        }
        const double determinant = a * c - b * b;
        if (std::abs(determinant) < 1e-12) {
            break;
        }
        const Point step{(c * u - b * v) / determinant, (a * v - b * u) / determinant};
        centre = centre + step;
        if (length(step) < 1e-4) {
            break;
        }
    }
    FixedFit fit{centre, 0};
    for (const Point& p : points) {
        const double off = length(p - centre) - radius;
        fit.squaredError += off * off;
    }
    return fit;
}

// The middles of the stroke across the chord from the tip to far, on the stretch away from the tip, each the
// stretch nearest the circle of the radius bowing to the side (+1 left of the chord, -1 right): near the tip
// another stroke runs beside. The rays whose stretch is clearly longer than most cross another stroke.
std::vector<Point> middlesOfBarb(Point tip, Point far, double radius, double side, double width, const InkProbe& ink) {
    const double size = length(far - tip);
    const Point along = (far - tip) * (1 / size);
    const Point across = Point{-along.y, along.x} * side;
    const double sagitta = radius - std::sqrt(radius * radius - size * size / 4);
    const double reach = width + 2;
    std::vector<Point> middles;
    std::vector<double> lengths;
    for (int k = 0; k < kRays; ++k) {
        const double t = size * (kFromTip + (1 - kFromTip) * k / (kRays - 1)) - std::min(2.0, size / 8);
        const double fromMiddle = t - size / 2;
        const double bow = std::sqrt(radius * radius - fromMiddle * fromMiddle) - (radius - sagitta);
        const Point origin = tip + along * t - across * reach;
        if (const auto crossing = ink.strokeCrossingNear(origin, across, reach + bow, width / 2 + 1)) {
            middles.push_back(origin + across * crossing->middle);
            lengths.push_back(crossing->thickness);
        }
    }
    if (middles.empty()) {
        return middles;
    }
    const double usual = median(lengths);
    std::vector<Point> kept;
    for (std::size_t i = 0; i < middles.size(); ++i) {
        if (lengths[i] <= usual + kLongerStretch) {
            kept.push_back(middles[i]);
        }
    }
    return kept;
}

// The arc of the shaft's radius along the stroke from the shaft's end (tip) to far, when its middles lie on
// it closely and a quarter closer than on a line, and it bends the way the shaft does.
std::optional<VectorArc> barbArc(const VectorArc& shaft, Point tip, Point far, double width, const InkProbe& ink) {
    const double radius = shaft.radius;
    const double size = length(far - tip);
    if (2 * radius <= size) {
        return std::nullopt;
    }
    const double sagitta = radius - std::sqrt(radius * radius - size * size / 4);
    if (sagitta < kSmallestSagitta) {
        return std::nullopt;
    }
    // The circle bows to one side or the other: the side whose middles lie on it the closer.
    const Point along = unit(far - tip), across{-along.y, along.x};
    const Point chordMiddle = (tip + far) * 0.5;
    std::optional<FixedFit> best;
    std::vector<Point> middles;
    for (const double side : {1.0, -1.0}) {
        std::vector<Point> found = middlesOfBarb(tip, far, radius, side, width, ink);
        if (static_cast<int>(found.size()) < kRaysNeeded) {
            continue;
        }
        // The centre lies on the other side of the chord from the bow.
        FixedFit fit = fitCentre(found, radius, chordMiddle - across * (side * (radius - sagitta)));
        if (!best || fit.squaredError / static_cast<double>(found.size()) <
                         best->squaredError / static_cast<double>(middles.size())) {
            best = fit;
            middles = std::move(found);
        }
    }
    if (!best) {
        return std::nullopt;
    }
    LineMoments moments;
    for (const Point& p : middles) {
        moments.add(p);
    }
    const auto count = static_cast<double>(middles.size());
    if (best->squaredError > kLargestOff * kLargestOff * count ||
        moments.squaredError() < kCloserTimes * best->squaredError) {
        return std::nullopt;
    }
    // Turned about the tip by less than the spread, its centre lies within the radius of the shaft's; on its
    // own circle it would be a piece of the shaft.
    const double apart = length(best->centre - shaft.centre);
    if (apart > radius || apart < width) {
        return std::nullopt;
    }
    const double a = angleDegrees(best->centre, tip), b = angleDegrees(best->centre, far);
    const bool counterClockwise = sweepDegrees(a, b) <= 180;
    // The far end runs on along the ink.
    const double limit = (2 * width + 6) / radius * 180 / std::numbers::pi;
    const double onward = ink.reachAlongCircle(best->centre, radius, b, counterClockwise ? 1 : -1, limit);
    const double end = counterClockwise ? b + onward : b - onward;
    VectorArc arc{best->centre, radius, counterClockwise ? a : arcEndDegrees(end),
                  counterClockwise ? arcEndDegrees(end) : a};
    if (ink.shareAlongCircle(arc.centre, arc.radius, arc.startDegrees, arc.endDegrees) < kInkedShare) {
        return std::nullopt;
    }
    return arc;
}

// The unit direction along the arc into it from its start (or from its end).
Point inwardTangent(const VectorArc& arc, bool atStart) {
    const double radians = (atStart ? arc.startDegrees : arc.endDegrees) * std::numbers::pi / 180;
    const Point counterClockwise{-std::sin(radians), std::cos(radians)};
    return atStart ? counterClockwise : counterClockwise * -1;
}

// Whether the stroke from the shaft's end towards far leaves it beside the shaft: within the spread of the
// shaft's direction there, and off its stroke at the far end.
bool besideShaft(const VectorArc& shaft, bool atStart, Point tip, Point far, double width) {
    const Point direction = unit(far - tip);
    const double degrees =
        std::acos(std::clamp(dot(direction, inwardTangent(shaft, atStart)), -1.0, 1.0)) * 180 / std::numbers::pi;
    return degrees <= kWidestSpread && distanceToCircle(far, shaft.centre, shaft.radius) > 2 * width;
}

// Puts each barb's arc in the place of the entity it replaces: an arc in its own place, a line's after the arcs.
void replaceByBarbs(WideDrawing& wide, const std::vector<Barb>& barbs) {
    VectorDrawing& drawing = wide.drawing;
    std::vector<bool> dropped(drawing.lines.size() + drawing.arcs.size(), false);
    for (const Barb& barb : barbs) {
        if (barb.isLine) {
            dropped[barb.index] = true;
            drawing.arcs.push_back(barb.arc);
            wide.arcWidths.push_back(barb.width);
            dropped.push_back(false);
        } else {
            drawing.arcs[barb.index] = barb.arc;
        }
    }
    dropMarkedEntities(wide, dropped);
}

}  // namespace

void bendCurvedBarbs(WideDrawing& wide, const InkProbe& ink, const Tolerances& sizes, const Tick& tick) {
    VectorDrawing& drawing = wide.drawing;
    const std::size_t lineCount = drawing.lines.size(), arcCount = drawing.arcs.size();
    const auto arcEnd = [&](std::size_t j, bool atStart) {
        const VectorArc& arc = drawing.arcs[j];
        return pointOnCircle(arc.centre, arc.radius, atStart ? arc.startDegrees : arc.endDegrees);
    };
    const SpatialIndex lineIndex = indexOfSegments(drawing.lines);
    const SpatialIndex arcEnds = indexOfPoints(2 * arcCount, [&](std::size_t e) { return arcEnd(e / 2, e % 2 == 0); });
    std::vector<bool> taken(lineCount + arcCount, false);
    std::vector<Barb> barbs;
    // The barb's end next to the shaft's lies within a few pens of it: there the two strokes run into one.
    const auto tryBarb = [&](std::size_t shaftIndex, bool atStart, bool isLine, std::size_t index, Point a, Point b,
                             double width, double reach) {
        const VectorArc& shaft = drawing.arcs[shaftIndex];
        const double shaftWidth = wide.arcWidths[shaftIndex];
        const Point end = arcEnd(shaftIndex, atStart);
        const std::size_t mark = isLine ? index : lineCount + index;
        const bool aAtTip = length(a - end) <= length(b - end);
        const Point far = aAtTip ? b : a;
        if (taken[mark] || width > kWiderPen * shaftWidth + 1 || length((aAtTip ? a : b) - end) > reach ||
            length(far - end) < 2 * reach || !besideShaft(shaft, atStart, end, far, shaftWidth)) {
            return;
        }
        if (const std::optional<VectorArc> arc = barbArc(shaft, end, far, std::max(width, 1.0), ink)) {
            taken[mark] = true;
            barbs.push_back({isLine, index, *arc, width});
        }
    };
    std::vector<std::int32_t> near;
    for (std::size_t k = 0; k < arcCount; ++k) {
        tick();
        const VectorArc& shaft = drawing.arcs[k];
        if (taken[lineCount + k] || sweepDegrees(shaft.startDegrees, shaft.endDegrees) > kLongestSweep) {
            continue;
        }
        const double reach = kTipReachPens * wide.arcWidths[k] + sizes.entity + 2;
        for (const bool atStart : {true, false}) {
            lineIndex.near(arcEnd(k, atStart), reach, near);
            for (const std::int32_t found : near) {
                const auto i = static_cast<std::size_t>(found);
                tryBarb(k, atStart, true, i, drawing.lines[i].a, drawing.lines[i].b, wide.lineWidths[i], reach);
            }
            arcEnds.near(arcEnd(k, atStart), reach, near);
            for (const std::int32_t found : near) {
                const auto j = static_cast<std::size_t>(found) / 2;
                const VectorArc& other = drawing.arcs[j];
                if (j != k && sweepDegrees(other.startDegrees, other.endDegrees) <= kLongestBarbSweep) {
                    tryBarb(k, atStart, false, j, arcEnd(j, true), arcEnd(j, false), wide.arcWidths[j], reach);
                }
            }
        }
    }
    replaceByBarbs(wide, barbs);
}

}  // namespace kelvarin
