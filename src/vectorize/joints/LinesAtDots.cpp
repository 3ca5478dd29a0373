// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/joints/LinesAtDots.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

// Ends each line that runs into a dot along its radius at the dot's centre.
void meetAtCentres(const CircleCells& edges, WideDrawing& wide, const Tick& tick) {
    for (std::size_t i = 0; i < wide.drawing.lines.size(); ++i) {
        tick();
        VectorLine& line = wide.drawing.lines[i];
        const double width = wide.lineWidths[i];
        const Point direction = unit(line.b - line.a);
        for (auto [end, other] : {std::pair{&line.a, line.b}, std::pair{&line.b, line.a}}) {
            const VectorCircle* disc = edges.around(*end, width / 2 + kRimReach);
            if (disc == nullptr || length(other - disc->centre) <= disc->radius) {
                continue;
            }
            const Point foot = footOnLine(disc->centre, line.a, direction);
            if (length(foot - disc->centre) <= std::max(kRimReach, width / 2)) {
                *end = foot;
            }
        }
    }
}

// Joins the lines ending at a dot's centre from opposite sides into one.
constexpr double kLeastStraightCosine = 0.9994;  // of the angle between the two halves' directions: 2 degrees

void joinLinesThroughCentres(const CircleCells& edges, WideDrawing& wide, const Tick& tick) {
    std::vector<VectorLine>& lines = wide.drawing.lines;
    // The line's end at the dot's centre and its other end out of the dot, when it ends there.
    const auto endingAt = [&](std::size_t i, const VectorCircle& disc) -> std::optional<std::pair<Point, Point>> {
        for (auto [end, other] : {std::pair{lines[i].a, lines[i].b}, std::pair{lines[i].b, lines[i].a}}) {
            if (length(end - disc.centre) <= kRimReach && length(other - disc.centre) > disc.radius) {
                return std::pair{end, other};
            }
        }
        return std::nullopt;
    };
    std::vector<bool> dropped(lines.size() + wide.drawing.arcs.size(), false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tick();
        const VectorCircle* disc = dropped[i] ? nullptr : edges.around(lines[i].a, kRimReach);
        if (disc == nullptr) {
            disc = dropped[i] ? nullptr : edges.around(lines[i].b, kRimReach);
        }
        const auto first = disc ? endingAt(i, *disc) : std::nullopt;
        if (!first) {
            continue;
        }
        const Point direction = unit(first->second - first->first);
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            const auto second = dropped[j] ? std::nullopt : endingAt(j, *disc);
            if (second && std::abs(wide.lineWidths[i] - wide.lineWidths[j]) <= 1 &&
                dot(direction, unit(second->second - second->first)) <= -kLeastStraightCosine) {
                lines[i] = {first->second, second->second};
                dropped[j] = true;
                break;
            }
        }
    }
    dropMarkedEntities(wide, dropped);
}

}  // namespace

void meetAtDotCentres(const CircleCells& edges, WideDrawing& wide, const Tick& tick) {
    meetAtCentres(edges, wide, tick);
    joinLinesThroughCentres(edges, wide, tick);
}

}  // namespace kelvarin
