// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "text/Underscores.h"

namespace kelvarin {

namespace {

constexpr double kCapPixels = 40;  // the cap height the reader gets
constexpr double kLeastScale = 0.5;
constexpr double kGreatestScale = 4;

// The line's cells in a box of the page, one byte a cell, but for its underscores: the engine reads a line
// worse with them than with a space (withUnderscores puts them back).
class CellBox {
public:
    CellBox(const std::vector<Glyph>& glyphs, const GlyphLine& line, const LineFrame& frame) {
        const Glyph box = boxOf(glyphs, line);
        m_left = box.left;
        m_bottom = box.bottom;
        m_width = box.width();
        m_height = box.height();
        m_cells.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), 0);
        for (const std::size_t i : line.glyphs) {
            if (isUnderscore(inkExtent(glyphs[i], frame.degrees), frame)) {
                continue;
            }
            for (const LineSegment& run : glyphs[i].runs) {
                std::uint8_t* row = &m_cells[static_cast<std::size_t>(run.StartY - m_bottom) * m_width];
                std::fill_n(row + (run.StartX - m_left), run.SpanX, std::uint8_t{1});
            }
        }
    }

    // How much ink lies at page position (x, y), from 0 to 1, between the four nearest cells.
    double inkAt(double x, double y) const {
        const double fx = x - m_left;
        const double fy = y - m_bottom;
        const auto x0 = static_cast<std::int32_t>(std::floor(fx));
        const auto y0 = static_cast<std::int32_t>(std::floor(fy));
        const double tx = fx - x0;
        const double ty = fy - y0;
        return (1 - ty) * ((1 - tx) * cell(x0, y0) + tx * cell(x0 + 1, y0)) +
               ty * ((1 - tx) * cell(x0, y0 + 1) + tx * cell(x0 + 1, y0 + 1));
    }

private:
    double cell(std::int32_t x, std::int32_t y) const {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
            return 0;
        }
        return m_cells[static_cast<std::size_t>(y) * m_width + static_cast<std::size_t>(x)];
    }

    std::int32_t m_left, m_bottom, m_width, m_height;
    std::vector<std::uint8_t> m_cells;
};

}  // namespace

GreyImage uprightLine(const std::vector<Glyph>& glyphs, const GlyphLine& line, const LineFrame& frame) {
    const CellBox box(glyphs, line, frame);
    const double capHeight = std::max(frame.height(), 1.0);
    const double scale = std::clamp(kCapPixels / capHeight, kLeastScale, kGreatestScale);
    const double margin = std::max(10.0, 0.5 * capHeight * scale);
    GreyImage image;
    image.width = static_cast<std::int32_t>(std::ceil((frame.alongEnd - frame.alongStart) * scale + 2 * margin));
    image.height = static_cast<std::int32_t>(std::ceil((frame.highest - frame.lowest) * scale + 2 * margin));
    image.alongStart = frame.alongStart - margin / scale;
    image.dotsPerPixel = 1 / scale;
    image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 255);
    for (std::int32_t row = 0; row < image.height; ++row) {
        const double across = frame.highest - (row + 0.5 - margin) / scale;
        for (std::int32_t column = 0; column < image.width; ++column) {
            const double alongValue = frame.alongStart + (column + 0.5 - margin) / scale;
            const Point p = frame.at(alongValue, across);
            const double ink = box.inkAt(p.x, p.y);
            image.pixels[static_cast<std::size_t>(row) * image.width + static_cast<std::size_t>(column)] =
                static_cast<std::uint8_t>(std::lround(255 * (1 - ink)));
        }
    }
    return image;
}

}  // namespace kelvarin
