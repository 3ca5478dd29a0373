// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/raster/RunGroups.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <numeric>

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
    m_group.resize(m_runs.size());
    std::iota(m_group.begin(), m_group.end(), std::uint32_t{0});
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
    numberGroups(pool, tick);
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
            m_group[root(static_cast<std::uint32_t>(i))] = root(static_cast<std::uint32_t>(j));
        }
        if (a.startX + a.span < b.startX + b.span) {
            ++i;
        } else {
            ++j;
        }
    }
}

void RunGroups::numberGroups(WorkerPool& pool, const Tick& tick) {
    const auto runs = static_cast<std::uint32_t>(m_group.size());
    // Every run linked to its root, halving the paths on the way. A link only ever moves to an ancestor, and
    // links are read and written whole, so the workers may shorten the same paths at once; but a worker that
    // read a link before another set it to the root may set it back to an ancestor below the root.
    const auto link = [this](std::uint32_t i) { return std::atomic_ref(m_group[i]); };
    constexpr std::uint32_t kRunsPerItem = 1 << 16;
    pool.run((runs + kRunsPerItem - 1) / kRunsPerItem, [&](std::size_t item, std::int32_t) {
        const auto first = static_cast<std::uint32_t>(item * kRunsPerItem);
        const std::uint32_t end = std::min(runs, first + kRunsPerItem);
        for (std::uint32_t i = first; i < end; ++i) {
            std::uint32_t top = i;
            for (std::uint32_t up; (up = link(top).load(std::memory_order_relaxed)) != top;) {
                const std::uint32_t above = link(up).load(std::memory_order_relaxed);
                link(top).store(above, std::memory_order_relaxed);
                top = above;
            }
            link(i).store(top, std::memory_order_relaxed);
        }
    });
    // A group's first run numbers it and its root; every later run takes the number from the root, or from
    // a run on the way up to it that has its number already.
    std::uint32_t groups = 0;
    for (std::uint32_t i = 0; i < runs; ++i) {
        if ((i & 0x3FF) == 0) {
            tick();
        }
        std::uint32_t top = m_group[i];
        if ((top & kFlag) != 0) {
            continue;  // a root numbered by its group's first run
        }
        while ((m_group[top] & kFlag) == 0 && m_group[top] != top) {
            top = m_group[top];
        }
        if ((m_group[top] & kFlag) == 0) {
            m_group[top] = kFlag | groups++;
        }
        m_group[i] = m_group[top];
    }
    for (std::uint32_t& group : m_group) {
        group &= ~kFlag;
    }
    m_groupCount = groups;
}

}  // namespace kelvarin
