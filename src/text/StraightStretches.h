// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text/GlyphGroups.h"

namespace kelvarin {

// Whether the glyph has a straight stroke at least least dots long, at any angle: between two of its
// extreme cells, with ink all along.
bool hasStraightStretch(const Glyph& glyph, double least);

}  // namespace kelvarin
