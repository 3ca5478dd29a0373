// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text/LineImage.h"
#include "text/LineReader.h"

namespace kelvarin {

// The reading with slashed zeros put right. Many CAD fonts draw 0 with a stroke across it, which the engine
// reads as 9, Q or Ø. A narrow character whose picture is crossed by three strokes in two of five rows of the
// middle half of its height (the oval's two sides and the slash between) is a 0: a 9, an 8 or an O is
// crossed by two at most. A zero alone (an ordinate dimension's datum) is then as sure as its shape. image is
// the picture read, its rows along the baseline.
LineReading withSlashedZeros(const LineReading& reading, const GreyImage& image);

}  // namespace kelvarin
