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
constexpr double kThinShare = 0.25;       // of the runs across strokes lie across the thin ones
// Too few runs across strokes tell no width: a small drawing of one-dot lines, say, whose few counted runs
// lie along its lines.
constexpr std::int64_t kFewestRuns = 32;

using RunLengthCounts = std::array<std::int64_t, kLongestCounted + 1>;

// Calls visit(run, true) for the runs of every kSampleEvery-th row and visit(run, false) for those of every
// kSampleEvery-th strip of 64 columns.
template <typename Visit>
void forSampledRuns(const VirtualVram& grid, Toolkit& toolkit, Visit visit) {
    std::vector<LineSegment> runs;
    for (std::int32_t y = 0; y < grid.height(); y += kSampleEvery) {
        toolkit.doEvents(grid.wordsPerRow());
        runs.clear();
        findRowRuns(grid, y, runs);
        for (const LineSegment& run : runs) {
            visit(run, true);
        }
    }
    ColumnRunFinder finder;
    for (std::int32_t strip = 0; strip < grid.wordsPerRow(); strip += kSampleEvery) {
        toolkit.doEvents(grid.height());
        runs.clear();
        finder.find(grid, strip, ~std::uint64_t{0}, runs);
        for (const LineSegment& run : runs) {
            visit(run, false);
        }
    }
}

bool counted(std::int32_t length) { return length >= 2 && length <= kLongestCounted; }

// How many runs of each length up to kLongestCounted a sample of the rows and columns has.
RunLengthCounts runLengthCounts(const VirtualVram& grid, Toolkit& toolkit) {
    RunLengthCounts counts{};
    forSampledRuns(grid, toolkit, [&](const LineSegment& run, bool alongRow) {
        const std::int32_t length = alongRow ? run.SpanX : run.SpanY;
        if (counted(length)) {
            ++counts[static_cast<std::size_t>(length)];
        }
    });
    return counts;
}

// Whether the ink runs on through (x, y) along (dx, dy) for least cells or more.
bool runsOn(const VirtualVram& grid, std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
            std::int32_t least) {
    std::int32_t count = 1;
    for (const std::int32_t sign : {-1, 1}) {
        for (std::int32_t k = 1; count < least; ++k) {
            const std::int32_t cx = x + sign * dx * k, cy = y + sign * dy * k;
            if (cx < 0 || cy < 0 || cx >= grid.width() || cy >= grid.height() || grid.at(cx, cy) == 0) {
                break;
            }
            ++count;
        }
    }
    return count >= least;
}

// The runs of a sample of the rows and columns that cross a stroke: the ink through each one's middle runs
// on the other way for three times its length or more. Dust and blobs, as short one way as the other, are
// left out.
RunLengthCounts acrossStrokeCounts(const VirtualVram& grid, Toolkit& toolkit) {
    constexpr std::int32_t kAlongPerAcross = 3;
    RunLengthCounts counts{};
    forSampledRuns(grid, toolkit, [&](const LineSegment& run, bool alongRow) {
        const std::int32_t length = alongRow ? run.SpanX : run.SpanY;
        const std::int32_t x = alongRow ? run.StartX + run.SpanX / 2 : run.StartX;
        const std::int32_t y = alongRow ? run.StartY : run.StartY + run.SpanY / 2;
        if (counted(length) && runsOn(grid, x, y, alongRow ? 0 : 1, alongRow ? 1 : 0, kAlongPerAcross * length)) {
            ++counts[static_cast<std::size_t>(length)];
        }
    });
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
    widths.thin = runLengthShare(counts, kThinShare);
    widths.widest = std::min(widths.thick, tolerances.areaInThinPens * widths.thin);
    if (dotsPerMm > 0) {
        widths.widest =
            std::min(widths.widest, static_cast<std::int32_t>(std::ceil(tolerances.widestPenMm * dotsPerMm)));
    }
    widths.rim = widths.widest / 2 + tolerances.rimMargin;
    return widths;
}

double thinPenDots(const VirtualVram& grid, Toolkit& toolkit) {
    const RunLengthCounts counts = acrossStrokeCounts(grid, toolkit);
    if (std::accumulate(counts.begin(), counts.end(), std::int64_t{0}) < kFewestRuns) {
        return 0;
    }
    // A stroke w dots wide is crossed by runs of the whole dots either side of w, w on the mean.
    const std::int32_t thin = runLengthShare(counts, kThinShare);
    double runs = 0, dots = 0;
    for (std::int32_t length = std::max(thin - 1, 2); length <= std::min(thin + 1, kLongestCounted); ++length) {
        runs += static_cast<double>(counts[static_cast<std::size_t>(length)]);
        dots += static_cast<double>(counts[static_cast<std::size_t>(length)]) * length;
    }
    return runs > 0 ? dots / runs : 0;
}

std::int64_t automaticSpeckleSize(const VirtualVram& grid, std::int64_t smallest, Toolkit& toolkit) {
    const RunLengthCounts counts = runLengthCounts(grid, toolkit);
    if (std::accumulate(counts.begin(), counts.end(), std::int64_t{0}) < kFewestRuns) {
        return smallest;
    }
    const std::int32_t thin = runLengthShare(counts, kThinShare);
    return std::max<std::int64_t>(smallest, std::int64_t{thin} * thin);
}

}  // namespace kelvarin
