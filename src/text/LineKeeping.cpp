// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineKeeping.h"

#include <algorithm>
#include <cmath>

#include "common/Median.h"

namespace kelvarin {

namespace {

constexpr double kBarThinness = 0.15;  // a bar's width in its lengths
constexpr double kMostlyBars = 0.6;    // of a line's glyphs, straight strokes
// A mark of the drawing beside a line's characters (an arrow, a dash, a leader's landing) is longer than
// they are by this much, and a flat one at most this thick, in their sizes.
constexpr double kMarkLength = 1.8;
constexpr double kFlatThickness = 0.6;

// Whether the glyph runs across or up, as a 1, an l or a dash does, rather than askew.
bool runsAcrossOrUp(const Glyph& g) {
    constexpr double kMostAskew = 15;  // degrees
    const double degrees = principalDegrees(g);
    return std::abs(std::remainder(degrees, 90.0)) <= kMostAskew;
}

}  // namespace

void dropOversizedEnds(const std::vector<Glyph>& glyphs, std::vector<std::size_t>& members, double degrees,
                       double smallest) {
    if (members.size() < 3) {
        return;
    }
    const double radians = degrees * std::numbers::pi / 180;
    const Point along{std::cos(radians), std::sin(radians)};
    const Point across{-along.y, along.x};
    // The glyph's extent in a direction: the least and the greatest of its box's corners.
    const auto extent = [&](std::size_t i, Point direction) {
        const Glyph& g = glyphs[i];
        const double xs[] = {g.left * direction.x, (g.right + 1) * direction.x};
        const double ys[] = {g.bottom * direction.y, (g.top + 1) * direction.y};
        return std::make_pair(std::min(xs[0], xs[1]) + std::min(ys[0], ys[1]),
                              std::max(xs[0], xs[1]) + std::max(ys[0], ys[1]));
    };
    // Whether the glyph at the end, first or last along, is oversized and stands apart or out of line.
    const auto oddEnd = [&](std::size_t end, bool first) {
        double others = 0, gap = INFINITY, bandLow = INFINITY, bandHigh = -INFINITY;
        const auto [endLow, endHigh] = extent(end, along);
        for (const std::size_t i : members) {
            if (i != end && glyphSize(glyphs[i]) >= smallest / 2) {
                others = std::max(others, glyphSize(glyphs[i]));
                const auto [low, high] = extent(i, along);
                gap = std::min(gap, first ? low - endHigh : endLow - high);
                const auto [acrossLow, acrossHigh] = extent(i, across);
                bandLow = std::min(bandLow, acrossLow);
                bandHigh = std::max(bandHigh, acrossHigh);
            }
        }
        const auto [endAcrossLow, endAcrossHigh] = extent(end, across);
        const double outOfLine = std::max(endAcrossHigh - bandHigh, bandLow - endAcrossLow);
        return glyphSize(glyphs[end]) > kMarkLength * others &&
               (gap >= others / 2 || outOfLine >= (bandHigh - bandLow) / 2);
    };
    const auto byCentre = [&](std::size_t a, std::size_t b) {
        const auto [aLow, aHigh] = extent(a, along);
        const auto [bLow, bHigh] = extent(b, along);
        return aLow + aHigh < bLow + bHigh;
    };
    const auto [first, last] = std::minmax_element(members.begin(), members.end(), byCentre);
    const std::size_t ends[] = {*first, *last};
    const bool drop[] = {oddEnd(ends[0], true), oddEnd(ends[1], false)};
    std::erase_if(members, [&](std::size_t i) { return (i == ends[0] && drop[0]) || (i == ends[1] && drop[1]); });
}

void dropMarks(const std::vector<Glyph>& glyphs, std::vector<std::size_t>& members) {
    std::vector<double> lengths;
    for (const std::size_t i : members) {
        lengths.push_back(glyphSize(glyphs[i]));
    }
    const double typical = median(lengths);
    std::erase_if(members, [&](const std::size_t i) {
        const Glyph& g = glyphs[i];
        const double thickness = std::min(g.width(), g.height());
        return (glyphSize(g) > 1.3 * typical && thickness <= kBarThinness * glyphSize(g)) ||
               (glyphSize(g) > kMarkLength * typical && thickness <= kFlatThickness * typical);
    });
}

bool mayBeText(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, const GlyphSizes& sizes) {
    double longest = 0;
    for (const std::size_t i : members) {
        longest = std::max(longest, glyphSize(glyphs[i]));
    }
    std::size_t rings = 0, others = 0;
    for (const std::size_t i : members) {
        if (glyphSize(glyphs[i]) >= sizes.smallest / 2.0) {
            ++(isRing(glyphs[i]) ? rings : others);
        }
    }
    const auto bars = std::count_if(members.begin(), members.end(), [&](std::size_t i) {
        return glyphSize(glyphs[i]) >= sizes.smallest / 2.0 && isStraightBar(glyphs[i]);
    });
    const bool ofBars =
        rings + others >= 3 && static_cast<double>(bars) >= kMostlyBars * static_cast<double>(rings + others);
    const bool ofStrokes = rings + others <= 2 && std::all_of(members.begin(), members.end(), [&](std::size_t i) {
                               return glyphSize(glyphs[i]) < sizes.smallest / 2.0 ||
                                      (isOpenStroke(glyphs[i]) && !runsAcrossOrUp(glyphs[i]));
                           });
    return longest >= sizes.smallest && !(rings == 1 && others == 0) && !ofBars && !ofStrokes;
}

}  // namespace kelvarin
