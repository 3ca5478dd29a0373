// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"

namespace kelvarin {

class InkProbe;
class WorkerPool;

// Makes arcs of one circle that overlap one ARC: two pieces of a stroke that a line cut (a slot's end with
// its centre line through it) each run on along the ink past the cut, over the other. Arcs whose centres
// and radii agree within tolerance and which share more than two dots of the circle become one, from the
// first's start to the last's end, on their circle weighted by their lengths. So do arcs of one circle that a
// dot or a heavy line drawn over the stroke cut apart: the scanned ink runs on along the circle all the way
// across the gap between them. Arcs that overlap on nearly one circle (a crossing cut one short and its
// chains bent it a few dots too tight) first both move onto the circle their strokes' middles lie on, when
// they all lie within tolerance of it. Arcs that only meet, or that dashes' gaps keep apart, stay as they
// are. strokes: the strokes (filled areas hollowed); scanned: the picture as it was scanned.
void mergeOverlappingArcs(WideDrawing& wide, const InkProbe& strokes, const InkProbe& scanned, double tolerance,
                          WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
