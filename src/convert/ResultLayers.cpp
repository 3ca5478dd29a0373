#include "convert/ResultLayers.h"

#include <algorithm>

#include "bitmap/BmpHeader.h"
#include "common/PassState.h"
#include "common/Toolkit.h"

namespace kelvarin {

namespace {

LineCells linesOf(const VirtualVram& grid, const ConversionSettings& settings) {
    return settings.Options.Strokes
               ? LineCells::ofStrokes(grid)
               : LineCells::ofRuns(grid, settings.MakeHorizontal, settings.MakeVertical, settings.Thinning);
}

}  // namespace

ResultLayers::ResultLayers(const BitmapData& bitmap, const ConversionSettings& settings) {
    const std::int32_t width = bitmapWidth(bitmap.BmpHeader);
    const std::int32_t height = bitmapHeight(bitmap.BmpHeader);
    const std::int64_t stride = rowStride(width);
    const auto size = static_cast<std::size_t>(stride * height);
    m_rows = LargeBuffer(size);
    const std::size_t copied = std::min(size, bitmap.PixelBytes.size());
    splitAcrossCores(static_cast<std::int64_t>(copied), [&](std::int64_t first, std::int64_t end) {
        std::copy(bitmap.PixelBytes.begin() + first, bitmap.PixelBytes.begin() + end, m_rows.begin() + first);
    });
    m_scan.attach({m_rows.data(), size}, width, height, stride);
    if (!settings.LineColorWhite) {
        m_scan.invert();
    }
    m_scanPyramid.build(m_scanRows, width, height);
    const VirtualVram* grid = &m_scan;
    if (settings.Options.DespeckleSize > 0) {
        PassState pass;
        SilentToolkit toolkit;  // despeckling again for the view shows no progress
        Despeckle(bitmap.BmpHeader, m_scan, settings.Options.DespeckleSize, m_cleaned, pass, toolkit);
        grid = &m_cleaned.vram;
    }
    m_lines = linesOf(*grid, settings);
    m_sharedPyramid = grid == &m_scan && m_lines.sameAsGrid();
    if (!m_sharedPyramid && !m_lines.none()) {
        m_linePyramid.build(m_lines, width, height);
    }
}

}  // namespace kelvarin
