// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/BrokenStrokes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "common/DisjointSets.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// The gap between the ends of two pieces of one stroke is tolerances.widestBrokenGap at most.
constexpr double kCleanGap = 1.5;         // dots of a gap that may hold no ink at all
constexpr double kScatteredShare = 0.25;  // of a wider gap, ink as scanned along the line
constexpr double kAsideShare = 0.1;       // of the ink beside a clean gap, sizes.brokenStrokeAside off the line
constexpr double kLeastGap = 0.5;         // dots; pieces that touch are a polyline's, joined at a turn if any
constexpr double kMostOff = 1;            // dots an inner end lies off the line through the outer ends
// Dots without ink between the dashes and dust of a broken stroke: the scan's own breaks in a pen of a dot
// or two, as long at any resolution (in millimetres the thin strokes at 200 dpi lose their ends).
constexpr double kWidestCleanStretch = 4;

// Whether a line from `far` to `end` runs on into another, from `near` to `otherFar`, across a gap: both
// inner ends lie on the line through the outer ones (a short dash's own slant tells little), and the
// gap is a dot or two, or holds scattered ink along that line and none beside it.
bool continues(Point far, Point end, Point near, Point otherFar, const InkProbe& scanned, const Tolerances& sizes) {
    const Point along = unit(otherFar - far);
    const double gap = dot(near - end, along);
    if (gap <= kLeastGap || gap > sizes.widestBrokenGap || dot(end - far, along) <= 0 ||
        dot(otherFar - near, along) <= 0 || distanceFromLine(end, far, along) > kMostOff ||
        distanceFromLine(near, far, along) > kMostOff) {
        return false;
    }
    if (gap <= kCleanGap) {
        return true;
    }
    // A gap that is ink all along, across another stroke or along one that touches the line there (a
    // circle it is tangent to), is no gap.
    if (scanned.shareAlong(end, near) >= kInkedShare) {
        return true;
    }
    // The gap's inside, its ends' cells left out.
    const Point aside = Point{-along.y, along.x} * sizes.brokenStrokeAside;
    const Point from = end + along, to = near - along;
    return scanned.shareAlong(from, to) >= kScatteredShare &&
           scanned.shareAlong(from + aside, to + aside) <= kAsideShare &&
           scanned.shareAlong(from - aside, to - aside) <= kAsideShare;
}

// How far the ink as scanned goes on from the end of a broken stroke outward (a unit direction), in dots:
// up to the last inked dot before a clean stretch wider than the stroke's gaps.
double scatteredReach(Point end, Point outward, const InkProbe& scanned, const Tolerances& sizes) {
    double reach = 0;
    for (double t = 1; t <= sizes.widestBrokenGap && t - reach <= kWidestCleanStretch; t += 1) {
        if (scanned.near(end + outward * t)) {
            reach = t;
        }
    }
    return reach;
}

// The sets of lines that are pieces of one stroke: each line's root (a line of its own is its own root).
std::vector<std::uint32_t> joinedSets(const std::vector<VectorLine>& lines, const InkProbe& scanned,
                                      const Tolerances& sizes, const Tick& tick) {
    const double widestGap = sizes.widestBrokenGap;
    const SpatialIndex ends = indexOfEnds(lines);
    DisjointSets<std::uint32_t> sets(lines.size());
    std::vector<std::int32_t> near;
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
        tick();
        for (const auto& [far, end] : {std::pair{lines[i].b, lines[i].a}, std::pair{lines[i].a, lines[i].b}}) {
            ends.near(end, widestGap + 1, near);
            for (const std::int32_t found : near) {
                const auto j = static_cast<std::uint32_t>(found / 2);
                if (j <= i) {
                    continue;
                }
                const bool atA = found % 2 == 0;
                const Point otherNear = atA ? lines[j].a : lines[j].b, otherFar = atA ? lines[j].b : lines[j].a;
                if (length(otherNear - end) <= widestGap && continues(far, end, otherNear, otherFar, scanned, sizes)) {
                    sets.join(i, j);
                }
            }
        }
    }
    return std::move(sets).roots();
}

}  // namespace

void joinBrokenStrokes(VectorDrawing& drawing, const InkProbe& scanned, const Tolerances& sizes, const Tick& tick) {
    std::vector<VectorLine>& lines = drawing.lines;
    const std::vector<std::uint32_t> root = joinedSets(lines, scanned, sizes, tick);
    // The lines of each set in their order; each set of several becomes the line through all their ends,
    // from the first to the last, whose ends run on over the dust the despeckling dropped, as far as the
    // scan has ink.
    std::vector<std::uint32_t> order(lines.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) { return root[x] < root[y]; });
    for (std::size_t first = 0, end = 0; first < order.size(); first = end) {
        end = first + 1;
        while (end < order.size() && root[order[end]] == root[order[first]]) {
            ++end;
        }
        if (end - first < 2) {
            continue;
        }
        LineMoments moments;
        for (std::size_t k = first; k < end; ++k) {
            moments.add(lines[order[k]].a);
            moments.add(lines[order[k]].b);
        }
        const Point direction = moments.direction();
        double low = 0, high = 0;
        for (std::size_t k = first; k < end; ++k) {
            for (const Point p : {lines[order[k]].a, lines[order[k]].b}) {
                const double t = dot(p - moments.mean, direction);
                low = k == first && p == lines[order[k]].a ? t : std::min(low, t);
                high = k == first && p == lines[order[k]].a ? t : std::max(high, t);
            }
        }
        const Point a = moments.mean + direction * low, b = moments.mean + direction * high;
        lines[root[order[first]]] = {a - direction * scatteredReach(a, direction * -1, scanned, sizes),
                                     b + direction * scatteredReach(b, direction, scanned, sizes)};
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (root[i] == i) {
            lines[kept++] = lines[i];
        }
    }
    lines.resize(kept);
}

}  // namespace kelvarin
