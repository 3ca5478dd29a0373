// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/Vectorize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <numeric>

#include "bitmap/BmpHeader.h"
#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/StepProgress.h"
#include "common/Toolkit.h"
#include "common/WorkerPool.h"
#include "convert/Despeckle.h"
#include "convert/LineSegmentList.h"
#include "convert/RunScan.h"
#include "vectorize/ArcAssembly.h"
#include "vectorize/ArcRecentring.h"
#include "vectorize/Arrowheads.h"
#include "vectorize/Blobs.h"
#include "vectorize/BowedLines.h"
#include "vectorize/BoxHoles.h"
#include "vectorize/BrokenStrokes.h"
#include "vectorize/CentreChains.h"
#include "vectorize/ChainFitting.h"
#include "vectorize/Coverage.h"
#include "vectorize/DashedCircles.h"
#include "vectorize/DrawingTurn.h"
#include "vectorize/FilledCores.h"
#include "vectorize/Fillets.h"
#include "vectorize/HatchLines.h"
#include "vectorize/Holes.h"
#include "vectorize/Hollowing.h"
#include "vectorize/InkProbe.h"
#include "vectorize/JunctionDots.h"
#include "vectorize/LineAssembly.h"
#include "vectorize/OverlappingArcs.h"
#include "vectorize/RoundGroups.h"
#include "vectorize/RoundHoles.h"
#include "vectorize/RunGroups.h"
#include "vectorize/ShoulderFillets.h"
#include "vectorize/Tangents.h"
#include "vectorize/Transposition.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kLongestCounted = 64;
constexpr double kWidestPenMm = 1.0;
constexpr double kMillimetresPerInch = 25.4;
// Resolutions below this are the defaults of files that never said theirs, not a scan's.
constexpr double kLeastScanDpi = 150;
constexpr std::int32_t kSampleEvery = 8;  // rows and strips of columns looked at for the run lengths

// How many runs of each length up to kLongestCounted a sample of the rows and columns has.
std::array<std::int64_t, kLongestCounted + 1> runLengthCounts(const VirtualVram& grid, Toolkit& toolkit) {
    std::array<std::int64_t, kLongestCounted + 1> counts{};
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

// The named steps of joining the pieces into the drawing (the StepProgress::start calls below).
constexpr int kJoiningSteps = 11;

// Ended chains are fitted at the latest when there are this many, which keeps a noisy band's small.
constexpr std::size_t kChainsPerBatch = 4096;

// Feeds the rows, then the columns, to a chain tracker whose chains are fitted as they end. The workers find
// the runs of a band of lines and fit the chains that ended in it; the tracker follows the lines in order,
// and the pieces come in the order their chains ended, so they are the same for any number of threads.
class PieceFinder {
public:
    PieceFinder(const VirtualVram& grid, std::int32_t maxRun, double tolerance, WorkerPool& pool)
        : m_grid(grid), m_maxRun(maxRun), m_tolerance(tolerance), m_pool(pool) {}

    void rows(PassState& pass, Toolkit& toolkit) {
        ChainTracker tracker(true, m_maxRun, [this](const CentreChain& chain) { m_ended.push_back(chain); });
        const std::int32_t height = m_grid.height();
        ProgressDisplay progress = ProgressDisplay::forStep(toolkit, "中心線（横）", height - 1);
        const std::int32_t rowsPerBand = linesPerBand(m_grid.width());
        std::vector<std::vector<CellRun>> cells(static_cast<std::size_t>(rowsPerBand));
        std::vector<std::vector<LineSegment>> runs(static_cast<std::size_t>(m_pool.threads()));
        for (std::int32_t top = 0; top < height; top += rowsPerBand) {
            const std::int32_t rowCount = std::min(rowsPerBand, height - top);
            m_pool.run(static_cast<std::size_t>(rowCount), [&](std::size_t row, std::int32_t worker) {
                std::vector<LineSegment>& found = runs[static_cast<std::size_t>(worker)];
                found.clear();
                findRowRuns(m_grid, top + static_cast<std::int32_t>(row), found);
                cells[row].clear();
                for (const LineSegment& run : found) {
                    cells[row].push_back({run.StartX, run.StartX + run.SpanX - 1});
                }
            });
            for (std::int32_t y = top; y < top + rowCount; ++y) {
                const std::vector<CellRun>& line = cells[static_cast<std::size_t>(y - top)];
                tracker.addLine(y, line);
                fitEnded(kChainsPerBatch);
                toolkit.doEvents(m_grid.wordsPerRow() + static_cast<std::int64_t>(line.size()));
                progress.update(y, passFraction(y, height - 1));
            }
            fitEnded();
        }
        tracker.finish();
        fitEnded();
        progress.finish();
        ++pass.PassNumber;
    }

    void columns(PassState& pass, Toolkit& toolkit) {
        ChainTracker tracker(false, m_maxRun, [this](const CentreChain& chain) { m_ended.push_back(chain); });
        const std::int32_t width = m_grid.width();
        ProgressDisplay progress = ProgressDisplay::forStep(toolkit, "中心線（縦）", width - 1);
        std::vector<ColumnRunFinder> finders(static_cast<std::size_t>(m_pool.threads()));
        const std::int32_t stripsPerBand = linesPerBand(std::int64_t{64} * m_grid.height());
        std::vector<std::vector<LineSegment>> runs(static_cast<std::size_t>(stripsPerBand));
        std::vector<CellRun> cells;
        for (std::int32_t first = 0; first < m_grid.wordsPerRow(); first += stripsPerBand) {
            const std::int32_t stripCount = std::min(stripsPerBand, m_grid.wordsPerRow() - first);
            m_pool.run(static_cast<std::size_t>(stripCount), [&](std::size_t strip, std::int32_t worker) {
                runs[strip].clear();
                finders[static_cast<std::size_t>(worker)].find(m_grid, first + static_cast<std::int32_t>(strip),
                                                               ~std::uint64_t{0}, runs[strip]);
            });
            for (std::int32_t strip = first; strip < first + stripCount; ++strip) {
                const std::vector<LineSegment>& stripRuns = runs[static_cast<std::size_t>(strip - first)];
                const std::int32_t firstColumn = strip * 64;
                const std::int32_t lastColumn = std::min(firstColumn + 63, width - 1);
                std::size_t next = 0;
                for (std::int32_t x = firstColumn; x <= lastColumn; ++x) {
                    cells.clear();
                    for (; next < stripRuns.size() && stripRuns[next].StartX == x; ++next) {
                        cells.push_back({stripRuns[next].StartY, stripRuns[next].StartY + stripRuns[next].SpanY - 1});
                    }
                    tracker.addLine(x, cells);
                }
                fitEnded(kChainsPerBatch);
                toolkit.doEvents(m_grid.height() + static_cast<std::int64_t>(stripRuns.size()));
                progress.update(lastColumn, passFraction(lastColumn, width - 1));
            }
            fitEnded();
        }
        tracker.finish();
        fitEnded();
        progress.finish();
        ++pass.PassNumber;
    }

    Pieces& pieces() { return m_pieces; }

private:
    // Fits the chains ended so far, each apart, and adds their pieces in the order the chains ended; with
    // fewer than least chains, later.
    void fitEnded(std::size_t least = 0) {
        if (m_ended.size() < least || m_ended.empty()) {
            return;
        }
        std::vector<Pieces> fitted(m_ended.size());
        m_pool.run(m_ended.size(), [&](std::size_t i, std::int32_t) { fitChain(m_ended[i], m_tolerance, fitted[i]); });
        for (Pieces& some : fitted) {
            m_pieces.lines.insert(m_pieces.lines.end(), some.lines.begin(), some.lines.end());
            std::move(some.arcs.begin(), some.arcs.end(), std::back_inserter(m_pieces.arcs));
        }
        m_ended.clear();
    }

    const VirtualVram& m_grid;
    std::int32_t m_maxRun;
    double m_tolerance;
    WorkerPool& m_pool;
    std::vector<CentreChain> m_ended;  // chains ended and not yet fitted
    Pieces m_pieces;
};

}  // namespace

std::int64_t automaticSpeckleSize(const VirtualVram& grid, Toolkit& toolkit) {
    constexpr std::int64_t kSmallest = 4;
    // Too few runs across strokes tell no width: a small drawing of one-dot lines, say, whose few counted
    // runs lie along its lines.
    constexpr std::int64_t kFewestRuns = 32;
    const auto counts = runLengthCounts(grid, toolkit);
    if (std::accumulate(counts.begin(), counts.end(), std::int64_t{0}) < kFewestRuns) {
        return kSmallest;
    }
    const std::int32_t thin = runLengthShare(counts, 0.25);
    return std::max<std::int64_t>(kSmallest, std::int64_t{thin} * thin);
}

VectorDrawing VectorizeGrid(const VirtualVram& grid, const VectorizeOptions& options, PassState& pass, Toolkit& toolkit,
                            const VirtualVram* undespeckled) {
    pass.CurrentStep = "中心線を求める";
    if (betterTransposed(grid)) {
        TransposedGrid turned, turnedUndespeckled;
        transposeGrid(grid, turned, toolkit);
        if (undespeckled != nullptr) {
            transposeGrid(*undespeckled, turnedUndespeckled, toolkit);
        }
        return transposeDrawing(VectorizeGrid(turned.vram, options, pass, toolkit,
                                              undespeckled != nullptr ? &turnedUndespeckled.vram : nullptr));
    }
    // Runs up to a little more than twice the thickest strokes' width cut strokes; longer ones run along.
    const auto counts = runLengthCounts(grid, toolkit);
    const std::int32_t thick = runLengthShare(counts, 0.9);
    // Areas much wider than the strokes are drawn by their outlines: the centre lines of their rims. Pens
    // differ by three times at most and are at most a millimetre wide, so ink four times as wide as the thin
    // strokes, or wider than that, is such an area however much of the page the areas fill (their runs would
    // otherwise count as the thick strokes).
    const std::int32_t thin = runLengthShare(counts, 0.25);
    std::int32_t widest = std::min(thick, 4 * thin);
    if (options.dotsPerMm > 0) {
        widest = std::min(widest, static_cast<std::int32_t>(std::ceil(kWidestPenMm * options.dotsPerMm)));
    }
    HollowedGrid hollowed;
    const std::int32_t rim = widest / 2 + 2;
    // The cells farther from the background than the thin strokes are wide lie in filled areas and heavy
    // strokes only: a dot about three thin pens across or more has such a core.
    FilledCores cores;
    const bool hollowedSource =
        hollowFilledAreas(grid, rim, hollowed, toolkit, 2, std::max(2, thin),
                          [&cores](std::int32_t y, const auto& interior, bool any) { cores.addRow(y, interior, any); });
    const VirtualVram& source = hollowedSource ? hollowed.vram : grid;
    // While the workers run, the window goes on and a stop request is seen within the pacing interval.
    WorkerPool pool(options.threads, [&toolkit] { toolkit.doEvents(EventPacing{}.ticksPerClockRead); });
    PieceFinder finder(source, std::max(8, thick * 5 / 2), options.tolerance, pool);
    finder.rows(pass, toolkit);
    finder.columns(pass, toolkit);

    pass.CurrentStep = "線と円をまとめる";
    StepProgress steps(toolkit, kJoiningSteps);
    const InkProbe ink(source);
    const Tick tick = [&steps] { steps.tick(kTicksPerItem); };
    Pieces& pieces = finder.pieces();
    steps.start("ハッチングを見分ける", pieces.lines.size());
    findHatchStrokes(pieces.lines, ink, pool, tick);
    // The arcs first: short straight pieces of a circle join it rather than each other.
    steps.start("円弧をつなぐ", pieces.arcs.size() + pieces.lines.size());
    WideDrawing drawing;
    joinArcs(pieces.arcs, pieces.lines, ink, options.tolerance, drawing, pool, tick);
    centreArcsOnStrokes(drawing, ink, options.tolerance, pool);
    steps.start("線分をつなぐ", pieces.lines.size());
    const InkProbe unhollowed(grid);
    const HollowedAreas filled = hollowedSource ? HollowedAreas{&unhollowed, &ink, 2.0 * rim + 1} : HollowedAreas{};
    std::vector<LinePiece> lines = joinLines(pieces.lines, ink, filled, options.tolerance, pool, tick);
    steps.start("線の端を整える", lines.size());
    finishLineEnds(lines, ink, options.tolerance, filled, pool, tick);
    bendBowedLines(lines, ink, options.tolerance, drawing, pool, tick);
    for (const LinePiece& line : lines) {
        drawing.drawing.lines.push_back({line.a, line.b});
        drawing.lineWidths.push_back(line.width);
    }
    const auto entities = [&drawing] { return drawing.drawing.lines.size() + drawing.drawing.arcs.size(); };
    steps.start("重なりと接点を整える", entities());
    dropCoveredEntities(drawing, options.tolerance, pool, tick);
    meetAtTangentPoints(drawing.drawing, options.tolerance, tick);
    fitShoulderFillets(drawing, ink, options.tolerance, tick);
    roundFilletedCorners(drawing, ink, unhollowed, options.tolerance, tick);
    steps.start("破線の円と矢印をまとめる", entities());
    gatherDashedCircles(drawing, ink, options.tolerance, tick);
    outlineArrowheads(drawing, unhollowed, tick);
    mergeOverlappingArcs(drawing, ink, unhollowed, options.tolerance, tick);
    dropDegenerateEntities(drawing, tick);
    {
        // The steps over the groups go through the rows (a tick each) three times and the entities once.
        const auto rows = static_cast<std::size_t>(grid.height());
        steps.start("黒い部分の塊を調べる", rows);
        const RunGroups groups(grid, nullptr, pool, tick);
        steps.start("丸い塊を円にする", 3 * rows + entities());
        replaceRoundGroups(groups, drawing, tick);
        steps.start("穴を見分ける", entities());
        const PageHoles holes = holesOfPage(grid, groups, pool);
        replaceRoundHoles(grid, holes, drawing, pool, tick);
        replaceBoxHoles(grid, holes, drawing, pool, options.tolerance, tick);
        steps.start("交点と塗りつぶしを見分ける", entities());
        replaceJunctionDots(grid, cores, drawing, pool, tick);
        addBlobEntities(groups, drawing, pool, tick);
    }
    steps.start("点線と途切れた線をつなぐ", entities());
    if (undespeckled != nullptr) {
        // Despeckling drops whole groups, so the runs of the grid before it that the grid lacks are its dust.
        addDottedLines(RunGroups(*undespeckled, &grid, pool, tick), drawing.drawing, pool, tick);
    }
    joinBrokenStrokes(drawing.drawing, InkProbe(undespeckled != nullptr ? *undespeckled : grid), tick);
    steps.finish();
    ++pass.PassNumber;
    return std::move(drawing.drawing);
}

double scanDotsPerMm(const BmpHeaderBytes& header) {
    const Resolution resolution = bmpResolution(header);
    return std::min(resolution.x, resolution.y) >= kLeastScanDpi
               ? std::min(resolution.x, resolution.y) / kMillimetresPerInch
               : 0;
}

VectorDrawing VectorizePicture(const BmpHeaderBytes& header, const VirtualVram& lineCells,
                               const ConversionOptions& options, double skewDegrees, PassState& pass,
                               Toolkit& toolkit) {
    const std::int64_t despeckleSize =
        options.DespeckleSize > 0 ? options.DespeckleSize : automaticSpeckleSize(lineCells, toolkit);
    CleanedGrid cleaned;
    if (despeckleSize > 0) {
        Despeckle(header, lineCells, despeckleSize, cleaned, pass, toolkit);
    }
    const VirtualVram& grid = despeckleSize > 0 ? cleaned.vram : lineCells;
    pass.CurrentStep = "変換開始";
    const double dotsPerMm = scanDotsPerMm(header);
    VectorDrawing drawing = VectorizeGrid(grid, {options.Tolerance, options.Threads, dotsPerMm}, pass, toolkit,
                                          despeckleSize > 0 ? &lineCells : nullptr);
    return skewDegrees != 0 ? turnDrawing(drawing, -skewDegrees, grid.width(), grid.height()) : drawing;
}

}  // namespace kelvarin
