// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineCues.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "common/Median.h"
#include "vectorize/raster/InkRay.h"

namespace kelvarin {

namespace {

constexpr int kSamples = 48;               // places along the text a line beside it is looked for at
constexpr double kReachPerHeight = 0.8;    // how far from the text's ink, in cap heights
constexpr double kLeastMet = 0.75;         // share of the samples that meet ink within reach
constexpr double kLeastStraight = 0.7;     // share of those at the same distance
constexpr double kSameDistance = 0.1;      // in cap heights, and at least two dots
constexpr double kLeastSquareWidth = 0.8;  // a square cell's width in cap heights
constexpr double kNarrowPiece = 0.75;      // a piece of a cell, in cap heights
constexpr double kWidestCell = 1.15;
constexpr double kWidestCharacter = 1.6;  // wider ink is a piece of a line, not a Japanese character

// Whether a straight line runs along the text at a distance of at most the reach, looked for from the
// text's edge `edge` (across) outward, `step` +1 or -1.
bool lineAlong(const VirtualVram& grid, const LineFrame& frame, double edge, double step) {
    const double height = std::max(frame.height(), 4.0);
    const auto reach = static_cast<int>(std::ceil(kReachPerHeight * height));
    const double length = frame.alongEnd - frame.alongStart;
    std::vector<double> met;
    for (int k = 0; k < kSamples; ++k) {
        const double along = frame.alongStart + (k + 0.5) * length / kSamples;
        for (int distance = 1; distance <= reach; ++distance) {
            const Point p = frame.at(along, edge + step * distance);
            const auto x = static_cast<std::int32_t>(std::lround(p.x));
            const auto y = static_cast<std::int32_t>(std::lround(p.y));
            if (x < 0 || y < 0 || x >= grid.width() || y >= grid.height()) {
                break;
            }
            if (grid.at(x, y) != 0) {
                met.push_back(distance);
                break;
            }
        }
    }
    if (static_cast<double>(met.size()) < kLeastMet * kSamples) {
        return false;
    }
    const double typical = median(met);
    const double tolerance = std::max(2.0, kSameDistance * height);
    const auto same =
        std::count_if(met.begin(), met.end(), [&](double d) { return std::abs(d - typical) <= tolerance; });
    return static_cast<double>(same) >= kLeastStraight * static_cast<double>(met.size());
}

}  // namespace

int parallelLineSide(const VirtualVram& grid, const LineFrame& frame) {
    const bool belowBaseline = lineAlong(grid, frame, frame.lowest, -1);
    const bool aboveCapLine = lineAlong(grid, frame, frame.highest, 1);
    return belowBaseline == aboveCapLine ? 0 : belowBaseline ? 1 : -1;
}

bool CharacterCells::square() const {
    return count >= 2 && medianWidth >= kLeastSquareWidth && widestWidth <= kWidestCharacter;
}

bool inBalloon(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& line) {
    constexpr int kRays = 16;
    constexpr double kFarthest = 2.5;   // a balloon's radius at most, in the line's half sizes
    constexpr double kRoundness = 0.3;  // the spread of the ring's distances, of their mean
    const Glyph box = boxOf(glyphs, line);
    const Point centre{box.centreX(), box.centreY()};
    const double half = std::hypot(box.width(), box.height()) / 2;
    const InkProbe ink(grid);
    double nearest = INFINITY, farthest = 0, sum = 0;
    for (int k = 0; k < kRays; ++k) {
        const double radians = 2 * std::numbers::pi * k / kRays;
        const InkRay ray(ink, centre, {std::cos(radians), std::sin(radians)}, 1);
        const double hit = ray.firstInk(half + 1, kFarthest * half);
        if (hit > kFarthest * half) {
            return false;
        }
        nearest = std::min(nearest, hit);
        farthest = std::max(farthest, hit);
        sum += hit;
    }
    return farthest - nearest <= kRoundness * sum / kRays;
}

bool endsALine(const VirtualVram& grid, const Glyph& glyph) {
    constexpr double kDrawn = 0.95;  // the share of the way on that is ink
    const InkProbe ink(grid);
    const double reach = std::max(glyph.width(), glyph.height());
    // The middles of the glyph's ink along its four sides.
    double topX = 0, bottomX = 0;
    int tops = 0, bottoms = 0;
    std::vector<std::int32_t> lefts, rights;  // rows
    for (const LineSegment& run : glyph.runs) {
        const double middle = run.StartX + (run.SpanX - 1) / 2.0;
        if (run.StartY == glyph.top) {
            topX += middle;
            ++tops;
        }
        if (run.StartY == glyph.bottom) {
            bottomX += middle;
            ++bottoms;
        }
        if (run.StartX == glyph.left) {
            lefts.push_back(run.StartY);
        }
        if (run.StartX + run.SpanX - 1 == glyph.right) {
            rights.push_back(run.StartY);
        }
    }
    const auto goesOn = [&](Point from, Point direction) {
        return ink.shareAlong(from + direction, from + direction * reach) >= kDrawn;
    };
    // The middle of a side's rows when they follow one another (one stroke ends there), else nothing.
    const auto middleRow = [](const std::vector<std::int32_t>& rows) -> std::optional<double> {
        const auto [low, high] = std::minmax_element(rows.begin(), rows.end());
        if (rows.empty() || *high - *low + 1 != static_cast<std::int32_t>(rows.size())) {
            return std::nullopt;
        }
        return (*low + *high) / 2.0;
    };
    const std::optional<double> leftY = middleRow(lefts), rightY = middleRow(rights);
    return (tops == 1 && goesOn({topX, double(glyph.top)}, {0, 1})) ||
           (bottoms == 1 && goesOn({bottomX, double(glyph.bottom)}, {0, -1})) ||
           (leftY && goesOn({double(glyph.left), *leftY}, {-1, 0})) ||
           (rightY && goesOn({double(glyph.right), *rightY}, {1, 0}));
}

CharacterCells characterCells(const std::vector<Glyph>& glyphs, const GlyphLine& line, const LineFrame& frame) {
    const double radians = frame.degrees * std::numbers::pi / 180;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    std::vector<std::pair<double, double>> extents;
    for (const std::size_t i : line.glyphs) {
        const Glyph& g = glyphs[i];
        double low = INFINITY, high = -INFINITY;
        for (const double x : {g.left - 0.5, g.right + 0.5}) {
            for (const double y : {g.bottom - 0.5, g.top + 0.5}) {
                low = std::min(low, x * c + y * s);
                high = std::max(high, x * c + y * s);
            }
        }
        extents.emplace_back(low, high);
    }
    std::sort(extents.begin(), extents.end());
    // Overlapping glyphs make one piece; narrow pieces side by side make one cell while it stays about
    // square (the two halves of 側, the three boxes of 品).
    const double height = std::max(frame.height(), 1.0);
    std::vector<std::pair<double, double>> pieces;
    for (const auto& [low, high] : extents) {
        if (!pieces.empty() && low < pieces.back().second) {
            pieces.back().second = std::max(pieces.back().second, high);
        } else {
            pieces.emplace_back(low, high);
        }
    }
    std::vector<double> widths;
    for (std::size_t k = 0; k < pieces.size();) {
        const double low = pieces[k].first;
        double high = pieces[k].second;
        std::size_t next = k + 1;
        while (next < pieces.size() && pieces[next].second - low <= kWidestCell * height &&
               std::min(high - low, pieces[next].second - pieces[next].first) < kNarrowPiece * height) {
            high = pieces[next].second;
            ++next;
        }
        widths.push_back((high - low) / height);
        k = next;
    }
    CharacterCells cells;
    cells.count = widths.size();
    cells.squareCount = static_cast<std::size_t>(
        std::count_if(widths.begin(), widths.end(), [](double w) { return w >= kLeastSquareWidth; }));
    cells.medianWidth = widths.empty() ? 0 : median(widths);
    cells.widestWidth = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
    return cells;
}

std::vector<bool> readThePagesWay(const std::vector<double>& degrees, const std::vector<bool>& sure) {
    const auto upsideDown = [](double d) { return std::abs(std::remainder(d - 180, 360.0)) < 80; };
    const auto upright = [](double d) { return std::abs(std::remainder(d, 360.0)) < 80; };
    std::ptrdiff_t votes = 0;  // upright less upside down
    for (std::size_t i = 0; i < degrees.size(); ++i) {
        if (sure[i]) {
            votes += upright(degrees[i]) ? 1 : upsideDown(degrees[i]) ? -1 : 0;
        }
    }
    std::vector<bool> kept(degrees.size());
    for (std::size_t i = 0; i < degrees.size(); ++i) {
        kept[i] = votes >= 0 ? !upsideDown(degrees[i]) : !upright(degrees[i]);
    }
    return kept;
}

}  // namespace kelvarin
