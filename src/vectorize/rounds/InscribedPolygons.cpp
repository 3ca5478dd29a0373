// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/InscribedPolygons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {

namespace {

constexpr int kLeastSidePoints = 8;    // cells along a side: shorter slivers are specks
constexpr double kStraight = 0.6;      // dots RMS the side's cells may lie off its line
constexpr double kArcSide = 1.5;       // dots inside the ring's inner edge where a sliver's curved side lies
constexpr double kLeastApothem = 0.5;  // of the ring's radius: a side cutting deeper is no polygon's

struct Cell {
    std::int32_t x, y;
};

// The background cells inside the disc, in groups of cells touching along a side.
std::vector<std::vector<Cell>> slivers(const RunGroups& groups, Point centre, double inside) {
    const auto x0 = static_cast<std::int32_t>(std::floor(centre.x - inside));
    const auto y0 = static_cast<std::int32_t>(std::floor(centre.y - inside));
    const auto size = static_cast<std::int32_t>(std::ceil(2 * inside)) + 2;
    std::vector<std::int32_t> label(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), -1);
    const auto index = [&](std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>(y - y0) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x - x0);
    };
    const auto background = [&](std::int32_t x, std::int32_t y) {
        return x >= x0 && y >= y0 && x < x0 + size && y < y0 + size && !groups.inked(x, y) &&
               length(Point{static_cast<double>(x), static_cast<double>(y)} - centre) <= inside;
    };
    std::vector<std::vector<Cell>> found;
    std::vector<Cell> stack;
    for (std::int32_t y = y0; y < y0 + size; ++y) {
        for (std::int32_t x = x0; x < x0 + size; ++x) {
            if (!background(x, y) || label[index(x, y)] >= 0) {
                continue;
            }
            const auto number = static_cast<std::int32_t>(found.size());
            found.emplace_back();
            label[index(x, y)] = number;
            stack.push_back({x, y});
            while (!stack.empty()) {
                const Cell cell = stack.back();
                stack.pop_back();
                found.back().push_back(cell);
                for (const auto& [dx, dy] : std::array<std::pair<int, int>, 4>{{{1, 0}, {-1, 0}, {0, 1}, {0, -1}}}) {
                    const Cell next{cell.x + dx, cell.y + dy};
                    if (background(next.x, next.y) && label[index(next.x, next.y)] < 0) {
                        label[index(next.x, next.y)] = number;
                        stack.push_back(next);
                    }
                }
            }
        }
    }
    return found;
}

// The line between a sliver and the fill: the middles of the cell edges where its cells touch ink nearer
// the centre, away from its curved side along the ring.
std::optional<VectorLine> sideOf(const RunGroups& groups, const std::vector<Cell>& sliver, Point centre,
                                 double ringInside, double ringMiddle) {
    LineMoments moments;
    std::vector<Point> points;
    for (const Cell& cell : sliver) {
        const Point p{static_cast<double>(cell.x), static_cast<double>(cell.y)};
        if (length(p - centre) > ringInside - kArcSide) {
            continue;
        }
        for (const auto& [dx, dy] : std::array<std::pair<int, int>, 4>{{{1, 0}, {-1, 0}, {0, 1}, {0, -1}}}) {
            const Point q{p.x + dx, p.y + dy};
            if (groups.inked(cell.x + dx, cell.y + dy) && length(q - centre) < length(p - centre)) {
                points.push_back((p + q) * 0.5);
                moments.add(points.back());
            }
        }
    }
    if (static_cast<int>(points.size()) < kLeastSidePoints ||
        moments.squaredError() > kStraight * kStraight * static_cast<double>(points.size())) {
        return std::nullopt;
    }
    // The side's ends: where its line crosses the ring's middle.
    const Point direction = moments.direction();
    const Point foot = footOnLine(centre, moments.mean, direction);
    const double apothem = length(foot - centre);
    if (apothem < kLeastApothem * ringMiddle || apothem >= ringMiddle) {
        return std::nullopt;
    }
    const double half = std::sqrt(ringMiddle * ringMiddle - apothem * apothem);
    return VectorLine{foot - direction * half, foot + direction * half};
}

}  // namespace

std::optional<InscribedPolygon> inscribedPolygon(const RunGroups& groups, Point centre, double edge) {
    const std::vector<std::vector<Cell>> found = slivers(groups, centre, edge - 0.5);
    // The ring's inner edge lies just beyond the farthest cells of the slivers; specks of background along
    // the ring's ragged outer edge tell nothing.
    std::vector<double> farthest;
    for (const std::vector<Cell>& sliver : found) {
        if (static_cast<int>(sliver.size()) >= 2 * kLeastSidePoints) {
            double most = 0;
            for (const Cell& cell : sliver) {
                most = std::max(most, length(Point{static_cast<double>(cell.x), static_cast<double>(cell.y)} - centre));
            }
            farthest.push_back(most);
        }
    }
    if (farthest.empty()) {
        return std::nullopt;
    }
    std::nth_element(farthest.begin(), farthest.begin() + static_cast<std::ptrdiff_t>(farthest.size() / 2),
                     farthest.end());
    const double ringInside = farthest[farthest.size() / 2] + 0.5;
    InscribedPolygon polygon;
    polygon.ringWidth = edge - ringInside;
    polygon.ring = {centre, edge - polygon.ringWidth / 2};
    for (const std::vector<Cell>& sliver : found) {
        if (const std::optional<VectorLine> side = sideOf(groups, sliver, centre, ringInside, polygon.ring.radius)) {
            polygon.sides.push_back(*side);
        }
    }
    return polygon.sides.empty() || polygon.ringWidth <= 0 ? std::nullopt : std::optional(polygon);
}

}  // namespace kelvarin
