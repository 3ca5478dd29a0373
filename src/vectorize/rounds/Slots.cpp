// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/Slots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kShortestSide = 0.3;  // of the half width: a shorter straight makes a round hole
constexpr int kRounds = 3;             // of refitting the ends' circles about the segment found

// The circle of the edge points beyond the straight sides at one end: along the axis from the middle by
// more than half the straight, on the side of sign.
CircleFit endCircle(std::span<const Point> edge, Point middle, Point along, double halfStraight, double sign,
                    std::vector<Point>& end) {
    end.clear();
    for (const Point& p : edge) {
        if (sign * dot(p - middle, along) >= halfStraight) {
            end.push_back(p);
        }
    }
    return end.size() >= 8 ? fitCircle(end) : CircleFit{};
}

// The summed squared distance of the edge from the slot with ends a and b, whose radius is the edge's mean
// distance from their segment, the radius that makes it least.
double slotError(std::span<const Point> edge, Point a, Point b, double& radius) {
    double sum = 0, squares = 0;
    for (const Point& p : edge) {
        const double d = distanceToSegment(p, {a, b});
        sum += d;
        squares += d * d;
    }
    const auto n = static_cast<double>(edge.size());
    radius = sum / n;
    return squares - n * radius * radius;
}

// The solution of the 4 x 4 system m x = v, by elimination with the largest pivot; nothing when singular.
std::optional<std::array<double, 4>> solve4(std::array<std::array<double, 5>, 4> m) {
    for (std::size_t col = 0; col < 4; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < 4; ++row) {
            pivot = std::abs(m[row][col]) > std::abs(m[pivot][col]) ? row : pivot;
        }
        if (std::abs(m[pivot][col]) < 1e-9) {
            return std::nullopt;
        }
        std::swap(m[col], m[pivot]);
        for (std::size_t row = 0; row < 4; ++row) {
            if (row != col) {
                const double k = m[row][col] / m[col][col];
                for (std::size_t c = col; c < 5; ++c) {
                    m[row][c] -= k * m[col][c];
                }
            }
        }
    }
    return std::array<double, 4>{m[0][4] / m[0][0], m[1][4] / m[1][1], m[2][4] / m[2][2], m[3][4] / m[3][3]};
}

// The Gauss-Newton step for the ends a and b (ax, ay, bx, by), the radius following them as the mean
// distance. A point's distance from the segment moves with an end by the share of the segment it lies
// nearest that end.
std::optional<std::array<double, 4>> slotStep(std::span<const Point> edge, Point a, Point b) {
    std::array<std::array<double, 4>, 4> gg{};
    std::array<double, 4> gd{}, g{};
    double sumD = 0;
    const Point along = b - a;
    for (const Point& p : edge) {
        const double t = nearestOnSegment(p, a, b);
        const Point off = p - (a + along * t);
        const double d = length(off);
        if (d < 1e-9) {
            continue;
        }
        const Point e = off * (1 / d);
        const std::array<double, 4> row{-(1 - t) * e.x, -(1 - t) * e.y, -t * e.x, -t * e.y};
        for (std::size_t i = 0; i < 4; ++i) {
            for (std::size_t k = 0; k < 4; ++k) {
                gg[i][k] += row[i] * row[k];
            }
            gd[i] += row[i] * d;
            g[i] += row[i];
        }
        sumD += d;
    }
    const auto n = static_cast<double>(edge.size());
    std::array<std::array<double, 5>, 4> system{};
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t k = 0; k < 4; ++k) {
            system[i][k] = gg[i][k] - g[i] * g[k] / n;
        }
        system[i][4] = -(gd[i] - g[i] * sumD / n);
    }
    return solve4(system);
}

// The slot nearest the edge geometrically: the ends refined from start by Gauss-Newton rounds, each step
// halved until it lowers the error.
SlotShape closestSlot(std::span<const Point> edge, SlotShape slot) {
    double error = slotError(edge, slot.a, slot.b, slot.radius);
    for (int round = 0; round < 20; ++round) {
        const std::optional<std::array<double, 4>> step = slotStep(edge, slot.a, slot.b);
        if (!step) {
            break;
        }
        const double before = error;
        Point stepA{(*step)[0], (*step)[1]}, stepB{(*step)[2], (*step)[3]};
        for (int halving = 0; halving < 8; ++halving, stepA = stepA * 0.5, stepB = stepB * 0.5) {
            double radius = 0;
            const double tried = slotError(edge, slot.a + stepA, slot.b + stepB, radius);
            if (tried < error) {
                slot = {slot.a + stepA, slot.b + stepB, radius};
                error = tried;
                break;
            }
        }
        if (before - error <= 1e-12 * (before + 1)) {
            break;
        }
    }
    return slot;
}

// Whether the edge follows the shape all round within the steps of a circle's edge in whole cells (as
// a round hole's must), its ends' half circles apart from its sides: on a long slot the sides' points
// outnumber the ends' by far, and a rectangle's square ends are no half circles.
bool followsAllRound(std::span<const Point> edge, const SlotShape& slot) {
    constexpr double kStepsOff = 0.6;
    const double within = std::max(1.0, 0.06 * slot.radius), straight = length(slot.b - slot.a);
    const Point along = unit(slot.b - slot.a);
    struct Part {
        double all = 0, on = 0, close = 0, squares = 0;
    };
    std::array<Part, 3> parts{};  // the end at a, the sides, the end at b
    for (const Point& p : edge) {
        const double t = dot(p - slot.a, along), off = distanceToSegment(p, {slot.a, slot.b}) - slot.radius;
        Part& part = parts[t < 0 ? 0 : t <= straight ? 1 : 2];
        part.all += 1;
        if (std::abs(off) <= within) {
            part.on += 1;
            part.close += std::abs(off) <= kStepsOff ? 1 : 0;
            part.squares += off * off;
        }
    }
    return std::all_of(parts.begin(), parts.end(), [](const Part& part) {
        return part.all > 0 && part.on >= 0.95 * part.all && part.close >= 0.8 * part.on &&
               part.squares <= 0.45 * 0.45 * part.on;
    });
}

// The edge points not inside the slot by more than its edge's steps: a cut hole's edges along the lines
// through it lie inside.
std::vector<Point> notInside(std::span<const Point> edge, const SlotShape& slot) {
    const double within = std::max(1.0, 0.06 * slot.radius);
    std::vector<Point> kept;
    for (const Point& p : edge) {
        if (distanceToSegment(p, {slot.a, slot.b}) - slot.radius >= -within) {
            kept.push_back(p);
        }
    }
    return kept;
}

// A first slot for the edge: its ends the centres of the circles the edge follows beyond the straight sides,
// found along the edge's major axis and then along the segment between them; nothing when the edge is too
// narrow or too short for a slot.
std::optional<SlotShape> startingSlot(std::span<const Point> edge, double narrowest) {
    LineMoments moments;
    for (const Point& p : edge) {
        moments.add(p);
    }
    Point middle = moments.mean, along = moments.direction();
    double lowest = 0, highest = 0, widest = 0;
    for (const Point& p : edge) {
        const double t = dot(p - middle, along);
        lowest = std::min(lowest, t);
        highest = std::max(highest, t);
        widest = std::max(widest, std::abs(cross(along, p - middle)));
    }
    double halfStraight = (highest - lowest) / 2 - widest;
    if (widest < narrowest || halfStraight < kShortestSide * widest) {
        return std::nullopt;
    }
    SlotShape slot{{}, {}, widest};
    std::vector<Point> end;
    for (int round = 0; round < kRounds; ++round) {
        const CircleFit first = endCircle(edge, middle, along, halfStraight, -1, end);
        const CircleFit second = endCircle(edge, middle, along, halfStraight, 1, end);
        if (!first.valid || !second.valid) {
            return std::nullopt;
        }
        slot.a = first.centre;
        slot.b = second.centre;
        middle = (slot.a + slot.b) * 0.5;
        along = unit(slot.b - slot.a);
        halfStraight = length(slot.b - slot.a) / 2;
    }
    return slot;
}

// Whether the hole fills as much of its box as a slot's can: one at 45 degrees whose straight is nine times
// its half width fills 0.3 of it, shorter ones or ones nearer the axes more; one along the axes as wide as
// the box fills the most, all but its ends' corners. The strips between parallel hatch lines, far longer,
// fill less; rectangles between lines more. And a slot of half width r is at least pi r / 2 wide on the mean
// along its length, which is its box's wider side or more: a narrow strip or triangle has too few cells.
bool fillsAsSlot(const Hole& hole, double narrowest) {
    const double narrower = std::min(hole.box.width(), hole.box.height()),
                 wider = std::max(hole.box.width(), hole.box.height());
    const double fill = hole.cells / (narrower * wider), most = 1 - (1 - std::numbers::pi / 4) * narrower / wider;
    return fill >= 0.3 && fill <= most + 0.03 && hole.cells >= std::numbers::pi / 2 * (narrowest - 0.5) * wider;
}

}  // namespace

bool mayBeSlot(const Hole& hole, const InkProbe& ink, double narrowest) {
    return std::min(hole.box.width(), hole.box.height()) >= 2 * narrowest && fillsAsSlot(hole, narrowest) &&
           symmetricAboutCentre(hole, ink);
}

std::optional<SlotShape> slotOfEdge(std::span<const Point> edge, double narrowest) {
    if (edge.size() < 32) {
        return std::nullopt;
    }
    const std::optional<SlotShape> start = startingSlot(edge, narrowest);
    if (!start) {
        return std::nullopt;
    }
    const SlotShape slot = closestSlot(edge, *start);
    if (slot.radius < narrowest || length(slot.b - slot.a) < kShortestSide * slot.radius ||
        !followsAllRound(edge, slot)) {
        return std::nullopt;
    }
    return slot;
}

std::optional<SlotShape> slotOfCutEdge(std::span<const Point> edge, double narrowest) {
    constexpr double kLeastOnShare = 0.5;  // of the pieces' edge, on the slot's: the rest is along the cuts
    if (edge.size() < 48) {
        return std::nullopt;
    }
    std::optional<SlotShape> slot = startingSlot(edge, narrowest);
    if (!slot) {
        return std::nullopt;
    }
    std::vector<Point> outline(edge.begin(), edge.end());
    for (int round = 0; round < kRounds; ++round) {
        *slot = closestSlot(outline, *slot);
        outline = notInside(edge, *slot);
        if (static_cast<double>(outline.size()) < kLeastOnShare * static_cast<double>(edge.size())) {
            return std::nullopt;
        }
    }
    if (slot->radius < narrowest || length(slot->b - slot->a) < kShortestSide * slot->radius ||
        !followsAllRound(outline, *slot)) {
        return std::nullopt;
    }
    return slot;
}

}  // namespace kelvarin
