// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <tuple>

#include "cli/CliRun.h"
#include "support/FormFixture.h"

namespace kelvarin {
namespace {

// A picture as text rows, the top row first; '#' is black.
using Picture = std::vector<std::string>;

// The picture as a binary PBM file (1 is black), which the program reads like any other picture.
void writePbm(const std::string& path, const Picture& rows) {
    std::string bytes = "P4\n" + std::to_string(rows[0].size()) + " " + std::to_string(rows.size()) + "\n";
    for (const std::string& row : rows) {
        std::string packed((row.size() + 7) / 8, '\0');
        for (std::size_t x = 0; x < row.size(); ++x) {
            if (row[x] == '#') {
                packed[x / 8] = static_cast<char>(packed[x / 8] | (0x80 >> (x % 8)));
            }
        }
        bytes += packed;
    }
    test::writeBytes(path, bytes);
}

// The picture with every 8-connected group of at most maxPixels cells of the line character turned into
// background: a plain flood fill from each cell not yet visited.
Picture withoutSmallGroups(Picture rows, char line, std::int64_t maxPixels) {
    const auto height = static_cast<int>(rows.size());
    const auto width = static_cast<int>(rows[0].size());
    std::vector<std::vector<bool>> visited(rows.size(), std::vector<bool>(rows[0].size()));
    for (int startY = 0; startY < height; ++startY) {
        for (int startX = 0; startX < width; ++startX) {
            if (visited[startY][startX] || rows[startY][startX] != line) {
                continue;
            }
            std::vector<std::pair<int, int>> group{{startX, startY}};
            visited[startY][startX] = true;
            for (std::size_t next = 0; next < group.size(); ++next) {
                const auto [x, y] = group[next];
                for (int ny = y - 1; ny <= y + 1; ++ny) {
                    for (int nx = x - 1; nx <= x + 1; ++nx) {
                        if (nx >= 0 && ny >= 0 && nx < width && ny < height && !visited[ny][nx] &&
                            rows[ny][nx] == line) {
                            visited[ny][nx] = true;
                            group.emplace_back(nx, ny);
                        }
                    }
                }
            }
            if (static_cast<std::int64_t>(group.size()) <= maxPixels) {
                for (const auto& [x, y] : group) {
                    rows[y][x] = line == '#' ? '.' : '#';
                }
            }
        }
    }
    return rows;
}

Picture randomPicture(std::mt19937& random, int width, int height, unsigned percent) {
    Picture rows(static_cast<std::size_t>(height), std::string(static_cast<std::size_t>(width), '.'));
    for (auto& row : rows) {
        for (auto& cell : row) {
            cell = random() % 100 < percent ? '#' : '.';
        }
    }
    return rows;
}

// The LINE entities of a DXF file, each as its four coordinate texts.
using Lines = std::vector<std::array<std::string, 4>>;
Lines linesOf(const std::string& dxf) {
    std::istringstream in(dxf);
    std::vector<std::string> texts;
    for (std::string line; std::getline(in, line);) {
        texts.push_back(line.substr(0, line.size() - 1));  // CR LF
    }
    Lines lines;
    for (std::size_t i = 0; i + 16 < texts.size(); ++i) {
        if (texts[i] == "LINE" && texts[i - 1] == "  0") {
            lines.push_back({texts[i + 8], texts[i + 10], texts[i + 12], texts[i + 14]});
        }
    }
    return lines;
}

class conversion_options : public test::FormFixture {
protected:
    // Runs kelvarin-cli on the picture with the arguments; gives the DXF written.
    std::string convert(const Picture& picture, std::vector<std::string> arguments) {
        const std::string input = work.file("picture.pbm");
        const std::string output = work.file("picture.dxf");
        writePbm(input, picture);
        std::remove(output.c_str());
        arguments.insert(arguments.end(), {"-q", "-y", "-o", output, input});
        std::istringstream in;
        std::ostringstream out;
        err.str("");
        status = runCli(arguments, {program.file("kelvarin-cli"), in, out, err});
        return test::fileExists(output) ? test::readBytes(output) : std::string();
    }

    std::ostringstream err;
    int status = -1;
};

TEST_F(conversion_options, despeckling_equals_the_picture_without_its_small_groups) {
    std::mt19937 random(5);
    // A bar of 4 dots and a diagonal of 5 (one group only with corners counted), and random pictures
    // around the 64-dot words with groups that join only rows later.
    Picture crafted = {"..........", ".####.....", "..........", ".....#....", "......#...",
                       ".......#..", "........#.", ".........#", "#.........", "#........#"};
    const std::vector<Picture> pictures = {crafted, randomPicture(random, 130, 40, 30),
                                           randomPicture(random, 64, 50, 45), randomPicture(random, 71, 33, 15)};
    int changed = 0;
    for (std::size_t p = 0; p < pictures.size(); ++p) {
        for (const std::int64_t maxPixels : {1, 4, 9}) {
            for (const char* colour : {"black", "white"}) {
                const char line = std::string(colour) == "black" ? '#' : '.';
                const Picture cleaned = withoutSmallGroups(pictures[p], line, maxPixels);
                changed += cleaned != pictures[p];
                for (const std::vector<std::string>& mode : {std::vector<std::string>{"--lines", "horizontal"},
                                                             {"--lines", "vertical"},
                                                             {"--lines", "both"},
                                                             {"--strokes"}}) {
                    std::vector<std::string> arguments = mode;
                    arguments.insert(arguments.end(), {"--color", colour});
                    const std::string expected = convert(cleaned, arguments);
                    const int expectedStatus = status;
                    arguments.insert(arguments.end(), {"--despeckle", std::to_string(maxPixels)});
                    const std::string despeckled = convert(pictures[p], arguments);
                    ASSERT_EQ(status, expectedStatus) << err.str();
                    EXPECT_TRUE(despeckled == expected)
                        << "picture " << p << " at most " << maxPixels << " " << colour << " " << mode.back();
                }
            }
        }
    }
    EXPECT_GE(changed, 12);  // the pictures do have small groups to remove
    test::keepForReaderCheck(work.file("picture.dxf"), "conversion_options-despeckle");

    // 0 removes nothing.
    EXPECT_EQ(convert(pictures[1], {"--despeckle", "0"}), convert(pictures[1], {}));
}

TEST_F(conversion_options, strokes_draw_each_rectangle_along_its_middle) {
    // Rows top first; the drawing's y counts from the bottom row. Scale 2, offset 10: cell c is at 2c + 10,
    // the middle of cells c and c + 1 at 2c + 11.
    const Picture picture = {
        "############",  // y 9: a row across the whole width
        "...........#",  // y 8: the right edge column, rows 0-8
        ".##........#",  // y 7: a 2 x 2 square
        ".##..###...#",  // y 6: a 3-row bar touching a 2-wide column below it
        ".....###...#",  // y 5
        ".....###...#",  // y 4
        "#....##....#",  // y 3: a dot; the 2-wide column y 0-3
        ".....##....#",  // y 2
        ".....##.#..#",  // y 1: a dot
        ".....##....#",  // y 0
    };
    const std::string dxf =
        convert(picture, {"--strokes", "--size-x", "24", "--offset-x", "10", "--offset-y", "10", "--size-y", "20"});
    ASSERT_EQ(status, kExitConverted) << err.str();
    // By last row, then first column.
    EXPECT_EQ(linesOf(dxf), (Lines{
                                {"26", "12", "26", "12"},  // dot (8, 1), ends at y 1
                                {"10", "16", "10", "16"},  // dot (0, 3), ends at y 3
                                {"21", "10", "21", "16"},  // column 5-6 x y 0-3: vertical at x 5.5
                                {"20", "20", "24", "20"},  // bar 5-7 x y 4-6 on the column: horizontal at y 5
                                {"12", "23", "14", "23"},  // square 1-2 x y 6-7: horizontal at y 6.5
                                {"32", "10", "32", "26"},  // edge column x 11, y 0-8
                                {"10", "28", "32", "28"},  // top row
                            }));
    test::keepForReaderCheck(work.file("picture.dxf"), "conversion_options-strokes");
}

TEST_F(conversion_options, strokes_one_dot_thick_are_todays_lines) {
    // No two rows alike: every rectangle is one row high and the strokes are the horizontal runs.
    const Picture rows = {"##.#..###.", ".#.##...##", "###.#.#..#", "#..##.##.."};
    EXPECT_EQ(convert(rows, {"--strokes", "--size-x", "3.7", "--offset-y", "2"}),
              convert(rows, {"--lines", "horizontal", "--size-x", "3.7", "--offset-y", "2"}));
    // Columns one dot wide ending in higher rows from left to right come in the vertical pass's order.
    const Picture columns = {"....#", "..#.#", "#.#.#", "#.#..", "#...."};
    EXPECT_EQ(convert(columns, {"--strokes", "--color", "black", "--size-y", "0.3"}),
              convert(columns, {"--lines", "vertical", "--size-y", "0.3"}));
}

TEST_F(conversion_options, refusals_and_usage_errors) {
    const Picture picture = {"##..", "##.."};
    EXPECT_TRUE(convert(picture, {"--strokes", "--thinning", "2"}).empty());
    EXPECT_EQ(status, kExitFailed);
    EXPECT_EQ(err.str(), work.file("picture.pbm") + ": ストローク（--strokes）は間引き数 1 のときだけ使えます\n");
    for (const char* value : {"-1", "x", "1.5", "", "99999999999999999999"}) {
        convert(picture, {"--despeckle", value});
        EXPECT_EQ(status, kExitUsage) << value;
        EXPECT_NE(err.str().find("--despeckle の値が正しくありません"), std::string::npos) << value;
    }
    // Everything removed leaves no lines.
    convert(picture, {"--despeckle", "4"});
    EXPECT_EQ(err.str(), work.file("picture.pbm") + ": このデータにはラインがありませんでした\n");

    EXPECT_TRUE(convert(picture, {"--vectorize", "--thinning", "2"}).empty());
    EXPECT_EQ(err.str(), work.file("picture.pbm") + ": ベクトル化（--vectorize）は間引き数 1 のときだけ使えます\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> usageErrors = {
        {{"--vectorize", "--strokes"}, "--vectorize は --strokes と一緒に使えません"},
        {{"--lines", "both", "--vectorize"}, "--vectorize は --lines と一緒に使えません"},
        {{"--tolerance", "2"}, "--tolerance は --vectorize と一緒に使います"},
        {{"--vectorize", "--tolerance", "0"}, "--tolerance の値が正しくありません: 0"},
        {{"--vectorize", "--tolerance", "1.5px"}, "--tolerance の値が正しくありません: 1.5px"},
    };
    for (const auto& [arguments, message] : usageErrors) {
        convert(picture, arguments);
        EXPECT_EQ(status, kExitUsage) << message;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
    }
}

// A circle and a frame, drawn as text rows: the vector mode writes one CIRCLE and four LINEs placed by the
// size and offset, which the independent reader loads.
TEST_F(conversion_options, vectorize_writes_circles_and_lines_in_drawing_units) {
    Picture picture(120, std::string(160, '.'));
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            const double fromCentre = std::hypot(x - 60.0, (119 - y) - 60.0);
            const bool frame = (x >= 5 && x <= 155 && (std::abs(y - 6) <= 1 || std::abs(y - 113) <= 1)) ||
                               (y >= 5 && y <= 114 && (std::abs(x - 6) <= 1 || std::abs(x - 154) <= 1));
            picture[y][x] = frame || std::abs(fromCentre - 35) <= 1.5 ? '#' : '.';
        }
    }
    const std::string dxf = convert(picture, {"--vectorize", "--no-text", "--size-x", "320", "--offset-x", "10"});
    ASSERT_EQ(status, kExitConverted) << err.str();
    EXPECT_EQ(linesOf(dxf).size(), 4U);
    const std::size_t circle = dxf.find("\r\nCIRCLE\r\n");
    ASSERT_NE(circle, std::string::npos);
    EXPECT_EQ(dxf.find("CIRCLE", circle + 8), std::string::npos);
    std::istringstream fields(dxf.substr(circle));
    std::vector<double> values;  // centre x, centre y, radius, after the layer, line type and colour
    for (std::string code, value; std::getline(fields, code) && std::getline(fields, value);) {
        if (code == " 10\r" || code == " 20\r" || code == " 40\r") {
            values.push_back(std::stod(value));
        }
    }
    ASSERT_GE(values.size(), 3U);
    EXPECT_NEAR(values[0], 60 * 2 + 10, 2);
    EXPECT_NEAR(values[1], 60 * 2, 2);
    EXPECT_NEAR(values[2], 35 * 2, 2);
    test::keepForReaderCheck(work.file("picture.dxf"), "conversion_options-vectorize");

    // Scales that would make the circle an ellipse: it is written as the lines of a polygon instead.
    const std::string stretched = convert(picture, {"--vectorize", "--no-text", "--size-x", "320", "--size-y", "480"});
    EXPECT_EQ(stretched.find("CIRCLE"), std::string::npos);
    EXPECT_GT(linesOf(stretched).size(), 4U + 20U);  // a chord every 14 degrees or less
}

}  // namespace
}  // namespace kelvarin
