// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

#include "text/GlyphGroups.h"
#include "text/TextLines.h"

namespace kelvarin {

// The directions a line of glyphs runs in, in degrees counter-clockwise from the x axis.

// The direction of the centres' longest spread, from -90° up to 90°, weighting each glyph by its size.
double fittedDirection(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members);

// The direction of glyphs that run in a line clearly askew of both axes, long and narrow; NaN for others.
double askewDirection(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, double smallest);

// Whether the glyphs, whose centres run in direction degrees, stand upright one over the other rather than
// in a line turned up: they run up and are taller than wide, where turned characters are wider than high.
bool stackedUpright(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, double degrees,
                    double smallest);

// The directions of a line found across (axis 0) or up (90): its centres' own direction when they run
// clearly askew and far enough to tell (text turned 30°, say, whose glyphs still overlap across).
std::vector<double> lineDirections(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members,
                                   double axis);

// The direction of the line's baseline when it is read in direction degrees: turned by up to 2° onto the
// line through its characters' lowest ink, as a scan turned a little turns its text; degrees itself for a
// line of fewer than four characters.
double baselineDegrees(const std::vector<Glyph>& glyphs, const GlyphLine& line, double degrees);

}  // namespace kelvarin
