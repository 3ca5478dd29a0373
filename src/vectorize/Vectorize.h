#pragma once

#include <cstdint>

#include "convert/VirtualVram.h"
#include "vectorize/Geometry.h"

namespace kelvarin {

class Toolkit;
struct PassState;

struct VectorizeOptions {
    double tolerance = 1.5;  // dots between an entity and the centre line it stands for
};

// The size of the dust the vector mode drops by itself: groups of line cells smaller than a square of the
// drawing's typical stroke width.
std::int64_t automaticSpeckleSize(const VirtualVram& grid);

// The centre lines of the grid's strokes as lines, arcs and circles. Numbered passes, each setting
// CurrentStep; PassNumber moves past them.
VectorDrawing VectorizeGrid(const VirtualVram& grid, const VectorizeOptions& options, PassState& pass,
                            Toolkit& toolkit);

}  // namespace kelvarin
