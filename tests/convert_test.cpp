// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "bitmap/BmpHeader.h"
#include "bitmap/ReadFile.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "common/WorkerPool.h"
#include "convert/LineExtraction.h"
#include "convert/LineSegmentList.h"
#include "convert/ResultLayers.h"
#include "convert/ResultTile.h"
#include "convert/RowRunBands.h"
#include "convert/RunScan.h"
#include "convert/Strokes.h"
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
struct TestBitmap {
    BitmapData data;
    std::vector<std::uint8_t> pixels;

    TestBitmap(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> pixelBytes)
        : pixels(std::move(pixelBytes)) {
        putLong(data.BmpHeader, 18, static_cast<std::uint32_t>(width));
        putLong(data.BmpHeader, 22, static_cast<std::uint32_t>(height));
        data.PixelBytes = pixels;
    }
};

// Cells given as text rows, stored row 0 first; '#' is a line pixel, stored as bit value 1 so that the grid
// shows it as 1 after the transfer.
struct Grid {
    std::vector<std::string> rows;
    TestBitmap bitmap;
    VirtualVram vram;

    explicit Grid(const std::vector<std::string>& textRows)
        : rows(textRows), bitmap(width(), height(), packed(textRows)) {
        PassState pass;
        FakeView view;
        TransferToVram(bitmap.data, vram, pass, view);
    }
    std::int32_t width() const { return static_cast<std::int32_t>(rows.at(0).size()); }
    std::int32_t height() const { return static_cast<std::int32_t>(rows.size()); }
    const BmpHeaderBytes& header() const { return bitmap.data.BmpHeader; }

    static std::vector<std::uint8_t> packed(const std::vector<std::string>& rows) {
        const auto stride = static_cast<std::size_t>(rowStride(static_cast<std::int32_t>(rows[0].size())));
        std::vector<std::uint8_t> bytes(stride * rows.size());
        for (std::size_t y = 0; y < rows.size(); ++y) {
            for (std::size_t x = 0; x < rows[y].size(); ++x) {
                if (rows[y][x] == '#') {
                    bytes[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
        }
        return bytes;
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
        TestBitmap bitmap(c.width, c.height, std::vector<std::uint8_t>(c.pixelBytes));
        VirtualVram vram;
        PassState pass;
        FakeView view;
        try {
            TransferToVram(bitmap.data, vram, pass, view);
            ADD_FAILURE() << c.width << " x " << c.height << " was accepted";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), c.expected) << c.width << " x " << c.height;
        }
        EXPECT_EQ(pass.PassNumber, 0);
    }
}

TEST(transfer_to_vram, one_row_shows_its_pass_complete) {
    TestBitmap bitmap(8, 1, {0xF0, 0, 0, 0});
    VirtualVram vram;
    PassState pass{"", 1};
    FakeView view;
    TransferToVram(bitmap.data, vram, pass, view);
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
    InvertVram(grid.header(), grid.vram, pass, view);
    EXPECT_EQ(grid.vram.at(0, 0), rows[0][0] == '#' ? 0 : 1);
    EXPECT_EQ(grid.vram.at(299, 39), rows[39][299] == '#' ? 0 : 1);
    InvertVram(grid.header(), grid.vram, pass, view);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 300; ++x) {
            ASSERT_EQ(grid.vram.at(x, y), original.vram.at(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(pass.PassNumber, 4);
    const auto captions = view.captions();
    EXPECT_EQ(captions.front(), "Pass2 : %");
    EXPECT_EQ(captions.back(), "Pass3 : 100%");
}

TEST(invert_vram, refuses_a_header_that_is_not_the_grid_size) {
    Grid grid({"##", "##"});
    BmpHeaderBytes other = grid.header();
    putLong(other, 18, 3);
    PassState pass;
    FakeView view;
    EXPECT_THROW(InvertVram(other, grid.vram, pass, view), KelvarinError);
    EXPECT_THROW(ExtractHorizontalLines(other, grid.vram, 1, pass, view), KelvarinError);
}

struct Collected : SegmentSink {
    Segments all;
    void take(std::span<const LineSegment> segments) override {
        all.insert(all.end(), segments.begin(), segments.end());
    }
};

// The runs a pass counts, as they are handed to the file: the count must match what is handed over.
Segments collect(const VirtualVram& vram, std::int32_t thinning, std::int64_t horizontal, std::int64_t vertical) {
    Collected collected;
    GridRuns(vram, thinning, horizontal, vertical).forEach(collected);
    EXPECT_EQ(static_cast<std::int64_t>(collected.all.size()), horizontal + vertical);
    return collected.all;
}

Segments horizontal(const Grid& grid, std::int32_t thinning, FakeView& view, PassState& pass) {
    return collect(grid.vram, thinning, ExtractHorizontalLines(grid.header(), grid.vram, thinning, pass, view), 0);
}

Segments vertical(const Grid& grid, std::int32_t thinning, FakeView& view, PassState& pass) {
    return collect(grid.vram, thinning, 0, ExtractVerticalLines(grid.header(), grid.vram, thinning, pass, view));
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

// The plain cell-by-cell scans that the word-wise passes must equal, on the text rows themselves.
Segments referenceScan(const std::vector<std::string>& rows, std::int32_t thinning, bool lineIsHash) {
    const auto width = static_cast<std::int32_t>(rows[0].size());
    const auto height = static_cast<std::int32_t>(rows.size());
    const auto line = [&](std::int32_t x, std::int32_t y) {
        return (rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#') == lineIsHash;
    };
    Segments segments;
    for (std::int32_t y = 0; y < height; y += thinning) {
        for (std::int32_t x = 0; x < width;) {
            std::int32_t end = x;
            while (end < width && line(end, y)) {
                ++end;
            }
            if (end > x) {
                segments.push_back({x, y, end - x, 1});
            }
            x = end + 1;
        }
    }
    for (std::int32_t x = 0; x < width; x += thinning) {
        for (std::int32_t y = 0; y < height;) {
            std::int32_t end = y;
            while (end < height && line(x, end)) {
                ++end;
            }
            if (end > y) {
                segments.push_back({x, y, 1, end - y});
            }
            y = end + 1;
        }
    }
    return segments;
}

TEST(line_extraction, word_wise_passes_equal_a_plain_scan) {
    // Widths around the 64-cell words and the 4-byte row padding, both colours, several thinnings.
    std::mt19937 random(11);
    for (const auto& [width, height, thinning] : {std::tuple{1, 7, 1},
                                                  {7, 3, 1},
                                                  {31, 20, 1},
                                                  {63, 9, 2},
                                                  {64, 17, 1},
                                                  {65, 12, 3},
                                                  {127, 5, 1},
                                                  {128, 6, 64},
                                                  {129, 33, 1},
                                                  {200, 40, 7},
                                                  {257, 11, 1},
                                                  {1500, 9, 3},
                                                  {600, 5, 256}}) {
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        const unsigned density = 1 + random() % 4;
        for (auto& row : rows) {
            for (auto& cell : row) {
                cell = random() % (density + 1) != 0 ? '#' : '.';
            }
        }
        Grid grid(rows);
        for (const bool inverted : {false, true}) {
            FakeView view;
            PassState pass;
            if (inverted) {
                InvertVram(grid.header(), grid.vram, pass, view);
            }
            const std::int64_t h = ExtractHorizontalLines(grid.header(), grid.vram, thinning, pass, view);
            const std::int64_t v = ExtractVerticalLines(grid.header(), grid.vram, thinning, pass, view);
            EXPECT_EQ(collect(grid.vram, thinning, h, v), referenceScan(rows, thinning, !inverted))
                << width << " x " << height << " thinning " << thinning << (inverted ? " inverted" : "");
            if (inverted) {
                InvertVram(grid.header(), grid.vram, pass, view);
            }
        }
    }
}

TEST(line_extraction, rows_runs_found_in_bands_come_row_by_row_as_found_alone) {
    // Tall enough for several bands of rows; with no pool, one worker and three.
    std::mt19937 random(5);
    for (const auto& [width, height] : {std::pair{70, 5}, {2000, 2600}, {130, 40000}}) {
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        for (auto& row : rows) {
            for (auto& cell : row) {
                cell = random() % 3 == 0 ? '#' : '.';
            }
        }
        const Grid grid(rows);
        Segments alone;
        for (std::int32_t y = 0; y < height; ++y) {
            findRowRuns(grid.vram, y, alone);
        }
        for (const int threads : {0, 1, 3}) {
            std::optional<WorkerPool> pool;
            if (threads > 0) {
                pool.emplace(threads, [] {});
            }
            Segments banded;
            std::int32_t expectedRow = 0;
            forEachRowsRuns(grid.vram, pool ? &*pool : nullptr, [&](std::int32_t y, const Segments& runs) {
                EXPECT_EQ(y, expectedRow++);
                banded.insert(banded.end(), runs.begin(), runs.end());
            });
            EXPECT_EQ(expectedRow, height);
            EXPECT_EQ(banded, alone) << width << " x " << height << ", " << threads << " threads";
        }
    }
}

// The rectangles of stacked equal runs found plainly: a run that is not in the row below starts one, which
// grows while the rows above hold the same run; listed by last row, then first column.
Segments referenceStrokes(const std::vector<std::string>& rows, bool lineIsHash) {
    const auto height = static_cast<std::int32_t>(rows.size());
    std::vector<Segments> runs;
    for (const std::string& row : rows) {
        // The horizontal runs come first in the plain scan of the row alone.
        Segments scanned = referenceScan({row}, 1, lineIsHash);
        scanned.resize(scanned.size() - row.size() +
                       static_cast<std::size_t>(std::count(row.begin(), row.end(), lineIsHash ? '.' : '#')));
        runs.push_back(scanned);
    }
    const auto holds = [&](std::int32_t y, const LineSegment& run) {
        return y >= 0 && y < height &&
               std::any_of(
                   runs[static_cast<std::size_t>(y)].begin(), runs[static_cast<std::size_t>(y)].end(),
                   [&](const LineSegment& other) { return other.StartX == run.StartX && other.SpanX == run.SpanX; });
    };
    Segments strokes;
    for (std::int32_t y = 0; y < height; ++y) {
        for (const LineSegment& run : runs[static_cast<std::size_t>(y)]) {
            if (holds(y - 1, run)) {
                continue;
            }
            std::int32_t top = y;
            while (holds(top + 1, run)) {
                ++top;
            }
            strokes.push_back({run.StartX, y, run.SpanX, top - y + 1});
        }
    }
    std::stable_sort(strokes.begin(), strokes.end(), [](const LineSegment& a, const LineSegment& b) {
        return std::tuple(a.StartY + a.SpanY, a.StartX) < std::tuple(b.StartY + b.SpanY, b.StartX);
    });
    return strokes;
}

TEST(strokes, stacked_equal_runs_equal_a_plain_grouping) {
    // Few columns and dense rows make many equal runs in a row; widths around the 64-cell words.
    std::mt19937 random(13);
    for (const auto& [width, height, percent] : {std::tuple{1, 9, 60u},
                                                 {5, 30, 70u},
                                                 {8, 40, 85u},
                                                 {63, 20, 90u},
                                                 {64, 25, 95u},
                                                 {65, 12, 50u},
                                                 {130, 30, 97u},
                                                 {200, 8, 30u}}) {
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        // Rows repeat the one below most of the time, so that rectangles grow over several rows.
        for (std::size_t y = 0; y < rows.size(); ++y) {
            if (y > 0 && random() % 3 != 0) {
                rows[y] = rows[y - 1];
            }
            for (auto& cell : rows[y]) {
                if (random() % 100 >= percent) {
                    cell = random() % 2 == 0 ? '#' : '.';
                }
            }
        }
        Grid grid(rows);
        for (const bool inverted : {false, true}) {
            FakeView view;
            PassState pass{"", 3};
            if (inverted) {
                InvertVram(grid.header(), grid.vram, pass, view);
            }
            const std::int64_t count = ExtractStrokes(grid.header(), grid.vram, pass, view);
            EXPECT_EQ(pass.CurrentStep, "ストロークを取得する");
            Collected collected;
            GridStrokes(grid.vram, count).forEach(collected);
            const Segments expected = referenceStrokes(rows, !inverted);
            EXPECT_EQ(collected.all, expected) << width << " x " << height << (inverted ? " inverted" : "");
            EXPECT_EQ(count, static_cast<std::int64_t>(expected.size()));
            EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](const LineSegment& s) { return s.SpanY > 1; }),
                      0);
            if (inverted) {
                InvertVram(grid.header(), grid.vram, pass, view);
            }
        }
    }
}

// The result view's colours against the segments a conversion hands to the file. At 1:1 and larger every
// pixel is as the segments' LINEs draw it: from the middle pixel of the first cell to that of the last,
// through the lower middle row (left middle column) of an even thickness, over the scan's cells in grey.
// Drawn small, every pixel covering a LINE cell is red, and a pixel with no line cell within a pyramid
// block of it is paper.
TEST(result_tiles, colours_follow_the_segments_written) {
    std::mt19937 random(17);
    std::vector<std::string> rows(45, std::string(130, '.'));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = y > 0 && random() % 2 == 0 ? rows[y - 1] : rows[y];
        for (auto& cell : rows[y]) {
            cell = random() % 5 == 0 ? (cell == '#' ? '.' : '#') : cell;
        }
    }
    for (std::size_t y = 30; y < rows.size(); ++y) {
        rows[y].replace(0, 64, 64, '.');  // blank corner: paper when drawn small
    }
    const Grid grid(rows);
    const std::int32_t width = grid.width();
    const std::int32_t height = grid.height();
    struct Case {
        bool horizontal, vertical, strokes;
        std::int32_t thinning;
        std::vector<double> zooms;
    };
    for (const Case& c :
         {Case{true, true, false, 1, {1, 3, 2.5, 0.5, 0.3, 0.1}}, Case{true, false, false, 2, {1, 4, 0.25}},
          Case{false, true, false, 3, {1, 1.5, 0.4}}, Case{false, false, true, 1, {1, 3, 0.3}}}) {
        ConversionSettings settings;
        settings.MakeHorizontal = c.horizontal;
        settings.MakeVertical = c.vertical;
        settings.Thinning = c.thinning;
        settings.Options.Strokes = c.strokes;
        settings.LineColorWhite = true;  // '#' is stored as bit value 1
        const ResultLayers layers(grid.bitmap.data, settings);
        Collected written;
        if (c.strokes) {
            GridStrokes(grid.vram, 0).forEach(written);
        } else {
            GridRuns(grid.vram, c.thinning, c.horizontal ? 1 : 0, c.vertical ? 1 : 0).forEach(written);
        }
        EXPECT_EQ(layers.lines().lineCount(), static_cast<std::int64_t>(written.all.size()));
        for (const double zoom : c.zooms) {
            const auto size = static_cast<int>(std::ceil(std::max(width, height) * zoom)) + 3;
            std::vector<std::uint8_t> tile(static_cast<std::size_t>(size * size));
            renderTile(layers, {zoom, -1, -2, size, size, true, true}, tile);
            const auto colour = [&](std::int64_t px, std::int64_t py) {
                return static_cast<TileColour>(tile[static_cast<std::size_t>((py + 2) * size + px + 1)]);
            };
            // The LINE cells (x, cell row from the top) and, at zoom >= 1, the expected pixels.
            std::vector<std::vector<TileColour>> expected(static_cast<std::size_t>(size),
                                                          std::vector<TileColour>(static_cast<std::size_t>(size)));
            std::vector<std::vector<bool>> lineCell(static_cast<std::size_t>(height),
                                                    std::vector<bool>(static_cast<std::size_t>(width)));
            const auto put = [&](std::int64_t px, std::int64_t py, TileColour value) {
                expected[static_cast<std::size_t>(py + 2)][static_cast<std::size_t>(px + 1)] = value;
            };
            for (std::int32_t r = 0; r < height && zoom >= 1; ++r) {
                for (std::int32_t x = 0; x < width; ++x) {
                    const CellPixels column = cellPixels(x, zoom);
                    const CellPixels row = cellPixels(r, zoom);
                    for (std::int64_t py = row.first; py < row.end; ++py) {
                        for (std::int64_t px = column.first; px < column.end; ++px) {
                            put(px, py,
                                rows[static_cast<std::size_t>(height - 1 - r)][static_cast<std::size_t>(x)] == '#'
                                    ? TileColour::Scan
                                    : TileColour::Paper);
                        }
                    }
                }
            }
            for (const LineSegment& s : written.all) {
                const bool along = s.SpanX >= s.SpanY;
                const std::int32_t fixed =
                    along ? height - 1 - (s.StartY + (s.SpanY - 1) / 2) : s.StartX + (s.SpanX - 1) / 2;
                const std::int32_t first = along ? s.StartX : height - s.StartY - s.SpanY;
                const std::int32_t last = along ? s.StartX + s.SpanX - 1 : height - 1 - s.StartY;
                for (std::int32_t k = first; k <= last; ++k) {
                    lineCell[static_cast<std::size_t>(along ? fixed : k)][static_cast<std::size_t>(along ? k : fixed)] =
                        true;
                }
                const std::int64_t middle = cellPixels(fixed, zoom).middle();
                for (std::int64_t p = cellPixels(first, zoom).middle();
                     zoom >= 1 && p <= cellPixels(last, zoom).middle(); ++p) {
                    put(along ? p : middle, along ? middle : p, TileColour::Line);
                }
            }
            for (int py = 0; py + 2 < size; ++py) {
                for (int px = 0; px + 1 < size; ++px) {
                    const auto cellX = static_cast<std::int32_t>(std::floor(px / zoom));
                    const auto cellY = static_cast<std::int32_t>(std::floor(py / zoom));
                    if (cellX >= width || cellY >= height) {
                        ASSERT_EQ(colour(px, py), TileColour::Outside);
                        continue;
                    }
                    if (zoom >= 1) {
                        ASSERT_EQ(colour(px, py),
                                  expected[static_cast<std::size_t>(py + 2)][static_cast<std::size_t>(px + 1)])
                            << "zoom " << zoom << " pixel " << px << ", " << py << " strokes " << c.strokes;
                        continue;
                    }
                    // Cells the pixel covers, and those within the coarsest block (2 / zoom cells) around.
                    const auto any = [&](double margin, bool lines) {
                        for (auto y = static_cast<int>(std::floor(py / zoom - margin)); y < (py + 1) / zoom + margin;
                             ++y) {
                            for (auto x = static_cast<int>(std::floor(px / zoom - margin));
                                 x < (px + 1) / zoom + margin; ++x) {
                                if (x >= 0 && y >= 0 && x < width && y < height &&
                                    (lines ? lineCell[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]
                                           : rows[static_cast<std::size_t>(height - 1 - y)]
                                                 [static_cast<std::size_t>(x)] == '#')) {
                                    return true;
                                }
                            }
                        }
                        return false;
                    };
                    if (any(0, true)) {
                        ASSERT_EQ(colour(px, py), TileColour::Line) << "zoom " << zoom << " pixel " << px << ", " << py;
                    } else if (!any(1 / zoom, true)) {
                        if (any(0, false)) {
                            ASSERT_EQ(colour(px, py), TileColour::Scan);
                        } else if (!any(1 / zoom, false)) {
                            ASSERT_EQ(colour(px, py), TileColour::Paper);
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace kelvarin
