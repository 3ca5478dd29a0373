// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "convert/VirtualVram.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/Holes.h"

namespace kelvarin {

class WorkerPool;

// Draws each small ring whose ink touches or is crossed by other ink (a bolt between two lines, a hole with
// its centre lines through it, a circle tangent to a frame) as one CIRCLE along its middle, in place of the
// pieces drawn on its stroke; the lines touching or crossing it stay. A ring is found by its hole: a round
// stretch of background enclosed by ink, or the pieces of one that lines through it cut apart, with a stroke
// of even width all round it. A slot found by its hole so, the hatching of a section cutting it into pieces
// too short to bend, is drawn as its two half circles' ARCs and its two sides' LINEs.
void replaceRoundHoles(const VirtualVram& grid, const PageHoles& holes, const Tolerances& tolerances, WideDrawing& wide,
                       WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
