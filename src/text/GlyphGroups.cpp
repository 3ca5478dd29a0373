// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/GlyphGroups.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <numeric>

#include "common/DisjointSets.h"
#include "common/Toolkit.h"
#include "convert/RunScan.h"
#include "text/Arrows.h"
#include "text/AskewLines.h"
#include "text/LargeLetters.h"
#include "text/LineGuides.h"
#include "text/LinePieces.h"
#include "text/LongRuns.h"
#include "text/StraightStretches.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {

namespace {

constexpr double kLargestGlyphMm = 12;
constexpr double kSmallestGlyphMm = 1.2;
// A straight stroke across or up longer than this is a line of the drawing, not an I or a 1.
constexpr double kLongestBarMm = 7;
constexpr double kWidestLineMm = 1.4;
constexpr double kBarThinness = 0.15;         // a bar's width in its lengths
constexpr double kLargeLettersHeight = 0.75;  // the least cap height of large lettering, in bars of text
constexpr double kUnknownDotsPerMm = 300 / 25.4;
// A glyph whose stroke goes on past a line it meets for this many of its lengths is a piece of a line.
constexpr double kPieceReach = 1.5;

// How far the ink of a thin bar runs on along its length in the grid, gaps of a few cells bridged: the
// whole length of the line a bar is a piece of where noise or a crossing broke it.
std::int32_t runningLength(const VirtualVram& grid, const Glyph& bar) {
    constexpr std::int32_t kGreatestGap = 8;
    constexpr std::int32_t kBeside = 2;  // cells out of the bar's band
    const bool upright = bar.height() >= bar.width();
    const std::int32_t from = upright ? bar.left : bar.bottom;
    const std::int32_t to = upright ? bar.right : bar.top;
    const auto inked = [&](std::int32_t along, std::int32_t across) {
        const std::int32_t x = upright ? across : along;
        const std::int32_t y = upright ? along : across;
        return x >= 0 && y >= 0 && x < grid.width() && y < grid.height() && grid.at(x, y) != 0;
    };
    const auto inkedAcross = [&](std::int32_t along) {
        for (std::int32_t across = from; across <= to; ++across) {
            if (inked(along, across)) {
                return true;
            }
        }
        return false;
    };
    // Past a gap, ink across the bar's band that stands out of it both ways is another glyph's stroke (a
    // digit's, when a hyphen's band runs through its neighbours), not the bar's line going on.
    const auto crossing = [&](std::int32_t along) {
        return inked(along, from - kBeside) && inked(along, to + kBeside);
    };
    const auto reach = [&](std::int32_t start, std::int32_t step) {
        std::int32_t last = start, gap = 0;
        for (std::int32_t along = start + step;
             gap <= kGreatestGap && along >= 0 && along < (upright ? grid.height() : grid.width()); along += step) {
            if (!inkedAcross(along)) {
                ++gap;
                continue;
            }
            if (gap > 0 && crossing(along)) {
                break;
            }
            gap = 0;
            last = along;
        }
        return last;
    };
    return reach(upright ? bar.top : bar.right, 1) - reach(upright ? bar.bottom : bar.left, -1) + 1;
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

// The spread of the glyph's cells along and across their principal axis (variances, in dots squared) and
// the axis's direction in degrees, 0 to 180.
struct Spread {
    double major = 0;
    double minor = 0;
    double degrees = 0;
};

Spread spreadOf(const Glyph& glyph) {
    double count = 0, sumX = 0, sumY = 0, xx = 0, xy = 0, yy = 0;
    for (const LineSegment& run : glyph.runs) {
        // A run of n cells from x0: its moments in closed form.
        const double n = run.SpanX, x0 = run.StartX, y = run.StartY;
        const double sx = n * x0 + n * (n - 1) / 2;
        const double sxx = n * x0 * x0 + x0 * n * (n - 1) + (n - 1) * n * (2 * n - 1) / 6;
        count += n;
        sumX += sx;
        sumY += n * y;
        xx += sxx;
        xy += sx * y;
        yy += n * y * y;
    }
    const double mx = sumX / count, my = sumY / count;
    const double cxx = xx / count - mx * mx, cxy = xy / count - mx * my, cyy = yy / count - my * my;
    const double half = (cxx + cyy) / 2, root = std::sqrt(std::max(0.0, half * half - (cxx * cyy - cxy * cxy)));
    const double degrees = std::atan2(2 * cxy, cxx - cyy) / 2 * 180 / std::numbers::pi;
    return {half + root, std::max(0.0, half - root), degrees < 0 ? degrees + 180 : degrees};
}

}  // namespace

bool isStraightBar(const Glyph& glyph) {
    constexpr double kBarThinness = 0.12;  // the spread across a bar in its spread along it
    const Spread spread = spreadOf(glyph);
    return spread.major > 0 && std::sqrt(spread.minor / spread.major) <= kBarThinness;
}

double principalDegrees(const Glyph& glyph) { return spreadOf(glyph).degrees; }

bool isOpenStroke(const Glyph& glyph) {
    constexpr double kStraightness = 1.2;  // the stroke's length in its box's diagonal
    // The stroke's width: the median run across it, rows' or columns', whichever is the narrower.
    std::vector<std::int32_t> rowRuns, columnRuns;
    std::vector<std::vector<bool>> cells(static_cast<std::size_t>(glyph.width()),
                                         std::vector<bool>(static_cast<std::size_t>(glyph.height()), false));
    for (const LineSegment& run : glyph.runs) {
        rowRuns.push_back(run.SpanX);
        for (std::int32_t x = run.StartX; x < run.StartX + run.SpanX; ++x) {
            cells[static_cast<std::size_t>(x - glyph.left)][static_cast<std::size_t>(run.StartY - glyph.bottom)] = true;
        }
    }
    for (const std::vector<bool>& column : cells) {
        std::int32_t length = 0;
        for (std::size_t y = 0; y <= column.size(); ++y) {
            if (y < column.size() && column[y]) {
                ++length;
            } else if (length > 0) {
                columnRuns.push_back(length);
                length = 0;
            }
        }
    }
    const auto middle = [](std::vector<std::int32_t>& runs) {
        std::nth_element(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(runs.size() / 2), runs.end());
        return runs[runs.size() / 2];
    };
    const double width = std::min(middle(rowRuns), middle(columnRuns));
    const double length = static_cast<double>(glyph.cells) / width;
    return length <= kStraightness * std::hypot(glyph.width(), glyph.height());
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

// Joins the pieces of one glyph (the radical and the body of a kanji, the strokes of 言) while the glyph
// they make stays about square and no larger than its largest piece by much; letters side by side make a
// wide box and stay apart. Nearest pieces first.
void joinPieces(std::vector<Glyph>& glyphs) {
    constexpr double kGreatestGap = 0.15;  // of the larger piece
    constexpr double kLongestSide = 1.25;  // of the joined box, in its shorter sides
    constexpr double kGrowth = 1.2;        // of the joined box's longer side over the larger piece's
    std::vector<std::size_t> order(glyphs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return glyphs[a].left < glyphs[b].left; });
    struct Pair {
        double gap;
        std::size_t a, b;
    };
    std::vector<Pair> pairs;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Glyph& a = glyphs[order[i]];
        const double sizeA = std::max(a.width(), a.height());
        for (std::size_t j = i + 1; j < order.size() && glyphs[order[j]].left <= a.right + kGreatestGap * 2 * sizeA;
             ++j) {
            const Glyph& b = glyphs[order[j]];
            const double size = std::max({sizeA, double(b.width()), double(b.height())});
            const double gapX = std::max(0, std::max(b.left - a.right, a.left - b.right) - 1);
            const double gapY = std::max(0, std::max(b.bottom - a.top, a.bottom - b.top) - 1);
            if (std::max(gapX, gapY) <= kGreatestGap * size) {
                pairs.push_back({std::max(gapX, gapY), order[i], order[j]});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& p, const Pair& q) { return p.gap < q.gap; });
    DisjointSets<std::size_t> sets(glyphs.size());
    for (const Pair& pair : pairs) {
        const std::size_t a = sets.find(pair.a);
        const std::size_t b = sets.find(pair.b);
        if (a == b) {
            continue;
        }
        Glyph& into = glyphs[a];
        Glyph& from = glyphs[b];
        const double width = std::max(into.right, from.right) - std::min(into.left, from.left) + 1;
        const double height = std::max(into.top, from.top) - std::min(into.bottom, from.bottom) + 1;
        const double larger = std::max({into.width(), into.height(), from.width(), from.height()});
        if (std::max(width, height) <= kLongestSide * std::min(width, height) &&
            std::max(width, height) <= kGrowth * larger) {
            into.left = std::min(into.left, from.left);
            into.right = std::max(into.right, from.right);
            into.bottom = std::min(into.bottom, from.bottom);
            into.top = std::max(into.top, from.top);
            into.cells += from.cells;
            into.runs.insert(into.runs.end(), from.runs.begin(), from.runs.end());
            from.runs.clear();
            from.cells = 0;
            sets.link(a, b);
        }
    }
    std::erase_if(glyphs, [](const Glyph& g) { return g.cells == 0; });
}

// The page's ink without the long lines across and up, then those at other angles along which text runs,
// but where strokes cross them.
void setAsideLines(const VirtualVram& grid, const GlyphSizes& sizes, GlyphPage& page, Toolkit& toolkit) {
    copyGrid(grid, page.stripped, toolkit);
    page.givenBack = stripLongRuns(grid, sizes.largest, sizes.widestLine, page.stripped, toolkit);
    AskewStrip askew =
        stripAskewLines(grid, {sizes.longestBar, sizes.largest, sizes.widestLine}, page.stripped, toolkit);
    page.givenBack.insert(page.givenBack.end(), askew.crossed.begin(), askew.crossed.end());
    page.askewLines = std::move(askew.lines);
}

enum class BarKind { None, LargeLetter, Line };

// Whether a group is a thin straight bar, and whose: a bar longer than a bar of text is a line of the
// drawing, or the stem of a large letter when it does not run on.
BarKind barKind(const VirtualVram& grid, const Glyph& box, const GlyphSizes& sizes) {
    const std::int32_t longer = std::max(box.width(), box.height());
    const bool thin = std::min(box.width(), box.height()) <= std::max(kBarThinness * longer, sizes.smallest / 4.0);
    if (!thin) {
        return BarKind::None;
    }
    const std::int32_t running = runningLength(grid, box);
    if (longer > sizes.longestBar && running <= longer + 2) {
        return BarKind::LargeLetter;
    }
    return longer > sizes.longestBar || running > sizes.longestBar ? BarKind::Line : BarKind::None;
}

// Drops the glyphs that are pieces of lines, and moves those with a straight stroke longer than a bar of
// text, at any angle (a tag's or a symbol's askew side, or a large letter's stem), to the candidates.
void setAsideLinePieces(const VirtualVram& grid, const GlyphSizes& sizes, GlyphPage& page,
                        std::vector<Glyph>& candidates) {
    const InkProbe asScanned(grid);
    const InkProbe left(page.stripped.vram);
    std::erase_if(page.glyphs, [&](const Glyph& glyph) {
        const double longer = std::max({glyph.width(), glyph.height(), sizes.smallest});
        return isCutLinePiece(asScanned, left, glyph, kPieceReach * longer, sizes.widestLine);
    });
    const auto stretched = std::stable_partition(page.glyphs.begin(), page.glyphs.end(), [&](const Glyph& glyph) {
        return !hasStraightStretch(glyph, sizes.longestBar);
    });
    std::move(stretched, page.glyphs.end(), std::back_inserter(candidates));
    page.glyphs.erase(stretched, page.glyphs.end());
}

}  // namespace

GlyphSizes GlyphSizes::forResolution(double dotsPerMm) {
    const double dots = dotsPerMm > 0 ? dotsPerMm : kUnknownDotsPerMm;
    return {static_cast<std::int32_t>(std::lround(kLargestGlyphMm * dots)),
            static_cast<std::int32_t>(std::lround(kSmallestGlyphMm * dots)),
            static_cast<std::int32_t>(std::lround(kLongestBarMm * dots)), 3,
            static_cast<std::int32_t>(std::lround(kWidestLineMm * dots))};
}

void findGlyphs(const VirtualVram& grid, const GlyphSizes& sizes, GlyphPage& page, WorkerPool& pool, Toolkit& toolkit) {
    setAsideLines(grid, sizes, page, toolkit);
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
    // Each group's glyph: slot i >= 0 in page.glyphs, -2 - i in the large letters' candidates, -1 none.
    std::vector<std::int64_t> slot(boxes.size(), -1);
    page.glyphs.clear();
    std::vector<Glyph> candidates;
    for (std::size_t group = 0; group < boxes.size(); ++group) {
        const Glyph& box = boxes[group];
        if (std::max(box.width(), box.height()) > sizes.largest || box.cells < sizes.leastCells) {
            continue;
        }
        switch (barKind(grid, box, sizes)) {
            case BarKind::None:
                slot[group] = static_cast<std::int64_t>(page.glyphs.size());
                page.glyphs.push_back(box);
                break;
            case BarKind::LargeLetter:
                slot[group] = -2 - static_cast<std::int64_t>(candidates.size());
                candidates.push_back(box);
                break;
            case BarKind::Line: break;
        }
    }
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        if (slot[group] >= 0) {
            page.glyphs[static_cast<std::size_t>(slot[group])].runs.push_back(run);
        } else if (slot[group] <= -2) {
            candidates[static_cast<std::size_t>(-2 - slot[group])].runs.push_back(run);
        }
    });
    markGuides(page.askewLines, page.glyphs);
    setAsideLinePieces(grid, sizes, page, candidates);
    // A stroke as long as a short line stands in lettering about as high.
    takeLargeLetters(candidates, page.glyphs, kLargeLettersHeight * sizes.longestBar);
    // Arrows are geometry, though the engine reads them as characters.
    std::erase_if(page.glyphs, [&](const Glyph& glyph) { return isArrow(glyph, sizes.smallest / 2.0); });
    dropBalloonRings(page.glyphs, sizes.smallest);
    joinPieces(page.glyphs);
}

}  // namespace kelvarin
