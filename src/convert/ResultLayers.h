// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "bitmap/BitmapData.h"
#include "common/LargeBuffer.h"
#include "convert/BitPyramid.h"
#include "convert/ConversionSettings.h"
#include "convert/Despeckle.h"
#include "convert/LineCells.h"
#include "convert/PictureTurn.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

// A grid's cells as rows of words.
class GridRows : public RowSource {
public:
    explicit GridRows(const VirtualVram& grid) : m_grid(grid) {}
    void readRow(std::int32_t y, std::int32_t firstWord, std::span<std::uint64_t> words) const override {
        for (std::size_t i = 0; i < words.size(); ++i) {
            words[i] = m_grid.word(y, firstWord + static_cast<std::int32_t>(i));
        }
    }

private:
    const VirtualVram& m_grid;
};

// What the result view draws of a run or stroke conversion: the scan's line cells and where the LINEs
// lie, each with a pyramid for drawing it small. The LINEs themselves are never listed, only found again
// where they are drawn. A conversion without runs (its LINEs, if any, drawn from elsewhere) has settings
// with both directions off.
class ResultLayers {
public:
    // The skew of a page's line cells, in degrees counter-clockwise, that a deskewing conversion takes out.
    using SkewOf = std::function<double(const VirtualVram& lineCells)>;

    // Deskews (when skewOf is given), despeckles and finds strokes as a conversion with these settings does;
    // a deskewed scan is shown turned, as its LINEs were found. The picture must be a readable one (a
    // conversion or a read has accepted it); its rows are read where they are until ownRows(), and must not
    // change before.
    ResultLayers(const BitmapData& bitmap, const ConversionSettings& settings, const SkewOf& skewOf = {});
    ResultLayers(const ResultLayers&) = delete;
    ResultLayers& operator=(const ResultLayers&) = delete;

    // Copies the picture's rows, so that the picture read may change; does nothing the second time. The
    // cells stay the same: a copy made once it is needed, not at once, spares the opening its time.
    void ownRows() const;

    std::int32_t width() const { return m_scan.width(); }
    std::int32_t height() const { return m_scan.height(); }
    // The line cells of the picture as read, before despeckling.
    const VirtualVram& scan() const { return m_scan; }
    const RowSource& scanRows() const { return m_scanRows; }
    const BitPyramid& scanPyramid() const { return m_scanPyramid; }
    const LineCells& lines() const { return m_lines; }
    // The scan's when the LINEs cover the same cells, or when there are none (then it is not read).
    const BitPyramid& linePyramid() const { return m_sharedPyramid || m_lines.none() ? m_scanPyramid : m_linePyramid; }

private:
    void attachScan(std::span<const std::uint8_t> rows, std::int32_t width, std::int32_t height) const;

    bool m_lineColorWhite = false;
    mutable std::span<const std::uint8_t> m_source;  // the picture's rows until they are copied
    mutable bool m_ownsRows = false;
    mutable LargeBuffer m_rows;
    mutable VirtualVram m_scan;
    GridRows m_scanRows{m_scan};
    TurnedGrid m_turned;
    CleanedGrid m_cleaned;
    LineCells m_lines;
    BitPyramid m_scanPyramid;
    BitPyramid m_linePyramid;
    bool m_sharedPyramid = false;
};

}  // namespace kelvarin
