// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/ArcRecentring.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kEndShare = 0.1;      // of the sweep at each end where no ray is cast
constexpr double kWiderStroke = 1.25;  // times the stroke's common width (and a dot): another stroke's ink too
constexpr double kFoundShare = 0.7;    // of the rays must find the stroke
constexpr int kLeastMiddles = 8;
// Rays along an arc at most: a ray a dot along a long arc of a large sheet fixes its circle no better than
// this many spread over it, and costs as much as the rest of the arc's passes.
constexpr int kMostRays = 2048;
constexpr double kStray = 1;        // dots a middle may lie off the circle fitted to all of them
constexpr double kLeastSweep = 90;  // degrees: a flatter arc's middles fix its curvature no better
// Of the radius, the centre and the radius may move at most: the chains make a half circle between two
// cusps up to a fifth too small.
constexpr double kFarthestMove = 0.25;
constexpr double kCloser = 0.8;  // the middles' mean squared distance from the new circle, of the old's
// Flatter arcs, down to kLeastFlatSweep, are refitted in their own pass only, and taken when a little closer.
constexpr double kLeastFlatSweep = 10;
constexpr double kCloserFlat = 0.9;
constexpr double kEndLook = 0.02;  // of the sweep inside each end, where a flat arc's stroke runs into a corner

// The middles of the arc's stroke, one for each dot along it (kMostRays at most) but for its ends, where the ink
// crossed is no wider than the stroke's most common width; none when too few rays find the stroke alone.
std::vector<Point> strokeMiddles(const InkProbe& ink, const VectorArc& arc, double width) {
    const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
    const int rays =
        std::clamp(static_cast<int>(arc.radius * sweep * std::numbers::pi / 180), kLeastMiddles, kMostRays);
    std::vector<Point> found;
    std::vector<double> thickness;
    for (int k = 0; k <= rays; ++k) {
        const double degrees = arc.startDegrees + sweep * (kEndShare + (1 - 2 * kEndShare) * k / rays);
        const Point direction = pointOnCircle({0, 0}, 1, degrees);
        if (const auto crossing = ink.strokeCrossingNear(arc.centre, direction, arc.radius, width)) {
            found.push_back(arc.centre + direction * crossing->middle);
            thickness.push_back(crossing->thickness);
        }
    }
    std::vector<double> sorted = thickness;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double widest = sorted.empty() ? 0 : kWiderStroke * sorted[sorted.size() / 2] + 1;
    std::vector<Point> middles;
    for (std::size_t k = 0; k < found.size(); ++k) {
        if (thickness[k] <= widest) {
            middles.push_back(found[k]);
        }
    }
    const int least = std::max(kLeastMiddles, static_cast<int>(kFoundShare * (rays + 1)));
    return static_cast<int>(middles.size()) >= least ? middles : std::vector<Point>{};
}

// The arc refitted to its stroke's middles, taken when they lie closer to the new circle by the share closer.
std::optional<VectorArc> refitted(const VectorArc& arc, double width, const InkProbe& ink, double tolerance,
                                  double closer) {
    const CircleFit old{arc.centre, arc.radius, true};
    CircleFit fit = old;
    std::vector<Point> middles;
    // The rays of the second round come from the first round's centre.
    for (int round = 0; round < 2; ++round) {
        middles = strokeMiddles(ink, {fit.centre, fit.radius, arc.startDegrees, arc.endDegrees}, width);
        if (middles.empty()) {
            return std::nullopt;
        }
        fit = closestCircle(middles, fit);
        if (!fit.valid) {
            return std::nullopt;
        }
    }
    // A stretch where the arc's stroke runs on into a line's along its tangent strays from the circle more
    // and more: those middles go, and the circle is fitted again to the rest.
    for (int round = 0; round < 2; ++round) {
        std::vector<Point> kept;
        for (const Point p : middles) {
            if (distanceToCircle(p, fit.centre, fit.radius) <= kStray) {
                kept.push_back(p);
            }
        }
        if (kept.size() == middles.size() ||
            static_cast<double>(kept.size()) < kFoundShare * static_cast<double>(middles.size())) {
            break;
        }
        middles = std::move(kept);
        fit = closestCircle(middles, fit);
        if (!fit.valid) {
            return std::nullopt;
        }
    }
    const double reach = kFarthestMove * arc.radius;
    if (length(fit.centre - old.centre) > reach || std::abs(fit.radius - old.radius) > reach ||
        squaredCircleError(middles, fit) > closer * squaredCircleError(middles, old) ||
        largestCircleDistance(middles, fit) > tolerance) {
        return std::nullopt;
    }
    const Point start = pointOnCircle(arc.centre, arc.radius, arc.startDegrees);
    const Point end = pointOnCircle(arc.centre, arc.radius, arc.endDegrees);
    return VectorArc{fit.centre, fit.radius, angleDegrees(fit.centre, start), angleDegrees(fit.centre, end)};
}

// Whether the stroke turns in off the arc's circle at both ends, by more than half its width just inside
// each: a flat stroke running into rounded corners, whose chains bent with the corners.
bool turnsInAtBothEnds(const VectorArc& arc, double width, const InkProbe& ink) {
    const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
    for (const double degrees : {arc.startDegrees + kEndLook * sweep, arc.endDegrees - kEndLook * sweep}) {
        const auto crossing = ink.strokeCrossingNear(arc.centre, pointOnCircle({0, 0}, 1, degrees), arc.radius, width);
        if (!crossing || crossing->middle > arc.radius - width / 2) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<VectorArc> arcOnStrokeMiddles(const VectorArc& arc, double width, const InkProbe& ink, double tolerance) {
    if (sweepDegrees(arc.startDegrees, arc.endDegrees) < kLeastSweep) {
        return std::nullopt;
    }
    return refitted(arc, width, ink, tolerance, kCloser);
}

void centreArcsOnStrokes(WideDrawing& wide, const InkProbe& ink, double tolerance, WorkerPool& pool) {
    std::vector<VectorArc>& arcs = wide.drawing.arcs;
    // Each arc is refitted from the ink alone, in a place of its own; a flat one (a stroke running into
    // rounded corners, whose chains bend with the corners at its ends) when its middles lie a little closer.
    pool.run(arcs.size(), [&](std::size_t i, std::int32_t) {
        const double sweep = sweepDegrees(arcs[i].startDegrees, arcs[i].endDegrees);
        std::optional<VectorArc> arc;
        if (sweep >= kLeastSweep) {
            arc = refitted(arcs[i], wide.arcWidths[i], ink, tolerance, kCloser);
        } else if (sweep >= kLeastFlatSweep) {
            arc = refitted(arcs[i], wide.arcWidths[i], ink, tolerance, kCloserFlat);
            if (arc && !turnsInAtBothEnds(*arc, wide.arcWidths[i], ink)) {
                arc.reset();
            }
        }
        if (arc) {
            arcs[i] = *arc;
        }
    });
}

}  // namespace kelvarin
