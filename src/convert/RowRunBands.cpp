// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/RowRunBands.h"

#include <algorithm>

#include "common/WorkerPool.h"
#include "convert/RunScan.h"

namespace kelvarin {

void forEachRowsRuns(const VirtualVram& grid, WorkerPool* pool, const RowRunsVisit& visit) {
    const std::int32_t height = grid.height();
    const std::int32_t rowsPerBand = pool != nullptr ? linesPerBand(grid.width()) : 1;
    std::vector<std::vector<LineSegment>> runs(static_cast<std::size_t>(rowsPerBand));
    for (std::int32_t top = 0; top < height; top += rowsPerBand) {
        const std::int32_t rowCount = std::min(rowsPerBand, height - top);
        const auto find = [&](std::size_t row, std::int32_t) {
            runs[row].clear();
            findRowRuns(grid, top + static_cast<std::int32_t>(row), runs[row]);
        };
        if (pool != nullptr) {
            pool->run(static_cast<std::size_t>(rowCount), find);
        } else {
            find(0, 0);
        }
        for (std::int32_t y = top; y < top + rowCount; ++y) {
            visit(y, runs[static_cast<std::size_t>(y - top)]);
        }
    }
}

}  // namespace kelvarin
