// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/joints/JunctionDots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "common/Median.h"
#include "common/WorkerPool.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/EntityWalk.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/CircleCells.h"
#include "vectorize/joints/LinesAtDots.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

// The discs' sizes are the tolerances' smallestJunctionRadius and largestRound (larger filled areas are
// drawn by their outlines).
constexpr int kRays = 64;
constexpr double kStep = 0.5;  // dots between the probes along a ray
// Of the rays, those that leave the disc at its circle; the others run out along the lines.
constexpr double kLeastOnCircle = 0.45;
constexpr int kShortRaysAllowed = 2;  // rays ending inside the circle: notches of noise in the edge
// How far the edge may lie off the disc's circle, as a root mean square, in dots and of the radius: a
// disc's edge in whole dots strays some 0.3 dots, the sides of a filled polygon from its corners' circle
// more.
constexpr double kLargestMeanOff = 0.6;
constexpr double kLargestMeanOffShare = 0.01;
constexpr double kEdgeSlack = 0.5;  // dots the edge may stray from the fitted circle beyond the tolerance
// A line leaves the disc: the longest ray of its stretch runs this many radii from the centre, farther than
// the corners of a filled square or of a triangle of even sides reach.
constexpr double kLeastLineReach = 2.0;
// Dots the rays look out to: far enough to tell a line leaving the largest disc.
double rayLimit(const Tolerances& sizes) { return kLeastLineReach * sizes.largestRound / 2 + 4; }

// The largest distance below limit: the marches stop at their last probe.
double before(double limit) { return std::nextafter(limit, -std::numeric_limits<double>::infinity()); }

// The distance along the ray from centre, from `from` on, to the first stretch of background a dot long; limit
// when there is none before it.
double backgroundFrom(const InkProbe& ink, Point centre, Point direction, double from, double limit) {
    return std::min(InkRay(ink, centre, direction, kStep).firstGap(from, before(limit), kStep), limit);
}

// The distance along the ray from centre, from `from` on, to the first ink; limit when there is none before it.
double inkFrom(const InkProbe& ink, Point centre, Point direction, double from, double limit) {
    return std::min(InkRay(ink, centre, direction, kStep).firstInk(from, before(limit)), limit);
}

struct Disc {
    VectorCircle edge;  // round the ink's outer edge
    double hole = 0;    // dots: the radius of the hole's edge where it shows between the lines; 0 for none
};

// Looks along rays as far as tells a line leaving a disc as large as the typical ray: first as far as for a
// disc of twice the smallest radius, which most are, and farther when needed. look(limit) looks along the
// rays up to limit dots and gives the typical ray.
template <typename Look>
void lookFarEnough(const Tolerances& sizes, Look look) {
    const double farthest = rayLimit(sizes);
    double limit = kLeastLineReach * 2 * sizes.smallestJunctionRadius + 1;
    for (;;) {
        const double typical = look(limit);
        if (kLeastLineReach * typical + 1 < limit || limit >= farthest) {
            return;
        }
        limit = std::min(farthest, kLeastLineReach * typical * 1.5 + 2);
    }
}

// Where each ray leaves the ink round centre: outer; and inner, where it meets ink again after crossing a
// hole (0 when it crosses none).
struct RayEnds {
    std::array<double, kRays> outer{}, inner{};
};

RayEnds raysFrom(const InkProbe& ink, Point centre, double limit) {
    RayEnds ends;
    std::vector<double> first(kRays);
    for (int k = 0; k < kRays; ++k) {
        first[static_cast<std::size_t>(k)] =
            backgroundFrom(ink, centre, pointOnCircle({0, 0}, 1, 360.0 * k / kRays), 0, limit);
    }
    const double typical = median(first);
    for (int k = 0; k < kRays; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const Point direction = pointOnCircle({0, 0}, 1, 360.0 * k / kRays);
        ends.outer[i] = first[i];
        // A ray that meets background well inside the typical edge and ink again before it crossed a hole.
        if (first[i] < 0.75 * typical) {
            const double back = inkFrom(ink, centre, direction, first[i], typical);
            if (back < typical) {
                ends.inner[i] = back;
                ends.outer[i] = backgroundFrom(ink, centre, direction, back, limit);
            }
        }
    }
    return ends;
}

// The rays about centre, looked along far enough (see lookFarEnough).
RayEnds raysAbout(const InkProbe& ink, const Tolerances& sizes, Point centre) {
    RayEnds ends;
    lookFarEnough(sizes, [&](double limit) {
        ends = raysFrom(ink, centre, limit);
        return median(std::vector<double>(ends.outer.begin(), ends.outer.end()));
    });
    return ends;
}

// Whether seed lies in a stroke rather than in a disc at least twice as wide as the lines leaving it: a first
// look along a few rays, sparing the whole look at the many bits of a thick stroke's core (where thin strokes
// cross it, too). Where a ray runs out along a line, past kLeastLineReach times the typical ray, the line is
// crossed square to the ray: a stroke is wider there than the typical ray, a line leaving a disc no wider
// than its radius.
bool inStroke(const InkProbe& ink, const Tolerances& sizes, Point seed) {
    constexpr int kFewRays = 16;
    std::array<double, kFewRays> ends{};
    double typical = 0;
    lookFarEnough(sizes, [&](double limit) {
        for (int k = 0; k < kFewRays; ++k) {
            ends[static_cast<std::size_t>(k)] =
                backgroundFrom(ink, seed, pointOnCircle({0, 0}, 1, 360.0 * k / kFewRays), 0, limit);
        }
        typical = median(std::vector<double>(ends.begin(), ends.end()));
        return typical;
    });
    if (typical < sizes.smallestJunctionRadius - kStep) {
        return true;
    }
    for (int k = 0; k < kFewRays; ++k) {
        if (ends[static_cast<std::size_t>(k)] <= kLeastLineReach * typical) {
            continue;
        }
        const Point along = pointOnCircle({0, 0}, 1, 360.0 * k / kFewRays);
        const Point out = seed + along * (kLeastLineReach * typical);
        const Point across{-along.y, along.x};
        if (backgroundFrom(ink, out, across, 0, typical) + backgroundFrom(ink, out, across * -1, 0, typical) >
            typical) {
            return true;
        }
    }
    return false;
}

// Whether each stretch of rays that run on past kLeastLineReach radii, out along a line, is no wider than a
// line half as wide as the disc makes it: a ray off the line's middle runs on only while it meets the line's
// side that far out; a step either side for where the rays fall. A stroke about as wide as the disc runs out
// over wider stretches.
bool linesNarrow(const RayEnds& ends, double radius) {
    const double widest = 2 * std::asin(0.5 / kLeastLineReach) * 180 / std::numbers::pi + 2 * 360.0 / kRays;
    const auto along = [&](int k) {
        return ends.outer[static_cast<std::size_t>((k + kRays) % kRays)] > kLeastLineReach * radius;
    };
    int stretch = 0;
    for (int k = 0; k < 2 * kRays; ++k) {
        stretch = along(k) ? stretch + 1 : 0;
        if (stretch * 360.0 / kRays > widest) {
            return false;
        }
    }
    return true;
}

// Whether only lines leave the circle of the radius about the rays' centre: each stretch of rays that leave
// the ink beyond it holds rays that run out along a line (see linesNarrow), and the rest of it lies by them,
// the line's shoulders. A filled square's or triangle's corners reach less far.
bool onlyLinesLeave(const RayEnds& ends, double radius, double tolerance) {
    const auto outer = [&](int k) { return ends.outer[static_cast<std::size_t>((k + kRays) % kRays)]; };
    const auto beyond = [&](int k) { return outer(k) > radius + tolerance; };
    const double widestStretch =
        2 * std::asin(std::min(1.0, 0.5 + 1.5 / radius)) * 180 / std::numbers::pi + 2 * 360.0 / kRays;
    int start = 0;
    while (start < kRays && beyond(start)) {
        ++start;
    }
    if (start == kRays) {
        return false;
    }
    for (int k = start; k < start + kRays; ++k) {
        if (!beyond(k) || beyond(k - 1)) {
            continue;
        }
        int end = k;
        bool line = false;
        for (; beyond(end); ++end) {
            line = line || outer(end) > kLeastLineReach * radius;
        }
        if (!line || (end - k) * 360.0 / kRays > widestStretch) {
            return false;
        }
    }
    return linesNarrow(ends, radius);
}

// The disc round centre, if the ink is one: the rays leave it at one circle but where lines run out of it.
std::optional<Disc> discAround(const InkProbe& ink, const Tolerances& sizes, Point centre) {
    const RayEnds ends = raysAbout(ink, sizes, centre);
    const double radius = median(std::vector<double>(ends.outer.begin(), ends.outer.end()));
    if (radius < sizes.smallestJunctionRadius || radius > sizes.largestRound / 2.0) {
        return std::nullopt;
    }
    const double tolerance = std::max(1.5, 0.08 * radius);
    std::vector<Point> edge;
    std::vector<double> holeEdges;
    int shortRays = 0;
    for (int k = 0; k < kRays; ++k) {
        const double outer = ends.outer[static_cast<std::size_t>(k)];
        if (std::abs(outer - radius) <= tolerance) {
            // The edge lies between the last probe in ink and the first out of it.
            edge.push_back(pointOnCircle(centre, outer - kStep / 2, 360.0 * k / kRays));
        }
        shortRays += outer < radius - tolerance ? 1 : 0;
        if (ends.inner[static_cast<std::size_t>(k)] > 0) {
            holeEdges.push_back(ends.inner[static_cast<std::size_t>(k)] - kStep / 2);
        }
    }
    if (shortRays > kShortRaysAllowed || static_cast<double>(edge.size()) < kLeastOnCircle * kRays ||
        !onlyLinesLeave(ends, radius, tolerance)) {
        return std::nullopt;
    }
    const CircleFit fit = fitCircle(edge);
    if (!fit.valid || largestCircleDistance(edge, fit) > tolerance + kEdgeSlack ||
        std::sqrt(meanSquareCircleDistance(edge, fit)) > kLargestMeanOff + kLargestMeanOffShare * fit.radius) {
        return std::nullopt;
    }
    Disc disc{{fit.centre, fit.radius}, 0};
    if (holeEdges.size() >= 2) {
        const double hole = median(holeEdges);
        disc.hole = hole <= fit.radius - 2.5 ? hole : 0;
    }
    return disc;
}

// The centre of the ink's edge round seed, a point inside a disc but maybe off its middle: the circle through
// where the rays leave the ink, leaving out the rays that run out along lines, found again from its centre
// until it stays. Nothing when there is none, or when a stroke wider than half the disc runs through seed.
std::optional<Point> edgeCentre(const InkProbe& ink, const Tolerances& sizes, Point seed) {
    constexpr int kRounds = 3;
    Point centre = seed;
    for (int round = 0; round < kRounds; ++round) {
        const RayEnds ends = raysAbout(ink, sizes, centre);
        const double typical = median(std::vector<double>(ends.outer.begin(), ends.outer.end()));
        if (typical < sizes.smallestJunctionRadius - 1 || !linesNarrow(ends, typical)) {
            return std::nullopt;
        }
        std::vector<Point> edge;
        for (int k = 0; k < kRays; ++k) {
            const double outer = ends.outer[static_cast<std::size_t>(k)];
            if (outer <= kLeastLineReach * typical) {
                edge.push_back(pointOnCircle(centre, outer - kStep / 2, 360.0 * k / kRays));
            }
        }
        // Lines only lengthen the rays: the points far outside the circle fitted go, until none is.
        CircleFit fit = fitCircle(edge);
        for (std::size_t before = 0; fit.valid && before != edge.size();) {
            before = edge.size();
            std::erase_if(edge, [&](Point p) { return length(p - fit.centre) - fit.radius > 1; });
            fit = fitCircle(edge);
        }
        if (!fit.valid || length(fit.centre - seed) > sizes.largestRound / 2.0) {
            return std::nullopt;
        }
        const double moved = length(fit.centre - centre);
        centre = fit.centre;
        if (moved < 0.25) {
            break;
        }
    }
    return centre;
}

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
            widths.push_back(crossed - kStep);
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

void replaceJunctionDots(const VirtualVram& grid, FilledCores& cores, const Tolerances& sizes, WideDrawing& wide,
                         WorkerPool& pool, const Tick& tick) {
    const InkProbe ink(grid);
    // Each core is looked at on its own by the workers; the discs are then taken in the cores' order, a core
    // within a disc taken already being part of it.
    const std::vector<Point> middles = cores.roundMiddles(sizes.largestRound);
    std::vector<std::optional<Disc>> found(middles.size());
    pool.run(middles.size(), [&](std::size_t i, std::int32_t) {
        if (inStroke(ink, sizes, middles[i])) {
            return;
        }
        const std::optional<Point> centre = edgeCentre(ink, sizes, middles[i]);
        found[i] = centre ? discAround(ink, sizes, *centre) : std::nullopt;
    });
    std::vector<Disc> discs;
    CircleCells edges;
    for (std::size_t i = 0; i < middles.size(); ++i) {
        tick();
        if (found[i] && !edges.covers(middles[i], 0)) {
            edges.add(found[i]->edge);
            discs.push_back(*found[i]);
        }
    }
    if (discs.empty()) {
        return;
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
