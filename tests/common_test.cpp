// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <random>
#include <stdexcept>
#include <tuple>
#include <vector>

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
