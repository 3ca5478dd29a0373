// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

class InkProbe;
class RunGroups;
class WorkerPool;

// The holes are found up to Tolerances::largestHole across (whole) and largestCutHole (the pieces of one
// that lines cut apart), each band of rows 16 such holes high holding the holes whose lowest row it holds.
inline std::int32_t holeBandRows(std::int32_t largestHole) { return 16 * largestHole; }
inline constexpr std::int32_t kSmallestPiece = 3;  // dots across, of a hole or of a piece of one a line cut off

// The background cells left to right of row y.
struct Gap {
    std::int32_t y, left, right;
};

struct Box {
    std::int32_t left = INT32_MAX, right = INT32_MIN, bottom = INT32_MAX, top = INT32_MIN;

    void add(const Box& other) {
        left = std::min(left, other.left);
        right = std::max(right, other.right);
        bottom = std::min(bottom, other.bottom);
        top = std::max(top, other.top);
    }
    std::int32_t width() const { return right - left + 1; }
    std::int32_t height() const { return top - bottom + 1; }
    Point centre() const { return {(left + right) / 2.0, (bottom + top) / 2.0}; }
    // The columns or rows of background between the boxes, where they lie farthest apart; 0 or less when
    // they overlap.
    std::int32_t gapTo(const Box& other) const {
        return std::max(
            {other.left - right - 1, left - other.right - 1, other.bottom - top - 1, bottom - other.top - 1});
    }
};

// A stretch of background cells, sides touching, that ink encloses: its box, its size and one of its cells.
struct Hole {
    Box box;
    std::int32_t cells = 0;
    std::int32_t seedX = 0, seedY = 0;
};

// The holes whose lowest row is one of the holeBandRows(largest) rows from first on, kSmallestPiece to largest
// across. The rows read run from first - 1 to first + holeBandRows + largest: background that reaches
// them, the page's edge or a gap wider than a hole is open, and a hole that starts lower belongs to another
// band. The runs are the grid's.
std::vector<Hole> holesInBand(const VirtualVram& grid, const RunGroups& rows, std::int32_t first, std::int32_t largest);

// The holes of the whole grid, band by band from the bottom: the same for any number of threads.
using PageHoles = std::vector<std::vector<Hole>>;
PageHoles holesOfPage(const VirtualVram& grid, const RunGroups& rows, std::int32_t largest, WorkerPool& pool);
// Every hole of the page, in the order of its bands.
std::vector<const Hole*> listedHoles(const PageHoles& holes);

// Whether the hole reaches about as far from its box's centre one way as the other, across and along and on
// both diagonals, as a round hole or a slot, being symmetric about its centre, does: a few probes that spare
// a trace of the many holes between lines, most of them of three or four unlike sides.
bool symmetricAboutCentre(const Hole& hole, const InkProbe& ink);

// The rows of background cells of a hole, traced from its seed within its box.
std::vector<Gap> gapsOf(const VirtualVram& grid, const Hole& hole);

}  // namespace kelvarin
