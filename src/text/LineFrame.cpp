// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "common/Median.h"
#include "text/TextLines.h"

namespace kelvarin {

Point LineFrame::at(double alongValue, double acrossValue) const {
    const double radians = degrees * std::numbers::pi / 180;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {alongValue * c - acrossValue * s, alongValue * s + acrossValue * c};
}

InkExtent inkExtent(const Glyph& glyph, double degrees) {
    const double radians = degrees * std::numbers::pi / 180;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    InkExtent extent;
    for (const LineSegment& run : glyph.runs) {
        // The corners of the run's cells: a cell spans half a dot each side of its centre.
        for (const double x : {run.StartX - 0.5, run.StartX + run.SpanX - 0.5}) {
            for (const double y : {run.StartY - 0.5, run.StartY + 0.5}) {
                const double u = x * c + y * s;
                const double v = -x * s + y * c;
                extent.alongLow = std::min(extent.alongLow, u);
                extent.alongHigh = std::max(extent.alongHigh, u);
                extent.acrossLow = std::min(extent.acrossLow, v);
                extent.acrossHigh = std::max(extent.acrossHigh, v);
            }
        }
    }
    return extent;
}

LineFrame frameOf(const std::vector<Glyph>& glyphs, const GlyphLine& line, double degrees) {
    LineFrame frame;
    frame.degrees = degrees;
    frame.alongStart = frame.lowest = INFINITY;
    frame.alongEnd = frame.highest = -INFINITY;
    std::vector<double> bottoms, tops;
    for (const std::size_t i : line.glyphs) {
        const InkExtent extent = inkExtent(glyphs[i], degrees);
        frame.alongStart = std::min(frame.alongStart, extent.alongLow);
        frame.alongEnd = std::max(frame.alongEnd, extent.alongHigh);
        bottoms.push_back(extent.acrossLow);
        tops.push_back(extent.acrossHigh);
        frame.lowest = std::min(frame.lowest, extent.acrossLow);
        frame.highest = std::max(frame.highest, extent.acrossHigh);
    }
    // Full-height glyphs reach most of the line's height; dots, dashes and signs do not.
    double tallest = 0;
    for (std::size_t k = 0; k < bottoms.size(); ++k) {
        tallest = std::max(tallest, tops[k] - bottoms[k]);
    }
    std::vector<double> fullBottoms, fullHeights;
    for (std::size_t k = 0; k < bottoms.size(); ++k) {
        if (tops[k] - bottoms[k] >= 0.6 * tallest) {
            fullBottoms.push_back(bottoms[k]);
            fullHeights.push_back(tops[k] - bottoms[k]);
        }
    }
    frame.baseline = median(fullBottoms);
    // Capitals, digits and ascenders reach the cap line; small letters (a, e, n, o) reach less than this
    // share of the way up to the highest.
    constexpr double kLeastCapShare = 0.85;
    double highest = frame.baseline;
    for (std::size_t k = 0; k < bottoms.size(); ++k) {
        if (tops[k] - bottoms[k] >= 0.6 * tallest) {
            highest = std::max(highest, tops[k]);
        }
    }
    std::vector<double> capTops;
    for (std::size_t k = 0; k < bottoms.size(); ++k) {
        if (tops[k] - bottoms[k] >= 0.6 * tallest &&
            tops[k] - frame.baseline >= kLeastCapShare * (highest - frame.baseline)) {
            capTops.push_back(tops[k]);
        }
    }
    frame.capLine = capTops.empty() ? frame.baseline + median(fullHeights) : median(capTops);
    return frame;
}

}  // namespace kelvarin
