// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvarin {

// A position in dots of the picture: x counts columns from the left, y rows from the bottom row, and a
// pixel's centre lies on whole numbers, as the run LINEs have it. The DXF coordinate is value × scale +
// offset.
struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

struct VectorLine {
    Point a;
    Point b;
};

// Part of a circle from startDegrees to endDegrees, counter-clockwise, as a DXF ARC has it.
struct VectorArc {
    Point centre;
    double radius = 0;
    double startDegrees = 0;
    double endDegrees = 0;
};

struct VectorCircle {
    Point centre;
    double radius = 0;
};

// A line of text read from the scan: insertion at the start of its baseline, height the cap height in
// dots, turned counter-clockwise by degrees, as a DXF TEXT has them; the string in UTF-8.
struct VectorText {
    Point insertion;
    double height = 0;
    double degrees = 0;
    std::string text;
    double confidence = 0;  // the reader's, 0 to 100
};

// The drawing the vector mode writes, each kind in the order it is written.
struct VectorDrawing {
    std::vector<VectorLine> lines;
    std::vector<VectorArc> arcs;
    std::vector<VectorCircle> circles;
    std::vector<VectorText> texts;

    std::int64_t entityCount() const {
        return static_cast<std::int64_t>(lines.size() + arcs.size() + circles.size() + texts.size());
    }
};

}  // namespace kelvarin
