// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/WorkerPool.h"
#include "vectorize/geometry/Pieces.h"

namespace kelvarin {

// Drops each entity that lies wholly within the strokes of longer ones (within half their width and the
// tolerance): what junctions and crossings leave behind between the strokes that meet there. A line lying
// across lines that do not meet, reaching from one to another, stays.
void dropCoveredEntities(WideDrawing& drawing, double tolerance, WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
