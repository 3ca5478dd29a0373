// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstdint>

#include "common/LargeBuffer.h"
#include "common/WorkReport.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

// Where the cells of a picture turned counter-clockwise by an angle about the picture's centre come from:
// cell (x, y) of the turned picture takes the value of the source cell nearest to the point that the turn
// carries onto (x, y). The centre is ((width - 1) / 2, (height - 1) / 2), the middle of the cells.
class TurnMapping {
public:
    TurnMapping(std::int32_t width, std::int32_t height, double degrees);

    // The source of the cells of one turned row: sourceX(x) and sourceY(x) for the cell in column x.
    class Row {
    public:
        std::int64_t sourceX(std::int64_t x) const {
            return static_cast<std::int64_t>(std::floor(m_x + (static_cast<double>(x) - m_centreX) * m_cos + 0.5));
        }
        std::int64_t sourceY(std::int64_t x) const {
            return static_cast<std::int64_t>(std::floor(m_y - (static_cast<double>(x) - m_centreX) * m_sin + 0.5));
        }
        double cos() const { return m_cos; }
        double sin() const { return m_sin; }
        // sourceX(x) + 0.5 ≈ xBase() + x × cos() and sourceY(x) + 0.5 ≈ yBase() - x × sin(), before rounding down.
        double xBase() const { return m_x - m_centreX * m_cos + 0.5; }
        double yBase() const { return m_y + m_centreX * m_sin + 0.5; }

    private:
        friend class TurnMapping;
        double m_x = 0;  // the source point of the row's centre column
        double m_y = 0;
        double m_centreX = 0;
        double m_cos = 1;
        double m_sin = 0;
    };

    Row row(std::int64_t y) const;

private:
    double m_centreX;
    double m_centreY;
    double m_cos;
    double m_sin;
};

// Whether turning a picture of this size by degrees carries any cell, even a corner's, half a cell away:
// a smaller turn changes nothing worth a copy.
bool turnMovesCells(std::int32_t width, std::int32_t height, double degrees);

// A picture's cells held in memory of its own: rows of whole 64-cell words, most significant byte first.
struct TurnedGrid {
    LargeBuffer rows;
    VirtualVram vram;
};

// Fills turned with source turned counter-clockwise by degrees (at most a few) about its centre, at the
// same size; cells that come from outside the picture are 0. Each turned row is made of the few stretches
// that come from one source row without a skipped cell, each copied a word at a time.
void turnGrid(const VirtualVram& source, double degrees, TurnedGrid& turned, WorkReport& report);

}  // namespace kelvarin
