#pragma once

#include <cstdint>

#include "convert/ConversionSettings.h"
#include "convert/VirtualVram.h"
#include "vectorize/Geometry.h"

namespace kelvarin {

class Toolkit;
struct PassState;

struct VectorizeOptions {
    double tolerance = ConversionOptions::kDefaultTolerance;  // dots between an entity and its centre line
};

// The size of the dust the vector mode drops by itself: groups of line cells smaller than a square of the
// drawing's typical stroke width.
std::int64_t automaticSpeckleSize(const VirtualVram& grid);

// The centre lines of the grid's strokes as lines, arcs and circles. Numbered passes, each setting
// CurrentStep; PassNumber moves past them.
VectorDrawing VectorizeGrid(const VirtualVram& grid, const VectorizeOptions& options, PassState& pass,
                            Toolkit& toolkit);

}  // namespace kelvarin
