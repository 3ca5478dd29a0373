// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "common/WorkerPool.h"
#include "convert/VirtualVram.h"
#include "support/PackedCells.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {
namespace {

using test::Cells;

// Labels every cell by its group of 8-connected cells (0 for background), labels counted from 1.
std::vector<std::int32_t> floodLabels(const Cells& cells) {
    std::vector<std::int32_t> label(static_cast<std::size_t>(cells.width) * static_cast<std::size_t>(cells.height), 0);
    const auto index = [&](std::int32_t x, std::int32_t y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(cells.width) + static_cast<std::size_t>(x);
    };
    std::int32_t next = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> stack;
    for (std::int32_t y = 0; y < cells.height; ++y) {
        for (std::int32_t x = 0; x < cells.width; ++x) {
            if (!cells.at(x, y) || label[index(x, y)] != 0) {
                continue;
            }
            label[index(x, y)] = ++next;
            stack.push_back({x, y});
            while (!stack.empty()) {
                const auto [cx, cy] = stack.back();
                stack.pop_back();
                for (std::int32_t dy = -1; dy <= 1; ++dy) {
                    for (std::int32_t dx = -1; dx <= 1; ++dx) {
                        const std::int32_t nx = cx + dx, ny = cy + dy;
                        if (nx >= 0 && ny >= 0 && nx < cells.width && ny < cells.height && cells.at(nx, ny) &&
                            label[index(nx, ny)] == 0) {
                            label[index(nx, ny)] = next;
                            stack.push_back({nx, ny});
                        }
                    }
                }
            }
        }
    }
    return label;
}

// Random ink: small blobs, and long strokes across many bands of rows, on a page wide enough that a band
// holds few rows.
Cells randomPage(std::uint32_t seed) {
    Cells cells(30011, 301);
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::int32_t> column(0, cells.width - 1), row(0, cells.height - 1);
    for (int blob = 0; blob < 40000; ++blob) {
        const std::int32_t x = column(random), y = row(random);
        for (int k = 0; k < 6; ++k) {
            cells.set(std::min(x + static_cast<std::int32_t>(random() % 4), cells.width - 1),
                      std::min(y + static_cast<std::int32_t>(random() % 3), cells.height - 1), true);
        }
    }
    for (int stroke = 0; stroke < 60; ++stroke) {
        std::int32_t x = column(random);
        for (std::int32_t y = 0; y < cells.height; ++y) {
            x = std::clamp(x + static_cast<std::int32_t>(random() % 3) - 1, 0, cells.width - 1);
            cells.set(x, y, true);
        }
    }
    return cells;
}

// The flood label of each run's cells, in the order the groups visit the runs.
std::vector<std::int32_t> runLabels(const RunGroups& groups, const Cells& cells, const std::vector<std::int32_t>& label,
                                    std::vector<std::size_t>& groupOfRun) {
    std::vector<std::int32_t> labels;
    groupOfRun.clear();
    groups.forEachRun(
        [] {},
        [&](std::size_t group, const LineSegment& run) {
            labels.push_back(label[static_cast<std::size_t>(run.StartY) * static_cast<std::size_t>(cells.width) +
                                   static_cast<std::size_t>(run.StartX)]);
            groupOfRun.push_back(group);
        });
    return labels;
}

// Groups match the flood fill one to one, numbered in the order of their first runs.
void expectGroupsOfLabels(const std::vector<std::int32_t>& labels, const std::vector<std::size_t>& groupOfRun,
                          std::size_t groupCount) {
    std::map<std::int32_t, std::size_t> groupOfLabel;
    std::size_t nextGroup = 0;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto [it, first] = groupOfLabel.try_emplace(labels[i], nextGroup);
        if (first) {
            ASSERT_EQ(groupOfRun[i], nextGroup) << "run " << i << " starts a group";
            ++nextGroup;
        }
        ASSERT_EQ(groupOfRun[i], it->second) << "run " << i;
    }
    EXPECT_EQ(groupCount, nextGroup);
}

TEST(run_groups, are_the_eight_connected_groups_numbered_by_first_run_for_any_threads) {
    for (const std::uint32_t seed : {1u, 2u}) {
        const Cells cells = randomPage(seed);
        const std::vector<std::int32_t> label = floodLabels(cells);
        for (const std::int32_t threads : {1, 3}) {
            WorkerPool pool(threads, [] {});
            const RunGroups groups(cells.grid, nullptr, pool, [] {});
            std::vector<std::size_t> groupOfRun;
            const std::vector<std::int32_t> labels = runLabels(groups, cells, label, groupOfRun);
            ASSERT_EQ(labels.size(), groups.runCount());
            expectGroupsOfLabels(labels, groupOfRun, groups.groupCount());
            // Every line cell is found in a run of its group, and background in none, whether looked for
            // afresh or near the place of the last one found: down columns, and at random in a row.
            std::mt19937 random(seed);
            std::size_t place = 0;
            const auto expectFound = [&](std::int32_t x, std::int32_t y, std::size_t run) {
                ASSERT_EQ(run < groups.runCount(), cells.at(x, y)) << x << ", " << y;
                ASSERT_EQ(groups.inked(x, y), cells.at(x, y));
                if (run < groups.runCount()) {
                    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(cells.width) +
                                           static_cast<std::size_t>(x);
                    const auto first = std::find(labels.begin(), labels.end(), label[at]) - labels.begin();
                    ASSERT_EQ(groups.group(run), groupOfRun[static_cast<std::size_t>(first)]) << x << ", " << y;
                }
            };
            for (const std::int32_t x : {0, 17, 4099, 30010}) {
                for (std::int32_t y = 0; y < cells.height; ++y) {
                    expectFound(x, y, groups.runAt(x, y, place));
                }
            }
            for (int k = 0; k < 2000; ++k) {
                const auto x = static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(cells.width));
                const auto y = static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(cells.height));
                expectFound(x, y, groups.runAt(x, y, place));
                expectFound(x, y, groups.runAt(x, y));
            }
        }
    }
}

// Noise dense enough that most of it is one group of a million runs with long paths to its root, on more
// workers than cores: the workers shortening the same paths at once must still leave one group.
TEST(run_groups, a_group_of_a_million_runs_stays_one_on_many_workers) {
    Cells cells(3000, 3000);
    std::mt19937 random(7);
    for (std::int32_t y = 0; y < cells.height; ++y) {
        for (std::int32_t x = 0; x < cells.width; ++x) {
            cells.set(x, y, random() % 100 < 45);
        }
    }
    const std::vector<std::int32_t> label = floodLabels(cells);
    WorkerPool pool(16, [] {});
    for (int round = 0; round < 10; ++round) {
        const RunGroups groups(cells.grid, nullptr, pool, [] {});
        std::vector<std::size_t> groupOfRun;
        const std::vector<std::int32_t> labels = runLabels(groups, cells, label, groupOfRun);
        expectGroupsOfLabels(labels, groupOfRun, groups.groupCount());
    }
}

TEST(run_groups, without_the_kept_groups_are_the_dropped_ones) {
    const Cells page = randomPage(3);
    const std::vector<std::int32_t> label = floodLabels(page);
    // Every third group dropped, as despeckling drops whole groups.
    Cells kept(page.width, page.height);
    kept.rows = page.rows;
    kept.grid.attach(kept.rows, kept.width, kept.height, kept.stride);
    for (std::int32_t y = 0; y < page.height; ++y) {
        for (std::int32_t x = 0; x < page.width; ++x) {
            if (label[static_cast<std::size_t>(y) * static_cast<std::size_t>(page.width) +
                      static_cast<std::size_t>(x)] %
                    3 ==
                0) {
                kept.set(x, y, false);
            }
        }
    }
    WorkerPool pool(2, [] {});
    const RunGroups dropped(page.grid, &kept.grid, pool, [] {});
    std::vector<std::size_t> groupOfRun;
    const std::vector<std::int32_t> labels = runLabels(dropped, page, label, groupOfRun);
    ASSERT_FALSE(labels.empty());
    for (const std::int32_t l : labels) {
        ASSERT_EQ(l % 3, 0);
    }
    expectGroupsOfLabels(labels, groupOfRun, dropped.groupCount());
}

}  // namespace
}  // namespace kelvarin
