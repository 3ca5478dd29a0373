// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <optional>

#include "convert/VirtualVram.h"
#include "vectorize/Geometry.h"

namespace kelvarin {

// The share of a gap that must be ink for it to count as drawn: a dot of noise may miss.
inline constexpr double kInkedShare = 0.9;

// Asks the grid whether positions in dots are line cells; positions outside the grid are background.
class InkProbe {
public:
    explicit InkProbe(const VirtualVram& grid) : m_grid(grid) {}

    bool at(Point p) const {
        const double x = std::round(p.x);
        const double y = std::round(p.y);
        // Written so that a position that is not a number is outside too.
        if (!(x >= 0 && y >= 0 && x < m_grid.width() && y < m_grid.height())) {
            return false;
        }
        return m_grid.at(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)) != 0;
    }
    // Whether p or a cell beside, above or below it is a line cell: a pinhole in a stroke is still ink.
    bool near(Point p) const {
        return at(p) || at({p.x - 1, p.y}) || at({p.x + 1, p.y}) || at({p.x, p.y - 1}) || at({p.x, p.y + 1});
    }
    // The length of the grid's diagonal, in dots.
    double diagonal() const { return std::hypot(m_grid.width(), m_grid.height()); }
    // The share of the points a dot apart from a to b that are near line cells.
    double shareAlong(Point a, Point b) const;
    // The share of the points a dot apart along the circle from start to end degrees (counter-clockwise)
    // that are line cells.
    double shareAlongCircle(Point centre, double radius, double startDegrees, double endDegrees) const;
    // The same, counting points near line cells (see near): a thin stroke's pinholes are still ink.
    double shareNearCircle(Point centre, double radius, double startDegrees, double endDegrees) const;
    // Degrees the ink goes on along the circle from fromDegrees, outward (+1 counter-clockwise, -1
    // clockwise), up to limitDegrees.
    double reachAlongCircle(Point centre, double radius, double fromDegrees, double outward, double limitDegrees) const;
    // The stretch of ink crossing the ray from `from` along the unit direction whose middle lies nearest
    // distance: its middle's distance and its length, in dots; nothing when no middle lies within the
    // stroke's width of distance.
    struct Crossing {
        double middle = 0;
        double thickness = 0;
    };
    std::optional<Crossing> strokeCrossingNear(Point from, Point direction, double distance, double width) const;
    // Its middle only.
    std::optional<double> strokeMiddleNear(Point from, Point direction, double distance, double width) const {
        const std::optional<Crossing> crossing = strokeCrossingNear(from, direction, distance, width);
        return crossing ? std::optional<double>(crossing->middle) : std::nullopt;
    }

private:
    const VirtualVram& m_grid;
};

}  // namespace kelvarin
