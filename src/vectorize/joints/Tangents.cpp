// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/joints/Tangents.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// Half the length of the arc, in dots.
double halfLength(const VectorArc& arc) {
    return arc.radius * sweepDegrees(arc.startDegrees, arc.endDegrees) * std::numbers::pi / 360;
}

// How far the ends of two curves that touch (curvatures in 1/dots, a line's 0) may stray past the point
// they touch: the length over which they stay within the tolerance of each other, and the tolerance again.
double tangentReach(double curvatureApart, double tolerance) {
    return std::sqrt(8 * tolerance / std::max(curvatureApart, 1e-9)) + tolerance;
}

// The end of the arc near the touching point, when it runs past the point (or stops short of it by at most
// shortBy), within reach and less than half the arc away; null otherwise.
double* arcEndNear(VectorArc& arc, Point touch, double reach, double shortBy) {
    const bool startNearer = length(pointOnCircle(arc.centre, arc.radius, arc.startDegrees) - touch) <=
                             length(pointOnCircle(arc.centre, arc.radius, arc.endDegrees) - touch);
    double& end = startNearer ? arc.startDegrees : arc.endDegrees;
    const double off = length(pointOnCircle(arc.centre, arc.radius, end) - touch);
    const double halfSweep = halfLength(arc);
    const double touchDegrees = angleDegrees(arc.centre, touch);
    const bool runOver = startNearer ? sweepDegrees(arc.startDegrees, touchDegrees) < 180
                                     : sweepDegrees(touchDegrees, arc.endDegrees) < 180;
    return off <= reach && off < halfSweep && (runOver || off <= shortBy) ? &end : nullptr;
}

// Moves the line's end and the arc's end near the point where the line touches the arc's circle to it.
void meetAtTangent(VectorArc& arc, VectorLine& line, const Tolerances& sizes) {
    const double tolerance = sizes.entity;
    const Point along = line.b - line.a;
    const double size = length(along);
    if (size <= 0) {
        return;
    }
    const Point direction = along * (1 / size);
    const double offset = dot(arc.centre - line.a, direction);
    const Point touch = line.a + direction * offset;
    if (distanceToCircle(touch, arc.centre, arc.radius) > tolerance || offset <= 0 || offset >= size) {
        return;
    }
    const double reach = tangentReach(1 / arc.radius, tolerance);
    Point& lineEnd = offset < size / 2 ? line.a : line.b;
    const Point farEnd = offset < size / 2 ? line.b : line.a;
    // A line whose far end lies on the circle too is a chord of it, not a straight leaving it.
    // Only ends run out over each other are cut back; a line ending at the touching point ended on its ink.
    if (length(lineEnd - touch) <= tolerance || length(lineEnd - touch) > reach || length(lineEnd - touch) * 2 > size ||
        distanceToCircle(farEnd, arc.centre, arc.radius) <= 2 * tolerance) {
        return;
    }
    // The arc may stop short of the point where a long line ran on past it and took the ink: the line's
    // middle runs on while the circle keeps within half a stroke of it, and the arc gives way while the
    // strokes overlap at all, which a circle keeps up √2 times as far. A short line touching an arc about its
    // middle (a small diamond's side about a circle) took nothing; a small bend parts from the line within a
    // few dots, so what runs on is the line's own; an arc hundreds of dots across is a line's neighbour.
    // The radii of arcs a line takes from: sizes.smallestTakenArc to largestTakenArc.
    const double overshoot = length(lineEnd - touch);
    const bool taken =
        4 * overshoot <= size && arc.radius >= sizes.smallestTakenArc && arc.radius <= sizes.largestTakenArc;
    const double shortBy = taken ? std::numbers::sqrt2 * overshoot + tolerance : tolerance;
    if (double* arcEnd = arcEndNear(arc, touch, reach, shortBy)) {
        lineEnd = touch;
        *arcEnd = angleDegrees(arc.centre, touch);
    }
}

// Where two circles touch (inside or outside, within the tolerance) and how far their ends may stray from
// there; nothing when they do not touch.
struct Touch {
    Point at;
    double reach = 0;
    bool outside = false;  // each circle outside the other: arcs meeting there turn apart
};
std::optional<Touch> touchOf(const VectorCircle& first, const VectorCircle& second, double tolerance) {
    const Point apart = second.centre - first.centre;
    const double distance = length(apart);
    if (distance <= tolerance) {
        return std::nullopt;
    }
    const Point unit = apart * (1 / distance);
    if (std::abs(distance - (first.radius + second.radius)) <= tolerance) {
        return Touch{first.centre + unit * first.radius, tangentReach(1 / first.radius + 1 / second.radius, tolerance),
                     true};
    }
    if (std::abs(distance - std::abs(first.radius - second.radius)) <= tolerance) {
        return Touch{
            first.radius > second.radius ? first.centre + unit * first.radius : second.centre - unit * second.radius,
            tangentReach(std::abs(1 / first.radius - 1 / second.radius), tolerance)};
    }
    return std::nullopt;
}

// Moves the ends of two arcs near the point where their circles touch (inside or outside) to it.
void meetAtTangent(VectorArc& first, VectorArc& second, double tolerance) {
    const std::optional<Touch> touch = touchOf({first.centre, first.radius}, {second.centre, second.radius}, tolerance);
    if (!touch) {
        return;
    }
    // Where two arcs touching from outside meet (a coil's lobes at a cusp), their strokes are one ink for
    // as long as the circles keep within the reach of each other, and each arc gives that way up.
    const double shortBy = touch->outside ? touch->reach : tolerance;
    double* firstEnd = arcEndNear(first, touch->at, touch->reach, shortBy);
    double* secondEnd = arcEndNear(second, touch->at, touch->reach, shortBy);
    if (firstEnd && secondEnd) {
        *firstEnd = angleDegrees(first.centre, touch->at);
        *secondEnd = angleDegrees(second.centre, touch->at);
    }
}

// Moves the arc's end near the point where its circle touches a whole circle to it, whether it ran on past
// the point or stopped short of it: along the tangent the two strokes are one ink, which hides where the
// arc leaves the circle.
void meetCircleAtTangent(VectorArc& arc, const VectorCircle& circle, double tolerance) {
    const std::optional<Touch> touch = touchOf({arc.centre, arc.radius}, circle, tolerance);
    if (!touch) {
        return;
    }
    const bool startNearer = length(pointOnCircle(arc.centre, arc.radius, arc.startDegrees) - touch->at) <=
                             length(pointOnCircle(arc.centre, arc.radius, arc.endDegrees) - touch->at);
    double& end = startNearer ? arc.startDegrees : arc.endDegrees;
    const double off = length(pointOnCircle(arc.centre, arc.radius, end) - touch->at);
    const double halfSweep = halfLength(arc);
    if (off <= touch->reach && off < halfSweep) {
        end = angleDegrees(arc.centre, touch->at);
    }
}

// The ids the index lists within radius of either end of the arc, each once, in their order.
void nearArcEnds(const SpatialIndex& index, const VectorArc& arc, double radius, std::vector<std::int32_t>& found) {
    index.startSearch();
    found.clear();
    index.addNear(pointOnCircle(arc.centre, arc.radius, arc.startDegrees), radius, found);
    index.addNear(pointOnCircle(arc.centre, arc.radius, arc.endDegrees), radius, found);
    std::sort(found.begin(), found.end());
}

// A line or arc can meet an arc only near one of the arc's ends: each search looks there alone, and the pairs
// found are met in the order of their numbers, as a search of every pair would.
void meetLinesAtTangents(VectorDrawing& drawing, const Tolerances& sizes, const Tick& tick,
                         std::vector<std::int32_t>& found) {
    const double tolerance = sizes.entity;
    const SpatialIndex lines = indexOfSegments(drawing.lines, tick);
    for (VectorArc& arc : drawing.arcs) {
        tick();
        // A line's end and the arc's end each stray at most reach from the touching point.
        nearArcEnds(lines, arc, 4 * tangentReach(1 / arc.radius, tolerance) + tolerance, found);
        for (const std::int32_t k : found) {
            meetAtTangent(arc, drawing.lines[static_cast<std::size_t>(k)], sizes);
        }
    }
}

// Two arcs' ends each lie less than half the arc's length from the touching point, so the shorter arc finds
// the longer one within twice its own half length.
void meetArcsAtTangents(VectorDrawing& drawing, double tolerance, const Tick& tick, std::vector<std::int32_t>& found) {
    SpatialIndex arcEnds;
    for (std::size_t i = 0; i < drawing.arcs.size(); ++i) {
        tick();
        const VectorArc& arc = drawing.arcs[i];
        const Point start = pointOnCircle(arc.centre, arc.radius, arc.startDegrees),
                    end = pointOnCircle(arc.centre, arc.radius, arc.endDegrees);
        arcEnds.insert(static_cast<std::int32_t>(i), start, start);
        arcEnds.insert(static_cast<std::int32_t>(i), end, end);
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    for (std::size_t i = 0; i < drawing.arcs.size(); ++i) {
        tick();
        const VectorArc& arc = drawing.arcs[i];
        nearArcEnds(arcEnds, arc, 4 * halfLength(arc) + 2 * tolerance, found);
        for (const std::int32_t k : found) {
            if (k != static_cast<std::int32_t>(i)) {
                pairs.emplace_back(std::min(k, static_cast<std::int32_t>(i)),
                                   std::max(k, static_cast<std::int32_t>(i)));
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    for (const auto& [first, second] : pairs) {
        tick();
        meetAtTangent(drawing.arcs[static_cast<std::size_t>(first)], drawing.arcs[static_cast<std::size_t>(second)],
                      tolerance);
    }
}

// An arc's ends look for the circles whose way round passes near.
void meetCirclesAtTangents(VectorDrawing& drawing, double tolerance, const Tick& tick,
                           std::vector<std::int32_t>& found) {
    const SpatialIndex circles = indexOfCircles(drawing.circles, tick);
    for (VectorArc& arc : drawing.arcs) {
        tick();
        nearArcEnds(circles, arc, tangentReach(1 / arc.radius, tolerance) + 2 * tolerance, found);
        for (const std::int32_t k : found) {
            meetCircleAtTangent(arc, drawing.circles[static_cast<std::size_t>(k)], tolerance);
        }
    }
}

}  // namespace

void meetAtTangentPoints(VectorDrawing& drawing, const Tolerances& tolerances, const Tick& tick) {
    std::vector<std::int32_t> found;
    meetLinesAtTangents(drawing, tolerances, tick, found);
    meetArcsAtTangents(drawing, tolerances.entity, tick, found);
    meetCirclesAtTangents(drawing, tolerances.entity, tick, found);
}

}  // namespace kelvarin
