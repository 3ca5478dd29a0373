// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/RunGroups.h"

#include <numeric>

#include "convert/RunScan.h"

namespace kelvarin {

RunGroups::RunGroups(const VirtualVram& grid, const Tick& tick) : m_rowStart(grid.height() + 1, 0) {
    std::vector<LineSegment> row;
    // Counted first, so that the runs are stored once, at their final size.
    std::size_t total = 0;
    for (std::int32_t y = 0; y < grid.height(); ++y) {
        tick();
        row.clear();
        findRowRuns(grid, y, row);
        total += row.size();
    }
    if (total >= kFlag) {
        return;  // more runs than the numbering holds: no groups
    }
    m_runs.reserve(total);
    for (std::int32_t y = 0; y < grid.height(); ++y) {
        tick();
        row.clear();
        findRowRuns(grid, y, row);
        m_rowStart[static_cast<std::size_t>(y)] = m_runs.size();
        for (const LineSegment& run : row) {
            m_runs.push_back({run.StartX, run.SpanX});
        }
    }
    m_rowStart.back() = m_runs.size();
    m_group.resize(m_runs.size());
    std::iota(m_group.begin(), m_group.end(), std::uint32_t{0});
    for (std::int32_t y = 1; y < grid.height(); ++y) {
        tick();
        joinRows(y - 1, y);
    }
    numberGroups();
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

void RunGroups::numberGroups() {
    const auto runs = static_cast<std::uint32_t>(m_group.size());
    for (std::uint32_t i = 0; i < runs; ++i) {
        m_group[i] = root(i);
    }
    std::uint32_t groups = 0;
    for (std::uint32_t i = 0; i < runs; ++i) {
        if (m_group[i] == i) {
            m_group[i] = kFlag | groups++;
        }
    }
    for (std::uint32_t i = 0; i < runs; ++i) {
        if ((m_group[i] & kFlag) == 0) {
            m_group[i] = m_group[m_group[i]];
        }
    }
    for (std::uint32_t& group : m_group) {
        group &= ~kFlag;
    }
    m_groupCount = groups;
}

}  // namespace kelvarin
