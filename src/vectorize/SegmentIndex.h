#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "vectorize/Geometry.h"

namespace kelvarin {

// The side of the cells the assembly's indexes use, in dots: a little more than the widest strokes.
inline constexpr double kIndexCellSize = 32;

// Finds the segments near a point: each segment is listed in the square cells it passes through.
class SegmentIndex {
public:
    explicit SegmentIndex(double cellSize) : m_cellSize(cellSize) {}

    void insert(std::int32_t id, Point a, Point b) {
        if (static_cast<std::size_t>(id) >= m_seen.size()) {
            m_seen.resize(static_cast<std::size_t>(id) + 1, 0);
        }
        const double distance = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
        const int steps = static_cast<int>(std::ceil(distance / (m_cellSize / 2))) + 1;
        std::int64_t last = -1;
        for (int i = 0; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            const std::int64_t key = keyOf(cellOf(a.x + (b.x - a.x) * t), cellOf(a.y + (b.y - a.y) * t));
            if (key != last) {
                std::vector<std::int32_t>& ids = m_cells[key];
                if (ids.empty() || ids.back() != id) {
                    ids.push_back(id);
                }
                last = key;
            }
        }
    }

    // Appends the ids listed in the cells within radius of p, each once, to found (cleared first).
    void near(Point p, double radius, std::vector<std::int32_t>& found) const {
        found.clear();
        startSearch();
        addNear(p, radius, found);
    }

    // A search over several places: startSearch(), then addNear() for each, finds each id once.
    void startSearch() const { ++m_query; }
    void addNear(Point p, double radius, std::vector<std::int32_t>& found) const {
        const std::int64_t x0 = cellOf(p.x - radius), x1 = cellOf(p.x + radius);
        const std::int64_t y0 = cellOf(p.y - radius), y1 = cellOf(p.y + radius);
        for (std::int64_t x = x0; x <= x1; ++x) {
            for (std::int64_t y = y0; y <= y1; ++y) {
                const auto cell = m_cells.find(keyOf(x, y));
                if (cell == m_cells.end()) {
                    continue;
                }
                for (const std::int32_t id : cell->second) {
                    if (m_seen[static_cast<std::size_t>(id)] != m_query) {
                        m_seen[static_cast<std::size_t>(id)] = m_query;
                        found.push_back(id);
                    }
                }
            }
        }
    }

private:
    std::int64_t cellOf(double value) const { return static_cast<std::int64_t>(std::floor(value / m_cellSize)); }
    static std::int64_t keyOf(std::int64_t x, std::int64_t y) { return (x + (1 << 24)) << 26 | (y + (1 << 24)); }

    double m_cellSize;
    std::unordered_map<std::int64_t, std::vector<std::int32_t>> m_cells;
    // The query that last found each id: found lists each id once without sorting.
    mutable std::vector<std::uint32_t> m_seen;
    mutable std::uint32_t m_query = 0;
};

}  // namespace kelvarin
