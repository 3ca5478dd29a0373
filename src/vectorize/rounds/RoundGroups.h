// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"

namespace kelvarin {

class RunGroups;

// Draws each filled disc among the groups (a group of touching line cells as round and as full as a disc,
// tolerances.smallestDisc across or more) as one CIRCLE round its edge, and each small ring standing alone
// (smallestRing to largestRound across, which the rows and columns cut into four short sides) as one CIRCLE
// along its middle, in place of what was drawn of them.
void replaceRoundGroups(const RunGroups& groups, const Tolerances& tolerances, WideDrawing& wide, const Tick& tick);

}  // namespace kelvarin
