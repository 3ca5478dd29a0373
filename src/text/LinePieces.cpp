// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LinePieces.h"

#include <cmath>
#include <optional>
#include <vector>

#include "vectorize/geometry/Fitting.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

constexpr double kContactSpread = 6;         // dots: the cells where one stroke meets a line lie this close together
constexpr double kGreatestGap = 2;           // dots of a stroke's continuation that may miss (noise, a pinhole)
constexpr double kLeastCrossingSine = 0.34;  // a stroke crosses a line at 20 degrees and more
constexpr double kStrokeThinness = 0.6;      // a stroke's spread across in its spread along, near the contact

// The cells just outside the glyph's runs that are ink of a line set aside, gathered into the places the
// glyph meets such lines (their mean cell each).
std::vector<Point> contacts(const InkProbe& asScanned, const InkProbe& stripped, const Glyph& glyph) {
    std::vector<LineMoments> places;
    const auto consider = [&](double x, double y) {
        const Point p{x, y};
        if (!asScanned.at(p) || stripped.at(p)) {
            return;
        }
        for (LineMoments& place : places) {
            if (length(place.mean - p) <= kContactSpread) {
                place.add(p);
                return;
            }
        }
        places.emplace_back().add(p);
    };
    for (const LineSegment& run : glyph.runs) {
        const double last = run.StartX + run.SpanX - 1;
        consider(run.StartX - 1.0, run.StartY);
        consider(last + 1, run.StartY);
        for (double x = run.StartX - 1.0; x <= last + 1; ++x) {
            consider(x, run.StartY - 1.0);
            consider(x, run.StartY + 1.0);
        }
    }
    std::vector<Point> means;
    for (const LineMoments& place : places) {
        means.push_back(place.mean);
    }
    return means;
}

// The direction the glyph's stroke runs out in at the contact, from its cells within radius of it: the
// principal axis, pointing away from them; nothing when the cells there are not a thin stroke.
std::optional<Point> strokeOutward(const Glyph& glyph, Point contact, double radius) {
    LineMoments near;
    for (const LineSegment& run : glyph.runs) {
        for (std::int32_t x = run.StartX; x < run.StartX + run.SpanX; ++x) {
            const Point p{double(x), double(run.StartY)};
            if (length(p - contact) <= radius) {
                near.add(p);
            }
        }
    }
    if (near.n < 3) {
        return std::nullopt;
    }
    const Point direction = near.direction();
    const double across = near.squaredError() / near.n;
    const double total = (near.sxx + near.syy) / near.n;
    const double along = total - across;
    if (along <= 0 || across > kStrokeThinness * kStrokeThinness * along) {
        return std::nullopt;
    }
    return dot(direction, contact - near.mean) >= 0 ? direction : direction * -1;
}

// Whether the ink goes on from the contact along the direction, across the line set aside and then for
// reach dots more, off the lines set aside but for crossings no wider than widestLine dots: a stroke along
// such a line does not go on.
bool runsOnPast(const InkProbe& asScanned, const InkProbe& stripped, Point contact, Point direction, double reach,
                double widestLine) {
    const InkRay ray(asScanned, contact, direction, 1);
    double t = 0;
    while (t <= widestLine && ray.inked(t) && !stripped.near(ray.at(t))) {
        ++t;
    }
    if (t > widestLine || !stripped.near(ray.at(t))) {
        return false;
    }
    const double end = t + reach;
    double missed = 0, across = 0;
    for (; t <= end; ++t) {
        const Point p = ray.at(t);
        const bool left = stripped.near(p);
        across = !left && asScanned.near(p) ? across + 1 : 0;
        missed = left || across > 0 ? 0 : missed + 1;
        if (missed > kGreatestGap || across > widestLine) {
            return false;
        }
    }
    return true;
}

// Whether the line set aside at the contact runs across (else up): its cells reach further across.
bool setAsideLineRunsAcross(const InkProbe& asScanned, const InkProbe& stripped, Point contact, double widestLine) {
    const auto reach = [&](Point step) {
        double n = 0;
        for (Point p = contact + step; n < widestLine && asScanned.at(p) && !stripped.at(p); p = p + step) {
            ++n;
        }
        return n;
    };
    return reach({1, 0}) + reach({-1, 0}) >= reach({0, 1}) + reach({0, -1});
}

// Whether the stroke leaving in the direction crosses the line set aside at the contact rather than runs
// along it.
bool crossesLine(const InkProbe& asScanned, const InkProbe& stripped, Point contact, Point direction,
                 double widestLine) {
    const double across = setAsideLineRunsAcross(asScanned, stripped, contact, widestLine) ? direction.y : direction.x;
    return std::abs(across) >= kLeastCrossingSine;
}

}  // namespace

bool isCutLinePiece(const InkProbe& asScanned, const InkProbe& stripped, const Glyph& glyph, double reach,
                    double widestLine) {
    const double radius = std::max(3.0, 0.4 * std::max(glyph.width(), glyph.height()));
    for (const Point contact : contacts(asScanned, stripped, glyph)) {
        const std::optional<Point> outward = strokeOutward(glyph, contact, radius);
        if (outward && crossesLine(asScanned, stripped, contact, *outward, widestLine) &&
            runsOnPast(asScanned, stripped, contact, *outward, reach, widestLine)) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvarin
