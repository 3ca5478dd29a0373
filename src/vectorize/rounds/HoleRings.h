// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "convert/VirtualVram.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/rounds/RingStroke.h"

namespace kelvarin {

class WorkerPool;

// The small rings of the page, found by their holes: a round stretch of background enclosed by ink, or the
// pieces of one that lines through it cut apart, with a stroke of even width all round it; and the slots,
// found by whole holes of a slot's shape with such a stroke. The holes are as large as tolerances'
// largestHole and largestCutHole at most. The same for any number of threads.
std::vector<Ring> findRings(const VirtualVram& grid, const PageHoles& holes, const Tolerances& tolerances,
                            WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
