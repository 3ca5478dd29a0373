// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/LargeBuffer.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class Toolkit;
class WorkerPool;

// A copy of a grid whose filled areas are hollowed out.
struct HollowedGrid {
    LargeBuffer rows;
    VirtualVram vram;
};

// Receives the interior cells of row y, bottom row first, as words of 64 cells (the leftmost in the most
// significant bit): the line cells farther than a rim from the background. any: whether the row has one.
using InteriorRowVisit = std::function<void(std::int32_t y, const std::vector<std::uint64_t>& interior, bool any)>;

// Clears every line cell farther than rim cells (in rows and columns at once: a square) from the
// background, so that an area much wider than the strokes keeps only a rim of that width, whose centre
// line is the area's outline; strokes up to 2 x rim + 1 wide are untouched. With keptRim (cells, less
// than rim) the interior is widened so that a rim of only keptRim cells is left, whose centre line lies
// close to the area's edge. The copy is made only when something is cleared: false, and hollowed left
// empty, when nothing is. When interiorSeen is given, it receives each row's interior for seenRim as well,
// found from the same runs. The toolkit's events run row by row; the rows' runs are found on the pool.
bool hollowFilledAreas(const VirtualVram& grid, std::int32_t rim, HollowedGrid& hollowed, Toolkit& toolkit,
                       WorkerPool& pool, std::int32_t keptRim = 0, std::int32_t seenRim = 0,
                       const InteriorRowVisit& interiorSeen = {});

}  // namespace kelvarin
