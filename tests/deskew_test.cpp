// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>

#include "app/ConvertCommand.h"
#include "cli/CliRun.h"
#include "common/Error.h"
#include "convert/PictureTurn.h"
#include "convert/deskew/SkewSearch.h"
#include "support/FormFixture.h"

namespace kelvarin {
namespace {

// Packed rows of one bit per cell, the first row at the bottom, as the grid reads them.
struct Cells {
    std::vector<std::uint8_t> bytes;
    VirtualVram vram;

    Cells(std::int32_t width, std::int32_t height) : bytes(static_cast<std::size_t>((width + 7) / 8 * height)) {
        vram.attach(bytes, width, height, (width + 7) / 8);
    }
    void set(std::int32_t x, std::int32_t y) {
        bytes[static_cast<std::size_t>(y * ((vram.width() + 7) / 8) + x / 8)] |=
            static_cast<std::uint8_t>(0x80 >> x % 8);
    }
};

// A binary PBM file's black dots as line cells.
Cells readPbm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    std::int32_t width = 0;
    std::int32_t height = 0;
    in >> magic >> width >> height;
    in.get();
    Cells cells(width, height);
    const auto stride = static_cast<std::size_t>((width + 7) / 8);
    for (std::int32_t row = height - 1; row >= 0; --row) {
        in.read(reinterpret_cast<char*>(cells.bytes.data() + static_cast<std::size_t>(row) * stride),
                static_cast<std::streamsize>(stride));
    }
    EXPECT_TRUE(magic == "P4" && in) << path;
    return cells;
}

std::int64_t lineCellCount(const VirtualVram& vram) {
    std::int64_t count = 0;
    for (std::int32_t y = 0; y < vram.height(); ++y) {
        for (std::int32_t i = 0; i < vram.wordsPerRow(); ++i) {
            count += std::popcount(vram.word(y, i));
        }
    }
    return count;
}

// A4 pages at 200 dpi drawn by Pillow and turned by known angles, with soft edges, noise and dust.
class deskew : public test::FormFixture {
protected:
    static void SetUpTestSuite() {
        pages = new test::TempDir;
        ASSERT_TRUE(test::makeTestData("make-skewed-pages.py", pages->path()));
    }
    static void TearDownTestSuite() {
        delete pages;
        pages = nullptr;
    }

    // Each page's file and turn in degrees.
    static std::vector<std::pair<std::string, double>> turnedPages() {
        std::ifstream listing(pages->file("pages.txt"));
        std::vector<std::pair<std::string, double>> list;
        std::string name;
        double degrees = 0;
        while (listing >> name >> degrees) {
            list.emplace_back(pages->file(name), degrees);
        }
        return list;
    }

    struct EvidencePage {
        std::string file;
        double degrees = 0;
        bool plenty = false;  // long lines along the axes are plenty, rather than few among lines at many angles
    };

    // Parcel maps and road plans with few lines along the axes, beside pages with plenty.
    static std::vector<EvidencePage> evidencePages() {
        std::ifstream listing(pages->file("evidence.txt"));
        std::vector<EvidencePage> list;
        EvidencePage page;
        int plenty = 0;
        while (listing >> page.file >> page.degrees >> plenty) {
            page.file = pages->file(page.file);
            page.plenty = plenty != 0;
            list.push_back(page);
        }
        return list;
    }

    // Converts a page read through the program with the given options; the longest LINE's length.
    double longestLine(const std::string& page, bool deskewing) {
        read(page);
        std::remove(work.file("out.dxf").c_str());
        view.setText(textFile(1), work.file("out.dxf"));
        state.conversionOptions.Deskew = deskewing;
        view.clearLog();
        EXPECT_TRUE(cmdConvert_Click(form)) << testing::PrintToString(view.messages());
        std::istringstream dxf(test::readBytes(work.file("out.dxf")));
        double longest = 0;
        std::string code;
        std::string value;
        double x1 = 0;
        while (std::getline(dxf, code) && std::getline(dxf, value)) {
            if (code == " 10\r") {
                x1 = std::stod(value);
            } else if (code == " 11\r") {
                longest = std::max(longest, std::abs(std::stod(value) - x1));
            }
        }
        return longest;
    }

    static test::TempDir* pages;
};

test::TempDir* deskew::pages = nullptr;

TEST_F(deskew, finds_a_known_turn_within_a_fiftieth_of_a_degree_and_turns_it_back) {
    SilentReport silent;
    for (const auto& [page, degrees] : turnedPages()) {
        SCOPED_TRACE(page);
        const Cells cells = readPbm(page);
        const SkewEstimate found = findSkew(cells.vram, silent);
        EXPECT_NEAR(found.degrees, degrees, 0.02);
        EXPECT_GE(found.lines, 2);

        TurnedGrid turned;
        turnGrid(cells.vram, -found.degrees, turned, silent);
        EXPECT_NEAR(findSkew(turned.vram, silent).degrees, 0, 0.02);
        // Only the corners leave the page.
        EXPECT_NEAR(static_cast<double>(lineCellCount(turned.vram)), static_cast<double>(lineCellCount(cells.vram)),
                    0.02 * static_cast<double>(lineCellCount(cells.vram)));
    }
}

// A page is turned back only by its turn, found within a tenth of a degree, or not at all: where its long
// lines near the axes are few and run at several angles (a street's lots a little off the axes, a road's
// edges), any turn taken from them would be a guess, and the page is left as it is, said to be unsure.
// With a frame, or walls along the axes, the same pages are turned back.
TEST_F(deskew, turns_a_page_back_only_by_its_own_turn) {
    SilentReport silent;
    const std::vector<EvidencePage> list = evidencePages();
    ASSERT_EQ(list.size(), 19U);
    for (const EvidencePage& page : list) {
        SCOPED_TRACE(page.file);
        const SkewEstimate found = findSkew(readPbm(page.file).vram, silent);
        if (page.plenty || !found.unsure) {
            EXPECT_NEAR(found.degrees, page.degrees, 0.1);
            EXPECT_FALSE(found.unsure);
        } else {
            EXPECT_EQ(found.degrees, 0);
        }
        if (page.plenty) {
            EXPECT_GE(found.lines, 4);
        }
    }
}

TEST(skew_search, a_page_without_long_lines_keeps_its_angle) {
    SilentReport silent;
    std::mt19937 random(3);
    Cells noise(500, 300);
    for (int k = 0; k < 15000; ++k) {
        noise.set(static_cast<std::int32_t>(random() % 500), static_cast<std::int32_t>(random() % 300));
    }
    for (const Cells* page : {&noise, new Cells(500, 300), new Cells(8, 3000)}) {
        const SkewEstimate found = findSkew(page->vram, silent);
        EXPECT_EQ(found.degrees, 0);
        EXPECT_EQ(found.lines, 0);
        if (page != &noise) {
            delete page;
        }
    }
}

// A stroke three cells wide from a to b.
void drawStroke(Cells& cells, double ax, double ay, double bx, double by) {
    const int steps = static_cast<int>(std::hypot(bx - ax, by - ay)) + 1;
    for (int k = 0; k <= steps; ++k) {
        const double x = ax + (bx - ax) * k / steps;
        const double y = ay + (by - ay) * k / steps;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                cells.set(static_cast<std::int32_t>(std::lround(x)) + dx,
                          static_cast<std::int32_t>(std::lround(y)) + dy);
            }
        }
    }
}

// A map or a sketch: long lines at every angle, a few of them a little off the axes, each way by another
// angle. Turning the page by any of them would be wrong; it is left as it is, and said to be.
TEST(skew_search, a_page_of_lines_at_every_angle_is_left_unturned) {
    SilentReport silent;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    Cells page(1600, 1200);
    for (int k = 0; k < 40; ++k) {
        const double degrees = 8 + 74 * unit(random) + (k % 2) * 90;
        const double length = 200 + 400 * unit(random);
        const double x = 300 + 1000 * unit(random), y = 300 + 600 * unit(random);
        const double dx = std::cos(degrees * std::numbers::pi / 180) * length / 2;
        const double dy = std::sin(degrees * std::numbers::pi / 180) * length / 2;
        drawStroke(page, x - dx, y - dy, x + dx, y + dy);
    }
    for (const auto& [degrees, y] : {std::pair{4.2, 200.0}, {4.2, 1000.0}, {-2.5, 600.0}, {1.5, 1100.0}}) {
        const double rise = std::tan(degrees * std::numbers::pi / 180) * 300;
        drawStroke(page, 100, y - rise, 700, y + rise);
    }
    const SkewEstimate found = findSkew(page.vram, silent);
    EXPECT_EQ(found.degrees, 0);
    EXPECT_TRUE(found.unsure);
    EXPECT_EQ(SkewNote(found.degrees), "傾き補正: 0°（縦横の長い線が少ないか揃わないため、回していません）");
}

// The turn copies stretches of rows a word at a time; cell by cell, each cell must still come from the
// cell the mapping names.
TEST(picture_turn, copies_each_cell_from_where_the_turn_maps_it) {
    SilentReport silent;
    std::mt19937 random(7);
    for (const auto& [width, height] : {std::pair{1, 1}, {64, 5}, {203, 77}, {130, 190}}) {
        Cells cells(width, height);
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                if (random() % 3 == 0) {
                    cells.set(x, y);
                }
            }
        }
        for (const double degrees : {-5.0, -0.3, 0.0, 0.01, 2.7, 5.0}) {
            TurnedGrid turned;
            turnGrid(cells.vram, degrees, turned, silent);
            const TurnMapping mapping(width, height, degrees);
            std::int32_t wrong = 0;
            for (std::int32_t y = 0; y < height; ++y) {
                const TurnMapping::Row row = mapping.row(y);
                for (std::int32_t x = 0; x < width; ++x) {
                    const std::int64_t sourceX = row.sourceX(x);
                    const std::int64_t sourceY = row.sourceY(x);
                    const bool inside = sourceX >= 0 && sourceY >= 0 && sourceX < width && sourceY < height;
                    const int expected =
                        inside ? cells.vram.at(static_cast<std::int32_t>(sourceX), static_cast<std::int32_t>(sourceY))
                               : 0;
                    wrong += turned.vram.at(x, y) != expected;
                }
            }
            EXPECT_EQ(wrong, 0) << width << " x " << height << " at " << degrees;
        }
    }
    // A quarter cell off the centre turns about it: the centre cell of an odd square stays.
    EXPECT_EQ(TurnMapping(5, 5, 3).row(2).sourceX(2), 2);
    EXPECT_EQ(TurnMapping(5, 5, 3).row(2).sourceY(2), 2);
}

TEST_F(deskew, the_conversion_finds_runs_in_the_turned_picture_and_stops_on_request) {
    const auto [page, degrees] = turnedPages().front();
    const double turnedRun = longestLine(page, false);
    const double squareRun = longestLine(page, true);
    EXPECT_NEAR(state.SkewDegrees, degrees, 0.02);
    EXPECT_EQ(SkewNote(state.SkewDegrees), "傾き補正: 4.7°");
    EXPECT_EQ(SkewNote(-0.004), "傾き補正: 0°");
    // The frame's lines, 5 dots wide and 2259 long, give runs of at most 61 dots when turned by 4.7°; once
    // the page is square only the noise breaks them.
    EXPECT_LT(turnedRun, 62);
    EXPECT_GT(squareRun, 500);
    const std::vector<std::string> captions = view.captions();
    for (const char* done : {"Pass3 : 100%", "Pass4 : 100%"}) {
        EXPECT_NE(std::find(captions.begin(), captions.end(), done), captions.end()) << done;
    }
    test::keepForReaderCheck(work.file("out.dxf"), "deskewed.dxf");

    // The command line says the angle it took back, unless asked to be quiet.
    for (const bool quiet : {false, true}) {
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> arguments{"--yes", "--deskew", "-o", work.file("cli.dxf"), page};
        if (quiet) {
            arguments.insert(arguments.begin(), "--quiet");
        }
        EXPECT_EQ(runCli(arguments, {program.file("kelvarin-cli"), in, out, err}), kExitConverted);
        EXPECT_EQ(err.str(),
                  quiet ? "" : page + ": 変換終了して、ファイルに書き出しました\n" + page + ": 傾き補正: 4.7°\n");
    }

    // The vector mode turns its drawing instead: the frame's long lines come out square to the page (the
    // page's line drawn at 30 degrees is long too, and slants as drawn).
    state.conversionOptions.Vectorize = true;
    longestLine(page, true);
    int squareLines = 0;
    for (const VectorLine& line : state.vectorDrawing.lines) {
        const double dx = line.b.x - line.a.x;
        const double dy = line.b.y - line.a.y;
        const double slant = std::atan2(std::min(std::abs(dx), std::abs(dy)), std::max(std::abs(dx), std::abs(dy)));
        if (std::hypot(dx, dy) > 500 && slant * 180 / std::numbers::pi < 10) {
            EXPECT_LT(slant * 180 / std::numbers::pi, 0.02);
            ++squareLines;
        }
    }
    EXPECT_GE(squareLines, 4);
    state.conversionOptions.Vectorize = false;

    // A stop in either pass of its own leaves no file behind.
    view.setPacing({1, std::chrono::nanoseconds(0)});
    for (const std::string pass : {"Pass3 : ", "Pass4 : "}) {
        std::remove(work.file("out.dxf").c_str());
        view.onEvents = [&] {
            if (view.captions().back().rfind(pass, 0) == 0) {
                throw KelvarinError(ErrorCode::Interrupted);
            }
        };
        view.clearLog();
        EXPECT_FALSE(cmdConvert_Click(form));
        EXPECT_FALSE(test::fileExists(work.file("out.dxf"))) << pass;
        EXPECT_EQ(state.PassNumber, 0);
    }
}

}  // namespace
}  // namespace kelvarin
