// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "bitmap/BitmapData.h"
#include "convert/ConversionSettings.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

class Toolkit;
struct PassState;

struct VectorizeOptions {
    double tolerance = ConversionOptions::kDefaultTolerance;  // dots between an entity and its centre line
    std::int32_t threads = 0;                                 // 0 for one per core
    double dotsPerMm = 0;                                     // the scan's resolution; 0 when unknown
    // A debug switch: the drawing as it stands after the pass of this name (vectorPasses()); empty for all.
    std::string_view stopAfter;
};

// The centre lines of the grid's strokes as lines, arcs and circles, and with undespeckled (the grid before
// its dust was dropped) the dots of dotted lines among that dust: the passes of vectorPasses() in order.
// Numbered passes, each setting CurrentStep; PassNumber moves past them.
VectorDrawing VectorizeGrid(const VirtualVram& grid, const VectorizeOptions& options, PassState& pass, Toolkit& toolkit,
                            const VirtualVram* undespeckled = nullptr);

// The scan's resolution in dots a millimetre, from the header; 0 when the file did not give a scan's.
double scanDotsPerMm(const BmpHeaderBytes& header);

// What the vector mode draws of a page's line cells: the dust dropped first (options' despeckle size, else
// the automatic one), then the centre lines, turned back by skewDegrees about the picture's middle (0 for
// a page not deskewed).
VectorDrawing VectorizePicture(const BmpHeaderBytes& header, const VirtualVram& lineCells,
                               const ConversionOptions& options, double skewDegrees, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
