// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/StraightStretches.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

std::optional<StraightStretch> straightStretch(const Glyph& glyph, double least) {
    constexpr double kStepDegrees = 2;
    constexpr double kBand = 3;        // dots across: the bands two neighbours of which hold a stroke
    constexpr double kLongestGap = 2;  // dots along a stroke without ink (noise, a pinhole)
    if (std::hypot(glyph.width(), glyph.height()) < least) {
        return std::nullopt;
    }
    std::vector<Point> cells;
    for (const LineSegment& run : glyph.runs) {
        for (std::int32_t x = run.StartX; x < run.StartX + run.SpanX; ++x) {
            cells.push_back({double(x - glyph.left), double(run.StartY - glyph.bottom)});
        }
    }
    // In each direction the cells are cut into bands along it; a stroke lies in two neighbouring bands,
    // its cells along it without a longer gap.
    std::vector<std::pair<std::int64_t, double>> banded(cells.size());
    for (double degrees = 0; degrees < 180; degrees += kStepDegrees) {
        const double radians = degrees * std::numbers::pi / 180;
        const Point along{std::cos(radians), std::sin(radians)};
        const Point across{-along.y, along.x};
        for (std::size_t i = 0; i < cells.size(); ++i) {
            banded[i] = {static_cast<std::int64_t>(std::floor(dot(cells[i], across) / kBand)), dot(cells[i], along)};
        }
        std::sort(banded.begin(), banded.end());
        // Each band's positions, then each pair of neighbouring bands merged.
        for (std::size_t first = 0; first < banded.size();) {
            std::size_t next = first;
            while (next < banded.size() && banded[next].first == banded[first].first) {
                ++next;
            }
            std::size_t last = next;
            while (last < banded.size() && banded[last].first == banded[first].first + 1) {
                ++last;
            }
            std::vector<double> positions;
            for (std::size_t i = first; i < last; ++i) {
                positions.push_back(banded[i].second);
            }
            std::sort(positions.begin(), positions.end());
            double start = positions.front();
            for (std::size_t i = 1; i < positions.size(); ++i) {
                if (positions[i] - positions[i - 1] > kLongestGap) {
                    start = positions[i];
                }
                if (positions[i] - start >= least) {
                    const Point origin{double(glyph.left), double(glyph.bottom)};
                    const double low = static_cast<double>(banded[first].first) * kBand + dot(origin, across);
                    return StraightStretch{degrees, low, low + 2 * kBand};
                }
            }
            first = next;
        }
    }
    return std::nullopt;
}

bool hasStraightStretch(const Glyph& glyph, double least) { return straightStretch(glyph, least).has_value(); }

}  // namespace kelvarin
