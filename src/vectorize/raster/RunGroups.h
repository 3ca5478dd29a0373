// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/DisjointSets.h"
#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Pieces.h"

namespace kelvarin {

class WorkerPool;

// The runs of a grid's rows, joined into groups of touching cells, each group numbered from 0 in the order
// of its first run. A run takes 12 bytes: its row is known from where it is stored. The workers find and
// join the runs of bands of rows; the groups and their numbers are the same for any number of threads.
class RunGroups {
public:
    // The runs of grid, but for those whose first cell is set in without (when given): with a grid of which
    // without keeps whole groups, as despeckling does, the groups it dropped. The grid must outlive the groups.
    RunGroups(const VirtualVram& grid, const VirtualVram* without, WorkerPool& pool, const Tick& tick);

    // Whether cell (x, y) is a line cell of the grid: a line cell touching a cell of a group, diagonals
    // included, is in that group.
    bool inked(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < m_grid.width() && y < m_grid.height() && m_grid.at(x, y) != 0;
    }

    std::size_t runCount() const { return m_runs.size(); }
    std::size_t groupCount() const { return m_groupCount; }
    // The number of the group of run i.
    std::size_t group(std::size_t i) const { return m_group[i]; }
    // Calls visit(group, run) for every run, row by row, and tick once a row.
    template <typename Visit>
    void forEachRun(const Tick& tick, Visit visit) const {
        for (std::size_t y = 0; y + 1 < m_rowStart.size(); ++y) {
            tick();
            for (std::size_t i = m_rowStart[y]; i < m_rowStart[y + 1]; ++i) {
                visit(static_cast<std::size_t>(m_group[i]),
                      LineSegment{m_runs[i].startX, static_cast<std::int32_t>(y), m_runs[i].span, 1});
            }
        }
    }
    // Appends the runs of row y, left to right, to runs.
    void rowRuns(std::int32_t y, std::vector<LineSegment>& runs) const {
        for (std::size_t i = m_rowStart[static_cast<std::size_t>(y)]; i < m_rowStart[static_cast<std::size_t>(y) + 1];
             ++i) {
            runs.push_back({m_runs[i].startX, y, m_runs[i].span, 1});
        }
    }
    // The run holding cell (x, y), or runCount() for a background cell.
    std::size_t runAt(std::int32_t x, std::int32_t y) const {
        std::size_t place = 0;
        return runAt(x, y, place);
    }
    // The same, looking first near place, a guess of where in its row the run stands (0 for the row's first
    // run), which is set to where it stood: a walk from row to row finds its next run in a few steps.
    std::size_t runAt(std::int32_t x, std::int32_t y, std::size_t& place) const;

private:
    struct RowRun {
        std::int32_t startX;
        std::int32_t span;
    };
    // Runs number below this: numbering the sets marks numbers with the top bit.
    static constexpr std::uint32_t kFlag = std::uint32_t{1} << 31;

    // Stores the runs of every row in its place, counted first so that they are stored once.
    void findRuns(const VirtualVram& grid, const VirtualVram* without, WorkerPool& pool, std::int32_t rowsPerBand);
    // Joins the runs of two neighbouring rows that touch, diagonals included.
    void joinRows(std::int32_t below, std::int32_t above);

    const VirtualVram& m_grid;
    std::vector<RowRun> m_runs;
    std::vector<std::uint32_t> m_rowStart;  // index of each row's first run; runs number below kFlag
    DisjointSets<std::uint32_t> m_sets;     // the runs joined so far, while joining
    std::vector<std::uint32_t> m_group;     // then each run's group number
    std::size_t m_groupCount = 0;
};

}  // namespace kelvarin
