// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Refits the arcs that leave a line running on past them tangentially (a shaft's shoulder fillet, a slot's
// rounded end off a long edge): the line's ink swallows the arc's last stretch, so the chains end the arc
// short of the line and bend it too tight to get there. Such an arc, tangent to a line at each end, becomes
// the circle touching both lines that lies nearest its stroke's middles; a line ending at it is cut to the
// touching point, a line running on is kept whole.
void fitShoulderFillets(WideDrawing& wide, const InkProbe& ink, double tolerance, const Tick& tick);

}  // namespace kelvarin
