// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "common/LargeBuffer.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class Toolkit;

// A copy of a grid whose filled areas are hollowed out.
struct HollowedGrid {
    LargeBuffer rows;
    VirtualVram vram;
};

// Clears every line cell farther than rim cells (in rows and columns at once: a square) from the
// background, so that an area much wider than the strokes keeps only a rim of that width, whose centre
// line is the area's outline; strokes up to 2 x rim + 1 wide are untouched. With keptRim (cells, less
// than rim) the interior is widened so that a rim of only keptRim cells is left, whose centre line lies
// close to the area's edge. The copy is made only when something is cleared: false, and hollowed left
// empty, when nothing is. The toolkit's events run row by row.
bool hollowFilledAreas(const VirtualVram& grid, std::int32_t rim, HollowedGrid& hollowed, Toolkit& toolkit,
                       std::int32_t keptRim = 0);

}  // namespace kelvarin
