// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/geometry/DrawingTurn.h"

#include <cmath>
#include <numbers>

#include "common/Angles.h"

namespace kelvarin {

namespace {}  // namespace

VectorDrawing turnDrawing(const VectorDrawing& drawing, double degrees, std::int32_t width, std::int32_t height) {
    const double radians = degrees * std::numbers::pi / 180;
    const double cos = std::cos(radians);
    const double sin = std::sin(radians);
    const Point middle{(width - 1) / 2.0, (height - 1) / 2.0};
    const auto turn = [&](Point point) {
        const double x = point.x - middle.x;
        const double y = point.y - middle.y;
        return Point{middle.x + x * cos - y * sin, middle.y + x * sin + y * cos};
    };
    VectorDrawing turned;
    turned.lines.reserve(drawing.lines.size());
    for (const VectorLine& line : drawing.lines) {
        turned.lines.push_back({turn(line.a), turn(line.b)});
    }
    turned.arcs.reserve(drawing.arcs.size());
    for (const VectorArc& arc : drawing.arcs) {
        turned.arcs.push_back({turn(arc.centre), arc.radius, normalDegrees(arc.startDegrees + degrees),
                               normalDegrees(arc.endDegrees + degrees)});
    }
    turned.circles.reserve(drawing.circles.size());
    for (const VectorCircle& circle : drawing.circles) {
        turned.circles.push_back({turn(circle.centre), circle.radius});
    }
    for (const VectorText& text : drawing.texts) {
        turned.texts.push_back(
            {turn(text.insertion), text.height, normalDegrees(text.degrees + degrees), text.text, text.confidence});
    }
    return turned;
}

}  // namespace kelvarin
