// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "common/Toolkit.h"
#include "convert/Despeckle.h"
#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Clears the runs of grid longer than longest, across and up, in the copy (a copy of grid): the lines of
// the drawing, which text touches and crosses. Then gives back the cells of those lines that strokes cross
// them in: a stretch of cleared cells across a line, no wider than widest, with ink of the copy just
// beyond both its ends, away from where lines across and up meet. A line struck through text (a dimension
// line through a value, a title block's cell border through a label's tops) would otherwise cut each letter
// in two, and the halves be taken for the pieces of lines crossing it; a tick across a junction stays cut.
// Returns the cells given back (runs across or up).
std::vector<LineSegment> stripLongRuns(const VirtualVram& grid, std::int32_t longest, std::int32_t widest,
                                       CleanedGrid& copy, Toolkit& toolkit);

// The cells of a grid that a copy of it lost (the long runs set aside), and those the copy kept.
class SetAsideCells {
public:
    SetAsideCells(const VirtualVram& grid, const VirtualVram& copy) : m_grid(grid), m_copy(copy) {}
    bool at(std::int32_t x, std::int32_t y) const;
    bool at(Point p) const;  // the cell a position in dots rounds to
    bool kept(std::int32_t x, std::int32_t y) const;

private:
    const VirtualVram& m_grid;
    const VirtualVram& m_copy;
};

// Clears cells first..last of row y in the copy.
void clearCells(CleanedGrid& copy, std::int32_t y, std::int32_t first, std::int32_t last);

// Clears the runs' cells (each within a row) in the copy.
void clearRuns(CleanedGrid& copy, const std::vector<LineSegment>& runs);

// Sets the cells of the runs (across or up) in the copy.
void setRuns(CleanedGrid& copy, const std::vector<LineSegment>& runs);

}  // namespace kelvarin
