// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/RunGroups.h"

#include <atomic>
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

}  // namespace

RunGroups::RunGroups(const VirtualVram& grid, const VirtualVram* without, WorkerPool& pool, const Tick& tick)
    : m_rowStart(static_cast<std::size_t>(grid.height()) + 1, 0) {
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
    std::vector<std::vector<LineSegment>> scratch(static_cast<std::size_t>(pool.threads()));
    const auto forEachRowRun = [&](std::size_t band, std::int32_t worker, auto visit) {
        std::vector<LineSegment>& row = scratch[static_cast<std::size_t>(worker)];
        for (std::int32_t y = edges[band]; y < edges[band + 1]; ++y) {
            row.clear();
            findRowRuns(grid, y, row);
            for (const LineSegment& run : row) {
                if (without == nullptr || without->at(run.StartX, y) == 0) {
                    visit(y, run);
                }
            }
        }
    };
    // Each row's count goes to the slot after its own, which the running sum turns into the row's start.
    pool.run(edges.size() - 1, [&](std::size_t band, std::int32_t worker) {
        forEachRowRun(band, worker,
                      [&](std::int32_t y, const LineSegment&) { ++m_rowStart[static_cast<std::size_t>(y) + 1]; });
    });
    std::partial_sum(m_rowStart.begin(), m_rowStart.end(), m_rowStart.begin());
    if (m_rowStart.back() >= kFlag) {
        std::fill(m_rowStart.begin(), m_rowStart.end(), 0);
        return;  // more runs than the numbering holds: no groups
    }
    m_runs.resize(m_rowStart.back());
    pool.run(edges.size() - 1, [&](std::size_t band, std::int32_t worker) {
        std::size_t next = m_rowStart[static_cast<std::size_t>(edges[band])];
        forEachRowRun(band, worker, [&](std::int32_t, const LineSegment& run) {
            m_runs[next++] = {run.StartX, run.SpanX};
        });
    });
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
    // Every run linked straight to its root, halving the paths on the way. A link only ever moves to an
    // ancestor, and links are read and written whole, so the workers may shorten the same paths at once.
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
    // A group's first run numbers it and its root; every later run takes the number from the root.
    std::uint32_t groups = 0;
    for (std::uint32_t i = 0; i < runs; ++i) {
        if ((i & 0xFFFF) == 0) {
            tick();
        }
        const std::uint32_t top = m_group[i];
        if ((top & kFlag) != 0) {
            continue;  // a root numbered by its group's first run
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
