#include <gtest/gtest.h>

#include <random>

#include "bitmap/BmpHeader.h"
#include "bitmap/ReadFile.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "convert/LineExtraction.h"
#include "convert/VirtualVram.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using test::FakeView;
using Segments = std::vector<LineSegment>;

void putLong(BmpHeaderBytes& header, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        header[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// A bitmap as the read command leaves it: header fields and packed pixel rows.
BitmapData bitmapOf(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> pixelBytes) {
    BitmapData bitmap;
    putLong(bitmap.BmpHeader, 18, static_cast<std::uint32_t>(width));
    putLong(bitmap.BmpHeader, 22, static_cast<std::uint32_t>(height));
    bitmap.PixelBytes = std::move(pixelBytes);
    return bitmap;
}

// Cells given as text rows, row 0 first; '#' is a line pixel. The grid is filled directly, as after the
// transfer (and inversion) of a conversion.
struct Grid {
    BmpHeaderBytes header{};
    VirtualVram vram;

    explicit Grid(const std::vector<std::string>& rows) {
        const auto width = static_cast<std::int32_t>(rows.at(0).size());
        const auto height = static_cast<std::int32_t>(rows.size());
        putLong(header, 18, static_cast<std::uint32_t>(width));
        putLong(header, 22, static_cast<std::uint32_t>(height));
        vram.resize(width, height);
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                vram.row(y)[x] = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#';
            }
        }
    }
};

TEST(transfer_to_vram, files_written_by_real_tools) {
    // The committed bitmaps hold a known pattern (black where (7x + 3t) % 5 == 0 or in the last column,
    // t counting from the top); w1, w31 and w33 also have every padding bit set.
    for (const char* name : {"bitmaps/w1.bmp", "bitmaps/w8.bmp", "bitmaps/w31.bmp", "bitmaps/w32.bmp",
                             "bitmaps/w33.bmp", "bitmaps/w100.bmp", "bitmaps/v4-header.bmp", "bitmaps/v5-header.bmp"}) {
        FakeView view;
        BitmapData bitmap;
        ASSERT_TRUE(ReadFile(test::dataPath(name), bitmap, view));
        ASSERT_TRUE(DecodeBitmap(bitmap, view));
        VirtualVram vram;
        PassState pass;
        TransferToVram(bitmap, vram, pass, view);
        const int width = vram.width();
        const int height = vram.height();
        EXPECT_EQ(width, bitmapWidth(bitmap.BmpHeader));
        for (int y = 0; y < height; ++y) {
            const int t = height - 1 - y;  // stored bottom-up
            for (int x = 0; x < width; ++x) {
                const bool black = (7 * x + 3 * t) % 5 == 0 || x == width - 1;
                ASSERT_EQ(vram.at(x, y), black ? 0 : 1) << name << " at " << x << "," << y;
            }
        }
    }
}

TEST(transfer_to_vram, refuses_sizes_and_missing_rows_before_allocating) {
    struct Case {
        std::int32_t width;
        std::int32_t height;
        std::size_t pixelBytes;
        ErrorCode expected;
    };
    for (const Case& c : {Case{16, -8, 64, ErrorCode::InvalidFileFormat}, Case{0, 8, 64, ErrorCode::DivisionByZero},
                          Case{8, 0, 64, ErrorCode::DivisionByZero}, Case{64, 64, 255, ErrorCode::SubscriptOutOfRange},
                          Case{100000, 100000, 200, ErrorCode::SubscriptOutOfRange}}) {
        BitmapData bitmap = bitmapOf(c.width, c.height, std::vector<std::uint8_t>(c.pixelBytes));
        VirtualVram vram;
        vram.resize(2, 2);
        PassState pass;
        FakeView view;
        try {
            TransferToVram(bitmap, vram, pass, view);
            ADD_FAILURE() << c.width << " x " << c.height << " was accepted";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), c.expected) << c.width << " x " << c.height;
        }
        EXPECT_EQ(vram.width(), 2);  // the old grid is kept
        EXPECT_EQ(pass.PassNumber, 0);
    }
}

TEST(transfer_to_vram, one_row_shows_its_pass_complete) {
    BitmapData bitmap = bitmapOf(8, 1, {0xF0, 0, 0, 0});
    VirtualVram vram;
    PassState pass{"", 1};
    FakeView view;
    TransferToVram(bitmap, vram, pass, view);
    EXPECT_EQ(view.captions(), std::vector<std::string>{"Pass1 : 100%"});
    EXPECT_EQ(view.of(FakeView::Kind::ProgressMax), std::vector<std::string>{"1"});
}

TEST(invert_vram, twice_restores_the_grid) {
    std::mt19937 random(7);
    std::vector<std::string> rows(40, std::string(300, '.'));
    for (auto& row : rows) {
        for (auto& cell : row) {
            cell = random() % 3 == 0 ? '#' : '.';
        }
    }
    Grid grid(rows);
    const Grid original(rows);
    PassState pass{"", 2};
    FakeView view;
    InvertVram(grid.header, grid.vram, pass, view);
    EXPECT_EQ(grid.vram.at(0, 0), rows[0][0] == '#' ? 0 : 1);
    EXPECT_EQ(grid.vram.at(299, 39), rows[39][299] == '#' ? 0 : 1);
    InvertVram(grid.header, grid.vram, pass, view);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 300; ++x) {
            ASSERT_EQ(grid.vram.at(x, y), original.vram.at(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(pass.PassNumber, 4);
    const auto captions = view.captions();
    EXPECT_EQ(captions.front(), "Pass2 : %");
    EXPECT_EQ(captions.back(), "Pass3 : 100%");
    EXPECT_EQ(view.of(FakeView::Kind::ProgressValue).size(), 600u);  // once per column
}

TEST(invert_vram, refuses_a_header_that_is_not_the_grid_size) {
    Grid grid({"##", "##"});
    BmpHeaderBytes other = grid.header;
    putLong(other, 18, 3);
    PassState pass;
    FakeView view;
    EXPECT_THROW(InvertVram(other, grid.vram, pass, view), KelvarinError);
    LineSegmentList segments;
    EXPECT_THROW(ExtractHorizontalLines(other, grid.vram, 1, segments, pass, view), KelvarinError);
}

Segments horizontal(const Grid& grid, std::int32_t thinning, FakeView& view, PassState& pass) {
    LineSegmentList segments;
    ExtractHorizontalLines(grid.header, grid.vram, thinning, segments, pass, view);
    return segments.toVector();
}

Segments vertical(const Grid& grid, std::int32_t thinning, FakeView& view, PassState& pass) {
    LineSegmentList segments;
    ExtractVerticalLines(grid.header, grid.vram, thinning, segments, pass, view);
    return segments.toVector();
}

TEST(line_extraction, runs_along_rows_and_columns) {
    const Grid bar({".....", ".###.", "....."});
    FakeView view;
    PassState pass{"", 3};
    EXPECT_EQ(horizontal(bar, 1, view, pass), (Segments{{1, 1, 3, 1}}));
    EXPECT_EQ(pass.CurrentStep, "横のラインを取得する");
    EXPECT_EQ(vertical(bar, 1, view, pass), (Segments{{1, 1, 1, 1}, {2, 1, 1, 1}, {3, 1, 1, 1}}));
    EXPECT_EQ(pass.CurrentStep, "縦のラインを取得する");
    EXPECT_EQ(pass.PassNumber, 5);

    const Grid edges({"##..##", "######", "#....#"});
    EXPECT_EQ(horizontal(edges, 1, view, pass),
              (Segments{{0, 0, 2, 1}, {4, 0, 2, 1}, {0, 1, 6, 1}, {0, 2, 1, 1}, {5, 2, 1, 1}}));
    EXPECT_EQ(vertical(edges, 1, view, pass),
              (Segments{{0, 0, 1, 3}, {1, 0, 1, 2}, {2, 1, 1, 1}, {3, 1, 1, 1}, {4, 0, 1, 2}, {5, 0, 1, 3}}));

    const Grid empty({"....", "...."});
    EXPECT_TRUE(horizontal(empty, 1, view, pass).empty());
    EXPECT_TRUE(vertical(empty, 1, view, pass).empty());
}

TEST(line_extraction, single_pixel_found_by_both_passes) {
    std::vector<std::string> rows(10, std::string(8, '.'));
    rows[7][5] = '#';
    const Grid grid(rows);
    FakeView view;
    PassState pass;
    EXPECT_EQ(horizontal(grid, 1, view, pass), (Segments{{5, 7, 1, 1}}));
    EXPECT_EQ(vertical(grid, 1, view, pass), (Segments{{5, 7, 1, 1}}));
}

TEST(line_extraction, thinning_scans_every_nth_row_from_the_first) {
    const Grid grid(std::vector<std::string>(10, "#.#"));
    FakeView view;
    PassState pass{"", 3};
    EXPECT_EQ(horizontal(grid, 4, view, pass),
              (Segments{{0, 0, 1, 1}, {2, 0, 1, 1}, {0, 4, 1, 1}, {2, 4, 1, 1}, {0, 8, 1, 1}, {2, 8, 1, 1}}));
    EXPECT_EQ(view.captions(), (std::vector<std::string>{"Pass3 : %", "Pass3 : 44%", "Pass3 : 89%"}));
    EXPECT_EQ(horizontal(grid, 11, view, pass).size(), 2u);  // row 0 only
    EXPECT_EQ(vertical(grid, 2, view, pass), (Segments{{0, 0, 1, 10}, {2, 0, 1, 10}}));
    EXPECT_EQ(vertical(grid, 5, view, pass), (Segments{{0, 0, 1, 10}}));
}

TEST(line_extraction, one_pixel_wide_grid_shows_its_pass_complete) {
    const Grid grid({"#", "#", "."});
    FakeView view;
    PassState pass{"", 4};
    EXPECT_EQ(vertical(grid, 1, view, pass), (Segments{{0, 0, 1, 2}}));
    EXPECT_EQ(view.captions(), std::vector<std::string>{"Pass4 : 100%"});
}

// The plain column-by-column scan that the blocked vertical pass must equal.
Segments referenceVertical(const Grid& grid, std::int32_t thinning) {
    Segments segments;
    for (std::int32_t x = 0; x < grid.vram.width(); x += thinning) {
        std::int32_t start = -1;
        for (std::int32_t y = 0; y <= grid.vram.height(); ++y) {
            const bool line = y < grid.vram.height() && grid.vram.at(x, y) != 0;
            if (line && start < 0) {
                start = y;
            } else if (!line && start >= 0) {
                segments.push_back({x, start, 1, y - start});
                start = -1;
            }
        }
    }
    return segments;
}

TEST(line_extraction, vertical_pass_equals_a_plain_column_scan) {
    std::mt19937 random(11);
    for (const auto& [width, height, thinning] : {std::tuple{700, 33, 1}, {1500, 9, 3}, {257, 40, 1}, {600, 5, 256}}) {
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        for (auto& row : rows) {
            for (auto& cell : row) {
                cell = random() % 2 == 0 ? '#' : '.';
            }
        }
        const Grid grid(rows);
        FakeView view;
        PassState pass;
        EXPECT_EQ(vertical(grid, thinning, view, pass), referenceVertical(grid, thinning))
            << width << " x " << height << " thinning " << thinning;
        const auto values = view.of(FakeView::Kind::ProgressValue);
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values.size(), static_cast<std::size_t>((width - 1) / thinning + 1));
        EXPECT_EQ(values[1], std::to_string(thinning));
    }
}

}  // namespace
}  // namespace kelvarin
