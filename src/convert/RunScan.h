// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

// Finds runs of line cells a word of 64 cells at a time. Rows are read along their words; columns in
// strips of 64, one word per row, so that each strip's runs come out column by column.

// The number of runs in row y.
std::int64_t countRowRuns(const VirtualVram& vram, std::int32_t y);
// Appends the runs of row y, left to right.
void findRowRuns(const VirtualVram& vram, std::int32_t y, std::vector<LineSegment>& runs);

// The columns of strip (64 x strip .. 64 x strip + 63) that a pass with this thinning scans, as a word
// mask: columns 0, thinning, 2 x thinning, ...
std::uint64_t scannedColumns(const VirtualVram& vram, std::int32_t strip, std::int32_t thinning);
// The number of runs in the scanned columns of a strip.
std::int64_t countColumnRuns(const VirtualVram& vram, std::int32_t strip, std::uint64_t columns);

// Appends the runs of the scanned columns of a strip, column after column, each top to bottom in stored
// row order. Keeps its per-column lists between strips so that their memory is reused.
class ColumnRunFinder {
public:
    void find(const VirtualVram& vram, std::int32_t strip, std::uint64_t columns, std::vector<LineSegment>& runs);

private:
    std::array<std::vector<LineSegment>, 64> m_byColumn;
};

}  // namespace kelvarin
