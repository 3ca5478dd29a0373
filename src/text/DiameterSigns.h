// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "text/GlyphGroups.h"
#include "text/LineImage.h"
#include "text/LineReader.h"
#include "text/TextLines.h"

namespace kelvarin {

// The reading with the diameter signs put in, its confidence then the mean of the other characters'. The engine's
// alphabets have no φ: it reads the sign as 0, 9, p, o, @ or as two signs. A sign read before a number whose glyph
// stands as tall as the capitals and reaches well below the baseline, as no digit or capital does, is a φ. image is the
// picture read, frame the line's frame in the direction it was read.
LineReading withDiameterSigns(const LineReading& reading, const GreyImage& image, const std::vector<Glyph>& glyphs,
                              const GlyphLine& line, const LineFrame& frame);

}  // namespace kelvarin
