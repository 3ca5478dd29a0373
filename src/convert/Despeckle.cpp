// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/Despeckle.h"

#include <utility>
#include <vector>

#include "common/DisjointSets.h"
#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/LineSegmentList.h"
#include "convert/RowRunBands.h"

namespace kelvarin {

namespace {

// Clears the 8-connected group of line cells around one of its cells.
class GroupEraser {
public:
    GroupEraser(CleanedGrid& cleaned)
        : m_rows(cleaned.rows.data()),
          m_stride(std::int64_t{cleaned.vram.wordsPerRow()} * 8),
          m_width(cleaned.vram.width()),
          m_height(cleaned.vram.height()) {}

    void erase(std::int32_t x, std::int32_t y) {
        clear(x, y);
        m_stack.push_back({x, y});
        while (!m_stack.empty()) {
            const auto [cx, cy] = m_stack.back();
            m_stack.pop_back();
            for (std::int32_t ny = cy - 1; ny <= cy + 1; ++ny) {
                for (std::int32_t nx = cx - 1; nx <= cx + 1; ++nx) {
                    if (nx >= 0 && ny >= 0 && nx < m_width && ny < m_height && isSet(nx, ny)) {
                        clear(nx, ny);
                        m_stack.push_back({nx, ny});
                    }
                }
            }
        }
    }

private:
    unsigned char& byteOf(std::int32_t x, std::int32_t y) const { return m_rows[y * m_stride + x / 8]; }
    static unsigned char bitOf(std::int32_t x) { return static_cast<unsigned char>(0x80 >> (x % 8)); }
    bool isSet(std::int32_t x, std::int32_t y) const { return (byteOf(x, y) & bitOf(x)) != 0; }
    void clear(std::int32_t x, std::int32_t y) const { byteOf(x, y) &= static_cast<unsigned char>(~bitOf(x)); }

    unsigned char* m_rows;
    std::int64_t m_stride;
    std::int32_t m_width;
    std::int32_t m_height;
    std::vector<std::pair<std::int32_t, std::int32_t>> m_stack;
};

// The 8-connected groups that reach the last row taken, as a union-find over their runs, renumbered
// after every row so that it holds no more groups than the row has runs.
class GroupTracker {
public:
    GroupTracker(std::int64_t maxPixels, GroupEraser& eraser) : m_maxPixels(maxPixels), m_eraser(eraser) {}

    void addRow(std::int32_t y, const std::vector<LineSegment>& runs) {
        const auto previousGroups = static_cast<std::int32_t>(m_groups.size());
        m_current.clear();
        std::size_t first = 0;  // the first run of the row before that may touch the run
        for (const LineSegment& found : runs) {
            Run run{found.StartX, found.StartX + found.SpanX - 1, -1};
            while (first < m_previous.size() && m_previous[first].last + 1 < run.first) {
                ++first;
            }
            for (std::size_t k = first; k < m_previous.size() && m_previous[k].first <= run.last + 1; ++k) {
                run.group = run.group < 0 ? m_groups.find(m_previous[k].group) : unite(run.group, m_previous[k].group);
            }
            if (run.group < 0) {
                run.group = newGroup(run.first, y);
            }
            m_size[static_cast<std::size_t>(run.group)] += run.last - run.first + 1;
            m_current.push_back(run);
        }
        renumber(previousGroups);
    }

    // Every group is complete after the last row.
    void finish() {
        m_current.clear();
        renumber(static_cast<std::int32_t>(m_groups.size()));
    }

private:
    struct Run {
        std::int32_t first;
        std::int32_t last;
        std::int32_t group;
    };

    // Joins the group of a run of the row before to root, a root; gives the joined root.
    std::int32_t unite(std::int32_t root, std::int32_t other) {
        other = m_groups.find(other);
        if (other != root) {
            m_groups.link(root, other);
            m_size[static_cast<std::size_t>(root)] += m_size[static_cast<std::size_t>(other)];
        }
        return root;
    }

    std::int32_t newGroup(std::int32_t x, std::int32_t y) {
        const std::int32_t group = m_groups.add();
        m_size.push_back(0);
        m_seed.push_back({x, y});
        return group;
    }

    // Groups of the rows before that no run of this row reaches are complete: the small ones are erased.
    // The groups left are numbered afresh in the order of the row's runs.
    void renumber(std::int32_t previousGroups) {
        m_number.assign(m_groups.size(), -1);
        std::vector<std::int64_t>& sizes = m_nextSize;
        std::vector<std::pair<std::int32_t, std::int32_t>>& seeds = m_nextSeed;
        sizes.clear();
        seeds.clear();
        for (Run& run : m_current) {
            const auto root = static_cast<std::size_t>(m_groups.find(run.group));
            if (m_number[root] < 0) {
                m_number[root] = static_cast<std::int32_t>(sizes.size());
                sizes.push_back(m_size[root]);
                seeds.push_back(m_seed[root]);
            }
            run.group = m_number[root];
        }
        for (std::int32_t group = 0; group < previousGroups; ++group) {
            const auto index = static_cast<std::size_t>(group);
            if (m_groups.isRoot(group) && m_number[index] < 0 && m_size[index] <= m_maxPixels) {
                m_eraser.erase(m_seed[index].first, m_seed[index].second);
            }
        }
        m_groups.reset(sizes.size());
        m_size.swap(sizes);
        m_seed.swap(seeds);
        m_previous.swap(m_current);
    }

    std::int64_t m_maxPixels;
    GroupEraser& m_eraser;
    std::vector<Run> m_previous;
    std::vector<Run> m_current;
    DisjointSets<std::int32_t> m_groups;
    std::vector<std::int64_t> m_size;
    std::vector<std::pair<std::int32_t, std::int32_t>> m_seed;
    std::vector<std::int32_t> m_number;
    std::vector<std::int64_t> m_nextSize;
    std::vector<std::pair<std::int32_t, std::int32_t>> m_nextSeed;
};

}  // namespace

void copyGrid(const VirtualVram& source, CleanedGrid& cleaned, Toolkit& toolkit) {
    const std::int64_t stride = std::int64_t{source.wordsPerRow()} * 8;
    cleaned.rows = LargeBuffer(static_cast<std::size_t>(stride * source.height()));
    unsigned char* out = cleaned.rows.data();
    for (std::int32_t y = 0; y < source.height(); ++y) {
        toolkit.doEvents(source.wordsPerRow());
        for (std::int32_t i = 0; i < source.wordsPerRow(); ++i) {
            const std::uint64_t word = source.word(y, i);
            for (int shift = 56; shift >= 0; shift -= 8) {
                *out++ = static_cast<unsigned char>(word >> shift);
            }
        }
    }
    cleaned.vram.attach({cleaned.rows.data(), cleaned.rows.size()}, source.width(), source.height(), stride);
}

void Despeckle(const BmpHeaderBytes& header, const VirtualVram& source, std::int64_t maxPixels, CleanedGrid& cleaned,
               PassState& pass, Toolkit& toolkit, WorkerPool* pool) {
    pass.CurrentStep = "ゴミ取り";
    const std::int32_t lastRow = gridSizeOf(header, source).height - 1;
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, lastRow);
    copyGrid(source, cleaned, toolkit);
    GroupEraser eraser(cleaned);
    GroupTracker tracker(maxPixels, eraser);
    // The groups erased lie wholly in the rows taken already, so the rows to come are read from the source.
    forEachRowsRuns(source, pool, [&](std::int32_t y, const std::vector<LineSegment>& runs) {
        tracker.addRow(y, runs);
        toolkit.doEvents(cleaned.vram.wordsPerRow());
        progress.update(y, passFraction(y, lastRow));
    });
    tracker.finish();
    progress.finish();
    ++pass.PassNumber;
}

}  // namespace kelvarin
