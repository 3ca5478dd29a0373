// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/Pieces.h"

namespace kelvarin {

class InkProbe;

// Makes arcs of one circle that overlap one ARC: two pieces of a stroke that a line cut (a slot's end with
// its centre line through it) each run on along the ink past the cut, over the other. Arcs whose centres
// and radii agree within tolerance and which share more than two dots of the circle become one, from the
// first's start to the last's end, on their circle weighted by their lengths. So do arcs of one circle that a
// dot or a heavy line drawn over the stroke cut apart: the scanned ink runs on along the circle all the way
// across the gap between them. Arcs that only meet, or that dashes' gaps keep apart, stay as they are.
void mergeOverlappingArcs(WideDrawing& wide, const InkProbe& scanned, double tolerance, const Tick& tick);

}  // namespace kelvarin
