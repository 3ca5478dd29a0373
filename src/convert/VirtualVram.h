#pragma once

#include <cstdint>

#include "bitmap/BitmapData.h"
#include "common/LargeBuffer.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// The pixel grid the lines are extracted from: one byte per pixel, 1 for a line pixel and 0 for
// background, indexed (x, y) with x the column from the left and y the stored row (0 is the first row
// in the file, the bottom row of a bottom-up bitmap). Stored row after row, so a row is contiguous.
class VirtualVram {
public:
    // Makes the grid width x height cells. A grid of another size is released and replaced by one whose
    // cells are all 0; a grid of the same size is kept as it is, for callers that write every cell.
    void resize(std::int32_t width, std::int32_t height);

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::uint8_t at(std::int32_t x, std::int32_t y) const { return m_cells.data()[index(x, y)]; }
    std::uint8_t* row(std::int32_t y) { return m_cells.data() + index(0, y); }
    const std::uint8_t* row(std::int32_t y) const { return m_cells.data() + index(0, y); }

private:
    std::size_t index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
    }

    LargeBuffer m_cells;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
};

// The width and height of BmpHeader, which the grid must have; throws the program's error when they are
// not those of the grid.
struct GridSize {
    std::int32_t width;
    std::int32_t height;
};
GridSize gridSizeOf(const BmpHeaderBytes& header, const VirtualVram& vram);

// Fills the grid from PixelBytes: a cell is 1 exactly when its bit in the file is 1 (white). Refuses a
// header whose width or height is 0 or does not fit (a top-down bitmap), and pixel data that lacks rows,
// before the grid is allocated. A numbered pass; PassNumber + 1 at the end.
void TransferToVram(const BitmapData& bitmap, VirtualVram& vram, PassState& pass, Toolkit& toolkit);

// Flips every cell. A numbered pass over the columns; PassNumber + 1 at the end.
void InvertVram(const BmpHeaderBytes& header, VirtualVram& vram, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
