// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Finds the strokes of cross-hatching, which the rows and columns cut into stubs where the strokes cross
// every few dots: pieces shorter than wide, lying across the strokes. From the middle of each stub with
// many others about it, the ink is followed in every direction; each direction in which it goes on far
// beyond the stub (one or two: a crossing) is a stroke, a piece from end to end of that ink, in place of
// the stub. The stubs about it must lie all about, not in a row as where a stroke crosses hatching. The
// same pieces for any number of threads.
void findHatchStrokes(std::vector<LinePiece>& pieces, const InkProbe& ink, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
