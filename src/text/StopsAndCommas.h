// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "text/GlyphGroups.h"
#include "text/LineImage.h"
#include "text/LineReader.h"
#include "text/TextLines.h"

namespace kelvarin {

// The reading with each full stop and comma told by its glyph's shape. The engine often reads a small
// CAD font's full stop as a comma and its comma as a full stop ("TYP,", "FA0006."): a comma is slim and
// its tail reaches below the baseline, a full stop is about as wide as high and sits on it. A mark whose
// glyph is neither clearly keeps its reading. image is the picture read, frame the line's frame in the direction it was
// read.
LineReading withStopsAndCommas(const LineReading& reading, const GreyImage& image, const std::vector<Glyph>& glyphs,
                               const GlyphLine& line, const LineFrame& frame);

}  // namespace kelvarin
