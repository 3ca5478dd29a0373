// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/RunScan.h"

#include <bit>

namespace kelvarin {

namespace {

constexpr std::uint64_t kLeftmost = std::uint64_t{1} << 63;

// Cells where a run starts: set, with the cell to the left clear (previous is the word before).
std::uint64_t runStarts(std::uint64_t word, std::uint64_t previous) { return word & ~(word >> 1 | previous << 63); }

// Set bits, counted one by one: runs start in few cells of a word, and the processor's own count is
// not in the baseline instruction set.
int bitCount(std::uint64_t bits) {
    int count = 0;
    for (; bits != 0; bits &= bits - 1) {
        ++count;
    }
    return count;
}

}  // namespace

std::int64_t countRowRuns(const VirtualVram& vram, std::int32_t y) {
    std::int64_t count = 0;
    std::uint64_t previous = 0;
    for (std::int32_t i = 0; i < vram.wordsPerRow(); ++i) {
        const std::uint64_t word = vram.word(y, i);
        count += bitCount(runStarts(word, previous));
        previous = word;
    }
    return count;
}

void findRowRuns(const VirtualVram& vram, std::int32_t y, std::vector<LineSegment>& runs) {
    appendRunsOfWords(
        vram.wordsPerRow(), vram.width(), y, [&](std::int32_t i) { return vram.word(y, i); }, runs);
}

std::uint64_t scannedColumns(const VirtualVram& vram, std::int32_t strip, std::int32_t thinning) {
    const std::int64_t first = std::int64_t{strip} * 64;
    const std::int64_t end = std::min<std::int64_t>(first + 64, vram.width());
    std::uint64_t columns = 0;
    for (std::int64_t x = (first + thinning - 1) / thinning * thinning; x < end; x += thinning) {
        columns |= kLeftmost >> (x - first);
    }
    return columns;
}

std::int64_t countColumnRuns(const VirtualVram& vram, std::int32_t strip, std::uint64_t columns) {
    std::int64_t count = 0;
    std::uint64_t previous = 0;
    for (std::int32_t y = 0; y < vram.height(); ++y) {
        const std::uint64_t word = vram.word(y, strip) & columns;
        count += bitCount(word & ~previous);
        previous = word;
    }
    return count;
}

void ColumnRunFinder::find(const VirtualVram& vram, std::int32_t strip, std::uint64_t columns,
                           std::vector<LineSegment>& runs) {
    const std::int32_t first = strip * 64;
    std::array<std::int32_t, 64> start{};
    std::uint64_t previous = 0;
    const auto endRuns = [&](std::uint64_t ended, std::int32_t y) {
        while (ended != 0) {
            const int bit = std::countl_zero(ended);
            m_byColumn[static_cast<std::size_t>(bit)].push_back(
                {first + bit, start[static_cast<std::size_t>(bit)], 1, y - start[static_cast<std::size_t>(bit)]});
            ended &= ~(kLeftmost >> bit);
        }
    };
    for (std::int32_t y = 0; y < vram.height(); ++y) {
        const std::uint64_t word = vram.word(y, strip) & columns;
        if (word == previous) {
            continue;
        }
        for (std::uint64_t started = word & ~previous; started != 0;) {
            const int bit = std::countl_zero(started);
            start[static_cast<std::size_t>(bit)] = y;
            started &= ~(kLeftmost >> bit);
        }
        endRuns(previous & ~word, y);
        previous = word;
    }
    endRuns(previous, vram.height());
    for (std::vector<LineSegment>& column : m_byColumn) {
        runs.insert(runs.end(), column.begin(), column.end());
        column.clear();
    }
}

}  // namespace kelvarin
