// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/centrelines/CentreChains.h"
#include "vectorize/geometry/Pieces.h"

namespace kelvarin {

// Cuts a chain where its stroke turns past the diagonal (the lines across it then cut the stroke at a
// slant, and the chain of the other direction holds it), and covers the rest with lines and arcs that
// stay within tolerance of the chain's points, splitting a stretch at its farthest point from its chord
// until one of them fits. Appends what it finds.
void fitChain(const CentreChain& chain, double tolerance, Pieces& pieces);

}  // namespace kelvarin
