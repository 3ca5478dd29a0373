// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/ShoulderFillets.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <tuple>
#include <vector>

#include "vectorize/geometry/BendCircle.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

constexpr double kMostTilt = 40;      // degrees between a line and the arc's tangent where the chains ended it
constexpr double kWidestSweep = 175;  // degrees: a bend rounds 135 at most, and the chains' arc may run past
constexpr int kLeastMiddles = 6;      // of the stroke, clear of the lines, to fit the circle to
constexpr double kMissedShare = 0.1;  // of the rays, finding no ink there: noise

// A line the arc leaves tangentially at one of its ends.
struct Leaving {
    std::size_t line = 0;
    bool runsOn = false;  // past the arc's end, so that it is kept whole
    bool nearA = false;   // which of its ends is the arc's, when it does not run on
};

// The line nearest the arc's end, on whose stroke the end lies and which runs along the arc's tangent there.
std::optional<Leaving> lineLeftAt(const WideDrawing& wide, const SpatialIndex& index, Point end, Point tangent,
                                  double width, double tolerance, std::vector<std::int32_t>& found) {
    const std::vector<VectorLine>& lines = wide.drawing.lines;
    index.near(end, width + tolerance, found);
    std::optional<Leaving> nearest;
    double least = 0;
    for (const std::int32_t id : found) {
        const auto k = static_cast<std::size_t>(id);
        const VectorLine& line = lines[k];
        // The chains end the arc where its stroke parts from the line's, a stroke's width off it.
        const double reach = std::max(width, wide.lineWidths[k]) + tolerance;
        const double off = distanceToSegment(end, line);
        const Point direction = unit(line.b - line.a);
        if (off > reach || std::abs(cross(direction, tangent)) > std::sin(kMostTilt * std::numbers::pi / 180) ||
            (nearest && off >= least)) {
            continue;
        }
        const double along = dot(end - line.a, direction);
        const double size = length(line.b - line.a);
        const double past = 2 * reach;  // a line reaching this far past the end runs on
        nearest = Leaving{k, along > past && along < size - past, along <= size / 2};
        least = off;
    }
    return nearest;
}

Point footOn(const VectorLine& line, Point p) { return footOnLine(p, line.a, unit(line.b - line.a)); }

// The middles of the arc's stroke, one for each dot along it, where its ink is clear of the lines' (a
// stroke running into a line along its tangent shares its ink for a while); none when too many rays find
// no ink or too few are clear.
std::vector<Point> strokeMiddles(const InkProbe& ink, const VectorArc& arc, double width, const VectorLine& line1,
                                 const VectorLine& line2) {
    const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
    const int rays = std::max(kLeastMiddles, static_cast<int>(arc.radius * sweep * std::numbers::pi / 180));
    std::vector<Point> middles;
    int missed = 0;
    for (int k = 0; k <= rays; ++k) {
        const Point direction = pointOnCircle({0, 0}, 1, arc.startDegrees + sweep * k / rays);
        const std::optional<double> at = ink.strokeMiddleNear(arc.centre, direction, arc.radius, width);
        if (!at) {
            ++missed;
            continue;
        }
        const Point middle = arc.centre + direction * *at;
        if (distanceToSegment(middle, line1) > width + 1 && distanceToSegment(middle, line2) > width + 1) {
            middles.push_back(middle);
        }
    }
    const bool noisy = missed > std::max(1.0, kMissedShare * (rays + 1));
    return noisy || static_cast<int>(middles.size()) < kLeastMiddles ? std::vector<Point>{} : middles;
}

// The arc refitted tangent to both lines, with the touching points on the first line and the second; nothing
// when the lines make no corner for it or its stroke does not follow the circle.
struct Refit {
    VectorArc arc;
    Point touch1, touch2;
};

std::optional<Refit> refitBetween(const VectorArc& arc, const VectorLine& line1, const VectorLine& line2, double width,
                                  const InkProbe& ink, double tolerance) {
    const Point foot1 = footOn(line1, arc.centre), foot2 = footOn(line2, arc.centre);
    const std::optional<Point> meet = crossingOfLines(foot1, unit(line1.b - line1.a), foot2, unit(line2.b - line2.a));
    if (!meet || length(*meet - foot1) < 1 || length(*meet - foot2) < 1) {
        return std::nullopt;
    }
    const Corner corner = cornerAt(unit(*meet - foot1), unit(*meet - foot2), *meet);
    if (!mayBeRounded(corner) || dot(arc.centre - *meet, corner.inward) <= 0) {
        return std::nullopt;
    }
    const std::vector<Point> middles = strokeMiddles(ink, arc, width, line1, line2);
    if (middles.empty()) {
        return std::nullopt;
    }
    const CircleFit bend = bendCircle(corner, middles, arc.radius);
    if (bend.radius < std::max(kSmallestBendRadius, width) || bend.radius > kLargestBendRadius ||
        largestCircleDistance(middles, bend) > tolerance) {
        return std::nullopt;
    }
    Refit refit;
    refit.touch1 = footOn(line1, bend.centre);
    refit.touch2 = footOn(line2, bend.centre);
    const double a1 = angleDegrees(bend.centre, refit.touch1), a2 = angleDegrees(bend.centre, refit.touch2);
    refit.arc = sweepDegrees(a1, a2) <= 180 ? VectorArc{bend.centre, bend.radius, a1, a2}
                                            : VectorArc{bend.centre, bend.radius, a2, a1};
    if (!ink.mostlyNearCircle(refit.arc.centre, refit.arc.radius, refit.arc.startDegrees, refit.arc.endDegrees,
                              kInkedShare)) {
        return std::nullopt;
    }
    return refit;
}

// Whether the touching point lies on the line's stroke: between its ends, or within reach of the end it
// is moved to.
bool touchesLine(const VectorLine& line, const Leaving& leaving, Point touch, double reach) {
    if (leaving.runsOn) {
        return distanceToSegment(touch, line) <= reach;
    }
    return length(touch - (leaving.nearA ? line.a : line.b)) <= reach;
}

}  // namespace

void fitShoulderFillets(WideDrawing& wide, const InkProbe& ink, double tolerance, const Tick& tick) {
    std::vector<VectorLine>& lines = wide.drawing.lines;
    const SpatialIndex index = indexOfSegments(lines);
    std::vector<std::int32_t> found;
    for (std::size_t i = 0; i < wide.drawing.arcs.size(); ++i) {
        tick();
        VectorArc& arc = wide.drawing.arcs[i];
        const double width = wide.arcWidths[i];
        const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
        if (arc.radius > kLargestBendRadius || sweep > kWidestSweep) {
            continue;
        }
        const double s = arc.startDegrees * std::numbers::pi / 180, e = arc.endDegrees * std::numbers::pi / 180;
        const std::optional<Leaving> first =
            lineLeftAt(wide, index, pointOnCircle(arc.centre, arc.radius, arc.startDegrees),
                       {std::sin(s), -std::cos(s)}, width, tolerance, found);
        const std::optional<Leaving> second =
            lineLeftAt(wide, index, pointOnCircle(arc.centre, arc.radius, arc.endDegrees), {-std::sin(e), std::cos(e)},
                       width, tolerance, found);
        // Arcs between two lines that end at them are the corners' pass's.
        if (!first || !second || first->line == second->line || (!first->runsOn && !second->runsOn)) {
            continue;
        }
        VectorLine& line1 = lines[first->line];
        VectorLine& line2 = lines[second->line];
        const std::optional<Refit> refit = refitBetween(arc, line1, line2, width, ink, tolerance);
        const double reach = width + tolerance + 0.25 * arc.radius;
        if (!refit || !touchesLine(line1, *first, refit->touch1, reach) ||
            !touchesLine(line2, *second, refit->touch2, reach)) {
            continue;
        }
        for (const auto& [line, leaving, touch] :
             {std::tuple{&line1, *first, refit->touch1}, std::tuple{&line2, *second, refit->touch2}}) {
            if (!leaving.runsOn) {
                (leaving.nearA ? line->a : line->b) = touch;
            }
        }
        arc = refit->arc;
    }
}

}  // namespace kelvarin
