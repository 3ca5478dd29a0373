// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <vector>

#include "vectorize/geometry/Fitting.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/rounds/RingStroke.h"

namespace kelvarin {

// The circle round holes, whole or the pieces of one that lines cut apart, from the edge between their cells
// and the ink.

// The middles of the sides between the cells of the holes and the ink round them.
std::vector<Point> edgeOf(const std::vector<const std::vector<Gap>*>& pieces, const Box& box);

// Whether holes of so many cells in all, whole or pieces, may make a round hole of that box: a square one,
// no larger than largest dots across, and covering about the disc in it, the steps along its edge aside; the
// pieces of a cut one less, by the lines through it. The pieces of a hole that curved strokes cut (the
// lenses of overlapping loops) may fall short of its box across the cut.
bool roundBox(const Box& box, double cells, std::int32_t largest, bool whole);

// The ring round the holes taken together, traced, if they make one; box holds them all. A whole hole
// follows its circle all round; the pieces of a cut one follow it but where the lines cut it. A whole hole
// under 7 dots across, too small to follow a circle, makes a ring about its box's middle whose outer edge
// is round.
std::optional<Ring> ringOfTraced(const std::vector<const std::vector<Gap>*>& pieces, const Box& box,
                                 const InkProbe& ink);

}  // namespace kelvarin
