// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/LargeBuffer.h"

namespace kelvarin {

// Cells packed 64 to a word, the leftmost cell in the most significant bit, rows in the grid's stored order
// (row 0 at the bottom of the picture). Bits past the width are 0.
class BitPlane {
public:
    BitPlane() = default;
    BitPlane(std::int32_t width, std::int32_t height);

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::int32_t wordsPerRow() const { return m_wordsPerRow; }
    std::uint64_t* row(std::int32_t y) { return words() + static_cast<std::size_t>(y) * m_wordsPerRow; }
    const std::uint64_t* row(std::int32_t y) const { return words() + static_cast<std::size_t>(y) * m_wordsPerRow; }
    bool at(std::int32_t x, std::int32_t y) const { return (row(y)[x >> 6] >> (63 - (x & 63)) & 1) != 0; }
    // Sets the cells x = first .. last of row y.
    void setRange(std::int32_t y, std::int32_t first, std::int32_t last);

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_wordsPerRow = 0;
    std::uint64_t* words() const { return reinterpret_cast<std::uint64_t*>(m_words.data()); }
    LargeBuffer m_words;  // zero-filled by the system, huge pages where it can
};

// Supplies the cells of a full-size plane: words.size() words of row y from word firstWord on, cells past
// the width 0.
class RowSource {
public:
    virtual void readRow(std::int32_t y, std::int32_t firstWord, std::span<std::uint64_t> words) const = 0;

protected:
    ~RowSource() = default;
};

// Coarser copies of a plane for drawing it small: cell (x, y) of level k is set when any cell of the block
// of 2^k x 2^k cells from (x 2^k, y 2^k) is. Level 0 is the plane itself and is not stored; levels are
// made down to a single cell.
class BitPyramid {
public:
    void build(const RowSource& base, std::int32_t width, std::int32_t height);

    // Stored levels, 1 .. levelCount().
    int levelCount() const { return static_cast<int>(m_levels.size()); }
    const BitPlane& level(int k) const { return m_levels[static_cast<std::size_t>(k - 1)]; }

private:
    std::vector<BitPlane> m_levels;
};

// Runs work(first, end) over parts of 0 .. count - 1 on the processor's cores, one part each, and returns
// when all are done.
void splitAcrossCores(std::int64_t count, const std::function<void(std::int64_t, std::int64_t)>& work);

// Each pair of neighbouring cells of a word as one cell: the 32 pairs in the low half, leftmost pair in
// bit 31.
std::uint64_t halveWord(std::uint64_t word);

}  // namespace kelvarin
