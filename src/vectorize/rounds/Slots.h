// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>

#include "vectorize/geometry/Geometry.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// A slot's hole: two half circles of the radius round a and b, joined by straight sides. Its edge lies the
// radius from the segment a-b.
struct SlotShape {
    Point a, b;
    double radius = 0;  // dots
};

// Whether a whole hole may be a slot's, by its box, its size and a few probes of the grid: wide enough,
// filling as much of its box as a slot can and reaching as far from the box's centre one way as the other.
// Most holes between lines fail at once and need no trace. narrowest: the smallest half width of a slot's
// hole, in dots (Tolerances::narrowestSlot).
bool mayBeSlot(const Hole& hole, const InkProbe& ink, double narrowest);

// The slot shape the edge of a whole hole follows all round, as closely as the steps of a circle's edge in
// whole cells follow it; nothing for a round hole, a hole of another shape or one less than twice narrowest
// wide.
std::optional<SlotShape> slotOfEdge(std::span<const Point> edge, double narrowest);

// The slot shape the edge of the pieces of a cut hole follows: the pieces' edges along the lines that cut
// them lie inside it and are left out, the rest follows its ends' half circles and its sides as a whole
// hole's edge does; nothing for pieces of another shape.
std::optional<SlotShape> slotOfCutEdge(std::span<const Point> edge, double narrowest);

}  // namespace kelvarin
