// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// The pixel grid the lines are extracted from, read straight from the packed rows of the picture: cell
// (x, y) is x columns from the left of the y-th stored row (0 is the first row in the file, the bottom
// row of a bottom-up bitmap); 1 is a line pixel and 0 background. The transfer makes a cell the pixel's
// bit (1 white); an inversion flips every cell, which costs nothing: it only changes how words are read.
class VirtualVram {
public:
    // Reads the grid from rows of stride bytes; the rows must outlive the grid's use.
    void attach(std::span<const std::uint8_t> rows, std::int32_t width, std::int32_t height, std::int64_t stride);
    void detach() { *this = VirtualVram(); }
    void invert() { m_flip = ~m_flip; }

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    // Words of 64 cells per row; the last one may hold fewer.
    std::int32_t wordsPerRow() const { return m_wordsPerRow; }
    // The 64 cells from column 64 x index of row y, the leftmost in the most significant bit; cells past
    // the width are 0.
    std::uint64_t word(std::int32_t y, std::int32_t index) const {
        const std::uint8_t* bytes = m_rows + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_stride) +
                                    static_cast<std::size_t>(index) * 8;
        std::uint64_t value = index < m_wholeWords ? load(bytes) : loadPart(bytes, index);
        value ^= m_flip;
        return index == m_wordsPerRow - 1 ? value & m_lastWordMask : value;
    }
    // One cell, read from its byte alone: the probes ask for single cells far more often than for words.
    std::uint8_t at(std::int32_t x, std::int32_t y) const {
        if (x >= m_width) {
            return 0;
        }
        const std::uint8_t byte =
            m_rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_stride) + static_cast<std::size_t>(x) / 8] ^
            static_cast<std::uint8_t>(m_flip);
        return static_cast<std::uint8_t>(byte >> (7 - x % 8) & 1);
    }

private:
    static std::uint64_t load(const std::uint8_t* bytes) {
        std::uint64_t value;
        std::memcpy(&value, bytes, sizeof value);
        return __builtin_bswap64(value);
    }
    std::uint64_t loadPart(const std::uint8_t* bytes, std::int32_t index) const;

    const std::uint8_t* m_rows = nullptr;
    std::int64_t m_stride = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_wordsPerRow = 0;
    std::int32_t m_wholeWords = 0;  // words that lie wholly inside a row's bytes
    std::uint64_t m_lastWordMask = 0;
    std::uint64_t m_flip = 0;
};

// The width and height of BmpHeader, which the grid must have; throws the program's error when they are
// not those of the grid.
struct GridSize {
    std::int32_t width;
    std::int32_t height;
};
GridSize gridSizeOf(const BmpHeaderBytes& header, const VirtualVram& vram);

// Sets the grid on PixelBytes: a cell is 1 exactly when its bit in the file is 1 (white). Refuses a
// header whose width or height is 0 or does not fit (a top-down bitmap), and pixel data that lacks rows.
// A numbered pass; PassNumber + 1 at the end.
void TransferToVram(const BitmapData& bitmap, VirtualVram& vram, PassState& pass, Toolkit& toolkit);

// Flips every cell. A numbered pass over the columns; PassNumber + 1 at the end.
void InvertVram(const BmpHeaderBytes& header, VirtualVram& vram, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
