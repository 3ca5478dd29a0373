// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/OverlappingArcs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "common/Angles.h"
#include "common/DisjointSets.h"
#include "vectorize/assembly/ArcRecentring.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

namespace {

constexpr double kLeastOverlap = 2;  // dots along the circle two arcs must share
// Of the radius, beyond the tolerance: centres and radii of pieces of one stroke bent a little apart.
constexpr double kNearShare = 0.1;
constexpr double kWidestJoinedGap = 90;  // degrees between arcs that one stroke under a dot or a crossing makes

// Degrees two arcs share, each taken counter-clockwise from its start.
double sharedDegrees(const VectorArc& x, const VectorArc& y) {
    const double sweepX = sweepDegrees(x.startDegrees, x.endDegrees);
    const double sweepY = sweepDegrees(y.startDegrees, y.endDegrees);
    // y's start and end measured from x's start.
    const double from = sweepDegrees(x.startDegrees, y.startDegrees);
    const double to = from + sweepY;
    // The overlap of [0, sweepX] with [from, to] and with the same shifted a turn back.
    const double ahead = std::max(0.0, std::min(sweepX, to) - from);
    const double behind = std::max(0.0, std::min(sweepX, to - 360) - 0.0);
    return std::min(ahead + behind, std::min(sweepX, sweepY));
}

bool sameCircle(const VectorArc& x, const VectorArc& y, double tolerance) {
    return length(x.centre - y.centre) <= tolerance && std::abs(x.radius - y.radius) <= tolerance;
}

bool overlapping(const VectorArc& x, const VectorArc& y) {
    return sharedDegrees(x, y) * std::numbers::pi / 180 * x.radius > kLeastOverlap;
}

// The arc on the circle of another, with its ends where they lie now.
VectorArc movedOnto(const VectorArc& arc, const VectorArc& circle) {
    const Point start = pointOnCircle(arc.centre, arc.radius, arc.startDegrees);
    const Point end = pointOnCircle(arc.centre, arc.radius, arc.endDegrees);
    return {circle.centre, circle.radius, angleDegrees(circle.centre, start), angleDegrees(circle.centre, end)};
}

// One arc over the arcs of a set: their circle weighted by length, from the start that follows the widest
// stretch of the circle no member covers round to the farthest end.
VectorArc mergedArc(const std::vector<VectorArc>& arcs, const std::vector<std::size_t>& members) {
    double weight = 0, radius = 0;
    Point centre{0, 0};
    for (const std::size_t k : members) {
        const double w = sweepDegrees(arcs[k].startDegrees, arcs[k].endDegrees) * arcs[k].radius;
        weight += w;
        centre = centre + arcs[k].centre * w;
        radius += arcs[k].radius * w;
    }
    centre = centre * (1 / weight);
    radius /= weight;
    // The first start: the one after the widest stretch of the circle that no member covers.
    std::size_t first = members.front();
    double widestOpen = -1;
    for (const std::size_t k : members) {
        double open = 360;
        for (const std::size_t o : members) {
            if (o == k) {
                continue;
            }
            const bool covered = sweepDegrees(arcs[o].startDegrees, arcs[k].startDegrees) <
                                 sweepDegrees(arcs[o].startDegrees, arcs[o].endDegrees);
            open = std::min(open, covered ? 0.0 : sweepDegrees(arcs[o].endDegrees, arcs[k].startDegrees));
        }
        if (open > widestOpen) {
            widestOpen = open;
            first = k;
        }
    }
    const double start = arcs[first].startDegrees;
    double reach = 0;
    for (const std::size_t k : members) {
        reach = std::max(
            reach, sweepDegrees(start, arcs[k].startDegrees) + sweepDegrees(arcs[k].startDegrees, arcs[k].endDegrees));
    }
    return {centre, radius, start, normalDegrees(start + std::min(reach, 359.0))};
}

SpatialIndex centresOf(const std::vector<VectorArc>& arcs) {
    return indexOfPoints(arcs.size(), [&](std::size_t i) { return arcs[i].centre; });
}

// Overlapping arcs on nearly one circle are two pieces of one stroke whose chains bent one of them a few
// dots off (a crossing line cut it short): when the stroke's middles along both lie on one circle, both
// move onto it.
void alignNearCircles(WideDrawing& wide, const SpatialIndex& centres, const InkProbe& strokes, double tolerance,
                      const Tick& tick) {
    std::vector<VectorArc>& arcs = wide.drawing.arcs;
    std::vector<std::int32_t> near;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        tick();
        const double nearby = tolerance + kNearShare * arcs[i].radius;
        centres.near(arcs[i].centre, nearby, near);
        for (const std::int32_t found : near) {
            const auto j = static_cast<std::size_t>(found);
            if (j <= i || sameCircle(arcs[i], arcs[j], tolerance) || !sameCircle(arcs[i], arcs[j], nearby) ||
                !overlapping(arcs[i], arcs[j])) {
                continue;
            }
            const double width = std::max(wide.arcWidths[i], wide.arcWidths[j]);
            if (const std::optional<VectorArc> fit =
                    arcOnStrokeMiddles(mergedArc(arcs, {i, j}), width, strokes, tolerance)) {
                arcs[i] = movedOnto(arcs[i], *fit);
                arcs[j] = movedOnto(arcs[j], *fit);
            }
        }
    }
}

// Whether y starts more than two dots after x ends, no farther on than either arc is long (nor than a
// quarter turn), and the ink runs on along their circle all the way between them: one stroke that something drawn
// over it (a filled dot, a heavy crossing line) cut apart.
bool joinedAcrossInk(const VectorArc& x, const VectorArc& y, const InkProbe& scanned) {
    const double gap = sweepDegrees(x.endDegrees, y.startDegrees);
    const double shorter =
        std::min(sweepDegrees(x.startDegrees, x.endDegrees), sweepDegrees(y.startDegrees, y.endDegrees));
    if (gap * std::numbers::pi / 180 * x.radius <= kLeastOverlap || gap > shorter || gap > kWidestJoinedGap) {
        return false;
    }
    return scanned.shareAlongCircle((x.centre + y.centre) * 0.5, (x.radius + y.radius) / 2, x.endDegrees,
                                    y.startDegrees) >= 1.0;
}

}  // namespace

void mergeOverlappingArcs(WideDrawing& wide, const InkProbe& strokes, const InkProbe& scanned, double tolerance,
                          const Tick& tick) {
    std::vector<VectorArc>& arcs = wide.drawing.arcs;
    alignNearCircles(wide, centresOf(arcs), strokes, tolerance, tick);
    const SpatialIndex centres = centresOf(arcs);
    DisjointSets<std::size_t> sets(arcs.size());
    bool merged = false;
    std::vector<std::int32_t> near;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        tick();
        centres.near(arcs[i].centre, tolerance, near);
        for (const std::int32_t found : near) {
            const auto j = static_cast<std::size_t>(found);
            if (j > i && sameCircle(arcs[i], arcs[j], tolerance) &&
                (overlapping(arcs[i], arcs[j]) || joinedAcrossInk(arcs[i], arcs[j], scanned) ||
                 joinedAcrossInk(arcs[j], arcs[i], scanned))) {
                sets.join(i, j);
                merged = true;
            }
        }
    }
    if (!merged) {
        return;
    }
    const auto members =
        sets.gather<std::vector<std::size_t>>([](std::vector<std::size_t>& set, std::size_t i) { set.push_back(i); });
    std::vector<VectorArc> kept;
    std::vector<double> widths;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        if (members[i].empty()) {
            continue;
        }
        kept.push_back(members[i].size() == 1 ? arcs[i] : mergedArc(arcs, members[i]));
        widths.push_back(wide.arcWidths[i]);
    }
    arcs = std::move(kept);
    wide.arcWidths = std::move(widths);
}

}  // namespace kelvarin
