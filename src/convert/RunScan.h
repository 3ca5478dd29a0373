// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

// Finds runs of line cells a word of 64 cells at a time. Rows are read along their words; columns in
// strips of 64, one word per row, so that each strip's runs come out column by column.

// Appends the runs of set cells along a row of words, left to right: words words, word(i) the i-th (the
// leftmost cell in its most significant bit), the row width cells wide.
template <typename Word>
void appendRunsOfWords(std::int32_t words, std::int64_t width, std::int32_t y, Word word,
                       std::vector<LineSegment>& runs) {
    constexpr std::uint64_t kLeftmost = std::uint64_t{1} << 63;
    std::uint64_t previous = 0;
    std::int64_t start = 0;
    for (std::int32_t i = 0; i < words; ++i) {
        const std::uint64_t cells = word(i);
        // Cells that differ from the cell to their left: each starts or ends a run, alternately.
        std::uint64_t changes = cells ^ (cells >> 1 | previous << 63);
        while (changes != 0) {
            const int bit = std::countl_zero(changes);
            const std::int64_t x = std::int64_t{i} * 64 + bit;
            if ((cells & kLeftmost >> bit) != 0) {
                start = x;
            } else {
                runs.push_back({static_cast<std::int32_t>(start), y, static_cast<std::int32_t>(x - start), 1});
            }
            changes &= ~(kLeftmost >> bit);
        }
        previous = cells & 1;
    }
    if (previous != 0) {
        runs.push_back({static_cast<std::int32_t>(start), y, static_cast<std::int32_t>(width - start), 1});
    }
}

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
