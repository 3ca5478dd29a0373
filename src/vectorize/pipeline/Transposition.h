// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "common/LargeBuffer.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Pieces.h"

namespace kelvarin {

class Toolkit;

// A copy of a grid turned over about its diagonal: cell (x, y) of the grid is cell (y, x) of the copy.
struct TransposedGrid {
    LargeBuffer rows;
    VirtualVram vram;
};

// Whether the vector mode takes the grid turned over: a page of over a million rows, many times higher
// than wide, whose rows would cost more than their dots as ink groups and chains.
bool betterTransposed(const VirtualVram& grid);

// Turns the grid over about its diagonal. The toolkit's events run row by row.
void transposeGrid(const VirtualVram& grid, TransposedGrid& transposed, Toolkit& toolkit);

// The drawing of a turned-over grid, turned back: each point's x and y swapped, arcs kept counter-clockwise.
VectorDrawing transposeDrawing(const VectorDrawing& drawing);

}  // namespace kelvarin
