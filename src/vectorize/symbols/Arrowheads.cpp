// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/symbols/Arrowheads.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kProbeStep = 0.5;        // dots between the probes across the stroke
constexpr double kBaseToPen = 2;          // the base is at least this many pens wide
constexpr double kShortestForBase = 2;    // the head is at least this many bases long (an arrow, not a blot)
constexpr double kLongestForBase = 12;    // and at most this many
constexpr std::size_t kFewestFitted = 6;  // widths along the head
constexpr double kLeastSideShare = 0.2;   // of the widening, on the slower side
constexpr double kMostScatter = 1;        // dots², the mean square of the widths and the sides off their straight fits

// The stroke near one end of a line or an arc, by the distance t from that end inward.
class EndPath {
public:
    static EndPath ofLine(Point end, Point other) {
        return EndPath(end, unit(other - end), kelvarin::length(other - end));
    }
    static EndPath ofArc(const VectorArc& arc, bool atStart) {
        EndPath path(arc.centre, {},
                     arc.radius * sweepDegrees(arc.startDegrees, arc.endDegrees) * std::numbers::pi / 180);
        path.m_radius = arc.radius;
        path.m_degrees = atStart ? arc.startDegrees : arc.endDegrees;
        path.m_turn = atStart ? 1 : -1;
        return path;
    }

    double length() const { return m_length; }
    Point at(double t) const {
        return m_radius > 0 ? pointOnCircle(m_origin, m_radius, degreesAt(t)) : m_origin + m_direction * t;
    }
    // The unit normal at t (either side).
    Point normal(double t) const {
        return m_radius > 0 ? pointOnCircle({0, 0}, 1, degreesAt(t)) : Point{-m_direction.y, m_direction.x};
    }

private:
    EndPath(Point origin, Point direction, double size) : m_origin(origin), m_direction(direction), m_length(size) {}
    double degreesAt(double t) const { return m_degrees + m_turn * t / m_radius * 180 / std::numbers::pi; }

    Point m_origin;  // a line's end, or an arc's centre
    Point m_direction;
    double m_length = 0;
    double m_radius = 0;
    double m_degrees = 0;
    double m_turn = 0;
};

// How far the ink reaches from p along the unit direction, without a break, in dots.
double reach(const InkProbe& ink, Point p, Point direction, double widestHalf) {
    double last = 0;
    for (double d = kProbeStep; d <= widestHalf; d += kProbeStep) {
        if (!ink.at(p + direction * d)) {
            break;
        }
        last = d;
    }
    return last;
}

struct Across {
    double left = 0, right = 0;
    double width() const { return left + right + 1; }
};

Across acrossAt(const InkProbe& ink, const EndPath& path, double t, double widestHalf) {
    const Point p = path.at(t), n = path.normal(t);
    return {reach(ink, p, n, widestHalf), reach(ink, p, n * -1, widestHalf)};
}

// The widths across the stroke a dot apart from its end, when a first look finds it widening well past
// its pen somewhere; pen is set to the narrowest width seen (the stroke's own width counts the head's ink).
std::vector<Across> widthsNearEnd(const EndPath& path, const InkProbe& ink, const Tolerances& sizes, double& pen) {
    const double body = sizes.arrowBodySamples;
    const double longest = std::min(sizes.longestArrowHead, path.length() - body - 2);
    double widest = 0;
    for (const double t : sizes.arrowFirstLooks) {
        if (t <= longest) {
            const double width = acrossAt(ink, path, t, sizes.widestArrowHalf).width();
            pen = std::min(pen, width);
            widest = std::max(widest, width);
        }
    }
    if (widest < std::max(kBaseToPen * pen, pen + sizes.arrowBaseOverPen) - 1) {
        return {};
    }
    std::vector<Across> profile;
    for (double t = 0; t <= longest + body; t += 1) {
        profile.push_back(acrossAt(ink, path, t, sizes.widestArrowHalf));
    }
    return profile;
}

// A head along the profile: from tip, past the last wide ink near the end (the point may touch another
// stroke, an extension line), to base, where the width falls most over a few dots, back to the pen past it.
struct Head {
    std::size_t tip = 0, base = 0;
    double pen = 0;        // the width past the base
    double baseWidth = 0;  // just before it
};

std::optional<Head> headOf(const std::vector<Across>& profile, const Tolerances& sizes, double narrowest) {
    const auto bodySamples = static_cast<std::size_t>(sizes.arrowBodySamples);
    Head head;
    for (std::size_t t = 0; t < std::min(static_cast<std::size_t>(sizes.arrowTipSearch), profile.size()); ++t) {
        head.tip = profile[t].width() > narrowest + 2 ? t + 1 : head.tip;
    }
    double fall = 0;
    for (std::size_t t = head.tip + 2 + kFewestFitted; t + 3 < profile.size(); ++t) {
        if (const double drop = profile[t - 2].width() - profile[t + 2].width(); drop > fall) {
            fall = drop;
            head.base = t;
        }
    }
    if (head.base == 0 || head.base + 2 + bodySamples > profile.size()) {
        return std::nullopt;
    }
    std::vector<double> body;
    for (std::size_t t = head.base + 2; t < head.base + 2 + bodySamples; ++t) {
        body.push_back(profile[t].width());
    }
    const auto middle = static_cast<std::ptrdiff_t>(bodySamples / 2);
    std::nth_element(body.begin(), body.begin() + middle, body.end());
    head.pen = body[bodySamples / 2];
    head.baseWidth = profile[head.base - 2].width();
    const auto length = static_cast<double>(head.base);
    if (head.baseWidth < std::max(kBaseToPen * head.pen, head.pen + sizes.arrowBaseOverPen) ||
        length < kShortestForBase * head.baseWidth || length > kLongestForBase * head.baseWidth) {
        return std::nullopt;
    }
    return head;
}

// A straight fit of a measure of the profile by the distance from the end, over the head.
struct DistanceFit {
    double slope = 0, offset = 0, meanSquare = 0;
    double at(double t) const { return slope * t + offset; }
};

template <typename Measure>
DistanceFit fitAlongHead(const std::vector<Across>& profile, const Head& head, const Measure& measure) {
    double n = 0, st = 0, sv = 0, stt = 0, stv = 0;
    for (std::size_t t = head.tip; t + 2 <= head.base; ++t) {
        const double v = measure(profile[t]), at = static_cast<double>(t);
        n += 1;
        st += at;
        sv += v;
        stt += at * at;
        stv += at * v;
    }
    DistanceFit fit;
    fit.slope = (n * stv - st * sv) / std::max(n * stt - st * st, 1e-9);
    fit.offset = (sv - fit.slope * st) / n;
    for (std::size_t t = head.tip; t + 2 <= head.base; ++t) {
        const double off = measure(profile[t]) - fit.at(static_cast<double>(t));
        fit.meanSquare += off * off / n;
    }
    return fit;
}

// Whether the head widens evenly from its tip to its base: a straight fit of width by distance that starts
// near the pen's width at the point and reaches the base's, with both sides widening (the stroke's middle
// may run a little off the arrow's axis; one side alone is two strokes meeting at a slant) along straight
// edges (a stroke crossing near the end widens it by steps).
bool widensEvenly(const std::vector<Across>& profile, const Head& head, double baseMiss) {
    const DistanceFit width = fitAlongHead(profile, head, [](const Across& a) { return a.width(); });
    const DistanceFit left = fitAlongHead(profile, head, [](const Across& a) { return a.left; });
    const DistanceFit right = fitAlongHead(profile, head, [](const Across& a) { return a.right; });
    const double base = static_cast<double>(head.base - 2);
    return width.slope > 0 && std::max({width.meanSquare, left.meanSquare, right.meanSquare}) <= kMostScatter &&
           std::min(left.slope, right.slope) >= kLeastSideShare * width.slope && width.at(0) <= head.pen + 3 &&
           width.at(base) >= head.baseWidth - baseMiss;
}

// The arrowhead's sides: from the point, the stroke's end, to the base's corners where the ink narrows
// again. Plotted filled, and perhaps outlined with the pen too, its corners are taken a quarter pen inside the
// widest ink.
std::optional<std::array<VectorLine, 3>> arrowheadAt(const EndPath& path, double pen, const InkProbe& ink,
                                                     const Tolerances& sizes) {
    double narrowest = pen;
    const std::vector<Across> profile = widthsNearEnd(path, ink, sizes, narrowest);
    if (profile.empty()) {
        return std::nullopt;
    }
    const std::optional<Head> head = headOf(profile, sizes, narrowest);
    if (!head || !widensEvenly(profile, *head, sizes.arrowBaseMiss)) {
        return std::nullopt;
    }
    std::size_t edge = head->base - 2;
    double widestBase = 0;
    while (edge + 1 < profile.size() && profile[edge].width() >= (head->baseWidth + head->pen) / 2) {
        widestBase = std::max(widestBase, profile[edge].width());
        ++edge;
    }
    const double baseAt = static_cast<double>(edge) - 1;
    const double halfBase = (widestBase - head->pen / 2) / 2;
    if (halfBase < 1) {
        return std::nullopt;
    }
    // The arrow's axis: the middle of its ink, off the stroke's middle by a share that grows evenly.
    const DistanceFit aside = fitAlongHead(profile, *head, [](const Across& a) { return (a.left - a.right) / 2; });
    const Point apex = path.at(0) + path.normal(0) * aside.at(0);
    const Point middle = path.at(baseAt) + path.normal(baseAt) * aside.at(baseAt);
    const Point corner1 = middle + path.normal(baseAt) * halfBase;
    const Point corner2 = middle - path.normal(baseAt) * halfBase;
    return std::array<VectorLine, 3>{VectorLine{apex, corner1}, VectorLine{corner1, corner2},
                                     VectorLine{corner2, apex}};
}

}  // namespace

void outlineArrowheads(WideDrawing& wide, const InkProbe& scanned, const Tolerances& sizes, const Tick& tick) {
    // The sides found are added after the walk, which looks at the entities as they were.
    std::vector<VectorLine> sides;
    std::vector<double> pens;
    const auto look = [&](const EndPath& path, double pen) {
        tick();
        if (const auto found = arrowheadAt(path, pen, scanned, sizes)) {
            sides.insert(sides.end(), found->begin(), found->end());
            pens.insert(pens.end(), found->size(), pen);
        }
    };
    for (std::size_t i = 0; i < wide.drawing.lines.size(); ++i) {
        const VectorLine& line = wide.drawing.lines[i];
        look(EndPath::ofLine(line.a, line.b), wide.lineWidths[i]);
        look(EndPath::ofLine(line.b, line.a), wide.lineWidths[i]);
    }
    for (std::size_t i = 0; i < wide.drawing.arcs.size(); ++i) {
        look(EndPath::ofArc(wide.drawing.arcs[i], true), wide.arcWidths[i]);
        look(EndPath::ofArc(wide.drawing.arcs[i], false), wide.arcWidths[i]);
    }
    wide.drawing.lines.insert(wide.drawing.lines.end(), sides.begin(), sides.end());
    wide.lineWidths.insert(wide.lineWidths.end(), pens.begin(), pens.end());
}

}  // namespace kelvarin
