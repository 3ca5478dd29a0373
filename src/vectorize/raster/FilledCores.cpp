// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/raster/FilledCores.h"

#include <algorithm>
#include <climits>
#include <numbers>
#include <unordered_map>
#include <utility>

#include "common/DisjointSets.h"
#include "convert/RunScan.h"

namespace kelvarin {

void FilledCores::addRow(std::int32_t y, const std::vector<std::uint64_t>& interior, bool any) {
    const std::size_t below = m_rowStart;
    m_rowStart = m_runs.size();
    if (!any) {
        return;
    }
    m_found.clear();
    appendRunsOfWords(
        static_cast<std::int32_t>(interior.size()), 64 * static_cast<std::int64_t>(interior.size()), y,
        [&](std::int32_t i) { return interior[static_cast<std::size_t>(i)]; }, m_found);
    for (const LineSegment& run : m_found) {
        m_runs.push_back({y, run.StartX, run.StartX + run.SpanX - 1});
        m_sets.add();
    }
    if (below == m_rowStart || m_runs[below].y != y - 1) {
        return;
    }
    // Joins each run to the runs of the row below that touch it; both rows run left to right.
    std::size_t j = below;
    for (std::size_t i = m_rowStart; i < m_runs.size(); ++i) {
        while (j < m_rowStart && m_runs[j].last + 1 < m_runs[i].first) {
            ++j;
        }
        for (std::size_t k = j; k < m_rowStart && m_runs[k].first <= m_runs[i].last + 1; ++k) {
            m_sets.join(i, k);
        }
    }
}

std::vector<Point> FilledCores::roundMiddles(double largest) {
    struct Extent {
        double cells = 0, sx = 0, sy = 0;
        std::int32_t left = INT32_MAX, right = INT32_MIN, bottom = INT32_MAX, top = INT32_MIN;
        std::size_t firstRun = SIZE_MAX;
    };
    std::unordered_map<std::size_t, Extent> extents;
    m_sets.forEach([&](std::size_t root, std::size_t i) {
        Extent& e = extents[root];
        const Run& run = m_runs[i];
        const double span = run.last - run.first + 1;
        e.cells += span;
        e.sx += span * (run.first + run.last) / 2.0;
        e.sy += span * run.y;
        e.left = std::min(e.left, run.first);
        e.right = std::max(e.right, run.last);
        e.bottom = std::min(e.bottom, run.y);
        e.top = std::max(e.top, run.y);
        e.firstRun = std::min(e.firstRun, i);
    });
    std::vector<std::pair<std::size_t, Point>> middles;
    for (const auto& [root, e] : extents) {
        const double wide = e.right - e.left + 1, high = e.top - e.bottom + 1;
        if (std::max(wide, high) <= largest && std::max(wide, high) <= 2 * std::min(wide, high) + 2 &&
            e.cells >= 0.5 * std::numbers::pi / 4 * wide * high) {
            middles.emplace_back(e.firstRun, Point{e.sx / e.cells, e.sy / e.cells});
        }
    }
    std::sort(middles.begin(), middles.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Point> points;
    points.reserve(middles.size());
    for (const auto& [first, middle] : middles) {
        points.push_back(middle);
    }
    return points;
}

}  // namespace kelvarin
