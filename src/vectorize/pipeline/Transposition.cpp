// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/pipeline/Transposition.h"

#include <bit>
#include <cmath>

#include "common/Angles.h"
#include "common/Toolkit.h"

namespace kelvarin {

namespace {

Point swapped(Point p) { return {p.y, p.x}; }

// An angle in degrees mirrored about the diagonal, in [0, 360).
double mirroredDegrees(double degrees) { return arcEndDegrees(90 - degrees); }

}  // namespace

bool betterTransposed(const VirtualVram& grid) {
    constexpr std::int32_t kManyRows = 1 << 20;
    constexpr std::int64_t kHigherThanWide = 16;
    return grid.height() > kManyRows && grid.height() > kHigherThanWide * grid.width();
}

void transposeGrid(const VirtualVram& grid, TransposedGrid& transposed, Toolkit& toolkit) {
    // A row of the copy holds a column of the grid, the grid's first row in its first cell.
    const std::int64_t stride = (static_cast<std::int64_t>(grid.height()) + 63) / 64 * 8;
    transposed.rows = LargeBuffer(static_cast<std::size_t>(stride * grid.width()));
    for (std::int32_t y = 0; y < grid.height(); ++y) {
        toolkit.doEvents(grid.wordsPerRow());
        const std::size_t byte = static_cast<std::size_t>(y / 8);
        const auto bit = static_cast<unsigned char>(0x80 >> (y % 8));
        for (std::int32_t i = 0; i < grid.wordsPerRow(); ++i) {
            // The leftmost cell is the word's most significant bit.
            for (std::uint64_t cells = grid.word(y, i); cells != 0; cells &= cells - 1) {
                const std::int32_t column = 64 * i + 63 - std::countr_zero(cells);
                transposed.rows[static_cast<std::size_t>(column) * static_cast<std::size_t>(stride) + byte] |= bit;
            }
        }
    }
    transposed.vram.attach({transposed.rows.data(), transposed.rows.size()}, grid.height(), grid.width(), stride);
}

VectorDrawing transposeDrawing(const VectorDrawing& drawing) {
    VectorDrawing turned;
    for (const VectorLine& line : drawing.lines) {
        turned.lines.push_back({swapped(line.a), swapped(line.b)});
    }
    // Mirroring turns an arc's direction round: counter-clockwise from s to e becomes counter-clockwise from
    // the mirror of e to the mirror of s.
    for (const VectorArc& arc : drawing.arcs) {
        turned.arcs.push_back(
            {swapped(arc.centre), arc.radius, mirroredDegrees(arc.endDegrees), mirroredDegrees(arc.startDegrees)});
    }
    for (const VectorCircle& circle : drawing.circles) {
        turned.circles.push_back({swapped(circle.centre), circle.radius});
    }
    return turned;
}

}  // namespace kelvarin
