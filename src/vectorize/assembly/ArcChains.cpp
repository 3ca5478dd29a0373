// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/ArcChains.h"

#include "vectorize/assembly/ArcLinks.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "common/Median.h"
#include "common/WorkerPool.h"
#include "vectorize/geometry/ArcBreaks.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/geometry/TangentArcs.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

constexpr double kWiderStroke = 1.25;  // times the stroke's common width (and a dot): another stroke's ink too
constexpr double kFoundShare = 0.8;    // of the rays along the chain must find its stroke alone
constexpr int kMostRays = 4096;        // along a chain: a dot apart, or more apart along a long one
// A run between cuts is at least this many pens and dots long: the ink rounds a cut over about a pen.
constexpr double kShortestPens = 3;
constexpr double kShortestDots = 8;
// What a cut costs, in the squared stray of the stroke's middles from their circles (dots²) over this many
// points; that stray is measured over runs as long as the shortest.
constexpr double kCutCostPoints = 10;
constexpr double kLeastNoise = 0.04;  // dots², a middle's least squared stray: a clean scan's edges step by cells
constexpr double kLeastBow = 0.75;    // dots between a new arc's middle and its chord
constexpr double kRadiusStep = 1.15;  // times, at least, one arc's radius over the next's when both bend one way
// The middles' summed squared distance from the new arcs (and their cuts' cost), of the old ones', at most.
constexpr double kCloser = 1;
constexpr double kLengthMiss = 0.5;  // of the shortest run, a new arc's length may differ from its middles'
constexpr double kAlongDots = 1.5;   // beyond its pen, an arc left may lie off the new ones
constexpr int kIndexChords = 8;      // an arc's chords in the index and the points of an arc left looked at

constexpr std::size_t kGap = static_cast<std::size_t>(-1);  // the arc of a middle found in a gap

// Middles of a stroke, each with the arc it was found from.
struct Middles {
    std::vector<Point> points;
    std::vector<std::size_t> arcs;
};

class MiddleProbe {
public:
    MiddleProbe(const InkProbe& ink, double spacing) : m_ink(ink), m_spacing(spacing) {}

    // Probes across the stroke at `at` along the unit normal, for an arc's (or a gap's) stroke pen dots wide.
    void across(Point at, Point normal, double pen, std::size_t arc) {
        ++m_probes;
        const double before = pen + 2;
        if (const auto crossing = m_ink.strokeCrossingNear(at - normal * before, normal, before, pen)) {
            m_found.points.push_back(at + normal * (crossing->middle - before));
            m_found.arcs.push_back(arc);
            m_thickness.push_back(crossing->thickness);
        }
    }
    // Along the arc from the angle of entry to that of exit, the way the chain walks it.
    void alongArc(const VectorArc& arc, bool forward, Point entry, Point exit, double pen, std::size_t index) {
        const double first = angleDegrees(arc.centre, entry), last = angleDegrees(arc.centre, exit);
        const double sweep = forward ? sweepDegrees(first, last) : -sweepDegrees(last, first);
        const int count =
            std::max(2, static_cast<int>(arc.radius * std::abs(sweep) * std::numbers::pi / 180 / m_spacing));
        for (int k = 0; k < count; ++k) {
            const Point radial = pointOnCircle({0, 0}, 1, first + sweep * (k + 0.5) / count);
            across(arc.centre + radial * arc.radius, radial, pen, index);
        }
    }
    void alongGap(const ArcEnd& from, Point to, double pen) {
        const GapPath way(from, to);
        const int count = static_cast<int>(way.length / m_spacing);
        for (int k = 1; k < count; ++k) {
            const double along = way.length * k / count;
            across(way.at(along), way.normal(along), pen, kGap);
        }
    }
    // The middles where the ink crossed is no wider than the stroke's most common width.
    Middles alone() const {
        if (m_thickness.empty()) {
            return {};
        }
        const double widest = kWiderStroke * median(m_thickness) + 1;
        Middles kept;
        for (std::size_t k = 0; k < m_thickness.size(); ++k) {
            if (m_thickness[k] <= widest) {
                kept.points.push_back(m_found.points[k]);
                kept.arcs.push_back(m_found.arcs[k]);
            }
        }
        return static_cast<double>(kept.points.size()) >= kFoundShare * m_probes ? kept : Middles{};
    }

private:
    const InkProbe& m_ink;
    double m_spacing;
    Middles m_found;
    std::vector<double> m_thickness;
    int m_probes = 0;
};

// Whether p lies within the arc's sweep, seen from its centre.
bool withinSweep(const VectorArc& arc, Point p) {
    return sweepDegrees(arc.startDegrees, angleDegrees(arc.centre, p)) <=
           sweepDegrees(arc.startDegrees, arc.endDegrees);
}

// The middles of a chain's stroke, in its order, found across it from each arc and each gap between two
// arcs; none where too few probes find the stroke alone.
Middles chainMiddles(const WideDrawing& wide, const std::vector<ChainLink>& chain, const InkProbe& ink) {
    const std::vector<VectorArc>& arcs = wide.drawing.arcs;
    double total = 0;
    // Where the walk enters and leaves each arc: its ends, but for arcs that overlap, which leave off and take
    // up in the middle of the overlap.
    std::vector<Point> entries, exits;
    for (const ChainLink& link : chain) {
        const VectorArc& arc = arcs[link.arc];
        total += arc.radius * sweepDegrees(arc.startDegrees, arc.endDegrees) * std::numbers::pi / 180;
        entries.push_back(arcEnd(arc, !link.forward).at);
        exits.push_back(arcEnd(arc, link.forward).at);
    }
    for (std::size_t k = 0; k + 1 < chain.size(); ++k) {
        const ArcEnd leaving = arcEnd(arcs[chain[k].arc], chain[k].forward);
        const ArcEnd entering = arcEnd(arcs[chain[k + 1].arc], !chain[k + 1].forward);
        const Point middle = (leaving.at + entering.at) * 0.5;
        if (overlapping(arcs[chain[k].arc], chain[k].forward, arcs[chain[k + 1].arc], !chain[k + 1].forward,
                        wide.arcWidths[chain[k].arc]) &&
            withinSweep(arcs[chain[k].arc], middle) && withinSweep(arcs[chain[k + 1].arc], middle)) {
            exits[k] = entries[k + 1] = middle;
        }
    }
    MiddleProbe probe(ink, std::max(1.0, total / kMostRays));
    for (std::size_t k = 0; k < chain.size(); ++k) {
        const ChainLink& link = chain[k];
        const VectorArc& arc = arcs[link.arc];
        const double pen = wide.arcWidths[link.arc];
        probe.alongArc(arc, link.forward, entries[k], exits[k], pen, link.arc);
        if (k + 1 < chain.size() && length(entries[k + 1] - exits[k]) > 1) {
            probe.alongGap(arcEnd(arc, link.forward), entries[k + 1], pen);
        }
    }
    return probe.alone();
}

// A middle's squared stray from its circle on the whole, from runs of the given length along the chain.
double middleNoise(const std::vector<Point>& points, std::size_t run) {
    std::vector<double> strays;
    for (std::size_t first = 0; first + run <= points.size(); first += run / 2 + 1) {
        const double error = algebraicCircleError(std::span<const Point>(points.data() + first, run));
        if (std::isfinite(error)) {
            strays.push_back(error / static_cast<double>(run - 3));
        }
    }
    return std::max(kLeastNoise, strays.empty() ? 0 : median(strays));
}

// The arc of a chain from the point nearest `from` on its circle to the one nearest `to`, the way it bends.
VectorArc arcBetween(const ChainArc& arc, Point from, Point to) {
    const double first = angleDegrees(arc.circle.centre, from), last = angleDegrees(arc.circle.centre, to);
    return {arc.circle.centre, arc.circle.radius, arc.left ? first : last, arc.left ? last : first};
}

// Which way a run of points turns: +1 left (counter-clockwise), -1 right.
int turnOf(std::span<const Point> points) {
    const Point middle = points[points.size() / 2];
    return cross(middle - points.front(), points.back() - middle) >= 0 ? 1 : -1;
}

struct Redrawn {
    std::vector<VectorArc> arcs;
    std::vector<double> widths;
};

// The runs of points between the cuts, each an arc of its own circle, refitted together touching one
// another; nothing when a fit fails.
std::optional<std::vector<ChainArc>> tiedArcs(const std::vector<Point>& points, const std::vector<std::size_t>& cuts) {
    std::vector<ChainArc> arcs;
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        const std::size_t first = k == 0 ? 0 : cuts[k - 1];
        const std::size_t last = k == cuts.size() ? points.size() - 1 : cuts[k];
        const std::span<const Point> run(points.data() + first, last + 1 - first);
        const CircleFit circle = closestCircle(run, fitCircle(run));
        if (!circle.valid) {
            return std::nullopt;
        }
        arcs.push_back({run, circle, turnOf(run) > 0});
    }
    if (arcs.size() >= 2 && !fitTangentArcs(arcs)) {
        return std::nullopt;
    }
    return arcs;
}

// The arcs from the chain's first end to its last, meeting where their circles touch.
std::vector<VectorArc> arcsBetween(const std::vector<ChainArc>& arcs, Point first, Point last) {
    std::vector<Point> joints{first};
    for (std::size_t k = 0; k + 1 < arcs.size(); ++k) {
        joints.push_back(tangentPoint(arcs[k], arcs[k + 1]));
    }
    joints.push_back(last);
    std::vector<VectorArc> drawn;
    for (std::size_t k = 0; k < arcs.size(); ++k) {
        drawn.push_back(arcBetween(arcs[k], joints[k], joints[k + 1]));
    }
    return drawn;
}

// The arcs fitted again to their stroke's middles found square to them: the first middles were found
// square to the old arcs, which crossed the stroke at a slant where they strayed from it. The first arcs
// when too few middles are found or a fit fails.
std::vector<ChainArc> refittedOnOwnMiddles(const std::vector<ChainArc>& arcs, const std::vector<VectorArc>& drawn,
                                           const InkProbe& ink, double pen, std::vector<Point>& storage) {
    double total = 0;
    for (const VectorArc& arc : drawn) {
        total += arc.radius * sweepDegrees(arc.startDegrees, arc.endDegrees) * std::numbers::pi / 180;
    }
    MiddleProbe probe(ink, std::max(1.0, total / kMostRays));
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const VectorArc& arc = drawn[k];
        const Point start = pointOnCircle(arc.centre, arc.radius, arc.startDegrees);
        const Point end = pointOnCircle(arc.centre, arc.radius, arc.endDegrees);
        probe.alongArc(arc, arcs[k].left, arcs[k].left ? start : end, arcs[k].left ? end : start, pen, k);
    }
    const Middles middles = probe.alone();
    if (middles.points.empty()) {
        return arcs;
    }
    storage = middles.points;
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < middles.arcs.size(); ++i) {
        if (middles.arcs[i] != middles.arcs[i - 1]) {
            cuts.push_back(i);
        }
    }
    if (cuts.size() + 1 != arcs.size()) {
        return arcs;
    }
    const auto refitted = tiedArcs(storage, cuts);
    return refitted ? *refitted : arcs;
}

// Whether each new arc is no tighter than smallestRadius, bows from its chord, keeps within the tolerance of its
// middles and bends clearly otherwise than the one before.
bool bendsClearly(const std::vector<ChainArc>& arcs, double smallestRadius, double tolerance) {
    for (std::size_t k = 0; k < arcs.size(); ++k) {
        const CircleFit& circle = arcs[k].circle;
        if (circle.radius < smallestRadius || largestCircleDistance(arcs[k].points, circle) > tolerance) {
            return false;
        }
        const double halfChord = length(arcs[k].points.back() - arcs[k].points.front()) / 2;
        if (halfChord < circle.radius &&
            circle.radius - std::sqrt(circle.radius * circle.radius - halfChord * halfChord) < kLeastBow) {
            return false;  // a straight stretch between bends is a line
        }
        if (k > 0 && arcs[k - 1].left == arcs[k].left &&
            std::max(circle.radius, arcs[k - 1].circle.radius) <
                kRadiusStep * std::min(circle.radius, arcs[k - 1].circle.radius)) {
            return false;
        }
    }
    return true;
}

// Whether the chain's first middles lie closer to the new arcs than to the old ones, each arc paying cutCost
// for its cut: the runs of firstRuns hold the middles each new arc of arcs was first fitted to.
bool closerThanOld(const WideDrawing& wide, const Middles& middles, const std::vector<ChainArc>& firstRuns,
                   const std::vector<ChainArc>& arcs, double cutCost, std::size_t oldCount) {
    double oldError = cutCost * static_cast<double>(oldCount);
    double newError = cutCost * static_cast<double>(arcs.size());
    for (std::size_t k = 0; k < arcs.size(); ++k) {
        const CircleFit& circle = arcs[k].circle;
        const auto from = static_cast<std::size_t>(firstRuns[k].points.data() - middles.points.data());
        for (std::size_t i = from; i < from + firstRuns[k].points.size(); ++i) {
            if (middles.arcs[i] != kGap) {
                const VectorArc& old = wide.drawing.arcs[middles.arcs[i]];
                const double oldOff = distanceToCircle(middles.points[i], old.centre, old.radius);
                const double newOff = distanceToCircle(middles.points[i], circle.centre, circle.radius);
                oldError += oldOff * oldOff;
                newError += newOff * newOff;
            }
        }
    }
    return newError <= kCloser * oldError;
}

// Whether each arc drawn, from where its circle touches the one before to where it touches the next, runs
// about as far as its middles do: within miss dots.
bool runWithMiddles(const std::vector<VectorArc>& drawn, const std::vector<ChainArc>& arcs, double miss) {
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const double along =
            drawn[k].radius * sweepDegrees(drawn[k].startDegrees, drawn[k].endDegrees) * std::numbers::pi / 180;
        double run = 0;
        for (std::size_t i = 1; i < arcs[k].points.size(); ++i) {
            run += length(arcs[k].points[i] - arcs[k].points[i - 1]);
        }
        if (std::abs(along - run) > miss) {
            return false;
        }
    }
    return true;
}

// The chain's arcs cut where the middles pass from one circle to the next; nothing when the old arcs are as good.
std::optional<Redrawn> redrawnChain(const WideDrawing& wide, const std::vector<ChainLink>& chain, const InkProbe& ink,
                                    double tolerance) {
    const Middles middles = chainMiddles(wide, chain, ink);
    if (middles.points.empty()) {
        return std::nullopt;
    }
    double pen = 0;
    for (const ChainLink& link : chain) {
        pen = std::max(pen, wide.arcWidths[link.arc]);
    }
    const auto shortest = static_cast<std::size_t>(kShortestPens * pen + kShortestDots);
    const double cutCost = kCutCostPoints * middleNoise(middles.points, shortest);
    const std::vector<std::size_t> cuts = arcBreaks(middles.points, cutCost, shortest);
    const auto first = tiedArcs(middles.points, cuts);
    if (!first) {
        return std::nullopt;
    }
    const ChainLink& head = chain.front();
    const ChainLink& tail = chain.back();
    const Point start = arcEnd(wide.drawing.arcs[head.arc], !head.forward).at;
    const Point end = arcEnd(wide.drawing.arcs[tail.arc], tail.forward).at;
    std::vector<Point> storage;
    const std::vector<ChainArc> arcs = refittedOnOwnMiddles(*first, arcsBetween(*first, start, end), ink, pen, storage);

    const double pens = 1.5 * pen + 1;  // a bend tighter than the stroke is wide is a corner or an end cap
    if (!bendsClearly(arcs, pens, tolerance) || !closerThanOld(wide, middles, *first, arcs, cutCost, chain.size())) {
        return std::nullopt;
    }
    std::vector<VectorArc> drawn = arcsBetween(arcs, start, end);
    if (!runWithMiddles(drawn, arcs, kLengthMiss * static_cast<double>(shortest))) {
        return std::nullopt;
    }
    return Redrawn{std::move(drawn), std::vector<double>(arcs.size(), pen)};
}

// Marks the arcs left that lie along the new ones, within their pen and kAlongDots: a piece of a
// redrawn curve that no chain took.
void dropArcsAlong(const Redrawn& added, const WideDrawing& wide, std::vector<bool>& dropped) {
    SpatialIndex index;
    for (std::size_t i = 0; i < added.arcs.size(); ++i) {
        const VectorArc& arc = added.arcs[i];
        const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
        for (int k = 0; k < kIndexChords; ++k) {
            index.insert(static_cast<std::int32_t>(i),
                         pointOnCircle(arc.centre, arc.radius, arc.startDegrees + sweep * k / kIndexChords),
                         pointOnCircle(arc.centre, arc.radius, arc.startDegrees + sweep * (k + 1) / kIndexChords));
        }
    }
    std::vector<std::int32_t> found;
    const std::size_t firstArc = wide.drawing.lines.size();
    for (std::size_t i = 0; i < wide.drawing.arcs.size(); ++i) {
        if (dropped[firstArc + i]) {
            continue;
        }
        const VectorArc& arc = wide.drawing.arcs[i];
        const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
        const double reach = wide.arcWidths[i] + kAlongDots;
        bool along = true;
        for (int k = 0; k <= kIndexChords && along; ++k) {
            const Point p = pointOnCircle(arc.centre, arc.radius, arc.startDegrees + sweep * k / kIndexChords);
            index.near(p, reach, found);
            along = std::any_of(found.begin(), found.end(), [&](std::int32_t id) {
                return distanceToArc(p, added.arcs[static_cast<std::size_t>(id)]) <= reach;
            });
        }
        dropped[firstArc + i] = along;
    }
}

}  // namespace

void redrawArcChains(WideDrawing& wide, const InkProbe& ink, double tolerance, WorkerPool& pool, const Tick& tick) {
    const std::vector<std::vector<ChainLink>> chains = tangentArcChains(wide, ink);
    // Each chain is redrawn from the ink alone, in a place of its own, and taken in order.
    std::vector<std::optional<Redrawn>> redrawnChains(chains.size());
    pool.run(chains.size(),
             [&](std::size_t i, std::int32_t) { redrawnChains[i] = redrawnChain(wide, chains[i], ink, tolerance); });
    std::vector<bool> dropped(wide.drawing.lines.size() + wide.drawing.arcs.size(), false);
    Redrawn added;
    for (std::size_t i = 0; i < chains.size(); ++i) {
        tick();
        const std::optional<Redrawn>& redrawn = redrawnChains[i];
        if (!redrawn) {
            continue;
        }
        for (const ChainLink& link : chains[i]) {
            dropped[wide.drawing.lines.size() + link.arc] = true;
        }
        added.arcs.insert(added.arcs.end(), redrawn->arcs.begin(), redrawn->arcs.end());
        added.widths.insert(added.widths.end(), redrawn->widths.begin(), redrawn->widths.end());
    }
    dropArcsAlong(added, wide, dropped);
    dropMarkedEntities(wide, dropped);
    wide.drawing.arcs.insert(wide.drawing.arcs.end(), added.arcs.begin(), added.arcs.end());
    wide.arcWidths.insert(wide.arcWidths.end(), added.widths.begin(), added.widths.end());
}

}  // namespace kelvarin
