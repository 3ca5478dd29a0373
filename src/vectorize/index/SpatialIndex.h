// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The side of the cells of every spatial index of the vector mode, in dots: a little more than the widest
// strokes.
inline constexpr double kIndexCellSize = 32;

// Finds the items near a point: each item, a segment or a point, is listed in the square cells it passes
// through. The cells are laid out flat once the items are in, so that a search touches few places in
// memory. Ids come out cell by cell (columns from the left, up each), in the order inserted within a cell.
class SpatialIndex {
public:
    // The ids one search has found so far; threads searching at once each have their own.
    class Search {
        friend class SpatialIndex;
        std::vector<std::uint32_t> seen;  // the query that last found each id
        std::uint32_t query = 0;
    };

    void insert(std::int32_t id, Point a, Point b) {
        m_idCount = std::max(m_idCount, static_cast<std::size_t>(id) + 1);
        const double distance = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
        const int steps = static_cast<int>(std::ceil(distance / (kIndexCellSize / 2))) + 1;
        std::int64_t last = -1;
        for (int i = 0; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            const std::int64_t key = keyOf(cellOf(a.x + (b.x - a.x) * t), cellOf(a.y + (b.y - a.y) * t));
            if (key != last) {
                m_pending.push_back({key, id});
                last = key;
            }
        }
        m_built = false;
    }
    void insert(std::int32_t id, Point p) { insert(id, p, p); }

    // Lays the cells out; searches do it themselves, but threads searching at once need it done before.
    void build() const;

    // Appends the ids listed in the cells within radius of p, each once, to found (cleared first).
    void near(Point p, double radius, std::vector<std::int32_t>& found) const { near(p, radius, found, m_search); }
    void near(Point p, double radius, std::vector<std::int32_t>& found, Search& search) const {
        found.clear();
        startSearch(search);
        addNear(p, radius, found, search);
    }

    // A search over several places: startSearch(), then addNear() for each, finds each id once.
    void startSearch() const { startSearch(m_search); }
    void startSearch(Search& search) const {
        build();
        search.seen.resize(std::max(search.seen.size(), m_idCount), 0);
        ++search.query;
    }
    void addNear(Point p, double radius, std::vector<std::int32_t>& found) const {
        addNear(p, radius, found, m_search);
    }
    void addNear(Point p, double radius, std::vector<std::int32_t>& found, Search& search) const {
        forCellsIn(cellOf(p.x - radius), cellOf(p.x + radius), cellOf(p.y - radius), cellOf(p.y + radius),
                   [&](const std::int32_t* first, const std::int32_t* last) {
                       for (const std::int32_t* id = first; id != last; ++id) {
                           if (search.seen[static_cast<std::size_t>(*id)] != search.query) {
                               search.seen[static_cast<std::size_t>(*id)] = search.query;
                               found.push_back(*id);
                           }
                       }
                   });
    }

private:
    struct Entry {
        std::int64_t key;
        std::int32_t id;
    };

    static std::int64_t cellOf(double value) { return static_cast<std::int64_t>(std::floor(value / kIndexCellSize)); }
    static std::int64_t keyOf(std::int64_t x, std::int64_t y) { return (x + (1 << 24)) << 26 | (y + (1 << 24)); }
    // Calls visit(first, last) with the ids of each listed cell from column x0 to x1 and row y0 to y1, column
    // by column and up each: only the cells listed are looked at, so a search far wider than the page costs
    // no more than the page's cells.
    template <typename Visit>
    void forCellsIn(std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1, Visit visit) const {
        if (m_gridWidth > 0) {
            x0 = std::max(x0, m_gridX);
            x1 = std::min(x1, m_gridX + m_gridWidth - 1);
            y0 = std::max(y0, m_gridY);
            y1 = std::min(y1, m_gridY + m_gridHeight - 1);
            for (std::int64_t x = x0; x <= x1; ++x) {
                for (std::int64_t y = y0; y <= y1; ++y) {
                    const auto cell = static_cast<std::size_t>((x - m_gridX) * m_gridHeight + (y - m_gridY));
                    visit(m_ids.data() + m_starts[cell], m_ids.data() + m_starts[cell + 1]);
                }
            }
            return;
        }
        if (m_keys.empty()) {
            return;
        }
        x0 = std::max(x0, xOfKey(m_keys.front()));
        x1 = std::min(x1, xOfKey(m_keys.back()));
        for (std::int64_t x = x0; x <= x1; ++x) {
            const std::int64_t last = keyOf(x, y1);
            for (auto key = std::lower_bound(m_keys.begin(), m_keys.end(), keyOf(x, y0));
                 key != m_keys.end() && *key <= last; ++key) {
                const auto cell = static_cast<std::size_t>(key - m_keys.begin());
                visit(m_ids.data() + m_starts[cell], m_ids.data() + m_starts[cell + 1]);
            }
        }
    }
    static std::int64_t xOfKey(std::int64_t key) { return (key >> 26) - (1 << 24); }
    // Lays out the cells the entries use, as a grid or a list of keys; gives each entry's cell and sets cells
    // to their number.
    std::vector<std::uint32_t> layOutCells(std::size_t& cells) const;
    // Lists the ids of every cell, the entries' cells given.
    void listIds(const std::vector<std::uint32_t>& slots, std::size_t cells) const;

    std::size_t m_idCount = 0;
    std::vector<Entry> m_pending;  // each segment's cells, in the order inserted
    // Once built: the ids of every cell one after the other, in the order inserted, and where each cell's
    // begin. Cells lie in a grid over the cells used (when it is not much larger than the entries), else
    // their keys are listed in order.
    mutable bool m_built = true;
    mutable std::vector<std::int32_t> m_ids;
    mutable std::vector<std::uint32_t> m_starts;
    mutable std::vector<std::int64_t> m_keys;  // empty for a grid
    mutable std::int64_t m_gridX = 0, m_gridY = 0, m_gridWidth = 0, m_gridHeight = 0;
    mutable Search m_search;
};

}  // namespace kelvarin
