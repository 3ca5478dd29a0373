// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The drawing as it can be written with different scales across and up: a circle or arc that the two
// scales would turn into an ellipse farther than half a dot from its circle becomes the lines of a polygon
// within a quarter of a dot of it; everything else is kept.
VectorDrawing fitToScales(const VectorDrawing& drawing, double scaleX, double scaleY);

}  // namespace kelvarin
