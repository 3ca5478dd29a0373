// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "common/Angles.h"
#include "common/DisjointSets.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "common/PoolSort.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "support/FakeView.h"

namespace kelvarin {
namespace {

using test::FakeView;

TEST(general_number_format, whole_numbers_have_no_point) {
    EXPECT_EQ(formatGeneral(0), "0");
    EXPECT_EQ(formatGeneral(-0.0), "0");
    EXPECT_EQ(formatGeneral(110), "110");
    EXPECT_EQ(formatGeneral(-42), "-42");
    EXPECT_EQ(formatGeneral(123456789012345), "123456789012345");
    EXPECT_EQ(formatGeneral(1e14), "100000000000000");
}

TEST(general_number_format, fifteen_significant_digits) {
    EXPECT_EQ(formatGeneral(100.0 / 300.0), "0.333333333333333");
    EXPECT_EQ(formatGeneral(3 * (100.0 / 300.0)), "1");
    EXPECT_EQ(formatGeneral(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(formatGeneral(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatGeneral(7.5), "7.5");
    EXPECT_EQ(formatGeneral(0.5), "0.5");
    EXPECT_EQ(formatGeneral(1234.5678), "1234.5678");
    // Rounding to 15 digits can carry into a new digit.
    EXPECT_EQ(formatGeneral(9.9999999999999999), "10");
    EXPECT_EQ(formatGeneral(0.99999999999999994), "1");
}

TEST(general_number_format, scientific_outside_the_plain_range) {
    EXPECT_EQ(formatGeneral(0.0001), "0.0001");
    EXPECT_EQ(formatGeneral(0.00001), "1E-05");
    EXPECT_EQ(formatGeneral(0.000012345), "1.2345E-05");
    EXPECT_EQ(formatGeneral(1234567890123456), "1.23456789012346E+15");
    EXPECT_EQ(formatGeneral(1e15), "1E+15");
    EXPECT_EQ(formatGeneral(999999999999999.9), "1E+15");
    EXPECT_EQ(formatGeneral(-2.5e-7), "-2.5E-07");
    EXPECT_EQ(formatGeneral(1.5e300), "1.5E+300");
    EXPECT_EQ(formatGeneral(5e-324), "4.94065645841247E-324");
}

TEST(general_number_format, ignores_the_locale_and_refuses_infinities) {
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(formatGeneral(0.25), "0.25");
    EXPECT_EQ(parseNumber("0.25"), 0.25);
    if (german != nullptr) {
        std::setlocale(LC_ALL, "C");
    }
    EXPECT_THROW(formatGeneral(1.0 / 0.0), KelvarinError);
}

TEST(percent_format, rounds_halves_away_and_hides_zero) {
    EXPECT_EQ(formatPercent(0), "");
    EXPECT_EQ(formatPercent(0.49), "");
    EXPECT_EQ(formatPercent(0.5), "1");
    EXPECT_EQ(formatPercent(8.0 / 9.0 * 100), "89");
    EXPECT_EQ(formatPercent(50), "50");
    EXPECT_EQ(formatPercent(99.5), "100");
    EXPECT_EQ(formatPercent(100), "100");
}

TEST(number_parse, accepts_plain_decimals) {
    EXPECT_EQ(parseNumber("640"), 640);
    EXPECT_EQ(parseNumber("  -1.5  "), -1.5);
    EXPECT_EQ(parseNumber("+2"), 2);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("1."), 1);
    EXPECT_EQ(parseNumber("2e3"), 2000);
    EXPECT_EQ(parseNumber("2.5E-1"), 0.25);
    EXPECT_EQ(parseNumber("1e-400"), 0);
}

TEST(number_parse, refuses_everything_else) {
    for (const char* text : {"", "   ", "abc", "1,5", "1 2", "0x10", "inf", "nan", "1e", "e5", ".", "-", "１", "5%"}) {
        try {
            parseNumber(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), ErrorCode::TypeMismatch) << text;
        }
    }
    try {
        parseNumber("1e999");
        ADD_FAILURE() << "accepted 1e999";
    } catch (const KelvarinError& error) {
        EXPECT_EQ(error.code(), ErrorCode::Overflow);
    }
}

TEST(number_parse, rounds_halves_to_even) {
    EXPECT_EQ(roundToInt32(0.5), 0);
    EXPECT_EQ(roundToInt32(1.5), 2);
    EXPECT_EQ(roundToInt32(2.5), 2);
    EXPECT_EQ(roundToInt32(-1.5), -2);
    EXPECT_EQ(roundToInt32(3.49), 3);
    EXPECT_THROW(roundToInt32(3e9), KelvarinError);
}

TEST(progress_display, captions_change_only_with_the_shown_percentage) {
    FakeView pass;
    ProgressDisplay passProgress = ProgressDisplay::forPass(pass, 3, 9);
    for (int y = 0; y <= 8; y += 4) {
        passProgress.update(y, y / 9.0);
    }
    passProgress.update(8, 8 / 9.0);
    passProgress.finish();
    EXPECT_EQ(pass.captions(), (std::vector<std::string>{"Pass3 : %", "Pass3 : 44%", "Pass3 : 89%"}));

    FakeView empty;  // a pass over nothing shows itself complete
    ProgressDisplay emptyProgress = ProgressDisplay::forPass(empty, 2, 0);
    emptyProgress.update(0, 0.0 / 0.0);
    emptyProgress.finish();
    EXPECT_EQ(empty.captions(), std::vector<std::string>{"Pass2 : 100%"});

    FakeView reading;
    ProgressDisplay::forReading(reading, 16384).update(8192, 0.5);
    EXPECT_EQ(reading.captions(), std::vector<std::string>{"50%"});
    EXPECT_EQ(reading.of(FakeView::Kind::Alignment), std::vector<std::string>{"right"});
}

TEST(event_pumping, processes_events_only_after_the_interval) {
    FakeView view;
    view.setPacing({4, std::chrono::hours(1)});
    for (int i = 0; i < 100; ++i) {
        view.doEvents();
    }
    EXPECT_EQ(view.eventsProcessed, 0);
    view.setPacing({4, std::chrono::nanoseconds(0)});
    for (int i = 0; i < 8; ++i) {
        view.doEvents();
    }
    view.doEvents(4);
    EXPECT_EQ(view.eventsProcessed, 3);
}

// The sets of items joined by pairs, found by a flood over the pairs: each item's component, numbered in the
// order of the components' first items.
std::vector<std::size_t> floodComponents(std::size_t size,
                                         const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
    std::vector<std::vector<std::size_t>> next(size);
    for (const auto& [a, b] : pairs) {
        next[a].push_back(b);
        next[b].push_back(a);
    }
    std::vector<std::size_t> component(size, SIZE_MAX);
    std::size_t count = 0;
    for (std::size_t seed = 0; seed < size; ++seed) {
        if (component[seed] != SIZE_MAX) {
            continue;
        }
        std::vector<std::size_t> stack{seed};
        component[seed] = count;
        while (!stack.empty()) {
            const std::size_t i = stack.back();
            stack.pop_back();
            for (const std::size_t j : next[i]) {
                if (component[j] == SIZE_MAX) {
                    component[j] = count;
                    stack.push_back(j);
                }
            }
        }
        ++count;
    }
    return component;
}

// Random pairs among size items: few pairs leave many sets of one, many pairs leave a few long chains.
std::vector<std::pair<std::size_t, std::size_t>> randomPairs(std::size_t size, std::size_t count,
                                                             std::mt19937& random) {
    std::vector<std::pair<std::size_t, std::size_t>> pairs(count);
    for (auto& [a, b] : pairs) {
        a = random() % size;
        b = random() % size;
    }
    return pairs;
}

// Each angle brought round into its range by whole turns: a table of angles on and about the turns' edges,
// and random ones, against adding or taking turns one at a time in long double.
TEST(angles, brought_round_by_whole_turns_into_their_range) {
    std::vector<double> angles = {0,    1e-9,     90,    179.5, 180,  359.999, 360,  360.5, 719,    720,
                                  1000, 12345.25, -1e-9, -90,   -180, -359.5,  -360, -540,  -719.5, -720};
    std::mt19937 random(9);
    std::uniform_real_distribution<double> any(-720, 2000);
    for (int i = 0; i < 200; ++i) {
        angles.push_back(any(random));
    }
    const auto turned = [](long double degrees, long double low) {
        while (degrees < low) {
            degrees += 360;
        }
        while (degrees >= low + 360) {
            degrees -= 360;
        }
        return static_cast<double>(degrees);
    };
    for (const double degrees : angles) {
        const double normal = normalDegrees(degrees);
        EXPECT_TRUE(normal >= 0 && normal < 360) << degrees;
        EXPECT_NEAR(normal, turned(degrees, 0), 1e-12) << degrees;
        const double arcEnd = arcEndDegrees(degrees);
        EXPECT_TRUE(arcEnd >= 0 && arcEnd < 360) << degrees;
        // Off by the rounding of the sum with two turns at most, which may round to the other edge.
        const double off = std::abs(arcEnd - turned(degrees, 0));
        const double rounding = (std::abs(degrees) + 720) * 2.3e-16;
        EXPECT_TRUE(off <= rounding || off >= 360 - rounding) << degrees;
        const double turn = turnDegrees(degrees);
        EXPECT_TRUE(turn >= -180 && turn <= 180) << degrees;
        EXPECT_NEAR(std::abs(turn), std::abs(turned(degrees, -180)), 1e-12) << degrees;
    }
    // A tiny negative angle rounds up to the turn itself.
    EXPECT_EQ(normalDegrees(-1e-20), 360.0);
    EXPECT_EQ(arcEndDegrees(-1e-20), 0.0);
}

TEST(disjoint_sets, joined_items_share_a_root_as_a_flood_finds) {
    std::mt19937 random(11);
    for (const auto& [size, joins] : {std::pair<std::size_t, std::size_t>{1, 1}, {10, 4}, {200, 150}, {500, 2000}}) {
        const auto pairs = randomPairs(size, joins, random);
        const std::vector<std::size_t> component = floodComponents(size, pairs);
        DisjointSets<std::uint32_t> sets(size);
        for (const auto& [a, b] : pairs) {
            const std::uint32_t into = sets.find(static_cast<std::uint32_t>(a));
            // The set named first keeps its root, whichever way round the roots are numbered.
            EXPECT_EQ(sets.join(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)), into);
            EXPECT_EQ(sets.find(static_cast<std::uint32_t>(b)), into);
        }
        const auto members = sets.gather<std::vector<std::size_t>>(
            [](std::vector<std::size_t>& set, std::uint32_t i) { set.push_back(i); });
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint32_t root = sets.find(static_cast<std::uint32_t>(i));
            EXPECT_EQ(component[root], component[i]);
            EXPECT_EQ(sets.isRoot(static_cast<std::uint32_t>(i)), root == i);
            const auto sameSet = std::count(component.begin(), component.end(), component[i]);
            EXPECT_EQ(members[root].size(), static_cast<std::size_t>(sameSet)) << "item " << i << " of " << size;
            EXPECT_TRUE(std::is_sorted(members[root].begin(), members[root].end()));
        }
        const std::vector<std::uint32_t> roots = std::move(sets).roots();
        for (std::size_t i = 0; i < size; ++i) {
            EXPECT_EQ(component[roots[i]], component[i]);
            EXPECT_EQ(roots[roots[i]], roots[i]);
        }
    }
}

TEST(disjoint_sets, added_items_and_linked_roots) {
    DisjointSets<std::int32_t> sets;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sets.add(), i);
    }
    sets.link(4, 1);
    sets.link(4, 2);
    sets.link(3, 5);
    sets.link(3, 4);  // a set of four under 3
    EXPECT_EQ(sets.find(1), 3);
    EXPECT_EQ(sets.find(2), 3);
    EXPECT_EQ(sets.find(0), 0);
    sets.reset(3);
    EXPECT_EQ(sets.size(), 3u);
    EXPECT_TRUE(sets.isRoot(0) && sets.isRoot(1) && sets.isRoot(2));
}

// Sizes about the tasks the paths are shortened in (65,536 items); long chains make long paths.
TEST(disjoint_sets, numbers_follow_the_first_items_for_any_threads) {
    std::mt19937 random(5);
    for (const std::size_t size : {0u, 1u, 1000u, 65536u, 65537u, 200000u}) {
        auto pairs = randomPairs(std::max<std::size_t>(size, 1), size / 2, random);
        for (std::size_t i = 0; i + 1 < size / 4; ++i) {
            pairs.push_back({i, i + 1});
        }
        const std::vector<std::size_t> component = floodComponents(size, pairs);
        const std::size_t expectedCount = size == 0 ? 0 : *std::max_element(component.begin(), component.end()) + 1;
        for (const std::int32_t threads : {1, 3}) {
            WorkerPool pool(threads, [] {});
            DisjointSets<std::uint32_t> sets(size);
            for (const auto& [a, b] : pairs) {
                sets.join(static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(a));
            }
            std::size_t ticks = 0, count = 0;
            const std::vector<std::uint32_t> numbers = std::move(sets).numbers(
                pool, [&] { ++ticks; }, count);
            EXPECT_EQ(count, expectedCount) << size << " items on " << threads << " threads";
            EXPECT_TRUE(std::equal(numbers.begin(), numbers.end(), component.begin(), component.end()))
                << size << " items on " << threads << " threads";
            EXPECT_EQ(ticks, (size + 1023) / 1024);
        }
    }
}

// The calling thread's own work runs while the workers run the items; a failure on either side stops both
// and is rethrown, the caller's own first.
TEST(worker_pool, runs_the_callers_work_alongside_the_items) {
    for (const std::int32_t threads : {1, 3}) {
        WorkerPool pool(threads, [] {});
        std::vector<std::atomic<int>> done(5000);
        bool alongside = false;
        pool.runAlongside(
            done.size(), [&](std::size_t i, std::int32_t) { done[i] += 1; }, [&] { alongside = true; });
        EXPECT_TRUE(alongside);
        EXPECT_TRUE(std::all_of(done.begin(), done.end(), [](const std::atomic<int>& d) { return d == 1; }));
        alongside = false;
        pool.runAlongside(
            0, [](std::size_t, std::int32_t) {}, [&] { alongside = true; });
        EXPECT_TRUE(alongside) << "no items";
        std::atomic<std::size_t> ran{0};
        EXPECT_THROW(
            pool.runAlongside(
                std::size_t{1} << 30, [&](std::size_t, std::int32_t) { ++ran; }, [] { throw std::logic_error("own"); }),
            std::logic_error);
        EXPECT_LT(ran.load(), std::size_t{1} << 30) << "the items stop";
        EXPECT_THROW(pool.runAlongside(
                         10, [](std::size_t, std::int32_t) { throw std::runtime_error("item"); }, [] {}),
                     std::runtime_error);
        EXPECT_THROW(pool.runAlongside(
                         10, [](std::size_t, std::int32_t) { throw std::runtime_error("item"); },
                         [] { throw std::logic_error("own"); }),
                     std::logic_error);
    }
}

// Sizes about the blocks the sort works in (65,536 items): one block, a part block left over, an odd number
// of blocks that leaves one unmerged in a round. Many equal keys, told apart by their number.
TEST(sort_on_pool, gives_the_same_order_as_one_sort_for_any_threads) {
    using Item = std::pair<std::int32_t, std::int32_t>;
    std::mt19937 random(7);
    for (const std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 200000u, 327680u}) {
        std::vector<Item> items(size);
        for (std::size_t i = 0; i < size; ++i) {
            items[i] = {static_cast<std::int32_t>(random() % 1000), static_cast<std::int32_t>(i)};
        }
        std::vector<Item> expected = items;
        std::sort(expected.begin(), expected.end());
        for (const std::int32_t threads : {1, 3}) {
            WorkerPool pool(threads, [] {});
            std::vector<Item> sorted = items;
            sortOnPool(sorted, std::less<Item>{}, pool);
            EXPECT_TRUE(sorted == expected) << size << " items on " << threads << " threads";
        }
    }
}

TEST(sort_on_pool, a_stop_while_it_sorts_ends_it) {
    std::vector<std::int64_t> items(std::size_t{1} << 22);
    std::mt19937_64 random(3);
    std::generate(items.begin(), items.end(), [&] { return static_cast<std::int64_t>(random()); });
    WorkerPool pool(2, [] { throw std::runtime_error("stop"); });
    EXPECT_THROW(sortOnPool(items, std::less<std::int64_t>{}, pool), std::runtime_error);
}

}  // namespace
}  // namespace kelvarin
