// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/Vectorize.h"

#include <algorithm>

#include "bitmap/BmpHeader.h"
#include "common/PassState.h"
#include "common/Toolkit.h"
#include "common/WorkerPool.h"
#include "convert/Despeckle.h"
#include "vectorize/geometry/DrawingTurn.h"
#include "vectorize/pipeline/PassTable.h"
#include "vectorize/pipeline/StrokeWidths.h"
#include "vectorize/pipeline/Transposition.h"

namespace kelvarin {

namespace {

constexpr double kMillimetresPerInch = 25.4;
// Resolutions below this are the defaults of files that never said theirs, not a scan's.
constexpr double kLeastScanDpi = 150;

}  // namespace

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
    VectorizeContext context(grid, undespeckled, options, pass, toolkit);
    runPasses(context, options.stopAfter);
    return std::move(context.drawing.drawing);
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
    // A file that gives no resolution is measured by its thin strokes, so that it converts as the same
    // drawing scanned at any resolution does.
    double dotsPerMm = scanDotsPerMm(header);
    if (dotsPerMm <= 0) {
        dotsPerMm = Tolerances::dotsPerMmOfPen(thinPenDots(lineCells, toolkit));
    }
    const std::int64_t despeckleSize =
        options.DespeckleSize > 0
            ? options.DespeckleSize
            : automaticSpeckleSize(lineCells, Tolerances::forScan(dotsPerMm, options.Tolerance).speckCells, toolkit);
    CleanedGrid cleaned;
    if (despeckleSize > 0) {
        WorkerPool pool(options.Threads, [&toolkit] { toolkit.doEvents(EventPacing{}.ticksPerClockRead); });
        Despeckle(header, lineCells, despeckleSize, cleaned, pass, toolkit, &pool);
    }
    const VirtualVram& grid = despeckleSize > 0 ? cleaned.vram : lineCells;
    pass.CurrentStep = "変換開始";
    VectorizeOptions vectorOptions;
    vectorOptions.tolerance = options.Tolerance;
    vectorOptions.threads = options.Threads;
    vectorOptions.dotsPerMm = dotsPerMm;
    VectorDrawing drawing = VectorizeGrid(grid, vectorOptions, pass, toolkit, despeckleSize > 0 ? &lineCells : nullptr);
    return skewDegrees != 0 ? turnDrawing(drawing, -skewDegrees, grid.width(), grid.height()) : drawing;
}

}  // namespace kelvarin
