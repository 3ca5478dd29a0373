// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The drawing turned counter-clockwise by degrees about the middle of a picture of width × height cells,
// ((width - 1) / 2, (height - 1) / 2), the point the picture itself turns about. Turning the found
// geometry rather than the picture keeps the strokes as the scan has them: no resampling steps.
VectorDrawing turnDrawing(const VectorDrawing& drawing, double degrees, std::int32_t width, std::int32_t height);

}  // namespace kelvarin
