// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include "support/PackedCells.h"
#include "vectorize/pipeline/VectorizeContext.h"

namespace kelvarin::test {

// A stroke of a round pen: a segment with its width, an arc of a ring (a = centre, radius; from `from` to `to`
// degrees counter-clockwise), or a filled triangle a, b, c.
struct Stroke {
    enum Kind { Segment, Ring, Triangle } kind = Segment;
    Point a, b, c;
    double width = 3;
    double radius = 0;
    double from = 0, to = 360;
};
Stroke line(Point a, Point b, double width = 3);
Stroke ring(Point centre, double radius, double width = 3);
Stroke arc(Point centre, double radius, double from, double to, double width = 3);
Stroke disc(Point centre, double radius);
Stroke triangle(Point a, Point b, Point c);

// Cross-hatching of the square from low to high, both ways at 45 degrees, every spacing dots.
std::vector<Stroke> crossHatching(double low, double high, double spacing, double width);

// The strokes drawn into the cells: each cell whose centre lies on the ink set.
void draw(Cells& cells, const std::vector<Stroke>& strokes);

// A drawing, and what holds of the context after the pass named, but not after the pass before it.
struct PassCase {
    const char* name;
    std::vector<Stroke> strokes;
    std::vector<Stroke> dust;  // drawn only in the grid as read, as though despeckling dropped it
    const char* pass;
    std::function<bool(const VectorizeContext&)> holds;
};

// The cases, a pass each that changes the drawing; several may name one pass.
std::vector<PassCase> passCases();

}  // namespace kelvarin::test
