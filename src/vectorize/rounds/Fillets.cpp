// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/Fillets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <tuple>
#include <vector>

#include "common/Angles.h"
#include "vectorize/geometry/BendCircle.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

constexpr double kProbeStep = 0.5;  // dots between the probes along a ray
constexpr int kRays = 9;            // rays across the bend that find its middle
constexpr int kMissesAllowed = 1;   // rays finding no ink there: noise
// Rays across the bend that find the middles its circle is fitted to: one for each this many dots along it;
// a bend of 60 degrees shows its radius only to a few dots from nine middles.
constexpr double kDotsPerMiddle = 1;
constexpr double kMissedShare = 0.1;     // of those rays, finding no ink there: noise
constexpr double kLeastSideShare = 0.5;  // of the radius: how far each side runs on straight past the bend
constexpr std::array<double, 3> kShares = {0, 0.5, 1};  // where along an arc it is looked at

// The first stretch of ink along the ray from `from` in direction, between the distances near and far:
// its middle's distance from `from`, or nothing when there is none or the ray starts in ink.
std::optional<double> firstInkMiddle(const InkProbe& ink, Point from, Point direction, double near, double far,
                                     double widest) {
    std::optional<double> middle;
    InkRay(ink, from, direction, kProbeStep).forEachStretch(near, far, [&](double enter, double after, bool ended) {
        if (enter != near && ended && !(after - enter > widest)) {
            middle = (enter + after - kProbeStep) / 2;
        }
        return false;
    });
    return middle;
}

// Whether the bend's ink follows the circle from start over sweep degrees: ink along its middle at all
// rays but a few, and none just outside and just inside its stroke as scanned. Two straight strokes crossing
// near the corner are ink outside it; the corner of a filled area's rim has the fill inside it.
bool drawnRound(const InkProbe& ink, const InkProbe& scanned, Point centre, double radius, double start, double sweep,
                double width) {
    int misses = 0;
    for (int k = 1; k <= kRays; ++k) {
        const double degrees = start + sweep * k / (kRays + 1);
        if (scanned.at(pointOnCircle(centre, radius + width / 2 + 1.5, degrees)) ||
            (radius >= width / 2 + 2 && scanned.at(pointOnCircle(centre, radius - width / 2 - 1.5, degrees)))) {
            return false;
        }
        misses += ink.near(pointOnCircle(centre, radius, degrees)) ? 0 : 1;
    }
    return misses <= kMissesAllowed;
}

struct Fillet {
    VectorArc arc;
    Point touch1;  // where the bend touches the first line and the second
    Point touch2;
};

// The corner of two lines that run towards each other at an angle that may be rounded, both ending near
// where they cross and neither running on past it.
std::optional<Corner> cornerOf(Point far1, Point end1, Point far2, Point end2, double width, double tolerance) {
    const Point d1 = unit(end1 - far1), d2 = unit(end2 - far2);
    const std::optional<Point> meet = crossingOfLines(far1, d1, far2, d2);
    if (!meet) {
        return std::nullopt;  // a line of no length
    }
    const Corner corner = cornerAt(d1, d2, *meet);
    if (!mayBeRounded(corner)) {
        return std::nullopt;
    }
    const double halfAngle = std::acos(dot(d1, d2)) / 2;
    const double reach = kLargestBendRadius / std::tan(halfAngle) + width + tolerance;
    for (const auto& [far, end, d] : {std::tuple{far1, end1, corner.d1}, std::tuple{far2, end2, corner.d2}}) {
        if (dot(corner.meet - end, d) < -(width + tolerance) || length(corner.meet - end) > reach ||
            dot(corner.meet - far, d) < 2) {
            return std::nullopt;
        }
    }
    return corner;
}

// The middles of the stroke across the bend from start over sweep degrees, on rays from centre; none when
// ink lies just outside the guessed bend (a stroke crossing the corner) or too many rays find none. Outside
// is looked at about the bisector only, where crossing strokes meet: towards its ends the rays run nearly
// along the sides, and a line a few dots beyond a side (a frame round a rounded rectangle) is no crossing.
std::vector<Point> middlesAcross(const InkProbe& ink, Point centre, double guess, double start, double sweep,
                                 double width) {
    for (int k = 3; k <= kRays - 2; ++k) {
        if (ink.at(pointOnCircle(centre, guess + width / 2 + 4, start + sweep * k / (kRays + 1)))) {
            return {};
        }
    }
    const int rays = std::max(kRays, static_cast<int>(guess * sweep * std::numbers::pi / 180 / kDotsPerMiddle));
    std::vector<Point> middles;
    for (int k = 1; k <= rays; ++k) {
        const Point direction = pointOnCircle({0, 0}, 1, start + sweep * k / (rays + 1));
        if (const std::optional<double> at = ink.strokeMiddleNear(centre, direction, guess, width)) {
            middles.push_back(centre + direction * *at);
        }
    }
    const auto missed = static_cast<double>(rays) - static_cast<double>(middles.size());
    return missed > std::max<double>(kMissesAllowed, kMissedShare * rays) ? std::vector<Point>{} : middles;
}

// The bend of the corner where the lines' ends end1 and end2 (each line from its far end out to end) meet,
// when the ink shows one of a radius the corner's angle leaves room for.
std::optional<Fillet> filletAt(Point far1, Point end1, Point far2, Point end2, double width, const InkProbe& ink,
                               const InkProbe& scanned, double tolerance) {
    const std::optional<Corner> corner = cornerOf(far1, end1, far2, end2, width, tolerance);
    if (!corner) {
        return std::nullopt;
    }
    // The middle of the stroke on the bisector tells the radius first.
    const std::optional<double> middle = firstInkMiddle(ink, corner->meet, corner->inward, -(width / 2 + 2),
                                                        kLargestBendRadius * corner->apart + width + 2, 2 * width + 2);
    const double smallest = std::max(kSmallestBendRadius, width);
    const double guess = middle ? *middle / corner->apart : 0;
    if (guess < smallest || guess > kLargestBendRadius) {
        return std::nullopt;
    }
    const Point centre = corner->centreFor(guess);
    const double touch1 = angleDegrees(centre, footOnLine(centre, far1, corner->d1));
    const double touch2 = angleDegrees(centre, footOnLine(centre, far2, corner->d2));
    const bool fromFirst = sweepDegrees(touch1, touch2) <= 180;
    const double start = fromFirst ? touch1 : touch2;
    const double sweep = fromFirst ? sweepDegrees(touch1, touch2) : sweepDegrees(touch2, touch1);
    const std::vector<Point> middles = middlesAcross(ink, centre, guess, start, sweep, width);
    if (middles.empty()) {
        return std::nullopt;
    }
    const CircleFit bend = bendCircle(*corner, middles, guess);
    const bool strays = std::any_of(middles.begin(), middles.end(),
                                    [&](Point p) { return distanceToCircle(p, bend.centre, bend.radius) > tolerance; });
    if (strays || bend.radius < smallest || bend.radius > kLargestBendRadius ||
        !drawnRound(ink, scanned, bend.centre, bend.radius, start, sweep, width)) {
        return std::nullopt;
    }
    Fillet fillet;
    fillet.touch1 = footOnLine(bend.centre, far1, corner->d1);
    fillet.touch2 = footOnLine(bend.centre, far2, corner->d2);
    // The sides of a rounded corner run on straight past the bend; a wiggle of short strokes does not. A
    // bend shorter than twice the stroke is wide is where the pieces of a curve meet, not a bend of its own.
    if (length(fillet.touch1 - far1) < kLeastSideShare * bend.radius ||
        length(fillet.touch2 - far2) < kLeastSideShare * bend.radius ||
        bend.radius * sweep * std::numbers::pi / 180 < 2 * width) {
        return std::nullopt;
    }
    const double a1 = angleDegrees(bend.centre, fillet.touch1), a2 = angleDegrees(bend.centre, fillet.touch2);
    fillet.arc = sweepDegrees(a1, a2) <= 180 ? VectorArc{bend.centre, bend.radius, a1, a2}
                                             : VectorArc{bend.centre, bend.radius, a2, a1};
    return fillet;
}

// Whether p lies on the arc's stroke: within reach of its circle and between its ends.
bool onArcStroke(const VectorArc& arc, Point p, double reach) {
    if (distanceToCircle(p, arc.centre, arc.radius) > reach) {
        return false;
    }
    const double slack = reach / arc.radius * 180 / std::numbers::pi;
    return sweepDegrees(arc.startDegrees - slack, angleDegrees(arc.centre, p)) <=
           sweepDegrees(arc.startDegrees, arc.endDegrees) + 2 * slack;
}

bool lineOnStroke(const VectorArc& arc, const VectorLine& line, double reach) {
    return onArcStroke(arc, line.a, reach) && onArcStroke(arc, line.b, reach) &&
           onArcStroke(arc, (line.a + line.b) * 0.5, reach);
}

bool arcOnStroke(const VectorArc& arc, const VectorArc& part, double reach) {
    return std::all_of(kShares.begin(), kShares.end(), [&](double share) {
        const double degrees = part.startDegrees + share * sweepDegrees(part.startDegrees, part.endDegrees);
        return onArcStroke(arc, pointOnCircle(part.centre, part.radius, degrees), reach);
    });
}

// Takes in an arc that the chains fitted across the bend and beyond it (the bottom of a U fitted as one flat
// arc, of which the bend is one side): it goes when its points off the bend's stroke lie on lines' strokes,
// or lie near the bend's circle where the ink follows that circle, which the bend then reaches round to.
// Whether it goes; at least kOverlapping of its points must lie on the bend's stroke.
bool takeInArc(VectorArc& bend, const VectorArc& part, const InkProbe& ink, double reach,
               const std::function<bool(Point)>& onLine) {
    constexpr int kPoints = 10;
    constexpr int kOverlapping = 3;
    std::vector<double> offDegrees;
    bool offCircle = false, offLines = false;
    for (int k = 0; k <= kPoints; ++k) {
        const Point p =
            pointOnCircle(part.centre, part.radius,
                          part.startDegrees + sweepDegrees(part.startDegrees, part.endDegrees) * k / kPoints);
        if (onArcStroke(bend, p, reach)) {
            continue;
        }
        offDegrees.push_back(angleDegrees(bend.centre, p));
        offCircle = offCircle || distanceToCircle(p, bend.centre, bend.radius) > reach;
        offLines = offLines || !onLine(p);
    }
    if (kPoints + 1 - static_cast<int>(offDegrees.size()) < kOverlapping) {
        return false;
    }
    if (!offLines) {
        return true;
    }
    if (offCircle) {
        return false;
    }
    double before = 0, after = 0;  // degrees the bend would reach round beyond its start and its end
    for (const double degrees : offDegrees) {
        const double beyondEnd = sweepDegrees(bend.endDegrees, degrees);
        if (beyondEnd <= 180) {
            after = std::max(after, beyondEnd);
        } else {
            before = std::max(before, sweepDegrees(degrees, bend.startDegrees));
        }
    }
    if (sweepDegrees(bend.startDegrees, bend.endDegrees) + before + after >= 270 ||
        (after > 0 &&
         !ink.mostlyNearCircle(bend.centre, bend.radius, bend.endDegrees, bend.endDegrees + after, kInkedShare)) ||
        (before > 0 &&
         !ink.mostlyNearCircle(bend.centre, bend.radius, bend.startDegrees - before, bend.startDegrees, kInkedShare))) {
        return false;
    }
    bend.startDegrees = normalDegrees(bend.startDegrees - before + 360);  // the turn added decides the last digits
    bend.endDegrees = normalDegrees(bend.endDegrees + after);
    return true;
}

// Rounds the corners where the ends of two lines meet with a bend between them, one end at a time. A
// stroke's id in the index of strokes is its line's number, or the number of lines and its arc's number;
// an end's id is twice its line's number, and one more for its second end.
class CornerRounder {
public:
    CornerRounder(WideDrawing& wide, const InkProbe& ink, const InkProbe& scanned, double tolerance)
        : m_wide(wide),
          m_lines(wide.drawing.lines),
          m_ink(ink),
          m_scanned(scanned),
          m_tolerance(tolerance),
          m_arcsBefore(wide.drawing.arcs.size()),
          m_ends(indexOfEnds(m_lines)),
          m_strokes(indexOfSegments(m_lines)),
          m_endDone(2 * m_lines.size(), false),
          m_dropped(m_lines.size() + m_arcsBefore, false) {
        for (std::size_t i = 0; i < m_arcsBefore; ++i) {
            const VectorArc& arc = wide.drawing.arcs[i];
            m_strokes.insert(static_cast<std::int32_t>(m_lines.size() + i),
                             pointOnCircle(arc.centre, arc.radius, arc.startDegrees),
                             pointOnCircle(arc.centre, arc.radius, arc.endDegrees));
        }
    }

    std::size_t endCount() const { return m_endDone.size(); }

    // Rounds the corner at end id with the first other end near that makes a fillet with it, if any.
    void roundEnd(std::size_t id) {
        if (m_endDone[id] || m_dropped[id / 2]) {
            return;
        }
        const double width = m_wide.lineWidths[id / 2];
        if (length(endOf(id) - farOf(id)) < std::max(kSmallestBendRadius, width)) {
            return;  // too short to be the side of a bend
        }
        m_ends.near(endOf(id), kLargestBendRadius + width + m_tolerance, m_near);
        for (const std::int32_t found : m_near) {
            const auto other = static_cast<std::size_t>(found);
            // Each pair once: the geometry is the same either way round.
            if (other <= id || other / 2 == id / 2 || m_endDone[other] || m_dropped[other / 2]) {
                continue;
            }
            const double widest = std::max(width, m_wide.lineWidths[other / 2]);
            const std::optional<Fillet> fillet =
                filletAt(farOf(id), endOf(id), farOf(other), endOf(other), widest, m_ink, m_scanned, m_tolerance);
            if (fillet && roundCorner(*fillet, id, other, widest)) {
                break;
            }
        }
    }

    // Drops the lines and arcs the bends took the place of; the new arcs are kept.
    void dropCovered() {
        m_dropped.resize(m_lines.size() + m_wide.drawing.arcs.size(), false);
        dropMarkedEntities(m_wide, m_dropped);
    }

private:
    Point& endOf(std::size_t id) { return id % 2 ? m_lines[id / 2].b : m_lines[id / 2].a; }
    Point farOf(std::size_t id) const { return id % 2 ? m_lines[id / 2].a : m_lines[id / 2].b; }

    // Puts the fillet's bend between ends id and other, unless a stroke crosses it. Whether it did.
    bool roundCorner(const Fillet& fillet, std::size_t id, std::size_t other, double widest) {
        const VectorArc& arc = fillet.arc;
        const double reach = widest / 2 + m_tolerance;
        if (!findCovered(arc, reach, id / 2, other / 2)) {
            return false;
        }
        VectorArc bend = arc;
        takeInArcs(bend, reach);
        for (const std::size_t k : m_covered) {
            m_dropped[k] = true;
        }
        endOf(id) = fillet.touch1;
        endOf(other) = fillet.touch2;
        m_endDone[id] = m_endDone[other] = true;
        m_wide.drawing.arcs.push_back(bend);
        m_wide.arcWidths.push_back(widest);
        return true;
    }

    // What else lies along the bend, in m_covered: the chords and pieces of arcs the chains made of it, which
    // go. False when a stroke crosses it: the corner is a junction, not a bend.
    bool findCovered(const VectorArc& arc, double reach, std::size_t first, std::size_t second) {
        const Point middle = pointOnCircle(arc.centre, arc.radius,
                                           arc.startDegrees + sweepDegrees(arc.startDegrees, arc.endDegrees) / 2);
        m_strokes.near(middle, arc.radius + reach, m_along);
        m_covered.clear();
        bool crossed = false;
        for (const std::int32_t piece : m_along) {
            const auto k = static_cast<std::size_t>(piece);
            if (k == first || k == second || m_dropped[k]) {
                continue;
            }
            if (k >= m_lines.size() ? arcOnStroke(arc, m_wide.drawing.arcs[k - m_lines.size()], reach)
                                    : lineOnStroke(arc, m_lines[k], reach)) {
                m_covered.push_back(k);
            } else if (k < m_lines.size() && distanceToSegment(middle, m_lines[k]) <= reach) {
                crossed = true;
            }
        }
        return !crossed;
    }

    // Takes into the bend the arcs along it that takeInArc lets go, adding them to m_covered.
    void takeInArcs(VectorArc& bend, double reach) {
        const auto onLine = [&](Point p) {
            m_strokes.near(p, reach, m_crossing);
            return std::any_of(m_crossing.begin(), m_crossing.end(), [&](std::int32_t j) {
                const auto k = static_cast<std::size_t>(j);
                return k < m_lines.size() && !m_dropped[k] && distanceToSegment(p, m_lines[k]) <= reach;
            });
        };
        for (const std::int32_t piece : m_along) {
            const auto k = static_cast<std::size_t>(piece);
            if (k >= m_lines.size() && k < m_lines.size() + m_arcsBefore && !m_dropped[k] &&
                std::find(m_covered.begin(), m_covered.end(), k) == m_covered.end() &&
                takeInArc(bend, m_wide.drawing.arcs[k - m_lines.size()], m_ink, reach, onLine)) {
                m_covered.push_back(k);
            }
        }
    }

    WideDrawing& m_wide;
    std::vector<VectorLine>& m_lines;
    const InkProbe& m_ink;
    const InkProbe& m_scanned;
    double m_tolerance;
    std::size_t m_arcsBefore;
    SpatialIndex m_ends;
    SpatialIndex m_strokes;
    std::vector<bool> m_endDone;
    std::vector<bool> m_dropped;  // by stroke id
    std::vector<std::int32_t> m_near, m_along, m_crossing;
    std::vector<std::size_t> m_covered;
};

}  // namespace

void roundFilletedCorners(WideDrawing& wide, const InkProbe& ink, const InkProbe& scanned, double tolerance,
                          const Tick& tick) {
    CornerRounder rounder(wide, ink, scanned, tolerance);
    for (std::size_t id = 0; id < rounder.endCount(); ++id) {
        tick();
        rounder.roundEnd(id);
    }
    rounder.dropCovered();
}

}  // namespace kelvarin
