// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/TextErasure.h"

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "text/LineJoins.h"
#include "text/LongRuns.h"
#include "text/StraightStretches.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

// The line of the drawing a glyph of a line of text height dots high is joined to (a digit touching its
// dimension line): a straight stroke of it much longer than the text is high.
std::optional<StraightStretch> joinedLine(const Glyph& glyph, double height) {
    constexpr double kLongestStroke = 1.5;  // of the text's height
    if (glyphSize(glyph) <= kLongestStroke * height) {
        return std::nullopt;
    }
    return straightStretch(glyph, kLongestStroke * height);
}

}  // namespace

void clearGlyph(const Glyph& glyph, double height, CleanedGrid& geometry) {
    const std::optional<StraightStretch> line = joinedLine(glyph, height);
    if (!line) {
        clearRuns(geometry, glyph.runs);
        return;
    }
    const double radians = line->degrees * std::numbers::pi / 180;
    const Point across{-std::sin(radians), std::cos(radians)};
    std::vector<LineSegment> cells;
    for (const LineSegment& run : glyph.runs) {
        for (std::int32_t x = run.StartX; x < run.StartX + run.SpanX; ++x) {
            const double offset = dot(Point{double(x), double(run.StartY)}, across);
            if (offset < line->low - 1 || offset > line->high + 1) {
                cells.push_back({x, run.StartY, 1, 1});
            }
        }
    }
    clearRuns(geometry, cells);
}

}  // namespace kelvarin
