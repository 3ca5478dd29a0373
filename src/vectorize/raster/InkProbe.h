// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <optional>

#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The share of a gap that must be ink for it to count as drawn: a dot of noise may miss.
inline constexpr double kInkedShare = 0.9;

// Asks the grid whether positions in dots are line cells; positions outside the grid are background.
class InkProbe {
public:
    explicit InkProbe(const VirtualVram& grid) : m_grid(grid) {}

    // The cell p rounds to, halves away from zero as std::round has them. A coordinate rounds into the grid
    // exactly when it lies above -0.5 and below the size less 0.5; written so that one that is not a number
    // is outside too.
    bool at(Point p) const {
        if (!(p.x > -0.5 && p.y > -0.5 && p.x < m_grid.width() - 0.5 && p.y < m_grid.height() - 0.5)) {
            return false;
        }
        return m_grid.at(roundedInside(p.x), roundedInside(p.y)) != 0;
    }
    // Whether p or a cell beside, above or below it is a line cell: a pinhole in a stroke is still ink.
    bool near(Point p) const {
        // Away from the grid's edges the five cells are the one p rounds to and its four neighbours, read
        // without a bounds check each.
        if (p.x > 1.5 && p.y > 1.5 && p.x < m_grid.width() - 2.5 && p.y < m_grid.height() - 2.5) {
            const std::int32_t x = roundedInside(p.x), y = roundedInside(p.y);
            return m_grid.at(x, y) != 0 || m_grid.at(x - 1, y) != 0 || m_grid.at(x + 1, y) != 0 ||
                   m_grid.at(x, y - 1) != 0 || m_grid.at(x, y + 1) != 0;
        }
        return at(p) || at({p.x - 1, p.y}) || at({p.x + 1, p.y}) || at({p.x, p.y - 1}) || at({p.x, p.y + 1});
    }
    // The length of the grid's diagonal, in dots.
    double diagonal() const { return std::hypot(m_grid.width(), m_grid.height()); }
    // The share of the points a dot apart from a to b that are near line cells.
    double shareAlong(Point a, Point b) const;
    // Whether at least leastShare of the points a dot apart along the circle from start to end degrees
    // (counter-clockwise) are near line cells (see near: a thin stroke's pinholes are still ink); it stops as
    // soon as too many have missed.
    bool mostlyNearCircle(Point centre, double radius, double startDegrees, double endDegrees, double leastShare) const;
    // The share of the points a dot apart along the circle from start to end degrees (counter-clockwise)
    // that are line cells.
    double shareAlongCircle(Point centre, double radius, double startDegrees, double endDegrees) const;
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
    // A coordinate above -0.5 rounded, halves up: the truncation of a value below 2^31 leaves an exact
    // fraction.
    static std::int32_t roundedInside(double value) {
        const auto whole = static_cast<std::int32_t>(value);
        return whole + (value - whole >= 0.5 ? 1 : 0);
    }

    const VirtualVram& m_grid;
};

}  // namespace kelvarin
