// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "common/StepProgress.h"
#include "common/WorkerPool.h"
#include "convert/VirtualVram.h"
#include "vectorize/Vectorize.h"
#include "vectorize/assembly/LineAssembly.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/StrokeWidths.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/FilledCores.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/raster/Hollowing.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// What the passes of the vector mode share: each pass reads what the ones before it left here and adds
// its own. Built for one grid; not copied or moved (the probes and the tick point into it).
struct VectorizeContext {
    VectorizeContext(const VirtualVram& despeckled, const VirtualVram* asRead, const VectorizeOptions& options,
                     PassState& pass, Toolkit& toolkit);
    VectorizeContext(const VectorizeContext&) = delete;
    VectorizeContext& operator=(const VectorizeContext&) = delete;

    // The grids, each of one meaning.
    const VirtualVram& despeckled;         // the line cells vectorized, their dust dropped
    const VirtualVram* asRead;             // the line cells as read, dust included; null when no dust was dropped
    HollowedGrid hollowed;                 // despeckled with its filled areas hollowed to rims; empty when none were
    const VirtualVram* strokes = nullptr;  // what the centre lines follow: hollowed's grid, else despeckled
    std::optional<InkProbe> strokeInk;     // over strokes
    std::optional<InkProbe> despeckledInk;
    HollowedAreas filled;  // the two probes when areas were hollowed, else none
    FilledCores cores;     // the cores of the filled areas, found while hollowing

    // The options and the tolerances in use (tolerances.entity is options.tolerance).
    const VectorizeOptions options;
    Tolerances tolerances;
    StrokeWidths widths;

    // The stop check, the progress and the workers.
    PassState& pass;
    Toolkit& toolkit;
    WorkerPool pool;
    std::optional<StepProgress> steps;  // the joining steps' progress, once they have started
    std::string_view caption;           // the progress caption of the pass running
    Tick tick;                          // one item of the joining step under way is done

    // The drawing as it is built: the centre lines' pieces, then the straight ones joined into lines, which
    // join the arcs in the drawing after their ends are finished.
    Pieces pieces;
    std::vector<LinePiece> lines;
    WideDrawing drawing;
    std::optional<RunGroups> groups;  // the ink groups of despeckled, while the passes over them run
    PageHoles holes;                  // the holes among them

    std::size_t entityCount() const { return drawing.drawing.lines.size() + drawing.drawing.arcs.size(); }
};

}  // namespace kelvarin
