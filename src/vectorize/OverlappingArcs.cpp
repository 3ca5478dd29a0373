// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/OverlappingArcs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>
#include <vector>

#include "vectorize/DisjointSets.h"
#include "vectorize/Fitting.h"
#include "vectorize/InkProbe.h"
#include "vectorize/SegmentIndex.h"

namespace kelvarin {

namespace {

constexpr double kLeastOverlap = 2;  // dots along the circle two arcs must share

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

// One arc over the arcs of a set: their circle weighted by length, from the start of the one whose start no
// other covers round to the farthest end.
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
    return {centre, radius, start, std::fmod(start + std::min(reach, 359.0), 360.0)};
}

// Whether y starts more than two dots after x ends, no farther on than either arc is long (and a quarter
// turn), and the ink runs on along their circle all the way between them: one stroke that something drawn
// over it (a filled dot, a heavy crossing line) cut apart.
bool joinedAcrossInk(const VectorArc& x, const VectorArc& y, const InkProbe& scanned) {
    const double gap = sweepDegrees(x.endDegrees, y.startDegrees);
    const double shorter =
        std::min(sweepDegrees(x.startDegrees, x.endDegrees), sweepDegrees(y.startDegrees, y.endDegrees));
    if (gap * std::numbers::pi / 180 * x.radius <= kLeastOverlap || gap > shorter || gap > 90) {
        return false;
    }
    return scanned.shareAlongCircle((x.centre + y.centre) * 0.5, (x.radius + y.radius) / 2, x.endDegrees,
                                    y.startDegrees) >= 1.0;
}

}  // namespace

void mergeOverlappingArcs(WideDrawing& wide, const InkProbe& scanned, double tolerance, const Tick& tick) {
    std::vector<VectorArc>& arcs = wide.drawing.arcs;
    SegmentIndex centres(kIndexCellSize);
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        centres.insert(static_cast<std::int32_t>(i), arcs[i].centre, arcs[i].centre);
    }
    std::vector<std::size_t> parent(arcs.size());
    std::iota(parent.begin(), parent.end(), 0);
    bool merged = false;
    std::vector<std::int32_t> near;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        tick();
        centres.near(arcs[i].centre, tolerance, near);
        for (const std::int32_t found : near) {
            const auto j = static_cast<std::size_t>(found);
            if (j > i && sameCircle(arcs[i], arcs[j], tolerance) &&
                (sharedDegrees(arcs[i], arcs[j]) * std::numbers::pi / 180 * arcs[i].radius > kLeastOverlap ||
                 joinedAcrossInk(arcs[i], arcs[j], scanned) || joinedAcrossInk(arcs[j], arcs[i], scanned))) {
                parent[rootOf(parent, j)] = rootOf(parent, i);
                merged = true;
            }
        }
    }
    if (!merged) {
        return;
    }
    std::vector<std::vector<std::size_t>> sets(arcs.size());
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        sets[rootOf(parent, i)].push_back(i);
    }
    std::vector<VectorArc> kept;
    std::vector<double> widths;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        if (sets[i].empty()) {
            continue;
        }
        kept.push_back(sets[i].size() == 1 ? arcs[i] : mergedArc(arcs, sets[i]));
        widths.push_back(wide.arcWidths[i]);
    }
    arcs = std::move(kept);
    wide.arcWidths = std::move(widths);
}

}  // namespace kelvarin
