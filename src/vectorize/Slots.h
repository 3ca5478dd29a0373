// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>

#include "vectorize/Geometry.h"

namespace kelvarin {

inline constexpr double kNarrowestSlot = 5;  // dots: the smallest half width of a slot's hole

// A slot's hole: two half circles of the radius round a and b, joined by straight sides. Its edge lies the
// radius from the segment a-b.
struct SlotShape {
    Point a, b;
    double radius = 0;  // dots
};

// The slot shape the edge of a whole hole follows all round, as closely as the steps of a circle's edge in
// whole cells follow it; nothing for a round hole, a hole of another shape or one narrower than a pen's
// slot drawn on purpose.
std::optional<SlotShape> slotOfEdge(std::span<const Point> edge);

}  // namespace kelvarin
