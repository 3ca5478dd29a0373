// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/ResultTile.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "convert/ResultLayers.h"

namespace kelvarin {

CellPixels cellPixels(std::int64_t cell, double zoom) {
    return {static_cast<std::int64_t>(std::ceil(static_cast<double>(cell) * zoom)),
            static_cast<std::int64_t>(std::ceil(static_cast<double>(cell + 1) * zoom))};
}

namespace {

// The cells first .. last (inclusive) that screen pixel `pixel` covers, at zoom < 1, in level-0 cells.
struct CellRange {
    std::int64_t first;
    std::int64_t last;
};
CellRange coveredCells(std::int64_t pixel, double zoom) {
    const auto first = static_cast<std::int64_t>(std::floor(static_cast<double>(pixel) / zoom));
    const auto last = static_cast<std::int64_t>(std::ceil(static_cast<double>(pixel + 1) / zoom)) - 1;
    return {first, std::max(first, last)};
}

// Any of the cells first .. last set in a row of words starting at word firstWord.
bool anySet(const std::vector<std::uint64_t>& words, std::int64_t firstWord, std::int64_t first, std::int64_t last) {
    for (std::int64_t index = first >> 6; index <= last >> 6; ++index) {
        const std::int64_t from = std::max<std::int64_t>(first - index * 64, 0);
        const std::int64_t to = std::min<std::int64_t>(last - index * 64, 63);
        const std::uint64_t mask = (~std::uint64_t{0} >> from) & (~std::uint64_t{0} << (63 - to));
        if ((words[static_cast<std::size_t>(index - firstWord)] & mask) != 0) {
            return true;
        }
    }
    return false;
}

// The rows of one pyramid level (0: the full-size source) ORed together over a span of words.
class LevelRows {
public:
    LevelRows(const RowSource& base, const BitPyramid& pyramid, int level, std::int64_t firstWord,
              std::int64_t lastWord)
        : m_base(base),
          m_plane(level > 0 ? &pyramid.level(level) : nullptr),
          m_firstWord(firstWord),
          m_words(static_cast<std::size_t>(lastWord - firstWord + 1)),
          m_row(m_words.size()) {}

    // ORs the rows first .. last of the level.
    const std::vector<std::uint64_t>& rows(std::int64_t first, std::int64_t last) {
        std::fill(m_words.begin(), m_words.end(), 0);
        for (std::int64_t y = first; y <= last; ++y) {
            const auto row = static_cast<std::int32_t>(y);
            if (m_plane != nullptr) {
                const std::uint64_t* words = m_plane->row(row) + m_firstWord;
                std::copy_n(words, m_row.size(), m_row.begin());
            } else {
                m_base.readRow(row, static_cast<std::int32_t>(m_firstWord), m_row);
            }
            for (std::size_t i = 0; i < m_words.size(); ++i) {
                m_words[i] |= m_row[i];
            }
        }
        return m_words;
    }
    std::int64_t firstWord() const { return m_firstWord; }

private:
    const RowSource& m_base;
    const BitPlane* m_plane;
    std::int64_t m_firstWord;
    std::vector<std::uint64_t> m_words;
    std::vector<std::uint64_t> m_row;
};

void renderReduced(const ResultLayers& layers, const TileRequest& request, std::span<std::uint8_t> pixels) {
    const std::int64_t width = layers.width();
    const std::int64_t height = layers.height();
    int level = 0;
    while (level < layers.scanPyramid().levelCount() && std::ldexp(request.zoom, level + 1) <= 1) {
        ++level;
    }
    // Each column's cells at the level; columns wholly past the picture are outside.
    std::vector<CellRange> columns(static_cast<std::size_t>(request.width));
    std::int64_t firstCell = -1;
    std::int64_t lastCell = -1;
    for (int i = 0; i < request.width; ++i) {
        CellRange cells = coveredCells(request.left + i, request.zoom);
        if (cells.first >= width || cells.first < 0) {
            columns[static_cast<std::size_t>(i)] = {-1, -1};
            continue;
        }
        cells = {cells.first >> level, std::min(cells.last, width - 1) >> level};
        columns[static_cast<std::size_t>(i)] = cells;
        firstCell = firstCell < 0 ? cells.first : firstCell;
        lastCell = cells.last;
    }
    std::fill(pixels.begin(), pixels.end(), static_cast<std::uint8_t>(TileColour::Outside));
    if (firstCell < 0) {
        return;
    }
    LevelRows scan(layers.scanRows(), layers.scanPyramid(), level, firstCell >> 6, lastCell >> 6);
    LevelRows lines(layers.lines(), layers.linePyramid(), level, firstCell >> 6, lastCell >> 6);
    for (int j = 0; j < request.height; ++j) {
        const CellRange rows = coveredCells(request.top + j, request.zoom);
        if (rows.first >= height || rows.first < 0) {
            continue;
        }
        // Stored rows count from the bottom.
        const std::int64_t lowest = (height - 1 - std::min(rows.last, height - 1)) >> level;
        const std::int64_t highest = (height - 1 - rows.first) >> level;
        const std::vector<std::uint64_t>* lineWords =
            request.showLines && !layers.lines().none() ? &lines.rows(lowest, highest) : nullptr;
        const std::vector<std::uint64_t>* scanWords = request.showScan ? &scan.rows(lowest, highest) : nullptr;
        std::uint8_t* out = pixels.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(request.width);
        for (int i = 0; i < request.width; ++i) {
            const CellRange cells = columns[static_cast<std::size_t>(i)];
            if (cells.first < 0) {
                continue;
            }
            TileColour colour = TileColour::Paper;
            if (lineWords != nullptr && anySet(*lineWords, lines.firstWord(), cells.first, cells.last)) {
                colour = TileColour::Line;
            } else if (scanWords != nullptr && anySet(*scanWords, scan.firstWord(), cells.first, cells.last)) {
                colour = TileColour::Scan;
            }
            out[i] = static_cast<std::uint8_t>(colour);
        }
    }
}

// Where a screen pixel lies against the middle pixel of its cell, along one axis: -1 before, 0 on, 1 after.
int sideOfMiddle(std::int64_t pixel, std::int64_t cell, double zoom) {
    const std::int64_t middle = cellPixels(cell, zoom).middle();
    return pixel < middle ? -1 : pixel == middle ? 0 : 1;
}

// The cells of one stored row that a tile shows, with a cell of margin on each side (index 0 is cell
// first - 1): which are scan, which lie on horizontal and vertical LINEs, and where a vertical LINE runs on
// to the row above or below on the screen.
struct CellRow {
    std::vector<std::uint8_t> scan, horizontal, vertical, verticalAbove, verticalBelow;

    void read(const ResultLayers& layers, std::int32_t y, std::int64_t first, std::int64_t last) {
        const auto size = static_cast<std::size_t>(last - first + 3);
        for (auto* cells : {&scan, &horizontal, &vertical, &verticalAbove, &verticalBelow}) {
            cells->assign(size, 0);
        }
        const LineCells& lines = layers.lines();
        const std::int64_t from = std::max<std::int64_t>(first - 1, 0);
        const std::int64_t to = std::min<std::int64_t>(last + 1, layers.width() - 1);
        for (std::int64_t index = from >> 6; index <= to >> 6; ++index) {
            const auto word = static_cast<std::int32_t>(index);
            const std::uint64_t scanCells = layers.scan().word(y, word);
            const std::uint64_t horizontalCells = lines.horizontalWord(y, word);
            const std::uint64_t verticalCells = lines.verticalWord(y, word);
            const std::uint64_t above = y + 1 < layers.height() ? verticalCells & lines.verticalWord(y + 1, word) : 0;
            const std::uint64_t below = y > 0 ? verticalCells & lines.verticalWord(y - 1, word) : 0;
            for (std::int64_t cell = std::max(from, index * 64); cell <= std::min(to, index * 64 + 63); ++cell) {
                const int shift = 63 - static_cast<int>(cell - index * 64);
                const auto k = static_cast<std::size_t>(cell - first + 1);
                const auto x = static_cast<std::int32_t>(cell);
                scan[k] = scanCells >> shift & 1;
                horizontal[k] = horizontalCells >> shift & 1;
                vertical[k] = verticalCells >> shift & 1;
                verticalAbove[k] = (above >> shift & 1) != 0 && !lines.verticalBreak(x, y + 1);
                verticalBelow[k] = (below >> shift & 1) != 0 && !lines.verticalBreak(x, y);
            }
        }
    }
};

void renderMagnified(const ResultLayers& layers, const TileRequest& request, std::span<std::uint8_t> pixels) {
    const std::int64_t width = layers.width();
    const std::int64_t height = layers.height();
    const auto cellOf = [&request](std::int64_t pixel) {
        return static_cast<std::int64_t>(std::floor(static_cast<double>(pixel) / request.zoom));
    };
    // Each column's cell (-1 outside) and side of its cell's middle.
    std::vector<std::int64_t> columnCell(static_cast<std::size_t>(request.width));
    std::vector<int> columnSide(columnCell.size());
    std::int64_t first = -1;
    std::int64_t last = -1;
    for (int i = 0; i < request.width; ++i) {
        const std::int64_t px = request.left + i;
        const std::int64_t cell = px < 0 ? -1 : cellOf(px);
        columnCell[static_cast<std::size_t>(i)] = cell < width ? cell : -1;
        if (cell >= 0 && cell < width) {
            columnSide[static_cast<std::size_t>(i)] = sideOfMiddle(px, cell, request.zoom);
            first = first < 0 ? cell : first;
            last = cell;
        }
    }
    std::fill(pixels.begin(), pixels.end(), static_cast<std::uint8_t>(TileColour::Outside));
    CellRow row;
    std::int64_t rowRead = -1;
    for (int j = 0; j < request.height && first >= 0; ++j) {
        const std::int64_t py = request.top + j;
        const std::int64_t fromTop = py < 0 ? -1 : cellOf(py);
        if (fromTop < 0 || fromTop >= height) {
            continue;
        }
        if (fromTop != rowRead) {
            row.read(layers, static_cast<std::int32_t>(height - 1 - fromTop), first, last);
            rowRead = fromTop;
        }
        const int rowSide = sideOfMiddle(py, fromTop, request.zoom);
        std::uint8_t* out = pixels.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(request.width);
        for (int i = 0; i < request.width; ++i) {
            const std::int64_t cell = columnCell[static_cast<std::size_t>(i)];
            if (cell < 0) {
                continue;
            }
            const auto k = static_cast<std::size_t>(cell - first + 1);
            const int side = columnSide[static_cast<std::size_t>(i)];
            // A horizontal LINE runs along the middle pixel row from the middle of its first cell to that
            // of its last; a vertical one likewise down the middle pixel column.
            const bool onHorizontal =
                rowSide == 0 && row.horizontal[k] != 0 && (side == 0 || row.horizontal[side > 0 ? k + 1 : k - 1] != 0);
            const bool onVertical = side == 0 && row.vertical[k] != 0 &&
                                    (rowSide == 0 || (rowSide < 0 ? row.verticalAbove[k] : row.verticalBelow[k]) != 0);
            TileColour colour = TileColour::Paper;
            if (request.showLines && (onHorizontal || onVertical)) {
                colour = TileColour::Line;
            } else if (request.showScan && row.scan[k] != 0) {
                colour = TileColour::Scan;
            }
            out[i] = static_cast<std::uint8_t>(colour);
        }
    }
}

}  // namespace

void renderTile(const ResultLayers& layers, const TileRequest& request, std::span<std::uint8_t> pixels) {
    if (request.zoom < 1) {
        renderReduced(layers, request, pixels);
    } else {
        renderMagnified(layers, request, pixels);
    }
}

}  // namespace kelvarin
