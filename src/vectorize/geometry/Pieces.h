// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

// A straight stretch of a centre line: its points' moments and its ends on the fitted line.
struct LinePiece {
    LineMoments moments;
    Point a;
    Point b;
    double width = 0;  // of the stroke, in dots
    Point direction;   // of the fitted line, a unit vector
};

// A stretch of a centre line that follows a circle, from start to end counter-clockwise.
struct ArcPiece {
    CircleFit circle;
    double startDegrees = 0;
    double endDegrees = 0;
    double width = 0;
    std::vector<Point> samples;  // points along it, for fitting it together with others
};

// A drawing with the stroke width of each entity, in the drawing's order.
struct WideDrawing {
    VectorDrawing drawing;
    std::vector<double> lineWidths;
    std::vector<double> arcWidths;
    std::vector<double> circleWidths;
};

// Removes the lines and arcs marked: dropped holds a mark for each line, then for each arc.
inline void dropMarkedEntities(WideDrawing& wide, const std::vector<bool>& dropped) {
    const std::size_t lineCount = wide.drawing.lines.size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lineCount; ++i) {
        if (!dropped[i]) {
            wide.drawing.lines[kept] = wide.drawing.lines[i];
            wide.lineWidths[kept++] = wide.lineWidths[i];
        }
    }
    wide.drawing.lines.resize(kept);
    wide.lineWidths.resize(kept);
    kept = 0;
    for (std::size_t i = 0; i < wide.drawing.arcs.size(); ++i) {
        if (!dropped[lineCount + i]) {
            wide.drawing.arcs[kept] = wide.drawing.arcs[i];
            wide.arcWidths[kept++] = wide.arcWidths[i];
        }
    }
    wide.drawing.arcs.resize(kept);
    wide.arcWidths.resize(kept);
}

// Called once per item of the long loops, so that the window stays responsive and can stop them.
using Tick = std::function<void()>;

// What one item of those loops (a piece, an entity, a run, a group) counts for in the toolkit's pacing: an
// item takes up to some ten microseconds, against a few nanoseconds for the cells the pacing is made for.
inline constexpr std::int64_t kTicksPerItem = 256;

struct Pieces {
    std::vector<LinePiece> lines;
    std::vector<ArcPiece> arcs;
};

}  // namespace kelvarin
