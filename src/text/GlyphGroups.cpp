// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/GlyphGroups.h"

#include <algorithm>
#include <cmath>

#include "common/Toolkit.h"
#include "convert/RunScan.h"
#include "vectorize/RunGroups.h"

namespace kelvarin {

namespace {

constexpr double kLargestGlyphMm = 12;
constexpr double kSmallestGlyphMm = 1.2;
// A straight stroke across or up longer than this is a line of the drawing, not an I or a 1.
constexpr double kLongestBarMm = 7;
constexpr double kBarThinness = 0.15;  // a bar's width in its lengths
constexpr double kUnknownDotsPerMm = 300 / 25.4;

// Clears cells first..last of row y in the copy's packed rows.
void clearCells(CleanedGrid& copy, std::int32_t y, std::int32_t first, std::int32_t last) {
    unsigned char* row = copy.rows.data() + static_cast<std::size_t>(y) * copy.vram.wordsPerRow() * 8;
    for (std::int32_t x = first; x <= last; ++x) {
        row[x / 8] = static_cast<unsigned char>(row[x / 8] & ~(0x80u >> (x % 8)));
    }
}

// Clears the runs of grid longer than longest, across and up, in the copy.
void stripLongRuns(const VirtualVram& grid, std::int32_t longest, CleanedGrid& copy, Toolkit& toolkit) {
    std::vector<LineSegment> runs;
    for (std::int32_t y = 0; y < grid.height(); ++y) {
        toolkit.doEvents(grid.wordsPerRow());
        runs.clear();
        findRowRuns(grid, y, runs);
        for (const LineSegment& run : runs) {
            if (run.SpanX > longest) {
                clearCells(copy, y, run.StartX, run.StartX + run.SpanX - 1);
            }
        }
    }
    ColumnRunFinder finder;
    for (std::int32_t strip = 0; strip < grid.wordsPerRow(); ++strip) {
        toolkit.doEvents(grid.height());
        runs.clear();
        finder.find(grid, strip, ~std::uint64_t{0}, runs);
        for (const LineSegment& run : runs) {
            if (run.SpanY > longest) {
                for (std::int32_t y = run.StartY; y < run.StartY + run.SpanY; ++y) {
                    clearCells(copy, y, run.StartX, run.StartX);
                }
            }
        }
    }
}

}  // namespace

bool isRing(const Glyph& glyph) {
    const double across = std::max(glyph.width(), glyph.height());
    if (std::abs(glyph.width() - glyph.height()) > 0.15 * across) {
        return false;
    }
    const double radius = across / 2;
    double nearest = radius;
    double farthest = 0;
    for (const LineSegment& run : glyph.runs) {
        for (const double x : {double(run.StartX), double(run.StartX + run.SpanX - 1)}) {
            const double distance = std::hypot(x - glyph.centreX(), run.StartY - glyph.centreY());
            nearest = std::min(nearest, distance);
            farthest = std::max(farthest, distance);
        }
    }
    return farthest - nearest < 0.3 * radius;
}

namespace {

bool inside(const Glyph& inner, const Glyph& outer) {
    return inner.left > outer.left && inner.right < outer.right && inner.bottom > outer.bottom && inner.top < outer.top;
}

// Drops the rings that hold other glyphs: balloons, whose circle stays geometry.
void dropBalloonRings(std::vector<Glyph>& glyphs, std::int32_t smallest) {
    std::vector<bool> ring(glyphs.size(), false);
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        const Glyph& outer = glyphs[i];
        if (std::max(outer.width(), outer.height()) < smallest || !isRing(outer)) {
            continue;
        }
        ring[i] = std::any_of(glyphs.begin(), glyphs.end(), [&](const Glyph& inner) {
            return &inner != &outer && inside(inner, outer) && std::max(inner.width(), inner.height()) >= smallest;
        });
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (!ring[i]) {
            if (kept != i) {
                glyphs[kept] = std::move(glyphs[i]);
            }
            ++kept;
        }
    }
    glyphs.resize(kept);
}

}  // namespace

void clearRuns(CleanedGrid& copy, const std::vector<LineSegment>& runs) {
    for (const LineSegment& run : runs) {
        clearCells(copy, run.StartY, run.StartX, run.StartX + run.SpanX - 1);
    }
}

GlyphSizes GlyphSizes::forResolution(double dotsPerMm) {
    const double dots = dotsPerMm > 0 ? dotsPerMm : kUnknownDotsPerMm;
    return {static_cast<std::int32_t>(std::lround(kLargestGlyphMm * dots)),
            static_cast<std::int32_t>(std::lround(kSmallestGlyphMm * dots)),
            static_cast<std::int32_t>(std::lround(kLongestBarMm * dots)), 3};
}

void findGlyphs(const VirtualVram& grid, const GlyphSizes& sizes, GlyphPage& page, WorkerPool& pool, Toolkit& toolkit) {
    copyGrid(grid, page.stripped, toolkit);
    stripLongRuns(grid, sizes.largest, page.stripped, toolkit);
    const Tick tick = [&toolkit] { toolkit.doEvents(kTicksPerItem); };
    const RunGroups groups(page.stripped.vram, nullptr, pool, tick);
    std::vector<Glyph> boxes(groups.groupCount());
    std::vector<bool> seen(groups.groupCount(), false);
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        Glyph& box = boxes[group];
        const std::int32_t right = run.StartX + run.SpanX - 1;
        if (!seen[group]) {
            seen[group] = true;
            box.left = run.StartX;
            box.right = right;
            box.bottom = box.top = run.StartY;
        }
        box.left = std::min(box.left, run.StartX);
        box.right = std::max(box.right, right);
        box.bottom = std::min(box.bottom, run.StartY);
        box.top = std::max(box.top, run.StartY);
        box.cells += run.SpanX;
    });
    std::vector<std::int64_t> slot(boxes.size(), -1);
    page.glyphs.clear();
    for (std::size_t group = 0; group < boxes.size(); ++group) {
        const Glyph& box = boxes[group];
        const std::int32_t longer = std::max(box.width(), box.height());
        const bool bar = longer > sizes.longestBar && std::min(box.width(), box.height()) <= kBarThinness * longer;
        if (longer <= sizes.largest && box.cells >= sizes.leastCells && !bar) {
            slot[group] = static_cast<std::int64_t>(page.glyphs.size());
            page.glyphs.push_back(box);
        }
    }
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        if (slot[group] >= 0) {
            page.glyphs[static_cast<std::size_t>(slot[group])].runs.push_back(run);
        }
    });
    dropBalloonRings(page.glyphs, sizes.smallest);
}

}  // namespace kelvarin
