// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Bends the barbs of curved arrows round the circle of their shaft: a curved arrow's head is its shaft's
// circle turned about the tip, so each barb is an arc of the shaft's radius. A barb bows by a dot or two over
// its length, too little to tell its radius from its own ink, but enough to tell it from a straight stroke
// once the radius is known. A short line or arc leaving an arc's end beside the arc, whose stroke's middles
// lie closely on a circle of the arc's radius and a quarter closer than on a line, becomes an arc of that
// circle along its ink.
void bendCurvedBarbs(WideDrawing& wide, const InkProbe& ink, const Tolerances& sizes, const Tick& tick);

}  // namespace kelvarin
