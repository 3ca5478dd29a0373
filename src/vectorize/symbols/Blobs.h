// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"

namespace kelvarin {

class RunGroups;
class WorkerPool;

// Drops what no drawing means: LINEs shorter than a dot, arcs and circles smaller than a dot, and every
// entity that repeats an earlier one (the same ends, or the same circle and angles, to a tenth of a dot).
void dropDegenerateEntities(WideDrawing& wide, const Tick& tick);

// A group of touching line cells that no entity passes over: the LINE through its middle along its
// longer side, and its extent across, in dots.
struct BareBlob {
    VectorLine line;
    double width = 0;
};

// The groups with smallestBlob cells or more that no entity of the drawing passes over.
std::vector<BareBlob> findBareBlobs(const RunGroups& groups, std::int64_t smallestBlob, const VectorDrawing& drawing,
                                    WorkerPool& pool, const Tick& tick);

// Gives every group of touching line cells (rows, columns and diagonals) that no entity
// passes over, and that has at least smallestBlob cells (dust is smaller), a LINE through its middle along its
// longer side: a dot, a short dash, a small blob of ink. Its width is the group's extent across.
void addBlobEntities(const RunGroups& groups, std::int64_t smallestBlob, WideDrawing& wide, WorkerPool& pool,
                     const Tick& tick);

// Adds the dots of the dotted lines among the bare groups of the dust despeckling dropped: small groups with
// a neighbour either side in a straight line, evenly spaced (tolerances.largestDottedDot long at most,
// widestDotSpacing apart). Lone small groups are dust.
void addDottedLines(const RunGroups& dust, const Tolerances& tolerances, VectorDrawing& drawing, WorkerPool& pool,
                    const Tick& tick);

}  // namespace kelvarin
