// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "convert/BitPyramid.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

// Where the LINEs of a run or stroke conversion lie, in cells: a horizontal LINE joins the centres of
// consecutive horizontal cells of a row, a vertical LINE those of a column. Runs are read from the grid,
// only in the rows and columns scanned; a stroke's LINE along the middle of its rectangle is drawn into
// planes of its own (on the lower middle row or left middle column of an even thickness), with the places
// where one vertical stroke starts right above another's end. As a row source it gives the cells of both
// kinds together.
class LineCells : public RowSource {
public:
    // The grid must outlive the cells.
    static LineCells ofRuns(const VirtualVram& grid, bool horizontal, bool vertical, std::int32_t thinning);
    static LineCells ofStrokes(const VirtualVram& grid);

    // The LINEs written, runs or strokes: counted in a pass over the grid for runs.
    std::int64_t lineCount() const;
    // No cell lies on a LINE: neither runs nor strokes are drawn.
    bool none() const { return !m_strokes && !m_horizontal && !m_vertical; }
    // Every cell of the grid, and no other, lies on a LINE.
    bool sameAsGrid() const { return !m_strokes && m_horizontal && m_vertical && m_thinning == 1; }

    // The 64 cells from column 64 x index of row y that lie on horizontal, or vertical, LINEs.
    std::uint64_t horizontalWord(std::int32_t y, std::int32_t index) const {
        if (m_strokes) {
            return m_strokes->horizontal.row(y)[index];
        }
        return m_horizontal && y % m_thinning == 0 ? m_grid->word(y, index) : 0;
    }
    std::uint64_t verticalWord(std::int32_t y, std::int32_t index) const {
        if (m_strokes) {
            return m_strokes->vertical.row(y)[index];
        }
        return m_columns.empty() ? 0 : m_grid->word(y, index) & m_columns[static_cast<std::size_t>(index)];
    }
    // Whether a vertical stroke starts at cell (x, y) right above another one's end.
    bool verticalBreak(std::int32_t x, std::int32_t y) const {
        return m_strokes && std::binary_search(m_strokes->starts.begin(), m_strokes->starts.end(), key(x, y));
    }
    void readRow(std::int32_t y, std::int32_t firstWord, std::span<std::uint64_t> words) const override;

private:
    friend class StrokeDrawing;
    static std::uint64_t key(std::int32_t x, std::int32_t y) {
        return std::uint64_t{static_cast<std::uint32_t>(y)} << 32 | static_cast<std::uint32_t>(x);
    }
    struct StrokePlanes {
        BitPlane horizontal;
        BitPlane vertical;
        std::vector<std::uint64_t> starts;  // ascending keys of the first cells of vertical strokes that
                                            // begin right above another
    };

    const VirtualVram* m_grid = nullptr;
    bool m_horizontal = false;
    bool m_vertical = false;
    std::int32_t m_thinning = 1;
    std::vector<std::uint64_t> m_columns;  // per strip of 64 columns, those scanned for vertical runs
    std::optional<StrokePlanes> m_strokes;
    std::int64_t m_strokeCount = 0;
};

}  // namespace kelvarin
