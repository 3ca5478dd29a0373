// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/raster/Hollowing.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "common/Toolkit.h"
#include "convert/LineSegmentList.h"
#include "convert/RowRunBands.h"

namespace kelvarin {

namespace {

using Row = std::vector<std::uint64_t>;

constexpr std::int32_t kPinhole = 1;  // cells across a gap in a row that the interior seen closes

// Sets cells first .. last of a row of words, the leftmost cell in a word's most significant bit.
void setCells(Row& row, std::int32_t first, std::int32_t last) {
    for (std::int32_t x = first; x <= last;) {
        const std::int32_t bit = x % 64;
        const std::int32_t count = std::min(64 - bit, last - x + 1);
        const std::uint64_t ones = count == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << count) - 1);
        row[static_cast<std::size_t>(x / 64)] |= ones << (64 - bit - count);
        x += count;
    }
}

// The cells of a row, given its runs, whose run reaches rim cells or more either side; whether there are any.
// The row holds no cell when it held none before (was) and still holds none.
bool erodeAlongRow(const std::vector<LineSegment>& runs, std::int32_t rim, bool was, Row& row) {
    if (was) {
        std::fill(row.begin(), row.end(), 0);
    }
    bool any = false;
    for (const LineSegment& run : runs) {
        if (run.SpanX > 2 * rim) {
            setCells(row, run.StartX + rim, run.StartX + run.SpanX - 1 - rim);
            any = true;
        }
    }
    return any;
}

// The runs of a row with the gaps of up to gap cells between them closed: pinholes the scan left in a filled dot.
void bridgeGaps(const std::vector<LineSegment>& runs, std::int32_t gap, std::vector<LineSegment>& bridged) {
    bridged.clear();
    for (const LineSegment& run : runs) {
        if (!bridged.empty() && run.StartX - (bridged.back().StartX + bridged.back().SpanX) <= gap) {
            bridged.back().SpanX = run.StartX + run.SpanX - bridged.back().StartX;
        } else {
            bridged.push_back(run);
        }
    }
}

// Finds the interior of a grid's rows as their runs come in, bottom row first: the line cells farther than
// rim cells from the background, in rows and columns at once (a square). A row's interior is known once the
// rim rows above it have come.
class RowErosion {
public:
    RowErosion(std::int32_t rim, std::size_t words, std::int32_t height)
        : m_rim(rim),
          m_height(height),
          m_eroded(static_cast<std::size_t>(2 * rim + 1), Row(words, 0)),
          m_some(m_eroded.size(), false),
          m_interior(words) {}

    // Takes the runs of row y (none past the top row) and passes the interior of row y - rim to visit.
    void add(std::int32_t y, const std::vector<LineSegment>& runs, const InteriorRowVisit& visit) {
        const std::size_t window = m_eroded.size();
        const std::size_t slot = static_cast<std::size_t>(y) % window;
        m_some[slot] = erodeAlongRow(runs, m_rim, m_some[slot], m_eroded[slot]);
        const std::int32_t centre = y - m_rim;
        if (centre < 0 || centre >= m_height) {
            return;
        }
        // Interior: eroded along the rows in every row of the window about the centre row; none when a row
        // of the window has no eroded cell, as most rows of a drawing's window have not.
        bool any = false;
        if (centre < m_rim || std::find(m_some.begin(), m_some.end(), false) != m_some.end()) {
            if (m_interiorSome) {
                std::fill(m_interior.begin(), m_interior.end(), 0);
            }
            m_interiorSome = false;
            visit(centre, m_interior, any);
            return;
        }
        for (std::size_t i = 0; i < m_interior.size(); ++i) {
            std::uint64_t all = centre >= m_rim ? ~std::uint64_t{0} : 0;
            for (std::size_t k = 0; k < window && all != 0; ++k) {
                all &= m_eroded[k][i];
            }
            m_interior[i] = all;
            any = any || all != 0;
        }
        m_interiorSome = any;
        visit(centre, m_interior, any);
    }

private:
    std::int32_t m_rim, m_height;
    std::vector<Row> m_eroded;  // the last 2 x rim + 1 rows eroded along the rows, by row number modulo that
    std::vector<bool> m_some;   // whether each of them has a cell
    Row m_interior;
    bool m_interiorSome = false;  // whether the interior last passed on has a cell
};

// Sets in out every cell within reach cells of a set cell of in along the row.
void widenAlongRow(const Row& in, std::int32_t reach, Row& out) {
    out = in;
    Row step(in.size());
    for (std::int32_t k = 0; k < reach; ++k) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            const std::uint64_t fromRight = i + 1 < out.size() ? out[i + 1] >> 63 : 0;
            const std::uint64_t fromLeft = i > 0 ? out[i - 1] << 63 : 0;
            step[i] = out[i] | out[i] << 1 | fromRight | out[i] >> 1 | fromLeft;
        }
        out.swap(step);
    }
}

void storeRow(HollowedGrid& hollowed, std::int32_t y, const Row& row) {
    unsigned char* bytes = hollowed.rows.data() + static_cast<std::size_t>(y) * row.size() * 8;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const std::uint64_t word = __builtin_bswap64(row[i]);
        std::memcpy(bytes + i * 8, &word, sizeof word);
    }
}

// Writes the hollowed grid row by row as the interiors come in: each row cleared where an interior, widened
// by reach cells, lies within reach rows. Nothing is written before the first interior: a page without one
// is not copied.
class HollowWriter {
public:
    HollowWriter(const VirtualVram& grid, std::int32_t reach, HollowedGrid& hollowed)
        : m_grid(grid),
          m_hollowed(hollowed),
          m_reach(reach),
          m_words(static_cast<std::size_t>(grid.wordsPerRow())),
          m_widened(static_cast<std::size_t>(2 * reach + 1), Row(m_words, 0)),
          m_some(m_widened.size(), false),
          m_row(m_words),
          m_cleared(m_words) {}

    bool copying() const { return m_copying; }
    std::size_t window() const { return m_widened.size(); }

    // Takes the interior of row centre and writes the row whose widened window it completes.
    void add(std::int32_t centre, const Row& interior, bool any) {
        const std::size_t slot = static_cast<std::size_t>(centre) % m_widened.size();
        if (any) {
            widenAlongRow(interior, m_reach, m_widened[slot]);
        } else if (m_some[slot]) {
            std::fill(m_widened[slot].begin(), m_widened[slot].end(), 0);
        }
        m_some[slot] = any;
        const std::int32_t done = centre - m_reach;
        if (done < 0) {
            return;
        }
        // Most rows of a drawing have no interior within reach: only the widened rows with one are looked at.
        std::fill(m_cleared.begin(), m_cleared.end(), 0);
        for (std::size_t k = 0; k < m_widened.size(); ++k) {
            if (m_some[k]) {
                for (std::size_t i = 0; i < m_words; ++i) {
                    m_cleared[i] |= m_widened[k][i];
                }
            }
        }
        if (any && !m_copying) {
            startCopy(done);
        }
        if (m_copying) {
            for (std::size_t i = 0; i < m_words; ++i) {
                m_row[i] = m_grid.word(done, static_cast<std::int32_t>(i)) & ~m_cleared[i];
            }
            storeRow(m_hollowed, done, m_row);
        }
    }

private:
    // Makes the hollowed grid and copies the rows below row done into it as they are.
    void startCopy(std::int32_t done) {
        m_copying = true;
        const std::int64_t stride = static_cast<std::int64_t>(m_words) * 8;
        m_hollowed.rows = LargeBuffer(static_cast<std::size_t>(stride * m_grid.height()));
        m_hollowed.vram.attach({m_hollowed.rows.data(), m_hollowed.rows.size()}, m_grid.width(), m_grid.height(),
                               stride);
        for (std::int32_t earlier = 0; earlier < done; ++earlier) {
            for (std::size_t i = 0; i < m_words; ++i) {
                m_row[i] = m_grid.word(earlier, static_cast<std::int32_t>(i));
            }
            storeRow(m_hollowed, earlier, m_row);
        }
    }

    const VirtualVram& m_grid;
    HollowedGrid& m_hollowed;
    std::int32_t m_reach;
    std::size_t m_words;
    std::vector<Row> m_widened;  // the last 2 x reach + 1 interiors widened along the rows, by row number modulo that
    std::vector<bool> m_some;    // whether each of them has a cell set
    Row m_row, m_cleared;
    bool m_copying = false;
};

}  // namespace

bool hollowFilledAreas(const VirtualVram& grid, std::int32_t rim, HollowedGrid& hollowed, Toolkit& toolkit,
                       WorkerPool& pool, std::int32_t keptRim, std::int32_t seenRim,
                       const InteriorRowVisit& interiorSeen) {
    const std::int32_t height = grid.height();
    const auto words = static_cast<std::size_t>(grid.wordsPerRow());
    // An interior cell has 2 x rim + 1 rows of eroded cells about it: a page lower than that has none, and a
    // strip of a page would otherwise take that many rows of its width.
    if (height < 2 * rim + 1) {
        return false;
    }
    // The interior is widened by reach cells each way, so that a rim of keptRim cells is left.
    const std::int32_t reach = keptRim > 0 ? std::max(0, rim - keptRim) : 0;
    HollowWriter writer(grid, reach, hollowed);
    const auto clearRow = [&](std::int32_t centre, const Row& interior, bool any) {
        writer.add(centre, interior, any);
    };
    RowErosion erosion(rim, words, height);
    std::optional<RowErosion> seen;
    if (interiorSeen && height >= 2 * seenRim + 1) {
        seen.emplace(seenRim, words, height);
    }
    // The interior seen looks through pinholes: a filled dot's core lies as deep with them as without.
    std::vector<LineSegment> bridged;
    const auto erode = [&](std::int32_t y, const std::vector<LineSegment>& runs) {
        toolkit.doEvents(static_cast<std::int64_t>(words) * (2 * rim + 1));
        erosion.add(y, runs, clearRow);
        if (seen) {
            bridgeGaps(runs, kPinhole, bridged);
            seen->add(y, bridged, interiorSeen);
        }
    };
    forEachRowsRuns(grid, &pool, erode);
    // The rows past the top, which complete the interiors of the last rows.
    const std::vector<LineSegment> noRuns;
    for (std::int32_t y = height; y < height + std::max(rim, seen ? seenRim : 0); ++y) {
        erode(y, noRuns);
    }
    // The last reach rows, past which no interior lies.
    const Row none(words, 0);
    for (std::int32_t centre = height; centre < height + reach; ++centre) {
        toolkit.doEvents(static_cast<std::int64_t>(words * writer.window()));
        writer.add(centre, none, false);
    }
    return writer.copying();
}

}  // namespace kelvarin
