// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/AskewLines.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>

#include "convert/RunScan.h"
#include "text/LongRuns.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

namespace {

constexpr double kStraightness = 1.0;       // dots a bare stretch's run middles stray from its line at most
constexpr std::size_t kEndRows = 2;         // rows at either end of a bare stretch left out of its fit
constexpr std::int32_t kSpanChange = 2;     // cells a bare stretch's runs differ in length from row to row
constexpr double kGap = 3;                  // dots of background a line is followed across
constexpr double kStrokeReach = 3;          // dots a crossing stroke goes on past a line's band both ways
constexpr double kJunctionReach = 4;        // dots from another line's band a crossing is that line's
constexpr double kSameDirection = 0.9994;   // cosine of 2 degrees
constexpr double kBandMargin = 1.5;         // dots a line's band reaches past its measured width
constexpr double kRaggedEdge = 1;           // dots of a line's edge that its width as measured misses
constexpr double kLeastTurnSine = 0.052;    // sine of 3 degrees, a line's least turn from across and up
constexpr std::int32_t kLeastContacts = 3;  // strokes touching a line that text may run along
constexpr double kStep = 0.5;               // dots between probes along and across a line

// A straight stretch of a line touching nothing: each row's run meets one run in the next row, which meets
// it alone, of about its length.
struct BareStretch {
    Point centre;
    Point direction;  // unit
    double width = 0;
    double length = 0;
};

// The runs of one row chained so far: their middles and lengths, from the first row up.
struct RunChain {
    std::int32_t firstRow = 0;
    std::vector<double> middles;
    std::vector<std::int32_t> spans;
};

// The straight stretch a chain of runs makes, if it is straight and long enough. Its end rows, where it
// leaves what it touches, may hold part of a run and are left out of the fit.
void addIfStraight(const RunChain& chain, const AskewLineSizes& sizes, std::vector<BareStretch>& stretches) {
    const std::size_t rows = chain.middles.size();
    if (rows < 2 * kEndRows + 2) {
        return;
    }
    std::vector<std::int32_t> spans = chain.spans;
    std::nth_element(spans.begin(), spans.begin() + static_cast<std::ptrdiff_t>(rows / 2), spans.end());
    const double span = spans[rows / 2];
    // A stretch reaches from its first run's middle to its last's and, when shallow, a run further.
    if (std::hypot(static_cast<double>(rows), chain.middles.back() - chain.middles.front()) + span < sizes.leastBare) {
        return;
    }
    const auto middle = [&](std::size_t k) {
        return Point{chain.middles[k], static_cast<double>(chain.firstRow) + static_cast<double>(k)};
    };
    LineMoments moments;
    for (std::size_t k = kEndRows; k < rows - kEndRows; ++k) {
        moments.add(middle(k));
    }
    const Point direction = moments.direction();
    for (std::size_t k = kEndRows; k < rows - kEndRows; ++k) {
        if (distanceFromLine(middle(k), moments.mean, direction) > kStraightness) {
            return;
        }
    }
    // A run across the line is its width over the sine of its angle to the rows.
    const double width = std::max(1.0, span * std::abs(direction.y));
    const double length = (static_cast<double>(rows) - 1) / std::max(std::abs(direction.y), 1e-6);
    // Lines across and up are the long runs' to set aside; a broken one is no line at another angle.
    const bool nearAxis = std::min(std::abs(direction.x), std::abs(direction.y)) < kLeastTurnSine;
    if (nearAxis || width > sizes.widest || length < sizes.leastBare) {
        return;
    }
    stretches.push_back({moments.mean, direction, width, length});
}

// Whether two runs of neighbouring rows touch, diagonals included.
bool touch(const LineSegment& a, const LineSegment& b) {
    return a.StartX <= b.StartX + b.SpanX && b.StartX <= a.StartX + a.SpanX;
}

// The bare straight stretches of the grid's ink, row by row.
std::vector<BareStretch> findBareStretches(const VirtualVram& grid, const AskewLineSizes& sizes, Toolkit& toolkit) {
    std::vector<BareStretch> stretches;
    std::vector<LineSegment> below, above;
    std::vector<RunChain> chains, nextChains;
    std::vector<std::int32_t> upCount, downCount;
    std::vector<std::size_t> upOnly, downOnly;
    for (std::int32_t y = 0; y < grid.height(); ++y) {
        toolkit.doEvents(grid.wordsPerRow());
        above.clear();
        findRowRuns(grid, y, above);
        upCount.assign(below.size(), 0);
        downCount.assign(above.size(), 0);
        upOnly.assign(below.size(), 0);
        downOnly.assign(above.size(), 0);
        std::size_t from = 0;
        for (std::size_t i = 0; i < below.size(); ++i) {
            while (from < above.size() && above[from].StartX + above[from].SpanX < below[i].StartX) {
                ++from;
            }
            for (std::size_t j = from; j < above.size() && above[j].StartX <= below[i].StartX + below[i].SpanX; ++j) {
                if (touch(below[i], above[j])) {
                    ++upCount[i];
                    upOnly[i] = j;
                    ++downCount[j];
                    downOnly[j] = i;
                }
            }
        }
        nextChains.assign(above.size(), RunChain{});
        std::vector<bool> continued(below.size(), false);
        for (std::size_t j = 0; j < above.size(); ++j) {
            const std::size_t i = downOnly[j];
            if (downCount[j] == 1 && upCount[i] == 1 && std::abs(above[j].SpanX - below[i].SpanX) <= kSpanChange) {
                nextChains[j] = std::move(chains[i]);
                continued[i] = true;
            } else {
                nextChains[j].firstRow = y;
            }
            nextChains[j].middles.push_back(above[j].StartX + (above[j].SpanX - 1) / 2.0);
            nextChains[j].spans.push_back(above[j].SpanX);
        }
        for (std::size_t i = 0; i < below.size(); ++i) {
            if (!continued[i]) {
                addIfStraight(chains[i], sizes, stretches);
            }
        }
        std::swap(chains, nextChains);
        std::swap(below, above);
    }
    for (const RunChain& chain : chains) {
        addIfStraight(chain, sizes, stretches);
    }
    return stretches;
}

// Whether the ink of the grid lies across the line's band at t.
bool inkAcross(const InkProbe& ink, const AskewLine& line, double t) {
    const Point normal = line.normal();
    for (double s = -line.halfBand; s <= line.halfBand; s += kStep) {
        if (ink.at(line.at(t) + normal * s)) {
            return true;
        }
    }
    return false;
}

// The last t the line's ink reaches from 0 on in the step's sign, gaps up to kGap crossed.
double followInk(const InkProbe& ink, const AskewLine& line, double step, double limit) {
    double reached = 0;
    for (double t = step; std::abs(t) <= limit && std::abs(t - reached) <= kGap; t += step) {
        if (inkAcross(ink, line, t)) {
            reached = t;
        }
    }
    return reached;
}

// The long lines the stretches lie on, followed along the grid's ink; each stretch seeds a line unless a
// longer one's line holds it.
std::vector<AskewLine> followLines(const VirtualVram& grid, std::vector<BareStretch> stretches,
                                   const AskewLineSizes& sizes) {
    std::sort(stretches.begin(), stretches.end(),
              [](const BareStretch& a, const BareStretch& b) { return a.length > b.length; });
    SpatialIndex seeds;
    for (std::size_t k = 0; k < stretches.size(); ++k) {
        seeds.insert(static_cast<std::int32_t>(k), stretches[k].centre);
    }
    std::vector<bool> held(stretches.size(), false);
    const InkProbe ink(grid);
    std::vector<AskewLine> lines;
    std::vector<std::int32_t> found;
    for (std::size_t k = 0; k < stretches.size(); ++k) {
        if (held[k]) {
            continue;
        }
        const BareStretch& seed = stretches[k];
        AskewLine line{seed.centre, seed.direction, seed.width / 2 + kBandMargin, 0, 0};
        line.first = followInk(ink, line, -kStep, ink.diagonal());
        line.last = followInk(ink, line, kStep, ink.diagonal());
        if (line.last - line.first < sizes.leastLength) {
            continue;
        }
        for (double t = line.first; t <= line.last; t += kIndexCellSize / 2) {
            seeds.near(line.at(t), kIndexCellSize, found);
            for (const std::int32_t id : found) {
                const BareStretch& other = stretches[static_cast<std::size_t>(id)];
                const double along = dot(other.centre - line.centre, line.direction);
                if (std::abs(dot(other.direction, line.direction)) >= kSameDirection &&
                    distanceFromLine(other.centre, line.centre, line.direction) <= line.halfBand &&
                    along >= line.first && along <= line.last) {
                    held[static_cast<std::size_t>(id)] = true;
                }
            }
        }
        lines.push_back(line);
    }
    return lines;
}

// How far the copy's ink goes on from the line's middle at t across it, in the step's sign.
double inkReach(const InkProbe& ink, Point middle, Point normal, double step, double limit) {
    double s = 0;
    while (std::abs(s) < limit && ink.at(middle + normal * (s + step))) {
        s += step;
    }
    return std::abs(s);
}

// Whether the point lies within another of the lines' bands, or near it.
bool atJunction(const std::vector<AskewLine>& lines, const SpatialIndex& index, std::size_t self, Point p,
                std::vector<std::int32_t>& found) {
    index.near(p, kIndexCellSize, found);
    for (const std::int32_t id : found) {
        const AskewLine& other = lines[static_cast<std::size_t>(id)];
        if (static_cast<std::size_t>(id) == self) {
            continue;
        }
        const double along = dot(p - other.centre, other.direction);
        if (along >= other.first - kJunctionReach && along <= other.last + kJunctionReach &&
            distanceFromLine(p, other.centre, other.direction) <= other.halfBand + kJunctionReach) {
            return true;
        }
    }
    return false;
}

struct Cell {
    std::int32_t y;
    std::int32_t x;
    friend auto operator<=>(const Cell&, const Cell&) = default;
};

// The cells across a line at a point of its middle, from behind dots on the normal's back to ahead on it.
struct Across {
    Point middle;
    Point normal;
    double ahead = 0;
    double behind = 0;

    template <typename Visit>
    void forEachCell(Visit visit) const {
        for (double s = -behind; s <= ahead; s += kStep) {
            const Point p = middle + normal * s;
            // Positions on the page are never negative: adding a half and truncating rounds them.
            visit(Cell{static_cast<std::int32_t>(p.y + 0.5), static_cast<std::int32_t>(p.x + 0.5)});
        }
    }
};

void sortUnique(std::vector<Cell>& cells) {
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
}

std::vector<LineSegment> runsOf(const std::vector<Cell>& cells) {
    std::vector<LineSegment> runs;
    for (const Cell& cell : cells) {
        if (!runs.empty() && runs.back().StartY == cell.y && runs.back().StartX + runs.back().SpanX == cell.x) {
            ++runs.back().SpanX;
        } else {
            runs.push_back({cell.x, cell.y, 1, 1});
        }
    }
    return runs;
}

// The lines found, looked up by where they run, and the copy's ink they are cut from.
struct LineContext {
    const std::vector<AskewLine>& lines;
    const SpatialIndex& index;
    const InkProbe& ink;
};

// How far the copy's ink reaches from the line's middle at t either way across it, up to a stroke's reach
// past its band.
struct Reach {
    double ahead = 0;
    double behind = 0;
    double limit = 0;

    bool crossing() const { return ahead >= limit && behind >= limit; }
};

Reach reachAt(const InkProbe& ink, const AskewLine& line, Point middle) {
    const double limit = line.halfBand - kRaggedEdge + kStrokeReach;
    return {inkReach(ink, middle, line.normal(), kStep, limit), inkReach(ink, middle, line.normal(), -kStep, limit),
            limit};
}

// Whether a stroke ends on the line at its middle's point, as a letter standing on it or hanging from it
// has: ink beyond the band on one side only, as far as a stroke reaches. A quick look, two probes a side.
bool strokeEndsAt(const InkProbe& ink, const AskewLine& line, Point middle) {
    const double edge = line.halfBand - kRaggedEdge + kStep, limit = line.halfBand - kRaggedEdge + kStrokeReach;
    const Point normal = line.normal();
    const bool ahead = ink.at(middle + normal * edge) && ink.at(middle + normal * limit);
    const bool behind = ink.at(middle - normal * edge) && ink.at(middle - normal * limit);
    return ahead != behind;
}

// The most strokes touching line k, each within word dots along it of the one before: text running along
// it. Where another line set aside crosses it is no stroke.
std::int32_t strokesInAWord(const LineContext& context, std::size_t k, double word) {
    const AskewLine& line = context.lines[k];
    std::vector<std::int32_t> found;
    std::int32_t strokes = 0, most = 0;
    double last = -INFINITY;
    bool touched = false;
    for (double t = line.first; t <= line.last; t += 2 * kStep) {
        const Point middle = line.at(t);
        const bool touching = context.ink.at(middle) && strokeEndsAt(context.ink, line, middle);
        if (touching && !touched && !atJunction(context.lines, context.index, k, middle, found)) {
            strokes = t - last <= word ? strokes + 1 : 1;
            most = std::max(most, strokes);
            last = t;
        }
        touched = touching;
    }
    return most;
}

// The cells of the lines to clear, and those to keep where strokes cross them.
struct LineCut {
    std::vector<Across> clearing;
    std::vector<Cell> crossed;
};

void cutLine(const LineContext& context, std::size_t k, LineCut& cut) {
    const AskewLine& line = context.lines[k];
    std::vector<std::int32_t> found;
    for (double t = line.first; t <= line.last; t += kStep) {
        const Point middle = line.at(t);
        if (!context.ink.at(middle)) {
            continue;
        }
        const Reach reach = reachAt(context.ink, line, middle);
        // Ink on a side that ends within the band is the line's ragged edge and goes with it; ink going on is
        // a stroke's, which keeps all but the line's width.
        const Across across{middle, line.normal(),
                            reach.ahead <= line.halfBand ? reach.ahead : line.halfBand - kRaggedEdge,
                            reach.behind <= line.halfBand ? reach.behind : line.halfBand - kRaggedEdge};
        if (reach.crossing() && !atJunction(context.lines, context.index, k, middle, found)) {
            across.forEachCell([&](Cell cell) { cut.crossed.push_back(cell); });
        } else {
            cut.clearing.push_back(across);
        }
    }
}

}  // namespace

double AskewLine::degrees() const {
    const double degrees = std::atan2(direction.y, direction.x) * 180 / std::numbers::pi;
    return degrees < 0 ? degrees + 180 : degrees >= 180 ? degrees - 180 : degrees;
}

bool AskewLine::touches(const LineSegment& run) const {
    const Point start{static_cast<double>(run.StartX), static_cast<double>(run.StartY)};
    const Point end{static_cast<double>(run.StartX + run.SpanX - 1), start.y};
    const double across0 = dot(start - centre, normal()), across1 = dot(end - centre, normal());
    const double along0 = dot(start - centre, direction), along1 = dot(end - centre, direction);
    const double reach = halfBand + kJunctionReach;
    const bool near = std::min(std::abs(across0), std::abs(across1)) <= reach || (across0 < 0) != (across1 < 0);
    return near && std::max(along0, along1) >= first - reach && std::min(along0, along1) <= last + reach;
}

AskewStrip stripAskewLines(const VirtualVram& grid, const AskewLineSizes& sizes, CleanedGrid& copy, Toolkit& toolkit) {
    AskewStrip strip;
    const std::vector<AskewLine> lines = followLines(grid, findBareStretches(copy.vram, sizes, toolkit), sizes);
    if (lines.empty()) {
        return strip;
    }
    SpatialIndex index;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        index.insert(static_cast<std::int32_t>(k), lines[k].at(lines[k].first), lines[k].at(lines[k].last));
    }
    // Decided on the copy as it stands, then cleared, so that no line's clearing changes another's crossings.
    const InkProbe ink(copy.vram);
    const LineContext context{lines, index, ink};
    LineCut cut;
    std::vector<AskewLine> found = lines;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        // A line nothing touches but where it ends holds no text: it is left as it is.
        if (strokesInAWord(context, k, sizes.leastBare / 2.0) >= kLeastContacts) {
            cutLine(context, k, cut);
            found[k].setAside = true;
        }
    }
    // A cell both cleared and crossed is crossed: all are cleared, then the crossed set again.
    for (const Across& across : cut.clearing) {
        across.forEachCell([&](Cell cell) { clearCells(copy, cell.y, cell.x, cell.x); });
    }
    sortUnique(cut.crossed);
    strip.crossed = runsOf(cut.crossed);
    setRuns(copy, strip.crossed);
    strip.lines = std::move(found);
    return strip;
}

}  // namespace kelvarin
