// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include "vectorize/Fitting.h"

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

// Called once per item of the long loops, so that the window stays responsive and can stop them.
using Tick = std::function<void()>;

struct Pieces {
    std::vector<LinePiece> lines;
    std::vector<ArcPiece> arcs;
};

}  // namespace kelvarin
