// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/OverlappingArcs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

#include "common/Angles.h"
#include "common/DisjointSets.h"
#include "common/WorkerPool.h"
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

// How near the centres and radii of arcs overlapping on nearly one circle with the arc lie.
double nearbyOf(const VectorArc& arc, double tolerance) { return tolerance + kNearShare * arc.radius; }

// The circle arcs i and j both move onto when they overlap on nearly one circle (nearby of arc i) and the
// stroke's middles along both lie on one circle, if they do.
std::optional<VectorArc> sharedStrokeCircle(const WideDrawing& wide, std::size_t i, std::size_t j, double nearby,
                                            const InkProbe& strokes, double tolerance) {
    const std::vector<VectorArc>& arcs = wide.drawing.arcs;
    if (sameCircle(arcs[i], arcs[j], tolerance) || !sameCircle(arcs[i], arcs[j], nearby) ||
        !overlapping(arcs[i], arcs[j])) {
        return std::nullopt;
    }
    const double width = std::max(wide.arcWidths[i], wide.arcWidths[j]);
    return arcOnStrokeMiddles(mergedArc(arcs, {i, j}), width, strokes, tolerance);
}

// A pair of arcs looked at ahead, as the arcs were before any moved: the later arc and the circle both move
// onto.
struct PairAhead {
    std::size_t j;
    std::optional<VectorArc> circle;
};

// The pairs arc i makes with the later arcs whose centres lie near its own, each with its shared circle when
// fitted (else none: the caller fits each pair as it takes it).
void pairsAhead(const WideDrawing& wide, std::size_t i, const SpatialIndex& centres, const InkProbe& strokes,
                double tolerance, bool fitted, SpatialIndex::Search& search, std::vector<std::int32_t>& near,
                std::vector<PairAhead>& pairs) {
    const double nearby = nearbyOf(wide.drawing.arcs[i], tolerance);
    centres.near(wide.drawing.arcs[i].centre, nearby, near, search);
    pairs.clear();
    for (const std::int32_t found : near) {
        const auto j = static_cast<std::size_t>(found);
        if (j > i) {
            pairs.push_back({j, fitted ? sharedStrokeCircle(wide, i, j, nearby, strokes, tolerance) : std::nullopt});
        }
    }
}

// Overlapping arcs on nearly one circle are two pieces of one stroke whose chains bent one of them a few
// dots off (a crossing line cut it short): when the stroke's middles along both lie on one circle, both
// move onto it. The pairs are taken in order, each seeing the moves before it; the costly fits are made
// ahead on the workers from the arcs as they were, and a pair one of whose arcs has moved since is fitted
// again.
void alignNearCircles(WideDrawing& wide, const SpatialIndex& centres, const InkProbe& strokes, double tolerance,
                      WorkerPool& pool, const Tick& tick) {
    std::vector<VectorArc>& arcs = wide.drawing.arcs;
    centres.build();
    std::vector<std::vector<PairAhead>> ahead(arcs.size());
    std::vector<SpatialIndex::Search> searches(static_cast<std::size_t>(pool.threads()) + 1);
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(arcs.size(), [&](std::size_t i, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        pairsAhead(wide, i, centres, strokes, tolerance, true, searches[w], nears[w], ahead[i]);
    });
    std::vector<bool> moved(arcs.size(), false);
    std::vector<PairAhead> again;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        tick();
        // An arc moved by an earlier pair looks for its pairs again from where it lies now.
        const double nearby = nearbyOf(arcs[i], tolerance);
        if (moved[i]) {
            pairsAhead(wide, i, centres, strokes, tolerance, false, searches.back(), nears.back(), again);
        }
        for (const PairAhead& pair : moved[i] ? again : ahead[i]) {
            const std::size_t j = pair.j;
            const std::optional<VectorArc> fit =
                moved[i] || moved[j] ? sharedStrokeCircle(wide, i, j, nearby, strokes, tolerance) : pair.circle;
            if (fit) {
                arcs[i] = movedOnto(arcs[i], *fit);
                arcs[j] = movedOnto(arcs[j], *fit);
                moved[i] = moved[j] = true;
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
                          WorkerPool& pool, const Tick& tick) {
    std::vector<VectorArc>& arcs = wide.drawing.arcs;
    alignNearCircles(wide, centresOf(arcs), strokes, tolerance, pool, tick);
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
