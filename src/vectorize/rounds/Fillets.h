// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Rounds the corners that are drawn round: where two LINEs meet at a corner whose ink keeps clear of the
// sharp point and follows a bend tangent to both (a fillet, a rounded rectangle's corner, a bend of a
// spring), each line is cut back to the point where it touches the bend and the bend becomes an ARC. The
// rows and the columns cut such a corner apart, so neither chain alone shows the bend. Short LINEs left
// lying along a new ARC are dropped. ink: the strokes (filled areas hollowed); scanned: the picture as it
// was scanned.
void roundFilletedCorners(WideDrawing& wide, const InkProbe& ink, const InkProbe& scanned, double tolerance,
                          const Tick& tick);

}  // namespace kelvarin
