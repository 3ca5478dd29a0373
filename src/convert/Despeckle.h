// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "bitmap/BitmapData.h"
#include "common/LargeBuffer.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class WorkerPool;

class Toolkit;
struct PassState;

// A copy of a grid's cells, its inversion applied, that the passes read instead of the picture.
struct CleanedGrid {
    LargeBuffer rows;
    VirtualVram vram;
};

// Copies the grid's cells, its inversion applied: the words written out most significant byte first, each
// row a whole number of words.
void copyGrid(const VirtualVram& source, CleanedGrid& cleaned, Toolkit& toolkit);

// Copies the grid and makes every 8-connected group of at most maxPixels line cells background in the
// copy. The groups are found a row at a time from the runs, keeping only the groups that reach the last
// row taken; a group that ends small is cleared by a fill from one of its cells. Sets CurrentStep; a
// numbered pass; PassNumber + 1 at the end. With a pool, the rows' runs are found on its workers.
void Despeckle(const BmpHeaderBytes& header, const VirtualVram& source, std::int64_t maxPixels, CleanedGrid& cleaned,
               PassState& pass, Toolkit& toolkit, WorkerPool* pool = nullptr);

}  // namespace kelvarin
