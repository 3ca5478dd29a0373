// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/joints/JunctionDots.h"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "common/Median.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/EntityWalk.h"
#include "vectorize/index/CircleCells.h"
#include "vectorize/joints/FilledDiscs.h"
#include "vectorize/joints/LinesAtDots.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

namespace {

// Drops what was drawn of the discs' rims: the lines and arcs within a disc, up to half their stroke and
// kRimReach beyond its edge.

void dropRimPieces(const CircleCells& edges, WideDrawing& wide, const Tick& tick) {
    const auto within = [&](Point p, double width) { return edges.covers(p, width / 2 + kRimReach); };
    const std::vector<VectorLine>& lines = wide.drawing.lines;
    const std::vector<VectorArc>& arcs = wide.drawing.arcs;
    std::vector<bool> dropped(lines.size() + arcs.size(), false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tick();
        const double width = wide.lineWidths[i];
        dropped[i] =
            within(lines[i].a, width) && within(lines[i].b, width) && within((lines[i].a + lines[i].b) * 0.5, 0);
    }
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        tick();
        const VectorArc& arc = arcs[i];
        bool inside = true;
        walkArc(arc.centre, arc.radius, arc.startDegrees, sweepDegrees(arc.startDegrees, arc.endDegrees),
                [&](Point p) { inside = inside && within(p, wide.arcWidths[i]); });
        dropped[lines.size() + i] = inside;
    }
    dropMarkedEntities(wide, dropped);
}

// The width of the line's ink where it runs into or through the disc, measured square to it two radii and
// a pen out from the centre, on each side of the centre the line reaches that far; none where it is
// shorter.
void measureLineAt(const InkProbe& ink, const VectorLine& line, double width, const VectorCircle& edge,
                   std::vector<double>& widths) {
    const Point along = unit(line.b - line.a);
    const Point across{-along.y, along.x};
    const Point foot = footOnLine(edge.centre, line.a, along);
    const double out = 2 * edge.radius + width, limit = 2 * width + 2;
    for (const double side : {-1.0, 1.0}) {
        const Point p = foot + along * (side * out);
        if (distanceToSegment(p, line) > 0.5) {
            continue;
        }
        const double crossed = backgroundFrom(ink, p, across, 0, limit) + backgroundFrom(ink, p, across * -1, 0, limit);
        if (crossed < 2 * limit - 1) {
            widths.push_back(crossed - kRayStep);
        }
    }
}

// The circle along the stroke of a disc with no hole showing, and the stroke's width, if it is a ring. A disc under 3.5
// times as wide as the lines that run into it or through its centre is a ring of their pen whose hole the ink closed (a
// hole under 1.5 pens across): the CIRCLE runs along that stroke's middle, half their width inside the
// edge. A wider disc, or one no line runs into, is a filled dot, drawn round its edge.
constexpr double kWidestClosedRing = 1.75;  // pens: the edge's radius
// Dots a filled dot's CIRCLE drawn already may lie inside its edge: more is the middle of its hollowed rim.
constexpr double kInsideEdge = 1;

std::optional<std::pair<VectorCircle, double>> closedRing(const Disc& disc, const WideDrawing& wide,
                                                          const InkProbe& ink) {
    std::vector<double> widths;
    const VectorDrawing& drawing = wide.drawing;
    for (std::size_t i = 0; i < drawing.lines.size(); ++i) {
        const double width = wide.lineWidths[i];
        if (distanceToSegment(disc.edge.centre, drawing.lines[i]) <= std::max(kRimReach, width / 2)) {
            measureLineAt(ink, drawing.lines[i], width, disc.edge, widths);
        }
    }
    const double pen = widths.empty() ? 0 : median(widths);
    if (pen <= 0 || disc.edge.radius > kWidestClosedRing * pen) {
        return std::nullopt;
    }
    return std::pair{VectorCircle{disc.edge.centre, disc.edge.radius - pen / 2}, pen};
}

// The CIRCLE drawn already for the disc, if any: centred near it, no larger than its edge and no smaller than
// its hole.
std::optional<std::size_t> drawnCircle(const std::vector<VectorCircle>& circles, const Disc& disc) {
    const double reach = 2 + 0.05 * disc.edge.radius;
    for (std::size_t k = 0; k < circles.size(); ++k) {
        const VectorCircle& circle = circles[k];
        if (length(circle.centre - disc.edge.centre) <= reach && circle.radius <= disc.edge.radius + 1.5 &&
            circle.radius >= disc.hole - 1.5) {
            return k;
        }
    }
    return std::nullopt;
}

}  // namespace

void replaceJunctionDots(const VirtualVram& grid, FilledCores& cores, const PageHoles& holes, const Tolerances& sizes,
                         WideDrawing& wide, WorkerPool& pool, const Tick& tick) {
    const InkProbe ink(grid);
    std::vector<Disc> discs = filledDiscs(ink, cores, holes, sizes, pool, tick);
    if (discs.empty()) {
        return;
    }
    CircleCells edges;
    for (const Disc& disc : discs) {
        edges.add(disc.edge);
    }
    VectorDrawing& drawing = wide.drawing;
    // A ring or disc drawn already, by its hole or as a group standing alone, keeps its CIRCLE; one whose hole
    // the ink closed has it moved to its stroke's middle once the lines meet at its centre.
    std::vector<std::pair<Disc, std::size_t>> closed;
    std::erase_if(discs, [&](const Disc& disc) {
        const std::optional<std::size_t> k = drawnCircle(drawing.circles, disc);
        if (k && disc.hole == 0) {
            closed.emplace_back(disc, *k);
        }
        return k.has_value();
    });
    dropRimPieces(edges, wide, tick);
    meetAtDotCentres(edges, wide, tick);
    for (const auto& [disc, k] : closed) {
        if (const auto ring = closedRing(disc, wide, ink)) {
            drawing.circles[k] = ring->first;
            wide.circleWidths[k] = ring->second;
        } else if (drawing.circles[k].radius < disc.edge.radius - kInsideEdge) {
            // A filled dot hollowed to its rim was drawn along the rim's middle: it goes round its edge.
            drawing.circles[k] = disc.edge;
            wide.circleWidths[k] = disc.edge.radius;
        }
    }
    for (const Disc& disc : discs) {
        if (disc.hole > 0) {
            drawing.circles.push_back({disc.edge.centre, (disc.hole + disc.edge.radius) / 2});
            wide.circleWidths.push_back(disc.edge.radius - disc.hole);
        } else {
            const auto ring = closedRing(disc, wide, ink);
            drawing.circles.push_back(ring ? ring->first : disc.edge);
            wide.circleWidths.push_back(ring ? ring->second : disc.edge.radius);
        }
    }
}

}  // namespace kelvarin
