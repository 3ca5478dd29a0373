// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/pipeline/StrokeWidths.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

#include "common/Toolkit.h"
#include "convert/LineSegmentList.h"
#include "convert/RunScan.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kLongestCounted = 64;
constexpr std::int32_t kSampleEvery = 8;  // rows and strips of columns looked at for the run lengths

using RunLengthCounts = std::array<std::int64_t, kLongestCounted + 1>;

// How many runs of each length up to kLongestCounted a sample of the rows and columns has.
RunLengthCounts runLengthCounts(const VirtualVram& grid, Toolkit& toolkit) {
    RunLengthCounts counts{};
    std::vector<LineSegment> runs;
    const auto count = [&](std::int32_t length) {
        if (length >= 2 && length <= kLongestCounted) {
            ++counts[static_cast<std::size_t>(length)];
        }
    };
    for (std::int32_t y = 0; y < grid.height(); y += kSampleEvery) {
        toolkit.doEvents(grid.wordsPerRow());
        runs.clear();
        findRowRuns(grid, y, runs);
        for (const LineSegment& run : runs) {
            count(run.SpanX);
        }
    }
    ColumnRunFinder finder;
    for (std::int32_t strip = 0; strip < grid.wordsPerRow(); strip += kSampleEvery) {
        toolkit.doEvents(grid.height());
        runs.clear();
        finder.find(grid, strip, ~std::uint64_t{0}, runs);
        for (const LineSegment& run : runs) {
            count(run.SpanY);
        }
    }
    return counts;
}

// The run length below which the given share of the counted runs lie.
std::int32_t runLengthShare(const RunLengthCounts& counts, double share) {
    std::int64_t total = 0;
    for (const std::int64_t count : counts) {
        total += count;
    }
    std::int64_t sum = 0;
    for (std::int32_t length = 0; length <= kLongestCounted; ++length) {
        sum += counts[static_cast<std::size_t>(length)];
        if (static_cast<double>(sum) >= share * static_cast<double>(total) && sum > 0) {
            return length;
        }
    }
    return 2;
}

}  // namespace

StrokeWidths measureStrokeWidths(const VirtualVram& grid, double dotsPerMm, const Tolerances& tolerances,
                                 Toolkit& toolkit) {
    StrokeWidths widths;
    // Runs up to a little more than twice the thickest strokes' width cut strokes; longer ones run along.
    const RunLengthCounts counts = runLengthCounts(grid, toolkit);
    widths.thick = runLengthShare(counts, 0.9);
    // Areas much wider than the strokes are drawn by their outlines: the centre lines of their rims. Ink a
    // few times as wide as the thin strokes, or wider than a pen, is such an area however much of the page
    // the areas fill (their runs would otherwise count as the thick strokes).
    widths.thin = runLengthShare(counts, 0.25);
    widths.widest = std::min(widths.thick, tolerances.areaInThinPens * widths.thin);
    if (dotsPerMm > 0) {
        widths.widest =
            std::min(widths.widest, static_cast<std::int32_t>(std::ceil(tolerances.widestPenMm * dotsPerMm)));
    }
    widths.rim = widths.widest / 2 + tolerances.rimMargin;
    return widths;
}

std::int64_t automaticSpeckleSize(const VirtualVram& grid, std::int64_t smallest, Toolkit& toolkit) {
    // Too few runs across strokes tell no width: a small drawing of one-dot lines, say, whose few counted
    // runs lie along its lines.
    constexpr std::int64_t kFewestRuns = 32;
    const RunLengthCounts counts = runLengthCounts(grid, toolkit);
    if (std::accumulate(counts.begin(), counts.end(), std::int64_t{0}) < kFewestRuns) {
        return smallest;
    }
    const std::int32_t thin = runLengthShare(counts, 0.25);
    return std::max<std::int64_t>(smallest, std::int64_t{thin} * thin);
}

}  // namespace kelvarin
