// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class WorkerPool;

// Receives the runs of line cells of row y, left to right.
using RowRunsVisit = std::function<void(std::int32_t y, const std::vector<LineSegment>& runs)>;

// Calls visit for every row of the grid in order, from row 0 up. The runs are found a band of rows at a time,
// on the pool's workers when there is a pool, while visit takes each band's rows in order on the calling
// thread: a row-by-row pass that must see the rows in order still leaves the scanning to the workers.
void forEachRowsRuns(const VirtualVram& grid, WorkerPool* pool, const RowRunsVisit& visit);

}  // namespace kelvarin
