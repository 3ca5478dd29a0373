// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/BowedLines.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "common/Angles.h"
#include "common/DisjointSets.h"
#include "common/Median.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

constexpr int kRays = 15;                  // across the stroke, evenly along the line
constexpr int kRaysNeeded = 11;            // finding the stroke alone; others cross a junction or a gap
constexpr double kProbeStep = 0.5;         // dots between the probes along a ray
constexpr double kLargestOff = 0.6;        // dots the middles may lie off their circle (root mean square)
constexpr double kSmallestSagitta = 1.5;   // dots the middles bow by at the line's middle
constexpr double kShortestTimesWidth = 4;  // a shorter line's chord cannot bow within the stroke
constexpr double kStraighterTimes = 3;     // the root mean square off a line over that off the circle
constexpr double kLongerStretch = 1.5;     // dots a stretch across a ray may be longer than most
constexpr double kLongestSweep = 350;      // degrees: a bowed stroke going round further is a circle

// The stretch of ink crossing the ray from `from` along direction that holds the point at distance `at`,
// or lies nearest it: where it enters and leaves; nothing when its middle lies beyond reach of `at`.
struct Stretch {
    double enter;
    double leave;
};
std::optional<Stretch> stretchNear(const InkProbe& ink, Point from, Point direction, double at, double reach) {
    std::optional<Stretch> best;
    const auto middle = [](const Stretch& s) { return (s.enter + s.leave) / 2; };
    InkRay(ink, from, direction, kProbeStep).forEachStretch(0, 2 * at, [&](double enter, double after, bool) {
        const Stretch found{enter - kProbeStep / 2, after - kProbeStep / 2};
        if (!best || std::abs(middle(found) - at) < std::abs(middle(*best) - at)) {
            best = found;
        }
        return true;
    });
    return best && std::abs(middle(*best) - at) <= reach ? best : std::nullopt;
}

// The bow of a line: the circle along the middle of its stroke, points on it, and its ends' angles.
struct Bow {
    CircleFit circle;
    std::vector<Point> middles;
    double startDegrees = 0;
    double endDegrees = 0;
    double width = 0;
};

// The circle nearest the points, when they lie on it closely: within kLargestOff in the root mean
// square, and none three times as far.
std::optional<CircleFit> closeCircle(const std::vector<Point>& points) {
    const CircleFit circle = fitCircle(points);
    if (!circle.valid || largestCircleDistance(points, circle) > 3 * kLargestOff) {
        return std::nullopt;
    }
    if (squaredCircleError(points, circle) > kLargestOff * kLargestOff * static_cast<double>(points.size())) {
        return std::nullopt;
    }
    return circle;
}

// The circle through the points but those far off a first fit, fitted again without them; nothing when
// too few stay or they do not lie on it closely.
std::optional<CircleFit> steadyCircle(const std::vector<Point>& points, std::vector<Point>& kept) {
    const CircleFit first = fitCircle(points);
    if (!first.valid) {
        return std::nullopt;
    }
    kept.clear();
    for (const Point& p : points) {
        if (distanceToCircle(p, first.centre, first.radius) <= 3 * kLargestOff) {
            kept.push_back(p);
        }
    }
    if (static_cast<int>(kept.size()) < kRaysNeeded) {
        return std::nullopt;
    }
    return closeCircle(kept);
}

// Lines meeting a stroke from one side (hatching inside an arc) move that side's edge, and the middles
// with it: far at a junction, a dot or two in the fillets beside it, which bends the middles of a piece
// between junctions round far too tight a circle. The other edge stays on its circle. So the middles are
// taken half the usual stretch in from the edge that keeps more of its rays on a circle; nothing when
// neither keeps more (a stroke clean on both sides, or crossed through), whose middles are steadier.
std::optional<std::vector<Point>> middlesFromSteadierEdge(const std::vector<Point>& enters,
                                                          const std::vector<Point>& leaves, Point across,
                                                          double usual) {
    std::vector<Point> enterKept, leaveKept;
    const std::optional<CircleFit> enterCircle = steadyCircle(enters, enterKept);
    const std::optional<CircleFit> leaveCircle = steadyCircle(leaves, leaveKept);
    if (!enterCircle && !leaveCircle) {
        return std::nullopt;
    }
    const std::size_t enterCount = enterCircle ? enterKept.size() : 0;
    const std::size_t leaveCount = leaveCircle ? leaveKept.size() : 0;
    if (enterCount == leaveCount) {
        return std::nullopt;
    }
    const bool fromEnters = enterCount > leaveCount;
    std::vector<Point> middles = fromEnters ? enterKept : leaveKept;
    const Point inward = across * (fromEnters ? usual / 2 : -usual / 2);
    for (Point& p : middles) {
        p = p + inward;
    }
    return middles;
}

// Where rays across the line cross its stroke: each ray's middle, where it enters and leaves the ink, and the
// length between. The rays run from end to end of the line but two dots, from start before the line across.
struct Crossings {
    std::vector<Point> middles, enters, leaves;
    std::vector<double> lengths;
};

Crossings crossingsOf(const LinePiece& line, const InkProbe& ink, Point along, Point across, double size, double start,
                      double reach) {
    const double clear = 2;
    Crossings found;
    for (int k = 0; k < kRays; ++k) {
        const Point origin = line.a + along * (clear + (size - 2 * clear) * k / (kRays - 1)) - across * start;
        if (const std::optional<Stretch> stretch = stretchNear(ink, origin, across, start, reach)) {
            found.middles.push_back(origin + across * ((stretch->enter + stretch->leave) / 2));
            found.enters.push_back(origin + across * stretch->enter);
            found.leaves.push_back(origin + across * stretch->leave);
            found.lengths.push_back(stretch->leave - stretch->enter);
        }
    }
    return found;
}

// Whether the circle through the middles bows a line of the size and width clearly: no flatter than the
// page, rounder than the stroke, with a sagitta to see, and fitting the middles far better than a line
// does (jagged edges make a straight stroke's middles wander).
bool clearlyBowed(const CircleFit& circle, const std::vector<Point>& middles, double size, double width,
                  double tolerance, const InkProbe& ink) {
    if (circle.radius > ink.diagonal() || circle.radius < 2 * width + 2) {
        return false;
    }
    const double half = size / 2;
    if (circle.radius <= half || circle.radius - std::sqrt(circle.radius * circle.radius - half * half) <
                                     std::max(kSmallestSagitta, tolerance)) {
        return false;
    }
    LineMoments moments;
    for (const Point& p : middles) {
        moments.add(p);
    }
    return !(moments.squaredError() < kStraighterTimes * kStraighterTimes * squaredCircleError(middles, circle));
}

// Lines crossing the stroke lengthen its stretch across a ray and move the middle, so only the rays whose
// stretch is about as long as most give middles. A piece that junctions cut short has no length to spare for
// its bow, and where lines meet the stroke from one side its steadier edge still holds beside them.
std::optional<Bow> bowOf(const LinePiece& line, const InkProbe& ink, double tolerance) {
    const double size = length(line.b - line.a);
    const double width = std::max(line.width, 1.0);
    if (size < kShortestTimesWidth * width || size < 24) {
        return std::nullopt;
    }
    const Point along = (line.b - line.a) * (1 / size);
    const Point across{-along.y, along.x};
    // A chord lies inside the stroke, so the middles lie within half a width (and the tolerance) of it.
    const double reach = width / 2 + tolerance + 1;
    const Crossings found = crossingsOf(line, ink, along, across, size, reach + width + 2, reach);
    if (static_cast<int>(found.middles.size()) < kRaysNeeded) {
        return std::nullopt;
    }
    const double usual = median(found.lengths);
    std::vector<Point> clean;
    for (std::size_t i = 0; i < found.middles.size(); ++i) {
        if (found.lengths[i] <= usual + kLongerStretch) {
            clean.push_back(found.middles[i]);
        }
    }
    Bow bow;
    const std::optional<std::vector<Point>> fromEdge =
        middlesFromSteadierEdge(found.enters, found.leaves, across, usual);
    const std::optional<CircleFit> circle = steadyCircle(fromEdge ? *fromEdge : clean, bow.middles);
    if (!circle || !clearlyBowed(*circle, bow.middles, size, width, tolerance, ink)) {
        return std::nullopt;
    }
    bow.circle = *circle;
    // A piece's width counts in the junctions along it; an arc that wide would take in a hatch line whose
    // ends both touch its stroke.
    bow.width = std::min(line.width, usual);
    const double a = angleDegrees(bow.circle.centre, line.a), b = angleDegrees(bow.circle.centre, line.b);
    bow.startDegrees = sweepDegrees(a, b) <= 180 ? a : b;
    bow.endDegrees = sweepDegrees(a, b) <= 180 ? b : a;
    if (ink.shareAlongCircle(bow.circle.centre, bow.circle.radius, bow.startDegrees, bow.endDegrees) < kInkedShare) {
        return std::nullopt;
    }
    return bow;
}

// Whether two bows whose lines meet lie on one circle: each alone is too short to tell its radius well,
// so their middles are fitted together.
bool sameArc(const Bow& x, const Bow& y) {
    std::vector<Point> both = x.middles;
    both.insert(both.end(), y.middles.begin(), y.middles.end());
    return closeCircle(both).has_value();
}

// Whether the bow's middles lie on a circle or arc already drawn: a piece of it, left to be dropped as
// covered, not an arc of its own.
bool onDrawnCircle(const Bow& bow, const VectorDrawing& drawing, double tolerance) {
    const auto onIt = [&](Point centre, double radius) {
        return std::all_of(bow.middles.begin(), bow.middles.end(),
                           [&](Point p) { return distanceToCircle(p, centre, radius) <= bow.width / 2 + tolerance; });
    };
    return std::any_of(drawing.circles.begin(), drawing.circles.end(),
                       [&](const VectorCircle& c) { return onIt(c.centre, c.radius); }) ||
           std::any_of(drawing.arcs.begin(), drawing.arcs.end(),
                       [&](const VectorArc& a) { return onIt(a.centre, a.radius); });
}

// The circle the bows of one group make together and its span, unwound (start below end, less than a
// turn apart), when the ink holds it; nothing otherwise.
struct GroupArc {
    CircleFit circle;
    double start = 0;
    double end = 0;
    double width = 0;
};
std::optional<GroupArc> arcOfGroup(const std::vector<const Bow*>& group, const InkProbe& ink) {
    if (group.size() < 2) {
        return std::nullopt;  // one bow alone is too short to tell its circle well
    }
    std::vector<Point> middles;
    GroupArc arc;
    for (const Bow* bow : group) {
        middles.insert(middles.end(), bow->middles.begin(), bow->middles.end());
        arc.width = std::max(arc.width, bow->width);
    }
    const std::optional<CircleFit> circle = closeCircle(middles);
    if (!circle) {
        return std::nullopt;
    }
    arc.circle = *circle;
    // The ends' angles as turns from the first bow's middle, which no arc of the group passes round to.
    const Bow& first = *group.front();
    const double reference = first.startDegrees + sweepDegrees(first.startDegrees, first.endDegrees) / 2;
    double low = 0, high = 0;
    for (const Bow* bow : group) {
        for (const double degrees : {bow->startDegrees, bow->endDegrees}) {
            const double turn = turnDegrees(degrees - reference);
            low = std::min(low, turn);
            high = std::max(high, turn);
        }
    }
    arc.start = reference + low;
    arc.end = reference + high;
    if (high - low >= kLongestSweep ||
        ink.shareAlongCircle(arc.circle.centre, arc.circle.radius, arc.start, arc.end) < kInkedShare) {
        return std::nullopt;
    }
    return arc;
}

// Takes into the arc the lines lying on its stroke beyond its ends: the pieces the lines meeting it cut
// too short to show their bow. Marks them taken.
void absorbLinesAtEnds(GroupArc& arc, const std::vector<LinePiece>& lines, const SpatialIndex& index, double tolerance,
                       std::vector<bool>& taken) {
    const double reach = arc.width / 2 + tolerance;
    const CircleFit& circle = arc.circle;
    const auto onCircle = [&](Point p) { return distanceToCircle(p, circle.centre, circle.radius) <= reach; };
    const double gap = (arc.width + tolerance) / circle.radius * 180 / std::numbers::pi;
    std::vector<std::int32_t> near;
    for (bool grew = true; grew && arc.end - arc.start < kLongestSweep;) {
        grew = false;
        for (const double end : {arc.start, arc.end}) {
            const double radians = end * std::numbers::pi / 180;
            const Point at = circle.centre + Point{std::cos(radians), std::sin(radians)} * circle.radius;
            index.near(at, reach + gap / 180 * std::numbers::pi * circle.radius, near);
            for (const std::int32_t found : near) {
                const auto i = static_cast<std::size_t>(found);
                const LinePiece& line = lines[i];
                if (taken[i] || !onCircle(line.a) || !onCircle(line.b) || !onCircle((line.a + line.b) * 0.5)) {
                    continue;
                }
                // The line's ends as turns from the arc's middle.
                const double middle = (arc.start + arc.end) / 2;
                const double a = middle + turnDegrees(angleDegrees(circle.centre, line.a) - middle);
                const double b = middle + turnDegrees(angleDegrees(circle.centre, line.b) - middle);
                const double from = std::min(a, b), to = std::max(a, b);
                if (to < arc.start - gap || from > arc.end + gap || to - from > 180) {
                    continue;
                }
                taken[i] = true;
                grew = grew || from < arc.start || to > arc.end;
                arc.start = std::min(arc.start, from);
                arc.end = std::max(arc.end, to);
            }
        }
    }
}

// The bowed lines that lie on one circle, in groups: each group's bows and the numbers of their lines, in
// the place of the group's first line (the others' places empty).
struct BowGroups {
    std::vector<std::vector<const Bow*>> bows;
    std::vector<std::vector<std::size_t>> members;
};

BowGroups groupBows(const std::vector<LinePiece>& lines, const std::vector<std::optional<Bow>>& bows, double tolerance,
                    const Tick& tick) {
    std::vector<std::size_t> bowed;
    SpatialIndex index;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (bows[i]) {
            index.insert(static_cast<std::int32_t>(bowed.size()), lines[i].a, lines[i].b);
            bowed.push_back(i);
        }
    }
    DisjointSets<std::size_t> sets(bowed.size());
    std::vector<std::int32_t> near;
    for (std::size_t k = 0; k < bowed.size(); ++k) {
        tick();
        const LinePiece& line = lines[bowed[k]];
        for (const Point end : {line.a, line.b}) {
            index.near(end, line.width + tolerance, near);
            for (const std::int32_t found : near) {
                const auto j = static_cast<std::size_t>(found);
                if (j != k && sameArc(*bows[bowed[k]], *bows[bowed[j]])) {
                    sets.join(std::min(j, k), std::max(j, k));
                }
            }
        }
    }
    BowGroups groups{std::vector<std::vector<const Bow*>>(bowed.size()),
                     std::vector<std::vector<std::size_t>>(bowed.size())};
    sets.forEach([&](std::size_t root, std::size_t k) {
        groups.bows[root].push_back(&*bows[bowed[k]]);
        groups.members[root].push_back(bowed[k]);
    });
    return groups;
}

// Adds the group's arc, run on along the ink beyond its ends.
void addArc(const GroupArc& arc, const InkProbe& ink, WideDrawing& drawing) {
    const CircleFit& circle = arc.circle;
    const double limit = (2 * arc.width + 6) / circle.radius * 180 / std::numbers::pi;
    const double from = arc.start - ink.reachAlongCircle(circle.centre, circle.radius, arc.start, -1, limit);
    const double to = arc.end + ink.reachAlongCircle(circle.centre, circle.radius, arc.end, 1, limit);
    drawing.drawing.arcs.push_back({circle.centre, circle.radius, arcEndDegrees(from), arcEndDegrees(to)});
    drawing.arcWidths.push_back(arc.width);
}

}  // namespace

void bendBowedLines(std::vector<LinePiece>& lines, const InkProbe& ink, double tolerance, WideDrawing& drawing,
                    WorkerPool& pool, const Tick& tick) {
    std::vector<std::optional<Bow>> bows(lines.size());
    pool.run(lines.size(), [&](std::size_t i, std::int32_t) {
        bows[i] = bowOf(lines[i], ink, tolerance);
        if (bows[i] && onDrawnCircle(*bows[i], drawing.drawing, tolerance)) {
            bows[i].reset();
        }
    });
    // Each group in the order of its first line; a group whose arc the ink does not hold stays lines.
    const BowGroups groups = groupBows(lines, bows, tolerance, tick);
    const SpatialIndex allLines = indexOfSegments(lines, tick);
    std::vector<bool> taken(lines.size(), false);
    for (std::size_t k = 0; k < groups.bows.size(); ++k) {
        tick();
        const std::vector<std::size_t>& members = groups.members[k];
        const bool free = std::none_of(members.begin(), members.end(), [&](std::size_t i) { return taken[i]; });
        std::optional<GroupArc> arc = groups.bows[k].empty() || !free ? std::nullopt : arcOfGroup(groups.bows[k], ink);
        if (!arc) {
            continue;  // stays lines; or lines another arc took in
        }
        for (const std::size_t i : members) {
            taken[i] = true;
        }
        absorbLinesAtEnds(*arc, lines, allLines, tolerance, taken);
        addArc(*arc, ink, drawing);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!taken[i]) {
            lines[kept++] = lines[i];
        }
    }
    lines.resize(kept);
}

}  // namespace kelvarin
