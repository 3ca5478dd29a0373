// SPDX-License-Identifier: GPL-3.0-or-later
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

void ResultLayers::attachScan(std::span<const std::uint8_t> rows, std::int32_t width, std::int32_t height) const {
    m_scan.attach(rows, width, height, rowStride(width));
    if (!m_lineColorWhite) {
        m_scan.invert();
    }
}

void ResultLayers::ownRows() const {
    if (m_ownsRows) {
        return;
    }
    const auto size = static_cast<std::size_t>(rowStride(width()) * height());
    LargeBuffer rows(size);
    splitAcrossCores(static_cast<std::int64_t>(std::min(size, m_source.size())),
                     [&](std::int64_t first, std::int64_t end) {
                         std::copy(m_source.begin() + first, m_source.begin() + end, rows.begin() + first);
                     });
    m_rows = std::move(rows);
    m_source = {};
    attachScan({m_rows.data(), size}, width(), height());
    m_ownsRows = true;
}

ResultLayers::ResultLayers(const BitmapData& bitmap, const ConversionSettings& settings, const SkewOf& skewOf)
    : m_lineColorWhite(settings.LineColorWhite), m_source(bitmap.PixelBytes) {
    const std::int32_t width = bitmapWidth(bitmap.BmpHeader);
    const std::int32_t height = bitmapHeight(bitmap.BmpHeader);
    attachScan(m_source, width, height);
    if (m_source.size() < static_cast<std::size_t>(rowStride(width) * height)) {
        ownRows();  // rows missing from the picture read as background
    }
    if (skewOf) {
        const double skew = skewOf(m_scan);
        if (turnMovesCells(width, height, skew)) {
            SilentReport report;
            turnGrid(m_scan, -skew, m_turned, report);
            m_scan = m_turned.vram;  // the picture read is no longer needed
            m_source = {};
            m_ownsRows = true;
        }
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
