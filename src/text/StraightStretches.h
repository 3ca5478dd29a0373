// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "text/GlyphGroups.h"

namespace kelvarin {

// A straight stroke of a glyph: its direction (degrees, 0 to 180) and the band across it that holds it,
// from low to high in dots of the page along the direction's left normal (-sin, cos).
struct StraightStretch {
    double degrees = 0;
    double low = 0;
    double high = 0;
};

// The first straight stroke found in the glyph at least least dots long, at any angle, with ink all along.
std::optional<StraightStretch> straightStretch(const Glyph& glyph, double least);

// Whether the glyph has a straight stroke at least least dots long, at any angle: between two of its
// extreme cells, with ink all along.
bool hasStraightStretch(const Glyph& glyph, double least);

}  // namespace kelvarin
