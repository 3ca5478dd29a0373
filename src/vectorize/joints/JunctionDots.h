// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "convert/VirtualVram.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/FilledCores.h"
#include "vectorize/raster/Holes.h"

namespace kelvarin {

class WorkerPool;

// Draws each filled disc that lines run into or through (a schematic's junction dot, the dot at a lead's
// end, a small circle of a heavy pen whose hole the lines all but filled) as one CIRCLE in place of what was
// drawn along its rim; the lines stay. The CIRCLE runs round a filled disc's edge, and along the middle of
// the stroke of one whose hole shows between the lines. The discs are filledDiscs' (by the filled areas'
// cores and the page's small holes).
void replaceJunctionDots(const VirtualVram& grid, FilledCores& cores, const PageHoles& holes, const Tolerances& sizes,
                         WideDrawing& wide, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
