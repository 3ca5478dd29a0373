// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text/GlyphGroups.h"

namespace kelvarin {

// Whether the glyph is a dimension's or a leader's arrow across or up: a straight shaft of even width
// ending in a filled head, ink solid across for a stretch at least twice the shaft's width long and several
// shafts wide. The engine reads such an arrow with its shaft as a 1, a 4 or a 7; no character's stroke
// widens so. leastHead: the narrowest head's width, in dots.
bool isArrow(const Glyph& glyph, double leastHead);

}  // namespace kelvarin
