#include "vectorize/Vectorize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/Despeckle.h"
#include "convert/LineSegmentList.h"
#include "convert/RunScan.h"
#include "vectorize/ArcAssembly.h"
#include "vectorize/Blobs.h"
#include "vectorize/CentreChains.h"
#include "vectorize/ChainFitting.h"
#include "vectorize/Coverage.h"
#include "vectorize/DrawingTurn.h"
#include "vectorize/Hollowing.h"
#include "vectorize/InkProbe.h"
#include "vectorize/LineAssembly.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kLongestCounted = 64;
constexpr std::int32_t kSampleEvery = 8;  // rows and strips of columns looked at for the run lengths

// How many runs of each length up to kLongestCounted a sample of the rows and columns has.
std::array<std::int64_t, kLongestCounted + 1> runLengthCounts(const VirtualVram& grid) {
    std::array<std::int64_t, kLongestCounted + 1> counts{};
    std::vector<LineSegment> runs;
    const auto count = [&](std::int32_t length) {
        if (length >= 2 && length <= kLongestCounted) {
            ++counts[static_cast<std::size_t>(length)];
        }
    };
    for (std::int32_t y = 0; y < grid.height(); y += kSampleEvery) {
        runs.clear();
        findRowRuns(grid, y, runs);
        for (const LineSegment& run : runs) {
            count(run.SpanX);
        }
    }
    ColumnRunFinder finder;
    for (std::int32_t strip = 0; strip < grid.wordsPerRow(); strip += kSampleEvery) {
        runs.clear();
        finder.find(grid, strip, ~std::uint64_t{0}, runs);
        for (const LineSegment& run : runs) {
            count(run.SpanY);
        }
    }
    return counts;
}

// The run length below which the given share of the counted runs lie.
std::int32_t runLengthShare(const std::array<std::int64_t, kLongestCounted + 1>& counts, double share) {
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

// Feeds the rows, then the columns, to a chain tracker whose chains are fitted as they end.
class PieceFinder {
public:
    PieceFinder(const VirtualVram& grid, std::int32_t maxRun, double tolerance)
        : m_grid(grid), m_maxRun(maxRun), m_tolerance(tolerance) {}

    void rows(PassState& pass, Toolkit& toolkit) {
        ChainTracker tracker(true, m_maxRun,
                             [this](const CentreChain& chain) { fitChain(chain, m_tolerance, m_pieces); });
        const std::int32_t height = m_grid.height();
        ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, height - 1);
        std::vector<LineSegment> runs;
        std::vector<CellRun> cells;
        for (std::int32_t y = 0; y < height; ++y) {
            runs.clear();
            findRowRuns(m_grid, y, runs);
            cells.clear();
            for (const LineSegment& run : runs) {
                cells.push_back({run.StartX, run.StartX + run.SpanX - 1});
            }
            tracker.addLine(y, cells);
            toolkit.doEvents(m_grid.wordsPerRow() + static_cast<std::int64_t>(runs.size()));
            progress.update(y, passFraction(y, height - 1));
        }
        tracker.finish();
        progress.finish();
        ++pass.PassNumber;
    }

    void columns(PassState& pass, Toolkit& toolkit) {
        ChainTracker tracker(false, m_maxRun,
                             [this](const CentreChain& chain) { fitChain(chain, m_tolerance, m_pieces); });
        const std::int32_t width = m_grid.width();
        ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, width - 1);
        ColumnRunFinder finder;
        std::vector<LineSegment> runs;
        std::vector<CellRun> cells;
        for (std::int32_t strip = 0; strip < m_grid.wordsPerRow(); ++strip) {
            runs.clear();
            finder.find(m_grid, strip, ~std::uint64_t{0}, runs);
            const std::int32_t firstColumn = strip * 64;
            const std::int32_t lastColumn = std::min(firstColumn + 63, width - 1);
            std::size_t next = 0;
            for (std::int32_t x = firstColumn; x <= lastColumn; ++x) {
                cells.clear();
                for (; next < runs.size() && runs[next].StartX == x; ++next) {
                    cells.push_back({runs[next].StartY, runs[next].StartY + runs[next].SpanY - 1});
                }
                tracker.addLine(x, cells);
            }
            toolkit.doEvents(m_grid.height() + static_cast<std::int64_t>(runs.size()));
            progress.update(lastColumn, passFraction(lastColumn, width - 1));
        }
        tracker.finish();
        progress.finish();
        ++pass.PassNumber;
    }

    Pieces& pieces() { return m_pieces; }

private:
    const VirtualVram& m_grid;
    std::int32_t m_maxRun;
    double m_tolerance;
    Pieces m_pieces;
};

}  // namespace

std::int64_t automaticSpeckleSize(const VirtualVram& grid) {
    constexpr std::int64_t kSmallest = 4;
    // Too few runs across strokes tell no width: a small drawing of one-dot lines, say, whose few counted
    // runs lie along its lines.
    constexpr std::int64_t kFewestRuns = 32;
    const auto counts = runLengthCounts(grid);
    if (std::accumulate(counts.begin(), counts.end(), std::int64_t{0}) < kFewestRuns) {
        return kSmallest;
    }
    const std::int32_t thin = runLengthShare(counts, 0.25);
    return std::max<std::int64_t>(kSmallest, std::int64_t{thin} * thin);
}

VectorDrawing VectorizeGrid(const VirtualVram& grid, const VectorizeOptions& options, PassState& pass,
                            Toolkit& toolkit) {
    pass.CurrentStep = "中心線を求める";
    // Runs up to a little more than twice the thickest strokes' width cut strokes; longer ones run along.
    const std::int32_t thick = runLengthShare(runLengthCounts(grid), 0.9);
    // Areas much wider than the strokes are drawn by their outlines: the centre lines of their rims.
    HollowedGrid hollowed;
    const VirtualVram& source = hollowFilledAreas(grid, thick / 2 + 2, hollowed, 2) ? hollowed.vram : grid;
    PieceFinder finder(source, std::max(8, thick * 5 / 2), options.tolerance);
    finder.rows(pass, toolkit);
    finder.columns(pass, toolkit);

    pass.CurrentStep = "線と円をまとめる";
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, 3);
    const InkProbe ink(source);
    const Tick tick = [&toolkit] { toolkit.doEvents(); };
    Pieces& pieces = finder.pieces();
    // The arcs first: short straight pieces of a circle join it rather than each other.
    WideDrawing drawing;
    joinArcs(pieces.arcs, pieces.lines, ink, options.tolerance, drawing, tick);
    progress.update(1, 1.0 / 4);
    std::vector<LinePiece> lines = joinLines(pieces.lines, ink, options.tolerance, tick);
    progress.update(2, 2.0 / 4);
    finishLineEnds(lines, ink, options.tolerance, tick);
    for (const LinePiece& line : lines) {
        drawing.drawing.lines.push_back({line.a, line.b});
        drawing.lineWidths.push_back(line.width);
    }
    dropCoveredEntities(drawing, options.tolerance, tick);
    dropDegenerateEntities(drawing, tick);
    replaceRoundGroups(grid, drawing, tick);
    addBlobEntities(grid, drawing, tick);
    progress.update(3, 1);
    progress.finish();
    ++pass.PassNumber;
    return std::move(drawing.drawing);
}

VectorDrawing VectorizePicture(const BmpHeaderBytes& header, const VirtualVram& lineCells,
                               const ConversionOptions& options, double skewDegrees, PassState& pass,
                               Toolkit& toolkit) {
    const std::int64_t despeckleSize =
        options.DespeckleSize > 0 ? options.DespeckleSize : automaticSpeckleSize(lineCells);
    CleanedGrid cleaned;
    if (despeckleSize > 0) {
        Despeckle(header, lineCells, despeckleSize, cleaned, pass, toolkit);
    }
    const VirtualVram& grid = despeckleSize > 0 ? cleaned.vram : lineCells;
    pass.CurrentStep = "変換開始";
    VectorDrawing drawing = VectorizeGrid(grid, {options.Tolerance}, pass, toolkit);
    if (despeckleSize > 0) {
        addDottedLines(lineCells, drawing, [&toolkit] { toolkit.doEvents(); });
    }
    return skewDegrees != 0 ? turnDrawing(drawing, -skewDegrees, grid.width(), grid.height()) : drawing;
}

}  // namespace kelvarin
