// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/symbols/Blobs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <set>
#include <tuple>

#include "common/WorkerPool.h"
#include "convert/LineSegmentList.h"
#include "vectorize/geometry/EntityWalk.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {

namespace {

// Positions rounded to a tenth of a dot, so that entities repeated with a rounding apart compare equal.
std::int64_t tenths(double value) { return std::llround(value * 10); }

// The cells of a group: their moments, for the axis along which the group is longest, and their extents
// along it and across it from the centre, in dots.
struct Blob {
    LineMoments moments;
    double low = 0, high = 0, acrossLow = 0, acrossHigh = 0;

    // A run's cells at once: n cells a dot apart along x spread n (n² - 1) / 12 about their middle.
    void add(const LineSegment& run) {
        LineMoments cells;
        cells.n = run.SpanX;
        cells.mean = {run.StartX + (run.SpanX - 1) / 2.0, static_cast<double>(run.StartY)};
        cells.sxx = cells.n * (cells.n * cells.n - 1) / 12;
        moments.merge(cells);
    }
    void reach(Point cell) {
        const Point along = moments.direction();
        const Point offset = cell - moments.mean;
        low = std::min(low, dot(offset, along));
        high = std::max(high, dot(offset, along));
        acrossLow = std::min(acrossLow, cross(along, offset));
        acrossHigh = std::max(acrossHigh, cross(along, offset));
    }
};

}  // namespace

void dropDegenerateEntities(WideDrawing& wide, const Tick& tick) {
    VectorDrawing& drawing = wide.drawing;
    std::set<std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t>> lines;
    keepIf(drawing.lines, wide.lineWidths, [&](const VectorLine& line) {
        tick();
        if (length(line.b - line.a) < 1) {
            return false;
        }
        auto key = std::make_tuple(tenths(line.a.x), tenths(line.a.y), tenths(line.b.x), tenths(line.b.y));
        if (std::tie(std::get<2>(key), std::get<3>(key)) < std::tie(std::get<0>(key), std::get<1>(key))) {
            key = std::make_tuple(std::get<2>(key), std::get<3>(key), std::get<0>(key), std::get<1>(key));
        }
        return lines.insert(key).second;
    });
    std::set<std::tuple<std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::int64_t>> rounds;
    keepIf(drawing.arcs, wide.arcWidths, [&](const VectorArc& arc) {
        tick();
        return arc.radius >= 1 && rounds
                                      .insert({tenths(arc.centre.x), tenths(arc.centre.y), tenths(arc.radius),
                                               tenths(arc.startDegrees), tenths(arc.endDegrees)})
                                      .second;
    });
    keepIf(drawing.circles, wide.circleWidths, [&](const VectorCircle& circle) {
        tick();
        return circle.radius >= 1 &&
               rounds.insert({tenths(circle.centre.x), tenths(circle.centre.y), tenths(circle.radius), 0, 360}).second;
    });
}

namespace {

// Marks each group over one of whose cells an entity of the drawing passes, walking the entities a dot at a
// time on the workers. A mark is only ever set, so the marks are the same in any order.
std::vector<std::uint8_t> coveredGroups(const RunGroups& groups, const VectorDrawing& drawing, WorkerPool& pool) {
    std::vector<std::uint8_t> covered(groups.groupCount(), 0);
    const std::size_t lines = drawing.lines.size();
    const std::size_t arcs = drawing.arcs.size();
    const std::size_t entities = lines + arcs + drawing.circles.size();
    constexpr std::size_t kEntitiesPerItem = 256;
    pool.run((entities + kEntitiesPerItem - 1) / kEntitiesPerItem, [&](std::size_t item, std::int32_t) {
        // The last cell walked, and whether it lay in a group: a line cell a step from it touches it, so it
        // is in the same group; the other cells' runs are looked for near the last one's place in its row.
        std::int32_t lastX = -2, lastY = -2;
        bool inGroup = false;
        std::size_t place = 0;
        const auto mark = [&](Point p) {
            const auto x = static_cast<std::int32_t>(std::lround(p.x));
            const auto y = static_cast<std::int32_t>(std::lround(p.y));
            const bool touching = inGroup && std::abs(x - lastX) <= 1 && std::abs(y - lastY) <= 1;
            lastX = x;
            lastY = y;
            if (touching && groups.inked(x, y)) {
                return;
            }
            const std::size_t run = groups.runAt(x, y, place);
            inGroup = run < groups.runCount();
            if (inGroup) {
                std::atomic_ref(covered[groups.group(run)]).store(1, std::memory_order_relaxed);
            }
        };
        const std::size_t end = std::min(entities, (item + 1) * kEntitiesPerItem);
        for (std::size_t e = item * kEntitiesPerItem; e < end; ++e) {
            if (e < lines) {
                walkLine(drawing.lines[e].a, drawing.lines[e].b, mark);
            } else if (e < lines + arcs) {
                const VectorArc& arc = drawing.arcs[e - lines];
                walkArc(arc.centre, arc.radius, arc.startDegrees, sweepDegrees(arc.startDegrees, arc.endDegrees), mark);
            } else {
                const VectorCircle& circle = drawing.circles[e - lines - arcs];
                walkArc(circle.centre, circle.radius, 0, 360, mark);
            }
        }
    });
    return covered;
}

}  // namespace

std::vector<BareBlob> findBareBlobs(const RunGroups& groups, std::int64_t smallestBlob, const VectorDrawing& drawing,
                                    WorkerPool& pool, const Tick& tick) {
    const std::vector<std::uint8_t> covered = coveredGroups(groups, drawing, pool);
    // Only the uncovered groups are measured, each in a slot of its own.
    std::vector<std::int32_t> slot(groups.groupCount(), -1);
    std::int32_t uncovered = 0;
    for (std::size_t group = 0; group < groups.groupCount(); ++group) {
        if (covered[group] == 0) {
            slot[group] = uncovered++;
        }
    }
    std::vector<Blob> blobs(static_cast<std::size_t>(uncovered));
    tick();
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        if (slot[group] >= 0) {
            blobs[static_cast<std::size_t>(slot[group])].add(run);
        }
    });
    // The extent of each bare group's cells along its longer side and across it, from its centre.
    const auto bareBlob = [&](std::size_t group) -> Blob* {
        Blob* blob = slot[group] >= 0 ? &blobs[static_cast<std::size_t>(slot[group])] : nullptr;
        return blob != nullptr && blob->moments.n >= static_cast<double>(smallestBlob) ? blob : nullptr;
    };
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        if (Blob* blob = bareBlob(group)) {
            blob->reach({static_cast<double>(run.StartX), static_cast<double>(run.StartY)});
            blob->reach({static_cast<double>(run.StartX + run.SpanX - 1), static_cast<double>(run.StartY)});
        }
    });
    std::vector<BareBlob> bare;
    for (std::size_t group = 0; group < groups.groupCount(); ++group) {
        tick();
        const Blob* blob = bareBlob(group);
        if (blob == nullptr) {
            continue;
        }
        const Point along = blob->moments.direction();
        // A round dot's extent is the same either way; at least a dot long, so that the LINE has length.
        const double half = std::max(0.5, (blob->high - blob->low) / 2);
        const Point centre = blob->moments.mean + along * ((blob->low + blob->high) / 2);
        bare.push_back({{centre - along * half, centre + along * half}, blob->acrossHigh - blob->acrossLow + 1});
    }
    return bare;
}

void addBlobEntities(const RunGroups& groups, std::int64_t smallestBlob, WideDrawing& wide, WorkerPool& pool,
                     const Tick& tick) {
    for (const BareBlob& blob : findBareBlobs(groups, smallestBlob, wide.drawing, pool, tick)) {
        wide.drawing.lines.push_back(blob.line);
        wide.lineWidths.push_back(blob.width);
    }
}

void addDottedLines(const RunGroups& dust, const Tolerances& tolerances, VectorDrawing& drawing, WorkerPool& pool,
                    const Tick& tick) {
    const double largestDot = tolerances.largestDottedDot;
    const double widestSpacing = tolerances.widestDotSpacing;
    constexpr double kCosStraight = -0.966;  // neighbours either side within 15 degrees of a straight line
    std::vector<BareBlob> dots;
    for (const BareBlob& blob : findBareBlobs(dust, tolerances.speckCells, drawing, pool, tick)) {
        if (length(blob.line.b - blob.line.a) <= largestDot) {
            dots.push_back(blob);
        }
    }
    const auto middle = [&](std::size_t i) { return (dots[i].line.a + dots[i].line.b) * 0.5; };
    const SpatialIndex index = indexOfPoints(dots.size(), middle);
    std::vector<bool> kept(dots.size(), false);
    std::vector<std::int32_t> near;
    for (std::size_t i = 0; i < dots.size(); ++i) {
        tick();
        index.near(middle(i), widestSpacing, near);
        for (const std::int32_t j : near) {
            const Point toJ = middle(static_cast<std::size_t>(j)) - middle(i);
            for (const std::int32_t k : near) {
                const Point toK = middle(static_cast<std::size_t>(k)) - middle(i);
                const double lj = length(toJ), lk = length(toK);
                if (j < k && lj > 1 && lk > 1 && lj <= widestSpacing && lk <= widestSpacing &&
                    std::max(lj, lk) <= 1.5 * std::min(lj, lk) && dot(toJ, toK) <= kCosStraight * lj * lk) {
                    kept[i] = kept[static_cast<std::size_t>(j)] = kept[static_cast<std::size_t>(k)] = true;
                }
            }
        }
    }
    for (std::size_t i = 0; i < dots.size(); ++i) {
        if (kept[i]) {
            drawing.lines.push_back(dots[i].line);
        }
    }
}

}  // namespace kelvarin
