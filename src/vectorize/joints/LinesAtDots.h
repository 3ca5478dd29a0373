// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/index/CircleCells.h"

namespace kelvarin {

// Dots beyond a dot's edge (and half a stroke) where what was drawn of its rim may reach.
inline constexpr double kRimReach = 1.5;

// Ends each line that runs into a dot of edges along its radius at the dot's centre, where the lines meet;
// then joins the two lines that meet there from opposite sides, along one direction and of one pen, into one:
// a line running through the dot, which the dot's rim cut in two.
void meetAtDotCentres(const CircleCells& edges, WideDrawing& wide, const Tick& tick);

}  // namespace kelvarin
