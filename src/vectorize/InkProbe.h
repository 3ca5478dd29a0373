#pragma once

#include <cmath>

#include "convert/VirtualVram.h"
#include "vectorize/Geometry.h"

namespace kelvarin {

// Asks the grid whether positions in dots are line cells; positions outside the grid are background.
class InkProbe {
public:
    explicit InkProbe(const VirtualVram& grid) : m_grid(grid) {}

    bool at(Point p) const {
        const double x = std::round(p.x);
        const double y = std::round(p.y);
        if (x < 0 || y < 0 || x >= m_grid.width() || y >= m_grid.height()) {
            return false;
        }
        return m_grid.at(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)) != 0;
    }
    // The share of the points a dot apart from a to b that are line cells.
    double shareAlong(Point a, Point b) const;

private:
    const VirtualVram& m_grid;
};

}  // namespace kelvarin
