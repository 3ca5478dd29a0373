// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Circles that are added one by one while points are looked up among them: kept in square cells.
class CircleCells {
public:
    void add(const VectorCircle& circle) {
        m_largest = std::max(m_largest, circle.radius);
        m_cells[keyOf(cellOf(circle.centre.x), cellOf(circle.centre.y))].push_back(circle);
    }
    // The circle that p lies within, or within reach of; none when there is none.
    const VectorCircle* around(Point p, double reach) const {
        return first(m_largest + reach, p,
                     [&](const VectorCircle& circle) { return length(p - circle.centre) <= circle.radius + reach; });
    }
    bool covers(Point p, double reach) const { return around(p, reach) != nullptr; }
    // Whether a circle whose centre lies within reach of p passes the test.
    template <typename Test>
    bool centredNear(Point p, double reach, Test test) const {
        return first(reach, p, [&](const VectorCircle& circle) {
                   return length(p - circle.centre) <= reach && test(circle);
               }) != nullptr;
    }

private:
    // The first circle whose centre lies within far of p that passes the test.
    template <typename Test>
    const VectorCircle* first(double far, Point p, Test test) const {
        for (std::int64_t x = cellOf(p.x - far); x <= cellOf(p.x + far); ++x) {
            for (std::int64_t y = cellOf(p.y - far); y <= cellOf(p.y + far); ++y) {
                const auto cell = m_cells.find(keyOf(x, y));
                if (cell == m_cells.end()) {
                    continue;
                }
                const auto found = std::find_if(cell->second.begin(), cell->second.end(), test);
                if (found != cell->second.end()) {
                    return &*found;
                }
            }
        }
        return nullptr;
    }

    static constexpr double kCellSize = 16;  // dots
    static std::int64_t cellOf(double v) { return static_cast<std::int64_t>(std::floor(v / kCellSize)); }
    static std::int64_t keyOf(std::int64_t x, std::int64_t y) { return (x << 32) ^ (y & 0xffffffff); }

    std::unordered_map<std::int64_t, std::vector<VectorCircle>> m_cells;
    double m_largest = 0;
};

}  // namespace kelvarin
