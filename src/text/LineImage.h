// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "text/GlyphGroups.h"
#include "text/TextLines.h"

namespace kelvarin {

// A grey picture, top row first, one byte a pixel: 0 black ink, 255 white paper.
struct GreyImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;
    // Where a column lies along the line's baseline, in dots of the page (the frame's along axis).
    double alongStart = 0;
    double dotsPerPixel = 1;
    double alongOf(double column) const { return alongStart + column * dotsPerPixel; }
};

// The line's glyphs alone (no other ink), turned so that the baseline runs across and the text stands
// upright when frame.degrees is the baseline's direction, scaled so that the cap height is about the
// height the reader reads best, with a margin of paper around.
GreyImage uprightLine(const std::vector<Glyph>& glyphs, const GlyphLine& line, const LineFrame& frame);

}  // namespace kelvarin
