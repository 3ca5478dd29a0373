// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/raster/Holes.h"

#include <algorithm>
#include <bit>
#include <numbers>

#include "common/DisjointSets.h"
#include "common/WorkerPool.h"
#include "convert/LineSegmentList.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {

namespace {

// The stretches of background joined so far while the rows of a band are read one by one: each stretch
// of a row starts a part or joins the parts it touches in the row before. A part that no stretch of the next
// row goes on with is whole. Parts keep their box and size only: the few holes looked at closely are
// traced again.
class HoleTracker {
public:
    HoleTracker(std::int32_t first, std::int32_t last, std::int32_t largest)
        : m_first(first), m_last(last), m_largest(largest) {
        m_parts.push_back({{}, 0, 0, 0, 0, true});
        m_sets.add();  // kOpenPart
    }

    // Adds the stretches of background of row y, each part that ended with row y - 1 to holes when it is one.
    void addRow(std::int32_t y, const std::vector<LineSegment>& runs, std::int32_t width, bool open,
                std::vector<Hole>& holes) {
        m_current.clear();
        std::size_t above = 0;
        const auto addGap = [&](std::int32_t left, std::int32_t right, bool edge) {
            if (left > right) {
                return;
            }
            // Background cells touch across rows by their sides only: ink joins diagonally.
            while (above < m_previous.size() && m_previous[above].right < left) {
                ++above;
            }
            std::uint32_t part = kNone;
            for (std::size_t k = above; k < m_previous.size() && m_previous[k].left <= right; ++k) {
                part = part == kNone ? m_sets.find(m_previous[k].part) : join(part, m_sets.find(m_previous[k].part));
            }
            if (edge || open || right - left + 1 > m_largest) {
                part = part == kNone ? kOpenPart : join(part, kOpenPart);
            } else if (part == kNone) {
                part = m_sets.add();
                m_parts.push_back({{}, 0, 0, left, y, false});
            }
            if (part != kOpenPart) {
                Part& into = m_parts[part];
                into.lastRow = y;
                into.box.add({left, right, y, y});
                into.cells += right - left + 1;
                if (std::max(into.box.width(), into.box.height()) > m_largest) {
                    part = join(part, kOpenPart);
                }
            }
            m_current.push_back({left, right, part});
        };
        std::int32_t x = 0;
        for (const LineSegment& run : runs) {
            addGap(x, run.StartX - 1, x == 0);
            x = run.StartX + run.SpanX;
        }
        addGap(x, width - 1, true);
        for (const Stretch& stretch : m_previous) {
            Part& part = m_parts[m_sets.find(stretch.part)];
            if (part.lastRow < y && !part.open) {
                finish(part, holes);
            }
        }
        std::swap(m_previous, m_current);
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    static constexpr std::uint32_t kOpenPart = 0;  // all the background that is no hole, joined
    struct Part {
        Box box;
        std::int32_t cells = 0, lastRow = 0, seedX = 0, seedY = 0;
        bool open = false;  // the open part, or one taken already
    };
    struct Stretch {
        std::int32_t left, right;
        std::uint32_t part;
    };

    // Joins part b into part a, both roots, and gives the root.
    std::uint32_t join(std::uint32_t a, std::uint32_t b) {
        if (a == b) {
            return a;
        }
        if (a == kOpenPart || b == kOpenPart) {
            m_sets.link(kOpenPart, a == kOpenPart ? b : a);
            return kOpenPart;
        }
        Part& into = m_parts[a];
        Part& from = m_parts[b];
        m_sets.link(a, b);
        into.box.add(from.box);
        into.cells += from.cells;
        if (std::max(into.box.width(), into.box.height()) > m_largest) {
            m_sets.link(kOpenPart, a);
            return kOpenPart;
        }
        return a;
    }
    void finish(Part& part, std::vector<Hole>& holes) {
        part.open = true;  // taken once
        if (part.box.bottom >= m_first && part.box.bottom <= m_last &&
            std::min(part.box.width(), part.box.height()) >= kSmallestPiece) {
            holes.push_back({part.box, part.cells, part.seedX, part.seedY});
        }
    }

    std::int32_t m_first, m_last;  // rows in which the band's holes have their lowest
    std::int32_t m_largest;        // dots across a hole, at most
    std::vector<Part> m_parts;
    DisjointSets<std::uint32_t> m_sets;  // parts, numbered as in m_parts
    std::vector<Stretch> m_previous, m_current;
};

}  // namespace

std::vector<Hole> holesInBand(const VirtualVram& grid, const RunGroups& rows, std::int32_t first,
                              std::int32_t largest) {
    const std::int32_t bandRows = holeBandRows(largest);
    const std::int32_t low = std::max(0, first - 1);
    const std::int32_t high = std::min(grid.height() - 1, first + bandRows + largest);
    HoleTracker tracker(first, first + bandRows - 1, largest);
    std::vector<Hole> holes;
    std::vector<LineSegment> runs;
    for (std::int32_t y = low; y <= high; ++y) {
        runs.clear();
        rows.rowRuns(y, runs);
        tracker.addRow(y, runs, grid.width(), y == low || y == high, holes);
    }
    return holes;
}

PageHoles holesOfPage(const VirtualVram& grid, const RunGroups& rows, std::int32_t largest, WorkerPool& pool) {
    const std::int32_t bandRows = holeBandRows(largest);
    const auto bands = static_cast<std::size_t>((grid.height() + bandRows - 1) / bandRows);
    PageHoles found(bands);
    pool.run(bands, [&](std::size_t band, std::int32_t) {
        found[band] = holesInBand(grid, rows, static_cast<std::int32_t>(band) * bandRows, largest);
    });
    return found;
}

std::vector<const Hole*> listedHoles(const PageHoles& holes) {
    std::vector<const Hole*> listed;
    for (const std::vector<Hole>& band : holes) {
        for (const Hole& hole : band) {
            listed.push_back(&hole);
        }
    }
    return listed;
}

namespace {

// The first cell of row y from x to last that is ink (or background, with ink false), or last + 1.
std::int32_t firstCell(const VirtualVram& grid, std::int32_t y, std::int32_t x, std::int32_t last, bool ink) {
    while (x <= last) {
        const std::uint64_t word = grid.word(y, x / 64) ^ (ink ? 0 : ~std::uint64_t{0});
        const std::uint64_t ahead = word & ~std::uint64_t{0} >> (x % 64);
        if (ahead != 0) {
            return std::min(last + 1, x / 64 * 64 + std::countl_zero(ahead));
        }
        x = (x / 64 + 1) * 64;
    }
    return last + 1;
}

// The stretches of background of row y within the box's columns, left to right.
void backgroundOfRow(const VirtualVram& grid, const Box& box, std::int32_t y, std::vector<Gap>& stretches) {
    for (std::int32_t x = firstCell(grid, y, box.left, box.right, false); x <= box.right;) {
        const std::int32_t end = firstCell(grid, y, x, box.right, true);
        stretches.push_back({y, x, end - 1});
        x = firstCell(grid, y, end, box.right, false);
    }
}

}  // namespace

std::vector<Gap> gapsOf(const VirtualVram& grid, const Hole& hole) {
    // The hole is the box's stretches of background that the seed's reaches through stretches of the rows
    // above and below sharing a column with it: background cells touch across rows by their sides only.
    const Box& box = hole.box;
    std::vector<std::vector<Gap>> rows(static_cast<std::size_t>(box.height()));
    for (std::int32_t y = box.bottom; y <= box.top; ++y) {
        backgroundOfRow(grid, box, y, rows[static_cast<std::size_t>(y - box.bottom)]);
    }
    std::vector<std::vector<char>> taken(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        taken[r].assign(rows[r].size(), 0);
    }
    std::vector<std::pair<std::size_t, std::size_t>> stack;  // row and stretch
    const auto seedRow = static_cast<std::size_t>(hole.seedY - box.bottom);
    for (std::size_t k = 0; k < rows[seedRow].size(); ++k) {
        if (rows[seedRow][k].left <= hole.seedX && hole.seedX <= rows[seedRow][k].right) {
            taken[seedRow][k] = 1;
            stack.emplace_back(seedRow, k);
        }
    }
    while (!stack.empty()) {
        const auto [r, k] = stack.back();
        stack.pop_back();
        const Gap& stretch = rows[r][k];
        for (const std::size_t next : {r - 1, r + 1}) {
            if (next >= rows.size()) {
                continue;  // below the first row, too, as the row number wraps round
            }
            for (std::size_t j = 0; j < rows[next].size() && rows[next][j].left <= stretch.right; ++j) {
                if (rows[next][j].right >= stretch.left && taken[next][j] == 0) {
                    taken[next][j] = 1;
                    stack.emplace_back(next, j);
                }
            }
        }
    }
    std::vector<Gap> gaps;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t k = 0; k < rows[r].size(); ++k) {
            if (taken[r][k] != 0) {
                gaps.push_back(rows[r][k]);
            }
        }
    }
    return gaps;
}

bool symmetricAboutCentre(const Hole& hole, const InkProbe& ink) {
    const Point centre = hole.box.centre();
    const double farthest = std::max(hole.box.width(), hole.box.height());
    const auto reach = [&](Point direction) {
        double t = 0;
        while (t <= farthest && !ink.at(centre + direction * t)) {
            t += 1;
        }
        return t;
    };
    constexpr double kDiagonal = std::numbers::sqrt2 / 2;
    for (const Point direction :
         {Point{1, 0}, Point{0, 1}, Point{kDiagonal, kDiagonal}, Point{kDiagonal, -kDiagonal}}) {
        const double ahead = reach(direction), behind = reach(direction * -1);
        if (ahead < 1 || std::abs(ahead - behind) > 2 + 0.1 * std::max(ahead, behind)) {
            return false;
        }
    }
    return true;
}

}  // namespace kelvarin
