// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "common/DisjointSets.h"
#include "convert/LineSegmentList.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The cores of a page's filled areas, gathered row by row from the bottom up as hollowing finds them: the
// cells farther from the background than the strokes are wide, which no stroke has, joined into groups of
// touching cells (diagonals too).
class FilledCores {
public:
    // Adds the interior cells of row y, as words of 64 cells, the leftmost in the most significant bit; any:
    // whether there is one. Rows come in order from the bottom.
    void addRow(std::int32_t y, const std::vector<std::uint64_t>& interior, bool any);
    // The middles of the groups that may be a disc's core: no wider or taller than largest dots, about as
    // wide as tall, and filling about the disc in their box. A thick stroke's core is a long band along it.
    // Ordered by each group's lowest row.
    std::vector<Point> roundMiddles(double largest);

private:
    struct Run {
        std::int32_t y, first, last;
    };
    std::vector<Run> m_runs;
    DisjointSets<std::size_t> m_sets;  // the runs, joined into groups
    std::size_t m_rowStart = 0;        // where the runs of the row added last start
    std::vector<LineSegment> m_found;  // the runs of the row being added
};

}  // namespace kelvarin
