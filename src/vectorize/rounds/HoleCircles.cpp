// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/HoleCircles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

constexpr std::ptrdiff_t kSectors = 32;  // of the circle, for how far round the hole's edge follows it
// A line half as wide as a hole through its centre, as a heavy pen draws one through a small ring, leaves
// two slivers: 40 % of the disc, along 2/3 of its circle. A hole narrower than this has too few edge dots to
// tell such slivers from the pieces of a letter or a polygon, so its lines may take half the disc and a
// quarter of the circle at most.
constexpr std::int32_t kNarrowCutHole = 12;

bool narrowCutHole(const Box& box) { return std::max(box.width(), box.height()) < kNarrowCutHole; }

// Dots across: a whole hole narrower than kLeastFollowedHole has too few edge dots to follow its circle (see
// fillStepGaps); one under kSmallestRoundHole tells nothing of its shape.
constexpr std::int32_t kLeastFollowedHole = 7;
constexpr std::int32_t kSmallestRoundHole = 3;

// The edge of a small hole in whole cells may leave a sector of its circle without any point where it steps
// diagonally (up to a diagonal's length apart): such a sector between followed ones counts as followed. A
// sector whose points lie off the circle (a polygon's corner or side) does not, nor does one of a hole under
// 7 dots across, which is no rounder than the diamonds and triangles between hatch lines.
void fillStepGaps(std::array<bool, kSectors>& followed, const std::array<bool, kSectors>& pointed, double radius) {
    constexpr double kLongestStep = std::numbers::sqrt2;  // dots between neighbouring points of an edge
    constexpr double kSmallestRadius = 3.5;
    if (radius < kSmallestRadius || 2 * std::numbers::pi * radius / kSectors > kLongestStep) {
        return;
    }
    const std::array<bool, kSectors> was = followed;
    for (std::size_t k = 0; k < was.size(); ++k) {
        followed[k] = was[k] || (!pointed[k] && was[(k + 1) % was.size()] && was[(k + was.size() - 1) % was.size()]);
    }
}

// The radius of the circle round holes in the box, as a first guess: a whole hole's box holds its circle; the
// pieces of a cut one may fall short of it across the cut, where curved strokes cut it (overlapping loops
// cut each other's holes into lenses, lower than the circle).
double guessedRadius(const Box& box, bool whole) {
    return whole ? (box.width() + box.height()) / 4.0 : std::max(box.width(), box.height()) / 2.0;
}

// The circle fitted to the edge points near the circle guessed, ever closer; nothing when too few points
// lie near it. The share of the edge on the circle: most of a whole hole's, some of a cut one's, the rest
// along lines.
std::optional<CircleFit> closingFit(const std::vector<Point>& edge, const Box& box, bool whole) {
    CircleFit fit{box.centre(), guessedRadius(box, whole), true};
    std::vector<Point> near;
    const double least = static_cast<double>(edge.size()) * (whole ? 0.8 : 0.35);
    for (const double share : {0.25, 0.12, 0.08}) {
        near.clear();
        const double within = std::max(1.0, share * fit.radius);
        for (const Point& p : edge) {
            if (distanceToCircle(p, fit.centre, fit.radius) <= within) {
                near.push_back(p);
            }
        }
        if (near.size() < 8 || static_cast<double>(near.size()) < least) {
            return std::nullopt;
        }
        fit = fitCircle(near);
        if (!fit.valid) {
            return std::nullopt;
        }
    }
    return fit;
}

// The steps of a circle's edge in whole cells lie within about half a dot of it; the straight sides of a
// hole between hatch lines, rounded at the corners, farther.
constexpr double kStepsOff = 0.6;

// Whether the edge follows the circle: few of its points beyond within, points within fewestSectors sectors
// of it, and the points from inside in to within out close to it.
bool followsEdge(const std::vector<Point>& edge, const CircleFit& circle, double within, double inside,
                 std::ptrdiff_t fewestSectors) {
    std::array<bool, kSectors> followed{}, pointed{};
    double beyond = 0, on = 0, close = 0, squares = 0;
    for (const Point& p : edge) {
        const double off = length(p - circle.centre) - circle.radius;
        beyond += off > within + 0.5 ? 1 : 0;
        const auto sector =
            static_cast<std::size_t>(angleDegrees(circle.centre, p) / (360.0 / kSectors)) % followed.size();
        pointed[sector] = true;
        followed[sector] = followed[sector] || std::abs(off) <= within;
        if (off >= -inside && off <= within) {
            on += 1;
            close += std::abs(off) <= kStepsOff ? 1 : 0;
            squares += off * off;
        }
    }
    fillStepGaps(followed, pointed, circle.radius);
    const auto sectors = std::count(followed.begin(), followed.end(), true);
    return beyond <= 0.05 * static_cast<double>(edge.size()) && sectors >= fewestSectors && close >= 0.8 * on &&
           squares <= 0.45 * 0.45 * on;
}

// The circle the hole's edge follows: fitted to the edge points near the circle guessed, ever closer. Edge
// points inside it are where lines cut the hole; points beyond it, a corner of a hole that is no circle.
std::optional<CircleFit> circleOfEdge(const std::vector<Point>& edge, const Box& box, std::ptrdiff_t fewestSectors,
                                      bool whole) {
    const std::optional<CircleFit> fit = closingFit(edge, box, whole);
    if (!fit) {
        return std::nullopt;
    }
    const double within = std::max(1.0, 0.06 * fit->radius);
    if (followsEdge(edge, *fit, within, within, fewestSectors)) {
        return fit;
    }
    // A whole hole's edge may be pushed in here and there by lines that touch or run along the ring: the
    // circle of the rest of it, where few of its points lie inside.
    if (!whole) {
        return std::nullopt;
    }
    std::vector<Point> near;
    for (const Point& p : edge) {
        const double off = length(p - fit->centre) - fit->radius;
        if (off >= -kStepsOff && off <= within) {
            near.push_back(p);
        }
    }
    const CircleFit rest = fitCircle(near);
    if (!rest.valid || static_cast<double>(near.size()) < 0.85 * static_cast<double>(edge.size()) ||
        !followsEdge(edge, rest, within, kStepsOff, fewestSectors)) {
        return std::nullopt;
    }
    return rest;
}

// Whether the rows of the holes end on the circle their box holds, for a whole hole, or within it, for the
// pieces of a cut one, but for a few ends that noise moved: a quick test before the fit, which corners fail.
bool rowsEndRound(const std::vector<const std::vector<Gap>*>& pieces, const Box& box) {
    const Point c = box.centre();
    const bool whole = pieces.size() == 1;
    const double r = guessedRadius(box, whole), slack = std::max(1.5, 0.08 * r);
    double ends = 0, off = 0;
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            for (const double end : {gap.left - 0.5, gap.right + 0.5}) {
                const double distance = length(Point{end, static_cast<double>(gap.y)} - c);
                off += distance > r + slack || (whole && distance < r - slack) ? 1 : 0;
                ends += 1;
            }
        }
    }
    return off <= std::max(1.0, 0.05 * ends);
}

// Whether the ink round a ring leaves it at one circle but where lines run on: most rays from its centre
// leave it within a dot of one distance, a few steps of whole dots off at most. A square ring's corners
// reach farther.
bool outerEdgeRound(const Ring& ring, const InkProbe& ink) {
    constexpr int kRays = 32;
    constexpr double kStep = 0.25, kLeastOnCircle = 0.6, kLargestMeanOff = 0.6;
    const double outer = ring.hole + ring.stroke, limit = outer + ring.stroke;
    std::vector<double> leaves;
    for (int k = 0; k < kRays; ++k) {
        const double radians = 2 * std::numbers::pi * (k + 0.5) / kRays;
        const InkRay ray(ink, ring.circle.centre, {std::cos(radians), std::sin(radians)}, kStep);
        const double leave = ray.firstGap(ring.circle.radius, limit, 1);
        if (leave < limit) {
            leaves.push_back(leave);
        }
    }
    std::sort(leaves.begin(), leaves.end());
    if (leaves.empty()) {
        return false;
    }
    const double middle = leaves[leaves.size() / 2];
    double on = 0, squares = 0;
    for (const double leave : leaves) {
        if (std::abs(leave - middle) <= 1) {
            on += 1;
            squares += (leave - middle) * (leave - middle);
        }
    }
    return on >= kLeastOnCircle * kRays && squares <= kLargestMeanOff * kLargestMeanOff * on;
}

}  // namespace

std::vector<Point> edgeOf(const std::vector<const std::vector<Gap>*>& pieces, const Box& box) {
    const std::int32_t stride = box.width() + 2;
    std::vector<char> inside(static_cast<std::size_t>(stride * (box.height() + 2)), 0);
    const auto place = [&](std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>((y - box.bottom + 1) * stride + (x - box.left + 1));
    };
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            std::fill_n(inside.begin() + static_cast<std::ptrdiff_t>(place(gap.left, gap.y)), gap.right - gap.left + 1,
                        1);
        }
    }
    std::vector<Point> edge;
    for (const std::vector<Gap>* piece : pieces) {
        for (const Gap& gap : *piece) {
            for (std::int32_t x = gap.left; x <= gap.right; ++x) {
                const auto cell = Point{static_cast<double>(x), static_cast<double>(gap.y)};
                for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    if (inside[place(x + dx, gap.y + dy)] == 0) {
                        edge.push_back(cell + Point{dx * 0.5, dy * 0.5});
                    }
                }
            }
        }
    }
    return edge;
}

bool roundBox(const Box& box, double cells, std::int32_t largest, bool whole) {
    const std::int32_t larger = std::max(box.width(), box.height());
    // The pieces of a hole that curved strokes cut (the lenses of overlapping loops) fall short of its box across
    // the cut.
    const double squareness = whole ? 0.1 : 0.25;
    if (larger > largest || std::abs(box.width() - box.height()) > 2 + squareness * larger) {
        return false;
    }
    const double disc = std::numbers::pi / 4 * box.width() * box.height(), steps = (box.width() + box.height()) / 2.0;
    const double least = narrowCutHole(box) ? 0.5 : 0.35;
    return whole ? std::abs(cells - disc) <= 0.1 * disc + steps : cells <= disc + steps && cells >= least * disc;
}

std::optional<Ring> ringOfTraced(const std::vector<const std::vector<Gap>*>& pieces, const Box& box,
                                 const InkProbe& ink) {
    if (!rowsEndRound(pieces, box)) {
        return std::nullopt;
    }
    // A whole hole follows its circle all round: one with a straight side, as a letter's bowl has, is no ring.
    // The pieces of a cut hole follow it but where the lines cut it.
    const bool whole = pieces.size() == 1;
    const std::ptrdiff_t fewestSectors = whole                ? kSectors - 3
                                         : narrowCutHole(box) ? kSectors * 3 / 4
                                                              : kSectors * 3 / 5;
    const std::optional<CircleFit> circle = circleOfEdge(edgeOf(pieces, box), box, fewestSectors, whole);
    if (circle) {
        return ringRound({circle->centre, circle->centre, circle->radius}, ink);
    }
    // A whole hole too small for its edge in whole cells to follow a circle (that of a small ring of a heavy
    // pen, its stroke over a hole across) is taken by its box's middle, when the ring's outer edge is round.
    if (!whole || std::min(box.width(), box.height()) < kSmallestRoundHole ||
        std::max(box.width(), box.height()) >= kLeastFollowedHole) {
        return std::nullopt;
    }
    const std::optional<Ring> ring = ringRound({box.centre(), box.centre(), guessedRadius(box, true)}, ink);
    return ring && outerEdgeRound(*ring, ink) ? ring : std::nullopt;
}

}  // namespace kelvarin
