// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/ArcAssembly.h"

#include <algorithm>
#include <numbers>
#include <numeric>
#include <span>

#include "common/Angles.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// Arcs of at least this many degrees take in the pieces of their circle; shorter ones are only taken in.
constexpr double kSmallestGatheringSweep = 20;
// Arcs of fewer degrees are not written.
constexpr double kShortestSweep = 0.5;

struct ArcGroup {
    CircleFit circle;
    std::vector<Point> samples;
    std::vector<std::pair<double, double>> spans;  // start and end degrees, counter-clockwise
    double width = 0;
    bool alive = true;
};

// Whether the points lie on the circle within limit.
bool onCircle(std::span<const Point> points, const CircleFit& circle, double limit) {
    return std::all_of(points.begin(), points.end(),
                       [&](Point p) { return distanceToCircle(p, circle.centre, circle.radius) <= limit; });
}

// Joins y into x when one circle fits both within tolerance.
bool tryJoin(ArcGroup& x, ArcGroup& y, double tolerance) {
    std::vector<Point> samples = x.samples;
    samples.insert(samples.end(), y.samples.begin(), y.samples.end());
    const CircleFit circle = fitCircle(samples);
    if (!circle.valid || largestCircleDistance(samples, circle) > tolerance * 1.5) {
        return false;
    }
    x.circle = circle;
    x.samples = std::move(samples);
    x.spans.insert(x.spans.end(), y.spans.begin(), y.spans.end());
    x.width = std::max(x.width, y.width);
    y.alive = false;
    return true;
}

template <typename T>
void append(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

double sweepOf(const ArcGroup& group) {
    double degrees = 0;
    for (const auto& [start, end] : group.spans) {
        degrees += sweepDegrees(start, end);
    }
    return degrees;
}

double arcLength(const ArcGroup& group) { return sweepOf(group) * group.circle.radius; }

// Whether the circle's points a dot apart from start to end (counter-clockwise) are ink, or beside ink, but
// for a few: the gaps between the pieces of one circle are looked at, where a thin stroke may have pinholes.
bool inked(const InkProbe& ink, const CircleFit& circle, double start, double end) {
    return ink.mostlyNearCircle(circle.centre, circle.radius, start, end, kInkedShare);
}

void emitGroup(const ArcGroup& group, const InkProbe& ink, WideDrawing& drawing) {
    // Spans as [start, start + sweep) from the lowest start, unwound past 360 where they wrap.
    std::vector<std::pair<double, double>> spans;
    for (const auto& [start, end] : group.spans) {
        spans.emplace_back(start, start + sweepDegrees(start, end));
    }
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<double, double>> covered;
    for (const auto& span : spans) {
        if (!covered.empty() && span.first <= covered.back().second + 1e-9) {
            covered.back().second = std::max(covered.back().second, span.second);
        } else if (!covered.empty() && inked(ink, group.circle, covered.back().second, span.first)) {
            covered.back().second = std::max(covered.back().second, span.second);
        } else {
            covered.push_back(span);
        }
    }
    // The last span may reach round to the first.
    if (covered.size() > 1) {
        const double wrapStart = covered.back().second;
        const double wrapEnd = covered.front().first + 360;
        if (wrapStart >= wrapEnd - 1e-9 || inked(ink, group.circle, wrapStart, wrapEnd)) {
            covered.front().first = covered.back().first - 360;
            covered.front().second = std::max(covered.front().second, covered.back().second - 360);
            covered.pop_back();
        }
    }
    const CircleFit& circle = group.circle;
    for (const auto& [start, end] : covered) {
        const double sweep = end - start;
        if (sweep >= 360 - 1e-6 || inked(ink, circle, end, start)) {
            drawing.drawing.circles.push_back({circle.centre, circle.radius});
            drawing.circleWidths.push_back(group.width);
            return;
        }
        const double limit = std::min(90.0, (2 * group.width + 6) / circle.radius * 180 / std::numbers::pi);
        const double first = start - ink.reachAlongCircle(circle.centre, circle.radius, start, -1, limit);
        const double last = end + ink.reachAlongCircle(circle.centre, circle.radius, end, 1, limit);
        if (last - first >= 360) {
            drawing.drawing.circles.push_back({circle.centre, circle.radius});
            drawing.circleWidths.push_back(group.width);
            return;
        }
        if (last - first < kShortestSweep) {
            continue;  // equal angles would make a whole circle of it
        }
        drawing.drawing.arcs.push_back({circle.centre, circle.radius, arcEndDegrees(first), arcEndDegrees(last)});
        drawing.arcWidths.push_back(group.width);
    }
}

// Adds the span of a line lying on the group's circle.
void addLineSpan(ArcGroup& group, const LinePiece& line) {
    const double a = angleDegrees(group.circle.centre, line.a);
    const double b = angleDegrees(group.circle.centre, line.b);
    group.spans.emplace_back(sweepDegrees(a, b) <= 180 ? std::pair{a, b} : std::pair{b, a});
}

// The short lines lying on each group's circle, found by walking round the circle, in the order the walk
// meets them.
std::vector<std::vector<std::int32_t>> linesOnCircles(const std::vector<ArcGroup>& groups,
                                                      const std::vector<LinePiece>& lines, double tolerance,
                                                      WorkerPool& pool, const Tick& tick) {
    const SpatialIndex index = indexOfSegments(lines, tick);
    index.build();
    std::vector<std::vector<std::int32_t>> onCircleOf(groups.size());
    std::vector<SpatialIndex::Search> searches(static_cast<std::size_t>(pool.threads()));
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(groups.size(), [&](std::size_t g, std::int32_t worker) {
        const ArcGroup& group = groups[g];
        if (!group.alive) {
            return;
        }
        std::vector<std::int32_t>& near = nears[static_cast<std::size_t>(worker)];
        SpatialIndex::Search& search = searches[static_cast<std::size_t>(worker)];
        const CircleFit circle = group.circle;
        const int steps = static_cast<int>(std::ceil(2 * std::numbers::pi * circle.radius / (kIndexCellSize / 2)));
        // One search for the whole walk finds each line once, where the walk first meets it.
        near.clear();
        index.startSearch(search);
        for (int k = 0; k < steps && !pool.stopping(); ++k) {
            const std::size_t known = near.size();
            index.addNear(pointOnCircle(circle.centre, circle.radius, 360.0 * k / steps),
                          kIndexCellSize / 2 + tolerance, near, search);
            for (const std::int32_t j : std::span(near).subspan(known)) {
                const LinePiece& line = lines[static_cast<std::size_t>(j)];
                if (length(line.b - line.a) > 0.5 * circle.radius) {
                    continue;
                }
                const Point middle = (line.a + line.b) * 0.5;
                const auto off = [&](Point p) { return distanceToCircle(p, circle.centre, circle.radius); };
                if (off(line.a) > tolerance || off(line.b) > tolerance || off(middle) > tolerance) {
                    continue;
                }
                onCircleOf[g].push_back(j);
            }
        }
    });
    return onCircleOf;
}

// Takes the short lines lying on a circle of a group into it; a line on the circles of several groups goes
// to the first.
void absorbLines(std::vector<ArcGroup>& groups, std::vector<LinePiece>& lines, double tolerance, WorkerPool& pool,
                 const Tick& tick) {
    const std::vector<std::vector<std::int32_t>> onCircleOf = linesOnCircles(groups, lines, tolerance, pool, tick);
    std::vector<bool> taken(lines.size(), false);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        tick();
        for (const std::int32_t j : onCircleOf[g]) {
            const auto i = static_cast<std::size_t>(j);
            if (taken[i]) {
                continue;
            }
            const LinePiece& line = lines[i];
            taken[i] = true;
            groups[g].samples.insert(groups[g].samples.end(), {line.a, (line.a + line.b) * 0.5, line.b});
            addLineSpan(groups[g], line);
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tick();
        if (!taken[i]) {
            lines[kept++] = lines[i];
        }
    }
    lines.resize(kept);
}

}  // namespace

void joinArcs(const std::vector<ArcPiece>& pieces, std::vector<LinePiece>& lines, const InkProbe& ink, double tolerance,
              WideDrawing& drawing, WorkerPool& pool, const Tick& tick) {
    const double largestRadius = ink.diagonal();
    std::vector<ArcGroup> groups;
    for (const ArcPiece& piece : pieces) {
        tick();
        groups.push_back({piece.circle, piece.samples, {{piece.startDegrees, piece.endDegrees}}, piece.width, true});
    }
    // The longest arcs first: their circles are the surest, and each takes in the pieces lying on it,
    // found by walking round it.
    std::sort(groups.begin(), groups.end(),
              [](const ArcGroup& x, const ArcGroup& y) { return arcLength(x) > arcLength(y); });
    const SpatialIndex index = indexOfPoints(
        groups.size(), [&](std::size_t i) { return groups[i].samples.front(); }, tick);
    std::vector<std::int32_t> near;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        tick();
        ArcGroup& group = groups[i];
        if (!group.alive || sweepOf(group) < kSmallestGatheringSweep || group.circle.radius > largestRadius) {
            continue;
        }
        const CircleFit circle = group.circle;
        const int steps = static_cast<int>(std::ceil(2 * std::numbers::pi * circle.radius / (kIndexCellSize / 2)));
        for (int k = 0; k < steps; ++k) {
            tick();
            index.near(pointOnCircle(circle.centre, circle.radius, 360.0 * k / steps),
                       kIndexCellSize / 2 + 2 * tolerance, near);
            for (const std::int32_t j : near) {
                ArcGroup& piece = groups[static_cast<std::size_t>(j)];
                if (static_cast<std::size_t>(j) > i && piece.alive &&
                    onCircle(piece.samples, group.circle, 1.5 * tolerance)) {
                    tryJoin(group, piece, tolerance);
                }
            }
        }
    }
    absorbLines(groups, lines, tolerance, pool, tick);
    // Each group's entities apart, then all in the groups' order.
    std::vector<WideDrawing> emitted(groups.size());
    pool.run(groups.size(), [&](std::size_t g, std::int32_t) {
        if (groups[g].alive) {
            emitGroup(groups[g], ink, emitted[g]);
        }
    });
    for (const WideDrawing& some : emitted) {
        tick();
        append(drawing.drawing.arcs, some.drawing.arcs);
        append(drawing.arcWidths, some.arcWidths);
        append(drawing.drawing.circles, some.drawing.circles);
        append(drawing.circleWidths, some.circleWidths);
    }
}

}  // namespace kelvarin
