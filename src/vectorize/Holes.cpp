// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/Holes.h"

#include <algorithm>
#include <numbers>

#include "common/WorkerPool.h"
#include "convert/LineSegmentList.h"
#include "vectorize/InkProbe.h"
#include "vectorize/RunGroups.h"

namespace kelvarin {

namespace {

// The stretches of background joined so far while the rows of a band are read one by one: each stretch
// of a row starts a part or joins the parts it touches in the row before. A part that no stretch of the next
// row goes on with is whole. Parts keep their box and size only: the few holes looked at closely are
// traced again.
class HoleTracker {
public:
    HoleTracker(std::int32_t first, std::int32_t last) : m_first(first), m_last(last) {
        m_parts.push_back({{}, 0, 0, 0, 0, true});
        m_parent.push_back(kOpenPart);
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
                part = part == kNone ? root(m_previous[k].part) : join(part, root(m_previous[k].part));
            }
            if (edge || open || right - left + 1 > kLargestHole) {
                part = part == kNone ? kOpenPart : join(part, kOpenPart);
            } else if (part == kNone) {
                part = static_cast<std::uint32_t>(m_parts.size());
                m_parts.push_back({{}, 0, 0, left, y, false});
                m_parent.push_back(part);
            }
            if (part != kOpenPart) {
                Part& into = m_parts[part];
                into.lastRow = y;
                into.box.add({left, right, y, y});
                into.cells += right - left + 1;
                if (std::max(into.box.width(), into.box.height()) > kLargestHole) {
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
            Part& part = m_parts[root(stretch.part)];
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

    std::uint32_t root(std::uint32_t i) {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    // Joins part b into part a, both roots, and gives the root.
    std::uint32_t join(std::uint32_t a, std::uint32_t b) {
        if (a == b) {
            return a;
        }
        if (a == kOpenPart || b == kOpenPart) {
            m_parent[a == kOpenPart ? b : a] = kOpenPart;
            return kOpenPart;
        }
        Part& into = m_parts[a];
        Part& from = m_parts[b];
        m_parent[b] = a;
        into.box.add(from.box);
        into.cells += from.cells;
        if (std::max(into.box.width(), into.box.height()) > kLargestHole) {
            m_parent[a] = kOpenPart;
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
    std::vector<Part> m_parts;
    std::vector<std::uint32_t> m_parent;
    std::vector<Stretch> m_previous, m_current;
};

}  // namespace

std::vector<Hole> holesInBand(const VirtualVram& grid, const RunGroups& rows, std::int32_t first) {
    const std::int32_t low = std::max(0, first - 1);
    const std::int32_t high = std::min(grid.height() - 1, first + kHoleBandRows + kLargestHole);
    HoleTracker tracker(first, first + kHoleBandRows - 1);
    std::vector<Hole> holes;
    std::vector<LineSegment> runs;
    for (std::int32_t y = low; y <= high; ++y) {
        runs.clear();
        rows.rowRuns(y, runs);
        tracker.addRow(y, runs, grid.width(), y == low || y == high, holes);
    }
    return holes;
}

PageHoles holesOfPage(const VirtualVram& grid, const RunGroups& rows, WorkerPool& pool) {
    const auto bands = static_cast<std::size_t>((grid.height() + kHoleBandRows - 1) / kHoleBandRows);
    PageHoles found(bands);
    pool.run(bands, [&](std::size_t band, std::int32_t) {
        found[band] = holesInBand(grid, rows, static_cast<std::int32_t>(band) * kHoleBandRows);
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

std::vector<Gap> gapsOf(const VirtualVram& grid, const Hole& hole) {
    const Box& box = hole.box;
    const std::int32_t width = box.width();
    std::vector<bool> inside(static_cast<std::size_t>(width * box.height()), false);
    const auto place = [&](std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>((y - box.bottom) * width + (x - box.left));
    };
    const auto open = [&](std::int32_t x, std::int32_t y) { return !inside[place(x, y)] && grid.at(x, y) == 0; };
    // Filled a row's stretch at a time: each cell taken from the stack is widened to the whole stretch of
    // background it stands in, and the rows above and below are looked at along it for stretches to fill.
    std::vector<std::pair<std::int32_t, std::int32_t>> stack{{hole.seedX, hole.seedY}};
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        if (!open(x, y)) {
            continue;
        }
        std::int32_t left = x, right = x;
        while (left > box.left && open(left - 1, y)) {
            --left;
        }
        while (right < box.right && open(right + 1, y)) {
            ++right;
        }
        for (std::int32_t k = left; k <= right; ++k) {
            inside[place(k, y)] = true;
        }
        for (const std::int32_t row : {y - 1, y + 1}) {
            if (row < box.bottom || row > box.top) {
                continue;
            }
            for (std::int32_t k = left; k <= right; ++k) {
                if (open(k, row) && (k == left || !open(k - 1, row))) {
                    stack.emplace_back(k, row);
                }
            }
        }
    }
    std::vector<Gap> gaps;
    for (std::int32_t y = box.bottom; y <= box.top; ++y) {
        for (std::int32_t x = box.left; x <= box.right; ++x) {
            if (inside[place(x, y)] && (x == box.left || !inside[place(x - 1, y)])) {
                gaps.push_back({y, x, x});
            }
            if (inside[place(x, y)]) {
                gaps.back().right = x;
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
