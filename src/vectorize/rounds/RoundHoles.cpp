// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/RoundHoles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Angles.h"
#include "common/WorkerPool.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/EntityWalk.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/rounds/HoleRings.h"

namespace kelvarin {

namespace {

// The share of a ring's stroke that the lines round a hole between hatch lines make at least: such a hole is
// nearly all lines; two hatch lines that touch a hole in a hatched section make a quarter of it or less.
constexpr double kLinesShareOfHole = 0.5;

// Whether lines a and b cross each other within reach of p and both go on past the crossing by margin.
bool crossNear(const VectorLine& a, const VectorLine& b, Point p, double reach, double margin) {
    const Point da = b.a - a.a, alongA = a.b - a.a, alongB = b.b - b.a;
    const double turn = cross(alongA, alongB);
    const double sizeA = length(alongA), sizeB = length(alongB);
    if (std::abs(turn) < 0.3 * sizeA * sizeB) {
        return false;  // nearly parallel
    }
    const double ta = cross(da, alongB) / turn, tb = cross(da, alongA) / turn;
    return ta * sizeA >= margin && (1 - ta) * sizeA >= margin && tb * sizeB >= margin && (1 - tb) * sizeB >= margin &&
           length(a.a + alongA * ta - p) <= reach;
}

// The share of the ring's circle that lies on the strokes of the lines.
double shareAlongLines(const Ring& ring, const std::vector<VectorLine>& lines, const std::vector<std::int32_t>& which) {
    int on = 0, all = 0;
    walkArc(ring.circle.centre, ring.circle.radius, 0, 360, [&](Point p) {
        ++all;
        on += std::any_of(which.begin(), which.end(), [&](std::int32_t k) {
            return distanceToSegment(p, lines[static_cast<std::size_t>(k)]) <= ring.stroke / 2 + 1;
        });
    });
    return all > 0 ? static_cast<double>(on) / all : 0;
}

// Drops the holes between crossing hatch lines, which are as round as rings when the lines are thick: two
// lines run along the ring's stroke, on past it both ways, and cross each other beside it, and such lines
// make half its stroke or more. Lines tangent to a ring run on past it too, but end where they meet, as a
// frame's sides do; and two hatch lines that only touch a hole in a hatched section, crossing beside it,
// make a small part of its stroke.
void dropHolesBetweenLines(std::vector<Ring>& rings, const std::vector<VectorLine>& lines, const Tick& tick) {
    const SpatialIndex index = indexOfSegments(lines);
    std::vector<std::int32_t> near;
    std::erase_if(rings, [&](const Ring& ring) {
        tick();
        if (ring.isSlot()) {
            return false;
        }
        const Point c = ring.circle.centre;
        const double r = ring.circle.radius, beyond = r + ring.stroke / 2 + 2;
        index.near(c, beyond, near);
        std::erase_if(near, [&](std::int32_t k) {
            const VectorLine& line = lines[static_cast<std::size_t>(k)];
            const double size = length(line.b - line.a);
            const Point direction = (line.b - line.a) * (1 / std::max(size, 1e-9));
            const double foot = dot(c - line.a, direction);
            return std::abs(distanceFromLine(c, line.a, direction) - r) > ring.stroke / 2 + 1 || foot <= 0 ||
                   foot >= size || length(line.a - c) <= beyond || length(line.b - c) <= beyond;
        });
        bool crossing = false;
        for (std::size_t i = 0; i < near.size() && !crossing; ++i) {
            for (std::size_t k = i + 1; k < near.size() && !crossing; ++k) {
                crossing = crossNear(lines[static_cast<std::size_t>(near[i])], lines[static_cast<std::size_t>(near[k])],
                                     c, 2 * beyond, ring.stroke + 2);
            }
        }
        return crossing && shareAlongLines(ring, lines, near) >= kLinesShareOfHole;
    });
}

bool sameCircle(const VectorCircle& a, const VectorCircle& b) {
    const double within = 1.5 + 0.01 * a.radius;
    return length(a.centre - b.centre) <= within && std::abs(a.radius - b.radius) <= within;
}

// A slot's middle line: the half circles round its ends and the straight sides between them.
void addSlot(const Ring& slot, WideDrawing& wide) {
    const Point a = slot.circle.centre, b = slot.tail;
    const double r = slot.circle.radius, towardB = angleDegrees(a, b);
    const Point side = slot.side();
    wide.drawing.arcs.push_back({b, r, normalDegrees(towardB + 270), normalDegrees(towardB + 90)});
    wide.drawing.arcs.push_back({a, r, normalDegrees(towardB + 90), normalDegrees(towardB + 270)});
    wide.drawing.lines.push_back({a + side, b + side});
    wide.drawing.lines.push_back({b - side, a - side});
    wide.arcWidths.insert(wide.arcWidths.end(), 2, slot.stroke);
    wide.lineWidths.insert(wide.lineWidths.end(), 2, slot.stroke);
}

// The rings found, by the middles of their middle segments, to tell the strokes drawn along them.
class RingIndex {
public:
    explicit RingIndex(const std::vector<Ring>& rings)
        : m_rings(rings), m_index(indexOfPoints(rings.size(), [&](std::size_t i) {
              return (rings[i].circle.centre + rings[i].tail) * 0.5;
          })) {
        for (std::size_t i = 0; i < rings.size(); ++i) {
            m_largest = std::max(
                m_largest, rings[i].hole + rings[i].stroke + 2 + length(rings[i].tail - rings[i].circle.centre) / 2);
        }
    }

    // Whether the line lies on a ring's stroke. A line on a ring's stroke lies in its band but for a stroke's
    // width or so; a line into its hole or far beyond it is another line touching or crossing it. Distances
    // are from a slot's middle segment.
    bool onSomeRing(const VectorLine& line) {
        if (length(line.b - line.a) > 2 * m_largest) {
            return false;
        }
        const std::vector<std::int32_t>& candidates = near((line.a + line.b) * 0.5);
        return std::any_of(candidates.begin(), candidates.end(), [&](std::int32_t k) {
            const Ring& ring = m_rings[static_cast<std::size_t>(k)];
            int beyond = 0;
            bool inHole = false;
            walkLine(line.a, line.b, [&](Point p) {
                const double distance = ring.distanceFrom(p);
                inHole = inHole || distance < ring.hole - 1.5;
                beyond += distance > ring.hole + ring.stroke + 1.5 ? 1 : 0;
            });
            return !inHole && beyond <= ring.stroke + 2;
        });
    }

    // Whether the arc from start round sweep degrees lies on a ring's stroke all along.
    bool onSomeStroke(Point centre, double radius, double start, double sweep) {
        const Point first{centre.x + radius * std::cos(start * std::numbers::pi / 180),
                          centre.y + radius * std::sin(start * std::numbers::pi / 180)};
        const std::vector<std::int32_t>& candidates = near(first);
        return std::any_of(candidates.begin(), candidates.end(), [&](std::int32_t k) {
            const Ring& ring = m_rings[static_cast<std::size_t>(k)];
            bool on = true;
            walkArc(centre, radius, start, sweep, [&](Point p) { on = on && ring.onStroke(ring.distanceFrom(p)); });
            return on;
        });
    }

private:
    const std::vector<std::int32_t>& near(Point p) {
        m_index.near(p, m_largest, m_near);
        return m_near;
    }

    const std::vector<Ring>& m_rings;
    SpatialIndex m_index;
    double m_largest = 0;  // the farthest a ring's stroke reaches from its middle
    std::vector<std::int32_t> m_near;
};

// Drops the lines, arcs and circles drawn along the rings' strokes.
void dropStrokesOnRings(const std::vector<Ring>& rings, WideDrawing& wide, const Tick& tick) {
    RingIndex index(rings);
    VectorDrawing& drawing = wide.drawing;
    keepIf(drawing.lines, wide.lineWidths, [&](const VectorLine& line) {
        tick();
        return !index.onSomeRing(line);
    });
    keepIf(drawing.arcs, wide.arcWidths, [&](const VectorArc& arc) {
        tick();
        return !index.onSomeStroke(arc.centre, arc.radius, arc.startDegrees,
                                   sweepDegrees(arc.startDegrees, arc.endDegrees));
    });
    keepIf(drawing.circles, wide.circleWidths, [&](const VectorCircle& circle) {
        tick();
        return !index.onSomeStroke(circle.centre, circle.radius, 0, 360);
    });
}

}  // namespace

void replaceRoundHoles(const VirtualVram& grid, const PageHoles& holes, const Tolerances& tolerances, WideDrawing& wide,
                       WorkerPool& pool, const Tick& tick) {
    std::vector<Ring> rings = findRings(grid, holes, tolerances, pool, tick);
    if (rings.empty()) {
        return;
    }
    VectorDrawing& drawing = wide.drawing;
    dropHolesBetweenLines(rings, drawing.lines, tick);
    // A ring already drawn as a circle stays as it is.
    std::erase_if(rings, [&](const Ring& ring) {
        tick();
        return !ring.isSlot() &&
               std::any_of(drawing.circles.begin(), drawing.circles.end(),
                           [&](const VectorCircle& circle) { return sameCircle(circle, ring.circle); });
    });
    if (rings.empty()) {
        return;
    }
    dropStrokesOnRings(rings, wide, tick);
    for (const Ring& ring : rings) {
        if (ring.isSlot()) {
            addSlot(ring, wide);
        } else {
            drawing.circles.push_back(ring.circle);
            wide.circleWidths.push_back(ring.stroke);
        }
    }
}

}  // namespace kelvarin