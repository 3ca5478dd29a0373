// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/symbols/DashedCircles.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "common/Angles.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

constexpr double kWidestDashSweep = 120;  // degrees of an ARC taken as a dash
// The share of a dash's way round the circle that must be ink (its ends may stop a dot short), and the
// share of a gap that must not be.
constexpr double kInkedDashShare = 0.8;
constexpr double kBlankGapShare = 0.5;
constexpr std::size_t kFewestDashes = 3;

// A short LINE or ARC that may be a dash: its ends, an ARC's own circle, and which entity it is (lines
// first, then arcs).
struct Dash {
    Point a;
    Point b;
    double width = 0;
    std::size_t entity = 0;
    std::optional<VectorCircle> bend;  // an ARC's own circle
};

// A dash's way round its circle, counter-clockwise from start to end (degrees, end past start).
struct DashSpan {
    double start = 0;
    double end = 0;
    double width = 0;
};

// The span of the dash round the circle, counter-clockwise and shorter than half of it.
std::pair<double, double> spanOn(const CircleFit& circle, const Dash& dash) {
    const double a = angleDegrees(circle.centre, dash.a), b = angleDegrees(circle.centre, dash.b);
    return sweepDegrees(a, b) <= 180 ? std::pair{a, b} : std::pair{b, a};
}

// Whether the dash's ends lie on the circle: within the tolerance and half the stroke, as the ends of a
// chord run out along it to the end of the ink leave the circle by up to that, both by about as much (a
// line whose ends lie off the circle on either side crosses it: a stroke of another shape, a letter's, a
// bar's between posts). An ARC must bend the same way, about as much: a small bend of another stroke whose
// ends fall on the circle is no dash of it.
bool endsOn(const CircleFit& circle, const Dash& dash, double tolerance) {
    const double reach = tolerance + dash.width / 2;
    const auto off = [&](Point p) { return length(p - circle.centre) - circle.radius; };
    if (std::abs(off(dash.a)) > reach || std::abs(off(dash.b)) > reach) {
        return false;
    }
    if (!dash.bend) {
        return std::abs(off(dash.a) - off(dash.b)) <= tolerance;
    }
    const Point middle = (dash.a + dash.b) * 0.5;
    return dash.bend->radius >= circle.radius / 2 && dash.bend->radius <= 2 * circle.radius &&
           dot(dash.bend->centre - middle, circle.centre - middle) > 0;
}

CircleFit circleThroughEnds(const std::vector<Dash>& dashes, const std::vector<std::size_t>& chosen) {
    std::vector<Point> ends;
    for (const std::size_t k : chosen) {
        ends.push_back(dashes[k].a);
        ends.push_back(dashes[k].b);
    }
    return fitCircle(ends);
}

class DashGatherer {
public:
    DashGatherer(std::vector<Dash> dashes, const InkProbe& ink, const Tolerances& tolerances)
        : m_dashes(std::move(dashes)),
          m_ink(ink),
          m_tolerance(tolerances.entity),
          m_longestGap(tolerances.longestDashGap),
          m_largestRadius(tolerances.largestDashedRadius),
          m_taken(m_dashes.size(), false),
          m_ends(indexOfEnds(m_dashes)),
          m_chords(indexOfSegments(m_dashes)) {}

    // The dashes of the dashed circle the dash is one of, in the order round it, and that circle; none when
    // it is not one.
    std::vector<DashSpan> gather(std::size_t k, CircleFit& circle) {
        const std::optional<std::size_t> before = neighbour(k, m_dashes[k].a, m_dashes[k].b);
        const std::optional<std::size_t> after = neighbour(k, m_dashes[k].b, m_dashes[k].a);
        if (!before || !after || *before == *after) {
            return {};
        }
        std::vector<std::size_t> chosen = {*before, k, *after};
        circle = circleThroughEnds(m_dashes, chosen);
        if (!acceptable(circle, chosen)) {
            return {};
        }
        chosen = onCircle(circle);
        circle = circleThroughEnds(m_dashes, chosen);
        if (chosen.size() < kFewestDashes || !acceptable(circle, chosen)) {
            return {};
        }
        circle = alongInk(circle, chosen);
        std::erase_if(chosen, [&](std::size_t j) {
            const auto [start, end] = spanOn(circle, m_dashes[j]);
            return m_ink.shareAlongCircle(circle.centre, circle.radius, start, end) < kInkedDashShare;
        });
        std::sort(chosen.begin(), chosen.end(), [&](std::size_t x, std::size_t y) {
            return spanOn(circle, m_dashes[x]).first < spanOn(circle, m_dashes[y]).first;
        });
        std::vector<DashSpan> spans = spansOf(circle, chosen);
        if (spans.size() < kFewestDashes) {
            return {};
        }
        for (const std::size_t j : chosen) {
            m_taken[j] = true;
        }
        return spans;
    }

    std::size_t dashCount() const { return m_dashes.size(); }
    const Dash& dash(std::size_t k) const { return m_dashes[k]; }
    bool taken(std::size_t k) const { return m_taken[k]; }

private:
    // The dash whose nearest end lies nearest beyond the end of dash k (from its other end `from`), across
    // a gap, and that goes on about the same way.
    std::optional<std::size_t> neighbour(std::size_t k, Point end, Point from) {
        const Dash& dash = m_dashes[k];
        const Point outward = unit(end - from);
        const double reach = std::clamp(length(end - from), 3 * dash.width, m_longestGap) + m_tolerance;
        m_ends.near(end, reach, m_near);
        std::optional<std::size_t> best;
        double nearest = reach;
        for (const std::int32_t id : m_near) {
            const auto j = static_cast<std::size_t>(id) / 2;
            const Dash& other = m_dashes[j];
            const Point near = id % 2 ? other.b : other.a, far = id % 2 ? other.a : other.b;
            const double gap = length(near - end);
            if (j == k || m_taken[j] || gap > nearest || gap < 1 || dot(near - end, outward) <= 0 ||
                dot(unit(far - near), outward) < 0.5) {
                continue;
            }
            nearest = gap;
            best = j;
        }
        return best;
    }

    // Whether the circle fits the dashes' ends and bends enough that a line through them does not.
    bool acceptable(const CircleFit& circle, const std::vector<std::size_t>& chosen) const {
        if (!circle.valid || circle.radius > m_largestRadius) {
            return false;
        }
        double widest = 0;
        LineMoments moments;
        for (const std::size_t k : chosen) {
            widest = std::max(widest, m_dashes[k].width);
            moments.add(m_dashes[k].a);
            moments.add(m_dashes[k].b);
            if (!endsOn(circle, m_dashes[k], m_tolerance)) {
                return false;
            }
        }
        const Point direction = moments.direction();
        const bool straight = std::all_of(chosen.begin(), chosen.end(), [&](std::size_t k) {
            return distanceFromLine(m_dashes[k].a, moments.mean, direction) <= m_tolerance &&
                   distanceFromLine(m_dashes[k].b, moments.mean, direction) <= m_tolerance;
        });
        return !straight && circle.radius >= 2 * widest + 2;
    }

    // The dashes not yet taken whose ends lie on the circle, found by walking round it.
    std::vector<std::size_t> onCircle(const CircleFit& circle) {
        std::vector<std::size_t> found;
        const int steps = static_cast<int>(std::ceil(2 * std::numbers::pi * circle.radius / (kIndexCellSize / 2)));
        m_near.clear();
        m_chords.startSearch();
        for (int s = 0; s < steps; ++s) {
            const double radians = 2 * std::numbers::pi * s / steps;
            m_chords.addNear(circle.centre + Point{std::cos(radians), std::sin(radians)} * circle.radius,
                             kIndexCellSize / 2 + m_tolerance, m_near);
        }
        for (const std::int32_t id : m_near) {
            const auto k = static_cast<std::size_t>(id);
            if (!m_taken[k] && endsOn(circle, m_dashes[k], m_tolerance)) {
                found.push_back(k);
            }
        }
        std::sort(found.begin(), found.end());
        m_near.clear();
        return found;
    }

    // The circle through the middles of the dashes' ink, found across each dash at a few places: the
    // ends of a chord run out along it off the circle.
    CircleFit alongInk(const CircleFit& circle, const std::vector<std::size_t>& chosen) const {
        std::vector<Point> middles;
        for (const std::size_t k : chosen) {
            const auto [start, end] = spanOn(circle, m_dashes[k]);
            for (const double share : {0.25, 0.5, 0.75}) {
                const double radians = (start + share * sweepDegrees(start, end)) * std::numbers::pi / 180;
                const Point direction{std::cos(radians), std::sin(radians)};
                if (const std::optional<double> at =
                        m_ink.strokeMiddleNear(circle.centre, direction, circle.radius, m_dashes[k].width)) {
                    middles.push_back(circle.centre + direction * *at);
                }
            }
        }
        const CircleFit refined = fitCircle(middles);
        const bool agrees = refined.valid &&
                            length(refined.centre - circle.centre) <= m_tolerance + 0.1 * circle.radius &&
                            std::abs(refined.radius - circle.radius) <= m_tolerance + 0.1 * circle.radius;
        return agrees ? refined : circle;
    }

    // The dashes round the circle, in order: pieces with no blank gap between (a dash the rows and the
    // columns cut in two) are one.
    std::vector<DashSpan> spansOf(const CircleFit& circle, const std::vector<std::size_t>& chosen) const {
        std::vector<DashSpan> spans;
        const auto joins = [&](const DashSpan& span, double start) {
            return start <= span.end ||
                   m_ink.shareAlongCircle(circle.centre, circle.radius, span.end, start) >= kBlankGapShare;
        };
        for (const std::size_t k : chosen) {
            const auto [start, end] = spanOn(circle, m_dashes[k]);
            const DashSpan span{start, start + sweepDegrees(start, end), m_dashes[k].width};
            if (!spans.empty() && joins(spans.back(), span.start)) {
                spans.back().end = std::max(spans.back().end, span.end);
                spans.back().width = std::max(spans.back().width, span.width);
            } else {
                spans.push_back(span);
            }
        }
        if (spans.size() > 1 && joins(spans.back(), spans.front().start + 360)) {
            spans.front().start = spans.back().start - 360;
            spans.front().end = std::max(spans.front().end, spans.back().end - 360);
            spans.front().width = std::max(spans.front().width, spans.back().width);
            spans.pop_back();
        }
        return spans;
    }

    std::vector<Dash> m_dashes;
    const InkProbe& m_ink;
    double m_tolerance;
    double m_longestGap;     // dots between the dashes, at most
    double m_largestRadius;  // of a dashed circle
    std::vector<bool> m_taken;
    SpatialIndex m_ends;
    SpatialIndex m_chords;
    std::vector<std::int32_t> m_near;
};

// The lines and arcs up to longestDash long: longer ones are lines or arcs of their own.
std::vector<Dash> dashesOf(const WideDrawing& wide, double longestDash) {
    std::vector<Dash> dashes;
    const VectorDrawing& drawing = wide.drawing;
    for (std::size_t i = 0; i < drawing.lines.size(); ++i) {
        const VectorLine& line = drawing.lines[i];
        const double size = length(line.b - line.a);
        if (size >= std::max(2.0, wide.lineWidths[i]) && size <= longestDash) {
            dashes.push_back({line.a, line.b, wide.lineWidths[i], i, std::nullopt});
        }
    }
    for (std::size_t i = 0; i < drawing.arcs.size(); ++i) {
        const VectorArc& arc = drawing.arcs[i];
        const auto at = [&](double degrees) {
            const double radians = degrees * std::numbers::pi / 180;
            return arc.centre + Point{std::cos(radians), std::sin(radians)} * arc.radius;
        };
        const Point a = at(arc.startDegrees), b = at(arc.endDegrees);
        if (sweepDegrees(arc.startDegrees, arc.endDegrees) <= kWidestDashSweep && length(b - a) <= longestDash) {
            dashes.push_back({a, b, wide.arcWidths[i], drawing.lines.size() + i, VectorCircle{arc.centre, arc.radius}});
        }
    }
    return dashes;
}

}  // namespace

void gatherDashedCircles(WideDrawing& wide, const InkProbe& ink, const Tolerances& tolerances, const Tick& tick) {
    DashGatherer gatherer(dashesOf(wide, tolerances.longestDash), ink, tolerances);
    const std::size_t lineCount = wide.drawing.lines.size();
    std::vector<bool> replaced(lineCount + wide.drawing.arcs.size(), false);
    std::vector<VectorArc> arcs;
    std::vector<double> widths;
    for (std::size_t k = 0; k < gatherer.dashCount(); ++k) {
        tick();
        if (gatherer.taken(k)) {
            continue;
        }
        CircleFit circle;
        for (const DashSpan& span : gatherer.gather(k, circle)) {
            arcs.push_back({circle.centre, circle.radius, arcEndDegrees(span.start), arcEndDegrees(span.end)});
            widths.push_back(span.width);
        }
    }
    for (std::size_t k = 0; k < gatherer.dashCount(); ++k) {
        replaced[gatherer.dash(k).entity] = gatherer.taken(k);
    }
    dropMarkedEntities(wide, replaced);
    wide.drawing.arcs.insert(wide.drawing.arcs.end(), arcs.begin(), arcs.end());
    wide.arcWidths.insert(wide.arcWidths.end(), widths.begin(), widths.end());
}

}  // namespace kelvarin
