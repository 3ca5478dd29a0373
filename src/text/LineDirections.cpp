// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineDirections.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Median.h"
#include "text/LineJoins.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kMostFitTurn = 3;   // degrees a baseline turns a direction fitted to the centres
constexpr double kMostScanTurn = 2;  // degrees a scanned page is turned by at most

// The glyphs but the signs and marks much smaller than the line's characters (°, a comma), which sit above
// or below the characters' centres and would turn the direction fitted to them; all when fewer than two are
// left.
std::vector<std::size_t> withoutMarks(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members) {
    constexpr double kLeastShareOfMedian = 0.6;
    std::vector<double> sizes;
    for (const std::size_t i : members) {
        sizes.push_back(glyphSize(glyphs[i]));
    }
    const double typical = median(sizes);
    std::vector<std::size_t> characters;
    for (const std::size_t i : members) {
        if (glyphSize(glyphs[i]) >= kLeastShareOfMedian * typical) {
            characters.push_back(i);
        }
    }
    return characters.size() >= 2 ? characters : members;
}

// The direction, within mostTurn of degrees, of the line through the characters' lowest ink across it:
// characters of different shapes sit on one baseline where their boxes' centres scatter. Descenders (g, p,
// a comma) reach below the line first fitted and are left out of the second fit.
double onBaseline(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& characters, double degrees,
                  double mostTurn) {
    constexpr double kDescent = 0.12;  // below the first line, in the characters' median size
    const double radians = degrees * std::numbers::pi / 180;
    const double c = std::cos(radians), s = std::sin(radians);
    std::vector<Point> bottoms;  // along, lowest across
    std::vector<double> sizes;
    for (const std::size_t i : characters) {
        double lowest = INFINITY;
        for (const LineSegment& run : glyphs[i].runs) {
            for (const double x : {double(run.StartX), double(run.StartX + run.SpanX - 1)}) {
                lowest = std::min(lowest, -x * s + run.StartY * c);
            }
        }
        bottoms.push_back({glyphs[i].centreX() * c + glyphs[i].centreY() * s, lowest});
        sizes.push_back(glyphSize(glyphs[i]));
    }
    LineMoments first;
    for (const Point& p : bottoms) {
        first.add(p);
    }
    // The fitted line's rise along, by least squares across.
    const auto slope = [](const LineMoments& m) { return m.sxy / m.sxx; };
    if (first.n < 2 || first.sxx <= 0) {
        return degrees;
    }
    const double descent = kDescent * median(sizes);
    LineMoments second;
    for (const Point& p : bottoms) {
        if (p.y >= first.mean.y + slope(first) * (p.x - first.mean.x) - descent) {
            second.add(p);
        }
    }
    if (second.n < 2 || second.sxx <= 0) {
        return degrees;
    }
    // A larger turn than expected is of glyphs not on one baseline.
    const double turn = std::atan(slope(second)) * 180 / std::numbers::pi;
    return std::abs(turn) <= mostTurn ? degrees + turn : degrees;
}

}  // namespace

double fittedDirection(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members) {
    double weight = 0, meanX = 0, meanY = 0;
    for (const std::size_t i : members) {
        const double w = glyphSize(glyphs[i]);
        weight += w;
        meanX += w * glyphs[i].centreX();
        meanY += w * glyphs[i].centreY();
    }
    meanX /= weight;
    meanY /= weight;
    double xx = 0, xy = 0, yy = 0;
    for (const std::size_t i : members) {
        const double w = glyphSize(glyphs[i]);
        const double dx = glyphs[i].centreX() - meanX;
        const double dy = glyphs[i].centreY() - meanY;
        xx += w * dx * dx;
        xy += w * dx * dy;
        yy += w * dy * dy;
    }
    double degrees = 0.5 * std::atan2(2 * xy, xx - yy) * 180 / std::numbers::pi;
    return degrees <= -90 ? degrees + 180 : degrees;
}

double askewDirection(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, double smallest) {
    constexpr double kLeastAskew = 12;
    std::vector<std::size_t> real;
    for (const std::size_t i : members) {
        if (glyphSize(glyphs[i]) >= smallest / 2) {
            real.push_back(i);
        }
    }
    if (real.size() < 3) {
        return NAN;
    }
    const std::vector<std::size_t> characters = withoutMarks(glyphs, real);
    const double fitted = onBaseline(glyphs, characters, fittedDirection(glyphs, characters), kMostFitTurn);
    if (std::abs(std::remainder(fitted, 90.0)) <= kLeastAskew) {
        return NAN;
    }
    const double c = std::cos(fitted * std::numbers::pi / 180), s = std::sin(fitted * std::numbers::pi / 180);
    std::vector<double> sizes;
    double lowest = INFINITY, highest = -INFINITY, widest = 0;
    for (const std::size_t i : real) {
        sizes.push_back(glyphSize(glyphs[i]));
        const double along = glyphs[i].centreX() * c + glyphs[i].centreY() * s;
        lowest = std::min(lowest, along);
        highest = std::max(highest, along);
    }
    const double size = median(sizes);
    double meanAcross = 0;
    for (const std::size_t i : real) {
        meanAcross += (-glyphs[i].centreX() * s + glyphs[i].centreY() * c) / static_cast<double>(real.size());
    }
    for (const std::size_t i : real) {
        widest = std::max(widest, std::abs(-glyphs[i].centreX() * s + glyphs[i].centreY() * c - meanAcross));
    }
    return highest - lowest > 1.5 * size && widest < 0.5 * size ? fitted : NAN;
}

bool stackedUpright(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, double degrees,
                    double smallest) {
    constexpr double kMostAskew = 15;       // degrees from up
    constexpr double kLeastTallness = 1.3;  // a character's height in its width
    if (std::abs(std::remainder(degrees, 180.0)) < 90 - kMostAskew) {
        return false;
    }
    std::vector<double> tallness;
    for (const std::size_t i : members) {
        if (glyphSize(glyphs[i]) >= smallest / 2) {
            tallness.push_back(double(glyphs[i].height()) / glyphs[i].width());
        }
    }
    return tallness.size() >= 2 && median(tallness) >= kLeastTallness;
}

std::vector<double> lineDirections(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members,
                                   double axis) {
    constexpr double kLeastAskew = 12;
    const double fitted = fittedDirection(glyphs, withoutMarks(glyphs, members));
    const double askew = std::abs(std::remainder(fitted - axis, 180.0));
    std::vector<double> sizes;
    double lowest = INFINITY, highest = -INFINITY;
    const double c = std::cos(fitted * std::numbers::pi / 180), s = std::sin(fitted * std::numbers::pi / 180);
    for (const std::size_t i : members) {
        sizes.push_back(glyphSize(glyphs[i]));
        const double along = glyphs[i].centreX() * c + glyphs[i].centreY() * s;
        lowest = std::min(lowest, along);
        highest = std::max(highest, along);
    }
    if (members.size() >= 2 && askew > kLeastAskew && highest - lowest > 1.2 * median(sizes)) {
        return {fitted < 0 ? fitted + 360 : fitted, fitted + 180};
    }
    return {axis, axis + 180};
}

double baselineDegrees(const std::vector<Glyph>& glyphs, const GlyphLine& line, double degrees) {
    // A short line's bottoms tell its turn no better than the page's square does.
    constexpr std::size_t kLeastCharacters = 4;
    const std::vector<std::size_t> characters = withoutMarks(glyphs, line.glyphs);
    return characters.size() >= kLeastCharacters ? onBaseline(glyphs, characters, degrees, kMostScanTurn) : degrees;
}

}  // namespace kelvarin
