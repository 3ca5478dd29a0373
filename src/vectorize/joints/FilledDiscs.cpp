// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/joints/FilledDiscs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "common/Median.h"
#include "common/WorkerPool.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/CircleCells.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

// The discs' sizes are the tolerances' smallestJunctionRadius and largestRound (larger filled areas are
// drawn by their outlines).
constexpr int kRays = 64;
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

// The distance along the ray from centre, from `from` on, to the first ink; limit when there is none before it.
double inkFrom(const InkProbe& ink, Point centre, Point direction, double from, double limit) {
    return std::min(InkRay(ink, centre, direction, kRayStep).firstInk(from, before(limit)), limit);
}

// How rays look for a disc: on the ink, at the tolerances' sizes. acrossHole: from a seed in a hole a ray
// first crosses the background it starts in; otherwise a centre in background has no disc round it.
struct DiscLook {
    const InkProbe& ink;
    const Tolerances& sizes;
    bool acrossHole = false;
};

// The distance along the ray from centre to where it first meets ink, across a hole (see DiscLook); 0 from
// a centre in ink or when the look does not cross holes.
double holeAlong(const DiscLook& look, Point centre, Point direction, double limit) {
    return look.acrossHole ? inkFrom(look.ink, centre, direction, 0, limit) : 0;
}

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

// From a hole: the share of the rays shorter than the typical one, and the slivers of ink (the lines' edges
// between the hole's pieces) a ray crosses at most on its way to the ring.
constexpr double kHoleTypicalShare = 0.75;
constexpr int kMostSlivers = 3;

// Where each ray leaves the ink round centre: outer; and inner, where it meets ink again after crossing a
// hole (0 when it crosses none).
struct RayEnds {
    std::array<double, kRays> outer{}, inner{};
};

RayEnds raysFrom(const DiscLook& look, Point centre, double limit) {
    const InkProbe& ink = look.ink;
    RayEnds ends;
    std::vector<double> first(kRays);
    for (int k = 0; k < kRays; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const Point direction = pointOnCircle({0, 0}, 1, 360.0 * k / kRays);
        ends.inner[i] = holeAlong(look, centre, direction, limit);
        first[i] = backgroundFrom(ink, centre, direction, ends.inner[i], limit);
    }
    // The typical ray reaches the disc's edge. From a hole, the lines running into the ring may cut it into
    // pieces that half the rays meet first: the edge is what the longer rays reach.
    const double typical = look.acrossHole ? quantile(first, kHoleTypicalShare) : median(first);
    for (int k = 0; k < kRays; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const Point direction = pointOnCircle({0, 0}, 1, 360.0 * k / kRays);
        ends.outer[i] = first[i];
        // A ray that meets background well inside the typical edge and ink again before it crossed a hole;
        // from a hole, again past each sliver of ink between the hole's pieces.
        const int crossings = look.acrossHole ? kMostSlivers + 1 : 1;
        for (int crossing = 0; crossing < crossings && ends.outer[i] < 0.75 * typical; ++crossing) {
            const double back = inkFrom(ink, centre, direction, ends.outer[i], typical);
            if (back >= typical) {
                break;
            }
            ends.inner[i] = back;
            ends.outer[i] = backgroundFrom(ink, centre, direction, back, limit);
        }
    }
    return ends;
}

// The rays about centre, looked along far enough (see lookFarEnough).
RayEnds raysAbout(const DiscLook& look, Point centre) {
    RayEnds ends;
    lookFarEnough(look.sizes, [&](double limit) {
        ends = raysFrom(look, centre, limit);
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
    if (typical < sizes.smallestJunctionRadius - kRayStep) {
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
std::optional<Disc> discAround(const DiscLook& look, Point centre) {
    const Tolerances& sizes = look.sizes;
    const RayEnds ends = raysAbout(look, centre);
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
            edge.push_back(pointOnCircle(centre, outer - kRayStep / 2, 360.0 * k / kRays));
        }
        shortRays += outer < radius - tolerance ? 1 : 0;
        if (ends.inner[static_cast<std::size_t>(k)] > 0) {
            holeEdges.push_back(ends.inner[static_cast<std::size_t>(k)] - kRayStep / 2);
        }
    }
    if (shortRays > kShortRaysAllowed || static_cast<double>(edge.size()) < kLeastOnCircle * kRays ||
        !onlyLinesLeave(ends, radius, tolerance)) {
        return std::nullopt;
    }
    const CircleFit fit = fitCircle(edge);
    // The edge's points lie about the rays' typical distance from the centre, and so must the circle through
    // them: points bunched on one side fit a smaller circle, one a junction of crossing lines may have.
    if (!fit.valid || std::abs(fit.radius - radius) > tolerance ||
        largestCircleDistance(edge, fit) > tolerance + kEdgeSlack ||
        std::sqrt(meanSquareCircleDistance(edge, fit)) > kLargestMeanOff + kLargestMeanOffShare * fit.radius) {
        return std::nullopt;
    }
    Disc disc{{fit.centre, fit.radius}, 0};
    if (holeEdges.size() >= 2) {
        const double hole = median(holeEdges);
        // A pinhole in a filled dot, narrower than a hole is, is no ring's hole.
        disc.hole = hole <= fit.radius - 2.5 && 2 * hole >= kSmallestPiece ? hole : 0;
    }
    return disc;
}

// Where the rays about centre leave the ink, leaving out those that run out along lines (past kLeastLineReach
// typical rays).
std::vector<Point> rayEdge(const RayEnds& ends, Point centre, double typical) {
    std::vector<Point> edge;
    for (int k = 0; k < kRays; ++k) {
        const double outer = ends.outer[static_cast<std::size_t>(k)];
        if (outer <= kLeastLineReach * typical) {
            edge.push_back(pointOnCircle(centre, outer - kRayStep / 2, 360.0 * k / kRays));
        }
    }
    return edge;
}

// A centre found again from the circle fitted about the last one until it stays (moves under a quarter dot;
// three rounds at most): fitted(centre) is that circle, or nothing. Nothing when a fit fails or its centre
// lies farther from seed than half the largest round.
template <typename Fitted>
std::optional<Point> settledCentre(const Tolerances& sizes, Point seed, Fitted fitted) {
    constexpr int kRounds = 3;
    Point centre = seed;
    for (int round = 0; round < kRounds; ++round) {
        const std::optional<CircleFit> fit = fitted(centre);
        if (!fit || !fit->valid || length(fit->centre - seed) > sizes.largestRound / 2.0) {
            return std::nullopt;
        }
        const double moved = length(fit->centre - centre);
        centre = fit->centre;
        if (moved < 0.25) {
            break;
        }
    }
    return centre;
}

// The centre of the ink's edge round seed, a point inside a disc but maybe off its middle: the circle through
// where the rays leave the ink, leaving out the rays that run out along lines, found again from its centre
// until it stays. Nothing when there is none, or when a stroke wider than half the disc runs through seed.
std::optional<Point> edgeCentre(const DiscLook& look, Point seed) {
    return settledCentre(look.sizes, seed, [&](Point centre) -> std::optional<CircleFit> {
        const RayEnds ends = raysAbout(look, centre);
        const double typical = median(std::vector<double>(ends.outer.begin(), ends.outer.end()));
        if (typical < look.sizes.smallestJunctionRadius - 1 || !linesNarrow(ends, typical)) {
            return std::nullopt;
        }
        std::vector<Point> edge = rayEdge(ends, centre, typical);
        // Lines only lengthen the rays: the points far outside the circle fitted go, until none is.
        CircleFit fit = fitCircle(edge);
        for (std::size_t before = 0; fit.valid && before != edge.size();) {
            before = edge.size();
            std::erase_if(edge, [&](Point p) { return length(p - fit.centre) - fit.radius > 1; });
            fit = fitCircle(edge);
        }
        return fit;
    });
}

// Where to look for discs, points inside them: the middles of the filled areas' round cores, then a cell of
// each hole up to kLargestSeedHole smallest junction radii across, which may be what shows of a heavy ring's
// hole that the ink all but closed (no cell of such a rim lies far enough from the background to be a core).
constexpr double kLargestSeedHole = 2;
// Dots a disc found from a hole reaches from its centre at least: only then do the 1.5 dots its edge may stray
// tell a heavy ring from a knot of crossing lines round a speck of background, or a loop's end.
constexpr double kLeastRingRadius = 12;

struct DiscSeeds {
    std::vector<Point> points;
    std::size_t cores = 0;  // the first, the cores' middles
};

DiscSeeds discSeeds(FilledCores& cores, const PageHoles& holes, const Tolerances& sizes) {
    DiscSeeds seeds{cores.roundMiddles(sizes.largestRound), 0};
    seeds.cores = seeds.points.size();
    for (const Hole* hole : listedHoles(holes)) {
        if (std::max(hole->box.width(), hole->box.height()) <= kLargestSeedHole * sizes.smallestJunctionRadius) {
            seeds.points.push_back({static_cast<double>(hole->seedX), static_cast<double>(hole->seedY)});
        }
    }
    return seeds;
}

// The centre of the ring round a hole's cell: the circle through where the rays leave the ring, leaving out
// those that run out along lines and then, twice, the points off it by more than twice their median (a
// line's shoulders), found again from its centre until it stays. From a cell off the ring's middle the rays
// meet its edge unevenly, which edgeCentre's trimming of the points outside alone would take for lines.
std::optional<Point> ringCentre(const DiscLook& look, Point cell) {
    constexpr int kTrims = 2;
    return settledCentre(look.sizes, cell, [&](Point centre) {
        const RayEnds ends = raysAbout(look, centre);
        std::vector<Point> edge =
            rayEdge(ends, centre, median(std::vector<double>(ends.outer.begin(), ends.outer.end())));
        CircleFit fit = fitCircle(edge);
        for (int trim = 0; trim < kTrims && fit.valid; ++trim) {
            const auto off = [&](Point p) { return std::abs(length(p - fit.centre) - fit.radius); };
            std::vector<double> offs;
            for (const Point& p : edge) {
                offs.push_back(off(p));
            }
            const double kept = std::max(1.0, 2 * median(offs));
            std::erase_if(edge, [&](Point p) { return off(p) > kept; });
            fit = fitCircle(edge);
        }
        return std::optional<CircleFit>(fit);
    });
}

}  // namespace

double backgroundFrom(const InkProbe& ink, Point centre, Point direction, double from, double limit) {
    return std::min(InkRay(ink, centre, direction, kRayStep).firstGap(from, before(limit), kRayStep), limit);
}

std::vector<Disc> filledDiscs(const InkProbe& ink, FilledCores& cores, const PageHoles& holes, const Tolerances& sizes,
                              WorkerPool& pool, const Tick& tick) {
    // Each seed is looked at on its own by the workers; the discs are then taken in the seeds' order, a seed
    // within a disc taken already being part of it.
    const DiscSeeds seeds = discSeeds(cores, holes, sizes);
    std::vector<std::optional<Disc>> found(seeds.points.size());
    pool.run(seeds.points.size(), [&](std::size_t i, std::int32_t) {
        const DiscLook look{ink, sizes, i >= seeds.cores};
        std::optional<Point> centre;
        if (look.acrossHole) {
            centre = ringCentre(look, seeds.points[i]);
        } else if (!inStroke(ink, sizes, seeds.points[i])) {
            centre = edgeCentre(look, seeds.points[i]);
        }
        found[i] = centre ? discAround(look, *centre) : std::nullopt;
        if (found[i] && look.acrossHole && found[i]->edge.radius < kLeastRingRadius) {
            found[i].reset();
        }
    });
    std::vector<Disc> discs;
    CircleCells edges;
    for (std::size_t i = 0; i < seeds.points.size(); ++i) {
        tick();
        if (found[i] && !edges.covers(seeds.points[i], 0)) {
            edges.add(found[i]->edge);
            discs.push_back(*found[i]);
        }
    }
    return discs;
}

}  // namespace kelvarin
