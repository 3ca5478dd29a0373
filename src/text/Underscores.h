// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "text/GlyphGroups.h"
#include "text/LineImage.h"
#include "text/LineReader.h"
#include "text/TextLines.h"

namespace kelvarin {

// The reading with its underscores put back. The engine reads a CAD font's underscore between two words
// (BOTTOM_RIGHT, AVR_PROGRAMMER) as a space or a dash: a flat glyph lying on the baseline, as long as a
// letter, is an underscore, joining the words either side. image is the picture read, frame the line's
// frame in the direction it was read.
// Whether a glyph of the line, of this extent in its frame, is an underscore: flat, as long as a letter and
// lying on the baseline.
bool isUnderscore(const InkExtent& extent, const LineFrame& frame);

LineReading withUnderscores(const LineReading& reading, const GreyImage& image, const std::vector<Glyph>& glyphs,
                            const GlyphLine& line, const LineFrame& frame);

}  // namespace kelvarin
