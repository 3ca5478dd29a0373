// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/ScaleFit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kLargestEllipseError = 0.5;  // dots
constexpr double kLargestChordError = 0.25;   // dots

void addPolygon(const VectorArc& arc, std::vector<VectorLine>& lines) {
    const double sweep = arc.endDegrees == arc.startDegrees ? 360 : sweepDegrees(arc.startDegrees, arc.endDegrees);
    // A chord of angle a stands off its arc by r (1 - cos(a / 2)).
    const double chord = 2 * std::acos(std::max(0.0, 1 - kLargestChordError / std::max(arc.radius, 1e-9)));
    const int count = std::clamp(static_cast<int>(std::ceil(sweep * std::numbers::pi / 180 / chord)), 1, 3600);
    const auto at = [&](int k) {
        const double radians = (arc.startDegrees + sweep * k / count) * std::numbers::pi / 180;
        return Point{arc.centre.x + arc.radius * std::cos(radians), arc.centre.y + arc.radius * std::sin(radians)};
    };
    for (int k = 0; k < count; ++k) {
        lines.push_back({at(k), at(k + 1)});
    }
}

}  // namespace

VectorDrawing fitToScales(const VectorDrawing& drawing, double scaleX, double scaleY) {
    const double mean = (scaleX + scaleY) / 2;
    const double spread = std::abs(scaleX - scaleY) / mean;
    // The mean scale makes a circle of radius r at most r x spread / 2 dots off the ellipse.
    const auto flattened = [&](double radius) { return radius * spread / 2 > kLargestEllipseError; };
    VectorDrawing fitted;
    fitted.lines = drawing.lines;
    fitted.texts = drawing.texts;
    for (const VectorArc& arc : drawing.arcs) {
        if (flattened(arc.radius)) {
            addPolygon(arc, fitted.lines);
        } else {
            fitted.arcs.push_back(arc);
        }
    }
    for (const VectorCircle& circle : drawing.circles) {
        if (flattened(circle.radius)) {
            addPolygon({circle.centre, circle.radius, 0, 0}, fitted.lines);
        } else {
            fitted.circles.push_back(circle);
        }
    }
    return fitted;
}

}  // namespace kelvarin
