// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/ArcLinks.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

constexpr double kTouchPens = 1;        // two ends touch within this many pens (and kTouchDots) of each other
constexpr double kTouchDots = 1.5;      //
constexpr double kGapPens = 12;         // a gap the ink runs on over is at most this many pens long (and kTouchDots)
constexpr double kLinkDegrees = 25;     // between the arcs' tangents where they meet (across a gap: the way's)
constexpr double kLongestGapTurn = 90;  // degrees the way over a gap may turn
constexpr double kWiderPen = 1.5;       // times the other arc's pen a linked arc's may be
constexpr double kRadians = std::numbers::pi / 180;

}  // namespace

ArcEnd arcEnd(const VectorArc& arc, bool last) {
    const double degrees = last ? arc.endDegrees : arc.startDegrees;
    const Point radial = pointOnCircle({0, 0}, 1, degrees);
    const Point counterClockwise{-radial.y, radial.x};
    return {arc.centre + radial * arc.radius, last ? counterClockwise : counterClockwise * -1};
}

GapPath::GapPath(const ArcEnd& from, Point to)
    : m_from(from.at), m_heading(std::atan2(from.outward.y, from.outward.x)) {
    const Point chord = to - from.at;
    const double span = kelvarin::length(chord);
    const double angle = std::atan2(cross(from.outward, chord), dot(from.outward, chord));
    turnDegrees = 2 * angle / kRadians;
    m_curvature = span > 0 ? 2 * std::sin(angle) / span : 0;
    length = std::abs(std::sin(angle)) > 1e-9 ? span * angle / std::sin(angle) : span;
}

// Each lies behind the other, beside it by less than a pen, and their directions are opposite.
bool overlapping(const VectorArc& first, bool firstLast, const VectorArc& second, bool secondLast, double pen) {
    const ArcEnd a = arcEnd(first, firstLast), b = arcEnd(second, secondLast);
    const Point apart = b.at - a.at;
    const double reach = pen / 2 + kTouchDots;
    return dot(apart, a.outward) < 0 && dot(apart, b.outward) > 0 && distanceToArc(a.at, second) <= reach &&
           distanceToArc(b.at, first) <= reach;
}

Point GapPath::at(double along) const {
    if (std::abs(m_curvature) < 1e-9) {
        return m_from + Point{std::cos(m_heading), std::sin(m_heading)} * along;
    }
    const double heading = m_heading + m_curvature * along;
    return m_from +
           Point{std::sin(heading) - std::sin(m_heading), std::cos(m_heading) - std::cos(heading)} * (1 / m_curvature);
}

Point GapPath::normal(double along) const {
    const double heading = m_heading + m_curvature * along;
    return {-std::sin(heading), std::cos(heading)};
}

namespace {

// Whether the way over the gap from one end reaches the other along its tangent, on ink all the way.
bool inkedWayBetween(const ArcEnd& from, const ArcEnd& to, const InkProbe& ink) {
    const GapPath way(from, to.at);
    if (std::abs(way.turnDegrees) > kLongestGapTurn) {
        return false;
    }
    const Point arriving = way.normal(way.length);  // the way's left normal where it arrives
    const Point direction{arriving.y, -arriving.x};
    if (-dot(direction, to.outward) < std::cos(kLinkDegrees * kRadians)) {
        return false;
    }
    const int steps = std::max(1, static_cast<int>(std::ceil(way.length)));
    int inked = 0;
    for (int k = 0; k <= steps; ++k) {
        inked += ink.near(way.at(way.length * k / steps)) ? 1 : 0;
    }
    return inked >= kInkedShare * (steps + 1);
}

// The ends of a drawing's arcs and lines, each under a number: arc i's start 2i and end 2i + 1, then line
// j's ends 2 (arcs + j) and one more.
class DrawingEnds {
public:
    explicit DrawingEnds(const WideDrawing& wide) : m_wide(wide), m_firstLine(2 * wide.drawing.arcs.size()) {
        for (std::size_t id = 0; id < m_firstLine + 2 * wide.drawing.lines.size(); ++id) {
            m_index.insert(static_cast<std::int32_t>(id), pointOf(id));
        }
    }

    std::size_t arcEnds() const { return m_firstLine; }

    // The arc end that arc end id meets, or -1: the nearest end within a gap's reach, when it is an arc's,
    // no other end touches id, and the two touch along one tangent or meet over an overlap or an inked gap.
    std::int64_t partnerOf(std::size_t id, const InkProbe& ink) {
        const ArcEnd end = endOf(id);
        const double pen = m_wide.arcWidths[id / 2];
        const double touch = kTouchPens * pen + kTouchDots, gap = kGapPens * pen + kTouchDots;
        m_index.near(end.at, gap, m_found);
        int touching = 0;
        std::size_t nearest = id;
        double nearestDistance = gap;
        for (const std::int32_t other : m_found) {
            const auto o = static_cast<std::size_t>(other);
            const double distance = length(pointOf(o) - end.at);
            if (o / 2 == id / 2 || distance > gap) {
                continue;
            }
            touching += distance <= touch ? 1 : 0;
            if (distance <= nearestDistance) {
                nearestDistance = distance;
                nearest = o;
            }
        }
        if (nearest == id || nearest >= m_firstLine || touching > 1 || !alike(id, nearest)) {
            return -1;
        }
        const ArcEnd other = endOf(nearest);
        const bool meets = touching == 1 ? -dot(end.outward, other.outward) >= std::cos(kLinkDegrees * kRadians)
                                         : overlapping(arcOf(id), id % 2 == 1, arcOf(nearest), nearest % 2 == 1, pen) ||
                                               inkedWayBetween(end, other, ink);
        return meets ? static_cast<std::int64_t>(nearest) : -1;
    }

private:
    const VectorArc& arcOf(std::size_t id) const { return m_wide.drawing.arcs[id / 2]; }
    ArcEnd endOf(std::size_t id) const { return arcEnd(arcOf(id), id % 2 == 1); }
    Point pointOf(std::size_t id) const {
        if (id < m_firstLine) {
            return endOf(id).at;
        }
        const VectorLine& line = m_wide.drawing.lines[(id - m_firstLine) / 2];
        return id % 2 == 0 ? line.a : line.b;
    }
    // Whether the arcs of two arc ends are drawn with pens of about one width.
    bool alike(std::size_t a, std::size_t b) const {
        const double pens = m_wide.arcWidths[a / 2] / std::max(m_wide.arcWidths[b / 2], 1e-9);
        return pens <= kWiderPen && 1 / pens <= kWiderPen;
    }

    const WideDrawing& m_wide;
    std::size_t m_firstLine;
    SpatialIndex m_index;
    std::vector<std::int32_t> m_found;
};

// For each arc end (2i its start, 2i + 1 its end) the arc end it meets, or -1; both must choose each other.
std::vector<std::int64_t> linkedEnds(const WideDrawing& wide, const InkProbe& ink) {
    DrawingEnds ends(wide);
    std::vector<std::int64_t> partner(ends.arcEnds(), -1);
    for (std::size_t id = 0; id < partner.size(); ++id) {
        partner[id] = ends.partnerOf(id, ink);
    }
    for (std::size_t id = 0; id < partner.size(); ++id) {
        if (partner[id] >= 0 && partner[static_cast<std::size_t>(partner[id])] != static_cast<std::int64_t>(id)) {
            partner[id] = -1;
        }
    }
    return partner;
}

}  // namespace

std::vector<std::vector<ChainLink>> tangentArcChains(const WideDrawing& wide, const InkProbe& ink) {
    const std::vector<std::int64_t> partner = linkedEnds(wide, ink);
    const std::size_t count = partner.size() / 2;
    std::vector<bool> taken(count, false);
    std::vector<std::vector<ChainLink>> chains;
    const auto walk = [&](std::size_t arc, bool forward) {
        std::vector<ChainLink> chain;
        while (!taken[arc]) {
            taken[arc] = true;
            chain.push_back({arc, forward});
            const std::int64_t next = partner[2 * arc + (forward ? 1 : 0)];
            if (next < 0) {
                break;
            }
            arc = static_cast<std::size_t>(next) / 2;
            forward = next % 2 == 0;  // entered at its start
        }
        if (chain.size() >= 2) {
            chains.push_back(std::move(chain));
        }
    };
    for (std::size_t arc = 0; arc < count; ++arc) {
        const bool startFree = partner[2 * arc] < 0, endFree = partner[2 * arc + 1] < 0;
        if (!taken[arc] && (startFree || endFree)) {
            walk(arc, startFree);
        }
    }
    for (std::size_t arc = 0; arc < count; ++arc) {
        if (!taken[arc]) {
            walk(arc, true);
        }
    }
    return chains;
}

}  // namespace kelvarin
