// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "convert/VirtualVram.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/Holes.h"

namespace kelvarin {

class WorkerPool;

// Draws each small box of a heavy pen (a relay's coil, a fuse, a terminal drawn with a pen of half a
// millimetre or more) as its four sides' LINEs along their middles, in place of the pieces drawn on its
// stroke, when the pieces miss a side. Such a side is hardly longer than the pen is wide: few runs cross it,
// and a lead leaving its middle cuts those into stubs. A box is found by its hole: a rectangle of background
// square to the page, with a stroke of even width all round it that ends at its corners (the holes between
// crossing lines have strokes running on past them). Lines leaving the box, and lines through its middle
// along a side (a fuse's), stay.
void replaceBoxHoles(const VirtualVram& grid, const PageHoles& holes, WideDrawing& wide, WorkerPool& pool,
                     const Tolerances& sizes, const Tick& tick);

}  // namespace kelvarin
