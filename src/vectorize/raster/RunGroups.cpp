// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/raster/RunGroups.h"

#include <algorithm>
#include <bit>

#include "common/WorkerPool.h"
#include "convert/RunScan.h"

namespace kelvarin {

namespace {

// The first and the end row of each band.
std::vector<std::int32_t> bandEdges(std::int32_t height, std::int32_t rowsPerBand) {
    std::vector<std::int32_t> edges;
    for (std::int32_t top = 0; top < height; top += rowsPerBand) {
        edges.push_back(top);
    }
    edges.push_back(height);
    return edges;
}

// The number of runs of row y whose first cell is not set in without (when given): a run starts at a line
// cell whose left neighbour is background.
std::size_t countRuns(const VirtualVram& grid, const VirtualVram* without, std::int32_t y) {
    std::size_t count = 0;
    std::uint64_t before = 0;  // the last cell of the word before
    for (std::int32_t i = 0; i < grid.wordsPerRow(); ++i) {
        const std::uint64_t word = grid.word(y, i);
        std::uint64_t starts = word & ~(word >> 1 | before << 63);
        if (without != nullptr) {
            starts &= ~without->word(y, i);
        }
        count += static_cast<std::size_t>(std::popcount(starts));
        before = word & 1;
    }
    return count;
}

}  // namespace

RunGroups::RunGroups(const VirtualVram& grid, const VirtualVram* without, WorkerPool& pool, const Tick& tick)
    : m_grid(grid), m_rowStart(static_cast<std::size_t>(grid.height()) + 1, 0) {
    const std::int32_t rowsPerBand = linesPerBand(grid.width());
    findRuns(grid, without, pool, rowsPerBand);
    if (m_runs.empty()) {
        return;
    }
    m_sets.reset(m_runs.size());
    // Each band's runs are joined among themselves at once, their trees staying within the band; then the
    // bands are joined to each other.
    const std::vector<std::int32_t> edges = bandEdges(grid.height(), rowsPerBand);
    pool.run(edges.size() - 1, [&](std::size_t band, std::int32_t) {
        for (std::int32_t y = edges[band] + 1; y < edges[band + 1]; ++y) {
            joinRows(y - 1, y);
        }
    });
    for (std::size_t band = 1; band + 1 < edges.size(); ++band) {
        tick();
        joinRows(edges[band] - 1, edges[band]);
    }
    m_group = std::move(m_sets).numbers(pool, tick, m_groupCount);
}

void RunGroups::findRuns(const VirtualVram& grid, const VirtualVram* without, WorkerPool& pool,
                         std::int32_t rowsPerBand) {
    const std::vector<std::int32_t> edges = bandEdges(grid.height(), rowsPerBand);
    // Counted first, each row's count in the slot after its own, which the running sum turns into the row's
    // start; then each row's runs are stored in their place.
    pool.run(edges.size() - 1, [&](std::size_t band, std::int32_t) {
        for (std::int32_t y = edges[band]; y < edges[band + 1]; ++y) {
            m_rowStart[static_cast<std::size_t>(y) + 1] = static_cast<std::uint32_t>(countRuns(grid, without, y));
        }
    });
    std::uint64_t total = 0;
    for (std::uint32_t& start : m_rowStart) {
        total += start;
        if (total >= kFlag) {
            std::fill(m_rowStart.begin(), m_rowStart.end(), 0);
            return;  // more runs than the numbering holds: no groups
        }
        start = static_cast<std::uint32_t>(total);
    }
    m_runs.resize(m_rowStart.back());
    std::vector<std::vector<LineSegment>> scratch(static_cast<std::size_t>(pool.threads()));
    pool.run(edges.size() - 1, [&](std::size_t band, std::int32_t worker) {
        std::vector<LineSegment>& row = scratch[static_cast<std::size_t>(worker)];
        for (std::int32_t y = edges[band]; y < edges[band + 1]; ++y) {
            row.clear();
            findRowRuns(grid, y, row);
            std::size_t next = m_rowStart[static_cast<std::size_t>(y)];
            for (const LineSegment& run : row) {
                if (without == nullptr || without->at(run.StartX, y) == 0) {
                    m_runs[next++] = {run.StartX, run.SpanX};
                }
            }
        }
    });
}

std::size_t RunGroups::runAt(std::int32_t x, std::int32_t y, std::size_t& place) const {
    if (y < 0 || static_cast<std::size_t>(y) + 1 >= m_rowStart.size()) {
        return m_runs.size();
    }
    const std::size_t first = m_rowStart[static_cast<std::size_t>(y)];
    const std::size_t count = m_rowStart[static_cast<std::size_t>(y) + 1] - first;
    if (count == 0) {
        return m_runs.size();
    }
    const auto startOf = [&](std::size_t i) { return m_runs[first + i].startX; };
    const auto lastStartingBy = [&](std::size_t low, std::size_t high) {  // in [low, high), whose first starts by x
        while (high - low > 1) {
            const std::size_t middle = low + (high - low) / 2;
            (startOf(middle) <= x ? low : high) = middle;
        }
        return low;
    };
    // The last run starting at or before x: a few steps from the guess, else a binary search.
    constexpr int kSteps = 4;
    std::size_t i = std::min(place, count - 1);
    if (startOf(i) > x) {
        for (int step = 0; step < kSteps && i > 0 && startOf(i) > x; ++step) {
            --i;
        }
        if (startOf(i) > x) {
            if (i == 0 || startOf(0) > x) {
                place = 0;
                return m_runs.size();
            }
            i = lastStartingBy(0, i);
        }
    } else {
        for (int step = 0; step < kSteps && i + 1 < count && startOf(i + 1) <= x; ++step) {
            ++i;
        }
        if (i + 1 < count && startOf(i + 1) <= x) {
            i = lastStartingBy(i + 1, count);
        }
    }
    place = i;
    return x < startOf(i) + m_runs[first + i].span ? first + i : m_runs.size();
}

void RunGroups::joinRows(std::int32_t below, std::int32_t above) {
    std::size_t i = m_rowStart[static_cast<std::size_t>(below)];
    const std::size_t iEnd = m_rowStart[static_cast<std::size_t>(below) + 1];
    std::size_t j = m_rowStart[static_cast<std::size_t>(above)];
    const std::size_t jEnd = m_rowStart[static_cast<std::size_t>(above) + 1];
    while (i < iEnd && j < jEnd) {
        const RowRun& a = m_runs[i];
        const RowRun& b = m_runs[j];
        if (a.startX <= b.startX + b.span && b.startX <= a.startX + a.span) {
            m_sets.join(static_cast<std::uint32_t>(j), static_cast<std::uint32_t>(i));
        }
        if (a.startX + a.span < b.startX + b.span) {
            ++i;
        } else {
            ++j;
        }
    }
}

}  // namespace kelvarin
