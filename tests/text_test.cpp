// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <numbers>
#include <random>
#include <set>
#include <sstream>

#include "bitmap/BitmapData.h"
#include "bitmap/BmpHeader.h"
#include "bitmap/PictureDecoding.h"
#include "bitmap/ReadFile.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "common/Toolkit.h"
#include "convert/LineSegmentList.h"
#include "dxf/DxfDocument.h"
#include "fileutil/Cp932Codec.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"
#include "text/GlyphGroups.h"
#include "text/LineCues.h"
#include "text/LineGuides.h"
#include "text/LineImage.h"
#include "text/LineReader.h"
#include "text/SlashedZeros.h"
#include "text/StraightStretches.h"
#include "text/SymbolFixes.h"
#include "text/TextLines.h"
#include "text/TextRecognition.h"
#include "vectorize/Vectorize.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {
namespace {

using test::TempDir;

constexpr double kDotsPerMm = 300 / 25.4;

// One page of tests/data/make-text-cases.py: a line of known text and the geometry drawn with it.
struct TextCase {
    std::string file, text;
    Point insertion;
    double height = 0, degrees = 0;
    std::string geometry;
};

std::vector<TextCase> readCases(const std::string& folder) {
    std::vector<TextCase> cases;
    std::ifstream listing(folder + "/cases.txt");
    for (std::string line; std::getline(listing, line);) {
        std::istringstream fields(line);
        TextCase c;
        std::string x, y, height, degrees;
        std::getline(fields, c.file, '\t');
        std::getline(fields, c.text, '\t');
        std::getline(fields, x, '\t');
        std::getline(fields, y, '\t');
        std::getline(fields, height, '\t');
        std::getline(fields, degrees, '\t');
        std::getline(fields, c.geometry, '\t');
        c.insertion = {std::stod(x), std::stod(y)};
        c.height = std::stod(height);
        c.degrees = std::stod(degrees);
        cases.push_back(c);
    }
    return cases;
}

// A scan read as the conversion reads it, its line cells the black pixels, and its text recognised at the
// file's resolution (300 dpi when it gives none).
struct RecognisedScan {
    BitmapData bitmap;
    VirtualVram grid;
    PageText page;
};

void recogniseScan(const std::string& path, RecognisedScan& scan) {
    SilentToolkit toolkit;
    ASSERT_TRUE(ReadFile(path, scan.bitmap, toolkit));
    ASSERT_TRUE(DecodePicture(scan.bitmap, ReadOptions{}, toolkit));
    const std::int32_t width = bitmapWidth(scan.bitmap.BmpHeader);
    scan.grid.attach(scan.bitmap.PixelBytes, width, bitmapHeight(scan.bitmap.BmpHeader), rowStride(width));
    scan.grid.invert();
    ConversionOptions options;
    options.Threads = 2;
    options.Text = true;
    PassState pass;
    recogniseText(scan.grid, scanDotsPerMm(scan.bitmap.BmpHeader), options, scan.page, pass, toolkit);
}

class text_recognition : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = std::make_unique<TempDir>();
        ASSERT_TRUE(test::makeTestData("make-text-cases.py", folder->path()));
    }
    static void TearDownTestSuite() { folder.reset(); }

    void recognise(const TextCase& c) { recogniseScan(folder->file(c.file), scan); }

    static std::unique_ptr<TempDir> folder;
    RecognisedScan scan;
    PageText& page = scan.page;
};

std::unique_ptr<TempDir> text_recognition::folder;

// Pieces of the CAD scans (tests/data/text-crops, Group 4 with their resolution), each with the line that
// must be read there, or none, cells of the drawing's lines that must stay geometry and cells of the text that
// must leave it: a value over an arrowhead on a piece of its line, a speck of the line between them; rows of
// relay contacts, large and alike, which are no text; a value whose 0 touches its dimension line; a small
// font's full stop and comma; a value whose dimension line runs on past a centre line's dash; labels struck
// through by a table's cell lines, which stay whole; the words of a line at 30°; the dot of an i over a
// short word, which leaves the geometry with its line; the hyphens of a phone number in a small font; a
// dimension's arrow, which the engine reads as a 1 and which stays geometry; a sheet's title block with
// labels ending in colons beside a chevron, which Japanese reads as two kana and which stays geometry; a
// frame's zone letter in its left and right margins (the two margins' pieces side by side); a word of one
// digit before a fraction.
TEST(text_crops, each_crop_reads_its_line_or_none) {
    const std::string folder = std::string(KELVARIN_TEST_DATA_DIR) + "/text-crops/";
    std::ifstream listing(folder + "cases.txt");
    int cases = 0;
    for (std::string line; std::getline(listing, line); ++cases) {
        std::istringstream fields(line);
        std::string file, expected, kept, cleared;
        std::getline(fields, file, '\t');
        std::getline(fields, expected, '\t');
        std::getline(fields, kept, '\t');
        std::getline(fields, cleared, '\t');
        SCOPED_TRACE(file);
        RecognisedScan scan;
        recogniseScan(folder + file, scan);
        const PageText& page = scan.page;
        for (const auto& [cells, ink] : {std::pair{kept, 1}, std::pair{cleared, 0}}) {
            std::istringstream points(cells);
            for (std::int32_t x = 0, y = 0; points >> x && points.ignore(1) && points >> y;) {
                EXPECT_EQ(page.withoutText.vram.at(x, y), ink) << "geometry at " << x << ", " << y;
            }
        }
        if (expected.empty()) {
            for (const VectorText& text : page.texts) {
                ADD_FAILURE() << "read \"" << text.text << "\"";
            }
            continue;
        }
        const bool read = std::any_of(page.texts.begin(), page.texts.end(),
                                      [&](const VectorText& text) { return text.text == expected; });
        EXPECT_TRUE(read) << expected;
    }
    EXPECT_GT(cases, 0);
}

double turnBetween(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360 - d);
}

// Text across, up, down and askew, Japanese, on a dimension line, in a table's cell, in a balloon, with a
// diameter sign, kanji in parts, a value that reads as letters upside down, decimal commas, a tag's two
// numbers one over the other in a halved diamond, an angle turned with its degree sign and words of small
// letters between wide word spaces, a 1 plotted as strokes in a balloon, a line on a scan turned 0.8°, a
// small word ending in a full stop, a title whose stems are as long as a short line, words joined by an
// underscore, a label standing on its guide line at 30°, one struck through at 330° and a value of two digits
// just above its dimension line at 30°: each page's line is
// read as drawn, placed at the start of its baseline with its cap height and turn (the scan's too), and its
// ink leaves the geometry while the line, the cell, the balloon's circle and the guide lines stay.
TEST_F(text_recognition, lines_are_found_read_and_taken_out_of_the_geometry) {
    const std::vector<TextCase> cases = readCases(folder->path());
    ASSERT_EQ(cases.size(), 25U);
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.file);
        page = PageText{};
        recognise(c);
        // A tag holds a 4 over the number; the page of a stroke balloon has a word beside it.
        const std::string other = c.geometry == "tag" ? "4" : c.geometry == "stroke balloon" ? "PARTS" : "";
        ASSERT_EQ(page.texts.size(), other.empty() ? 1U : 2U);
        const auto nearest = std::min_element(page.texts.begin(), page.texts.end(), [&](const auto& a, const auto& b) {
            return length(a.insertion - c.insertion) < length(b.insertion - c.insertion);
        });
        const VectorText& text = *nearest;
        if (!other.empty()) {
            EXPECT_EQ(page.texts[nearest == page.texts.begin() ? 1 : 0].text, other);
        }
        // Japanese words may lose the blank between them.
        std::string expected = c.text;
        if (expected == "設計 尺度") {
            EXPECT_TRUE(text.text == expected || text.text == "設計尺度") << text.text;
        } else {
            EXPECT_EQ(text.text, expected);
        }
        EXPECT_LT(turnBetween(text.degrees, c.degrees), 0.5) << text.degrees;
        // The cap height is the height of 田 for kanji, of H for Latin; many kanji stand taller than 田.
        EXPECT_NEAR(text.height, c.height, (japaneseCharacters(c.text) > 0 ? 0.2 : 0.16) * c.height);
        EXPECT_LT(std::hypot(text.insertion.x - c.insertion.x, text.insertion.y - c.insertion.y), 0.3 * c.height);
        EXPECT_EQ(page.leftAsGeometry, 0);
        // The text's ink is gone: no line cell left within a glyph's height of the insertion point along
        // the baseline, just above it.
        const double radians = c.degrees * std::numbers::pi / 180;
        const auto cellAt = [&](double along, double across) {
            const double x = c.insertion.x + along * std::cos(radians) - across * std::sin(radians);
            const double y = c.insertion.y + along * std::sin(radians) + across * std::cos(radians);
            return page.withoutText.vram.at(static_cast<std::int32_t>(std::lround(x)),
                                            static_cast<std::int32_t>(std::lround(y)));
        };
        // A line struck through the text stays, with the cells where strokes cross it.
        const auto struck = [&](double across) {
            return c.geometry == "askew strike" && std::abs(across - 0.5 * c.height) < 6;
        };
        int left = 0;
        for (double along = 0; along < c.height; along += 1) {
            for (double across = 0.2 * c.height; across < 0.8 * c.height; across += 1) {
                left += struck(across) ? 0 : cellAt(along, across);
            }
        }
        EXPECT_EQ(left, 0) << "text cells left in the geometry";
        // The geometry drawn with the text stays: cells of the line, the cell's left side, the circle's left.
        const auto x = static_cast<std::int32_t>(c.insertion.x);
        const auto y = static_cast<std::int32_t>(c.insertion.y);
        if (c.geometry == "line") {
            EXPECT_EQ(page.withoutText.vram.at(80, y - 1) + page.withoutText.vram.at(80, y - 2), 2);
            EXPECT_EQ(page.withoutText.vram.at(x + 10, y - 1) + page.withoutText.vram.at(x + 10, y - 2), 2);
        } else if (c.geometry == "cell") {
            EXPECT_EQ(page.withoutText.vram.at(x - 30, y + 30), 1);
            EXPECT_EQ(page.withoutText.vram.at(x + 100, y - 2), 1);
        } else if (c.geometry == "upright line") {
            EXPECT_EQ(page.withoutText.vram.at(x - 9, y + 20) + page.withoutText.vram.at(x - 9, y - 20), 2);
        } else if (c.geometry == "askew line") {
            EXPECT_EQ(cellAt(-40, -2) + cellAt(c.height, -2) + cellAt(4 * c.height, -2), 3);
        } else if (c.geometry == "askew line below") {
            EXPECT_EQ(cellAt(-40, -9) + cellAt(c.height, -9), 2);
        } else if (c.geometry == "askew strike") {
            EXPECT_EQ(cellAt(-40, c.height / 2) + cellAt(c.height, c.height / 2) + cellAt(4 * c.height, c.height / 2),
                      3);
        } else if (c.geometry == "circle") {
            EXPECT_EQ(page.withoutText.vram.at(x - 44, y + 25) | page.withoutText.vram.at(x - 43, y + 25), 1);
        }
    }
}

// Lines at many angles crossing a table of boxes: their pieces between the boxes' sides are bars, V's and
// X's of a glyph's size, and none is read as text.
TEST_F(text_recognition, pieces_of_crossing_lines_are_not_read_as_text) {
    TextCase crossings;
    crossings.file = "crossings.pbm";
    recognise(crossings);
    for (const VectorText& text : page.texts) {
        ADD_FAILURE() << "read \"" << text.text << "\" at " << text.insertion.x << ", " << text.insertion.y;
    }
}

// A glyph of the cells within half a pen of the points of a path, as row runs.
Glyph strokeGlyph(const std::vector<Point>& path, double pen) {
    std::set<std::pair<std::int32_t, std::int32_t>> cells;
    for (std::size_t k = 0; k + 1 < path.size(); ++k) {
        const double steps = std::ceil(std::hypot(path[k + 1].x - path[k].x, path[k + 1].y - path[k].y) * 4);
        for (double t = 0; t <= steps; ++t) {
            const double x = path[k].x + (path[k + 1].x - path[k].x) * t / steps;
            const double y = path[k].y + (path[k + 1].y - path[k].y) * t / steps;
            for (double dx = -pen / 2; dx <= pen / 2; dx += 0.5) {
                for (double dy = -pen / 2; dy <= pen / 2; dy += 0.5) {
                    if (dx * dx + dy * dy <= pen * pen / 4) {
                        cells.insert({static_cast<std::int32_t>(std::lround(y + dy)),
                                      static_cast<std::int32_t>(std::lround(x + dx))});
                    }
                }
            }
        }
    }
    Glyph glyph;
    glyph.left = glyph.bottom = INT32_MAX;
    glyph.right = glyph.top = INT32_MIN;
    for (auto cell = cells.begin(); cell != cells.end();) {
        const auto [y, x] = *cell;
        std::int32_t span = 1;
        while (cells.count({y, x + span}) > 0) {
            ++span;
        }
        glyph.runs.push_back({x, y, span, 1});
        glyph.cells += span;
        glyph.left = std::min(glyph.left, x);
        glyph.right = std::max(glyph.right, x + span - 1);
        glyph.bottom = std::min(glyph.bottom, y);
        glyph.top = std::max(glyph.top, y);
        cell = cells.find({y, x + span - 1});
        ++cell;
    }
    return glyph;
}

// Points along a circle from start to end degrees.
std::vector<Point> arcPath(Point centre, double radius, double start, double end) {
    std::vector<Point> path;
    for (double degrees = start; degrees <= end; degrees += 3) {
        const double radians = degrees * std::numbers::pi / 180;
        path.push_back({centre.x + radius * std::cos(radians), centre.y + radius * std::sin(radians)});
    }
    return path;
}

// An S of two bowls of radius 10.
std::vector<Point> sPath() {
    std::vector<Point> path = arcPath({10, 30}, 10, 0, 270);
    std::vector<Point> lower = arcPath({10, 10}, 10, -180, 90);
    path.insert(path.end(), lower.rbegin(), lower.rend());
    return path;
}

// The pieces of lines and arcs that crossings leave are open strokes; letters that turn are not.
TEST(text_glyphs, open_strokes_are_told_from_letters) {
    struct Case {
        const char* name;
        std::vector<Point> path;
        double pen;
        bool open;
    };
    const std::vector<Case> cases = {
        {"a line askew", {{0, 0}, {30, 40}}, 3, true},
        {"a thick line askew", {{0, 0}, {50, 20}}, 7, true},
        {"a piece of a large arc", arcPath({0, 0}, 200, 20, 35), 3, true},
        {"a piece of a small arc", arcPath({0, 0}, 40, 10, 70), 2, true},
        {"a ( ", arcPath({0, 0}, 30, 120, 240), 3, true},
        {"an L", {{0, 40}, {0, 0}, {30, 0}}, 4, false},
        {"a V", {{0, 40}, {15, 0}, {30, 40}}, 3, false},
        {"a C", arcPath({0, 0}, 20, 45, 315), 3, false},
        {"an O", arcPath({0, 0}, 20, 0, 360), 3, false},
        {"an S", sPath(), 3, false},
        {"a Z", {{0, 40}, {30, 40}, {0, 0}, {30, 0}}, 3, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isOpenStroke(strokeGlyph(c.path, c.pen)), c.open) << c.name;
    }
}

// A straight stroke longer than a bar of text, at any angle, is of a line of the drawing; letters, arcs and
// shorter strokes are not.
TEST(text_glyphs, long_straight_strokes_are_found_at_any_angle) {
    constexpr double kLongestBar = 83;  // 7 mm at 300 dpi
    struct Case {
        const char* name;
        std::vector<Point> path;
        bool straight;
    };
    const std::vector<Case> cases = {
        {"a tag's corner", {{70, 70}, {0, 0}, {70, -70}}, true},
        {"a tag's side and stem", {{0, 75}, {75, 0}, {75, -40}}, true},
        {"a line at 10 degrees", {{0, 0}, {98, 17}}, true},
        {"a line at 80 degrees, short", {{0, 0}, {13, 74}}, false},
        {"an A", {{0, 0}, {20, 60}, {40, 0}}, false},
        {"a half circle", arcPath({0, 0}, 60, 0, 180), false},
        {"a zigzag of short strokes", {{0, 0}, {30, 40}, {60, 0}, {90, 40}, {120, 0}}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hasStraightStretch(strokeGlyph(c.path, 4), kLongestBar), c.straight) << c.name;
    }
}

// Pages of glyphs, dust and specks at random, in clusters as text and hatches make them, and two rows of
// two letters with a speck between the rows, which joins the letters' column though the letters stand in
// rows: grouping them into lines never fails, and no glyph stands in two lines.
TEST(text_lines, any_page_of_glyphs_groups_into_lines_once_each) {
    const GlyphSizes sizes = GlyphSizes::forResolution(kDotsPerMm);
    std::mt19937 random(7);
    const auto uniform = [&](double low, double high) { return std::uniform_real_distribution<>(low, high)(random); };
    const auto letterO = [](double x, double y) {
        return strokeGlyph({{x, y}, {x + 28, y}, {x + 28, y + 40}, {x, y + 40}, {x, y}}, 3);
    };
    std::vector<std::vector<Glyph>> pages = {{letterO(100, 100), letterO(140, 100), letterO(100, 160),
                                              letterO(140, 160), strokeGlyph({{112, 150}, {113, 150}}, 3)}};
    for (int page = 0; page < 200; ++page) {
        std::vector<Glyph>& glyphs = pages.emplace_back();
        for (int cluster = 0; cluster < 6; ++cluster) {
            const Point centre{uniform(100, 900), uniform(100, 900)};
            const double size = uniform(3, 60);
            for (int k = static_cast<int>(uniform(1, 20)); k > 0; --k) {
                const Point at{centre.x + uniform(-3, 3) * size, centre.y + uniform(-3, 3) * size};
                const double length = size * uniform(0.1, 1.2);
                glyphs.push_back(
                    strokeGlyph({at, {at.x + length * uniform(-1, 1), at.y + length * uniform(-1, 1)}}, uniform(1, 4)));
            }
        }
    }
    for (std::size_t page = 0; page < pages.size(); ++page) {
        const std::vector<Glyph>& glyphs = pages[page];
        std::vector<int> seen(glyphs.size(), 0);
        for (const GlyphLine& line : groupIntoLines(glyphs, sizes)) {
            EXPECT_FALSE(line.directions.empty());
            for (const std::size_t i : line.glyphs) {
                ASSERT_LT(i, glyphs.size());
                EXPECT_EQ(++seen[i], 1) << "page " << page << " glyph " << i;
            }
        }
    }
}

// A glyph at the end of a line of the drawing, up or across (an arrowhead on its dimension line, a tick
// on a line) is the line's end; a 1 standing on a line across, or alone, is not.
TEST(text_glyphs, ends_of_lines_are_told_from_characters) {
    const auto one = [](double x, double y) { return strokeGlyph({{x - 4, y + 29}, {x, y + 33}, {x, y}}, 3); };
    const auto arrowhead = [](double x, double y) {
        return strokeGlyph({{x, y}, {x - 5, y + 30}, {x + 5, y + 30}, {x, y}, {x, y + 30}}, 4);
    };
    struct Case {
        const char* name;
        Glyph glyph;
        std::vector<Glyph> lines;  // the drawing's lines beside it, in the grid as well
        bool end;
    };
    const std::vector<Case> cases = {
        {"arrowhead on its line", arrowhead(100, 40), {strokeGlyph({{100, 72}, {100, 190}}, 3)}, true},
        {"arrowhead pointing left",
         strokeGlyph({{40, 100}, {70, 95}, {70, 105}, {40, 100}, {70, 100}}, 4),
         {strokeGlyph({{72, 100}, {190, 100}}, 3)},
         true},
        {"1 on a line across", one(100, 40), {strokeGlyph({{20, 36}, {180, 36}}, 3)}, false},
        {"1 in a cell", one(100, 40), {strokeGlyph({{20, 30}, {180, 30}, {180, 90}, {20, 90}, {20, 30}}, 3)}, false},
        {"1 alone", one(100, 40), {}, false},
    };
    for (const Case& c : cases) {
        constexpr std::int32_t kSize = 200;
        std::vector<std::uint8_t> rows(kSize * kSize / 8, 0);
        std::vector<Glyph> painted = c.lines;
        painted.push_back(c.glyph);
        for (const Glyph& g : painted) {
            for (const LineSegment& run : g.runs) {
                for (std::int32_t x = run.StartX; x < run.StartX + run.SpanX; ++x) {
                    rows[static_cast<std::size_t>(run.StartY * kSize + x) / 8] |= std::uint8_t(0x80 >> (x % 8));
                }
            }
        }
        VirtualVram grid;
        grid.attach(rows, kSize, kSize, kSize / 8);
        EXPECT_EQ(endsALine(grid, c.glyph), c.end) << c.name;
    }
}

// A ring or a dot about the end of a line at 30° is the line's mark; a letter standing on the line at its
// end, a ring across the line away from its ends and a ring beside the end are not.
TEST(text_glyphs, marks_of_a_lines_end_are_told_from_letters) {
    const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
    const AskewLine line{{100, 100}, {c, s}, 3.5, -80, 60};
    const Point end = line.at(line.last);
    const auto ring = [](Point centre, double radius) {
        std::vector<Point> path;
        for (int k = 0; k <= 24; ++k) {
            path.push_back({centre.x + radius * std::cos(k * std::numbers::pi / 12),
                            centre.y + radius * std::sin(k * std::numbers::pi / 12)});
        }
        return strokeGlyph(path, 4);
    };
    // An L standing on the line where it ends: its stem and foot on the line's upper side.
    const Point foot = end - Point{c, s} * 20 + Point{-s, c} * 3;
    const Glyph letter = strokeGlyph({foot + Point{-s, c} * 30, foot, foot + Point{c, s} * 18}, 3);
    struct Case {
        const char* name;
        Glyph glyph;
        bool mark;
    };
    const std::vector<Case> cases = {
        {"ring about the end", ring(end, 16), true},
        {"dot on the end", ring(end, 5), true},
        {"letter standing at the end", letter, false},
        {"ring across the middle", ring(line.at(-20), 16), false},
        {"ring beside the end", ring(end + Point{-s, c} * 30, 16), false},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(marksLineEnd(k.glyph, line), k.mark) << k.name;
    }
}

// A value whose decimal point a CAD font sets in a gap wider than its digits' ("1.940"): the point joins the
// digits on either side into one line, but not a point above the baseline, nor the parts of kanji (square
// cells) beside a dot, nor digits that far apart without a point.
TEST(text_lines, a_decimal_point_joins_a_wide_gap) {
    const GlyphSizes sizes = GlyphSizes::forResolution(kDotsPerMm);
    // As scanned at 300 dpi: a 1 of one stroke, the point 14 dots after it, the 9 36 dots after the 1.
    const auto one = [](double x) { return strokeGlyph({{x - 3, 837}, {x + 1, 841}, {x + 1, 810}}, 3); };
    const auto digit = [](double x, double wide) {
        return strokeGlyph({{x + 1, 810}, {x + wide - 2, 810}, {x + wide - 2, 841}, {x + 1, 841}, {x + 1, 810}}, 3);
    };
    const auto point = [](double x, double y) { return strokeGlyph({{x + 2, y + 2}, {x + 3, y + 3}}, 4); };
    struct Case {
        const char* name;
        std::vector<Glyph> glyphs;  // the first two stand on either side of the gap
        bool joined;
    };
    const std::vector<Case> cases = {
        {"decimal point", {one(1278), digit(1320, 18), point(1298, 808), digit(1342, 18), digit(1367, 18)}, true},
        {"no point", {one(1278), digit(1320, 18), digit(1342, 18), digit(1367, 18)}, false},
        {"point above the baseline", {one(1278), digit(1320, 18), point(1298, 822), digit(1342, 18)}, false},
        {"square cells", {digit(1240, 34), digit(1310, 34), point(1288, 808), digit(1350, 34)}, false},
    };
    for (const Case& c : cases) {
        const std::vector<GlyphLine> lines = groupIntoLines(c.glyphs, sizes);
        const bool joined = std::any_of(lines.begin(), lines.end(), [](const GlyphLine& line) {
            const auto has = [&](std::size_t g) { return std::count(line.glyphs.begin(), line.glyphs.end(), g) > 0; };
            return has(0) && has(1);
        });
        EXPECT_EQ(joined, c.joined) << c.name;
    }
}

// A dimension's value with its arrow or a dash of its line beside it: a flat piece twice as long as the
// digits, an arrowhead with a piece of the line it stands on, or a leader's landing close by, stays geometry,
// and the value is a line of its own; a minus sign, a long vowel mark and a kanji beside the parts of another stay
// text.
TEST(text_lines, arrows_beside_a_value_stay_geometry) {
    const GlyphSizes sizes = GlyphSizes::forResolution(kDotsPerMm);
    const auto digit = [](double x, double wide) {
        return strokeGlyph({{x + 1, 810}, {x + wide - 2, 810}, {x + wide - 2, 841}, {x + 1, 841}, {x + 1, 810}}, 3);
    };
    const auto flat = [](double x, double length, bool arrowhead) {  // ends at x + length, across the middle
        std::vector<Point> path = {{x, 825}, {x + length, 825}};
        if (arrowhead) {
            path.insert(path.end(), {{x + length - 20, 833}, {x + length - 20, 817}, {x + length, 825}});
        }
        return strokeGlyph(path, 3);
    };
    const auto box = [](double left, double bottom, double right, double top) {
        return strokeGlyph({{left, bottom}, {right, bottom}, {right, top}, {left, top}, {left, bottom}}, 3);
    };
    // An arrowhead pointing left at x, its tail to the line it stands on, 75 dots of which run up and down.
    const Glyph arrowOnLine = strokeGlyph(
        {{1530, 790}, {1530, 825}, {1450, 825}, {1470, 833}, {1470, 817}, {1450, 825}, {1530, 825}, {1530, 865}}, 3);
    struct Case {
        const char* name;
        std::vector<Glyph> glyphs;  // the first is the piece in question, the rest are characters
        bool flatInLine;
    };
    const std::vector<Case> cases = {
        {"arrow before", {flat(1230, 70, true), digit(1320, 18), digit(1342, 18), digit(1364, 18)}, false},
        {"dash after", {flat(1405, 72, false), digit(1320, 18), digit(1342, 18), digit(1364, 18)}, false},
        {"minus sign", {flat(1300, 14, false), digit(1320, 18), digit(1342, 18), digit(1364, 18)}, true},
        {"long vowel mark", {flat(1378, 30, false), digit(1300, 34), digit(1340, 34)}, true},
        {"arrowhead on its line", {arrowOnLine, digit(1320, 18), digit(1342, 18), digit(1364, 18)}, false},
        {"leader's landing",
         {strokeGlyph({{1270, 880}, {1290, 812}, {1314, 812}}, 3), digit(1320, 18), digit(1342, 18), digit(1364, 18)},
         false},
        {"kanji beside parts",
         {box(1332, 810, 1366, 844), box(1307, 830, 1321, 844), box(1300, 810, 1312, 823), box(1316, 810, 1328, 823)},
         true},
    };
    for (const Case& c : cases) {
        const std::vector<GlyphLine> lines = groupIntoLines(c.glyphs, sizes);
        const auto has = [](const GlyphLine& line, std::size_t g) {
            return std::count(line.glyphs.begin(), line.glyphs.end(), g) > 0;
        };
        const auto value = std::find_if(lines.begin(), lines.end(), [&](const GlyphLine& l) { return has(l, 1); });
        ASSERT_NE(value, lines.end()) << c.name;
        EXPECT_TRUE(std::all_of(c.glyphs.begin() + 1, c.glyphs.end(), [&](const Glyph& g) {
            return has(*value, static_cast<std::size_t>(&g - c.glyphs.data()));
        })) << c.name;
        EXPECT_EQ(has(*value, 0), c.flatInLine) << c.name;
    }
}

// A block of short lines in a font of fixed pitch, one over the other with their letters in line (a
// callout's lines, a parts list's column): each line is read across, whole, though letters that touch (92 of
// 925) join the columns' letters above and below them into columns longer than the lines.
TEST(text_lines, lines_of_a_block_stay_lines) {
    const GlyphSizes sizes = GlyphSizes::forResolution(kDotsPerMm);
    constexpr int kRows = 8;
    std::vector<Glyph> glyphs;
    std::vector<std::vector<std::size_t>> rows(kRows);
    for (int row = 0; row < kRows; ++row) {
        const double y = 100 + 45 * row;
        const auto letter = [&](double x, double wide) {  // a C
            rows[static_cast<std::size_t>(row)].push_back(glyphs.size());
            glyphs.push_back(strokeGlyph({{x + wide, y + 26}, {x, y + 26}, {x, y}, {x + wide, y}}, 3));
        };
        // Letters at pitches 0 to 5, a word space at 3; on every other row those at 1 and 2 touch.
        for (const int k : {0, 1, 2, 4, 5}) {
            if (row % 2 == 1 && k == 1) {
                letter(120, 26);
            } else if (row % 2 == 0 || k != 2) {
                letter(100 + 20 * k, 8);
            }
        }
    }
    const std::vector<GlyphLine> lines = groupIntoLines(glyphs, sizes);
    for (int row = 0; row < kRows; ++row) {
        const bool whole = std::any_of(lines.begin(), lines.end(), [&](const GlyphLine& line) {
            std::vector<std::size_t> found = line.glyphs;
            std::sort(found.begin(), found.end());
            return found == rows[static_cast<std::size_t>(row)];
        });
        EXPECT_TRUE(whole) << "row " << row;
    }
}

// A short line under and over longer ones, its first two letters touching (CA of CAP) beneath two touching
// letters of the line above: it is read across, whole, though its column holds more glyphs than its row.
TEST(text_lines, a_short_line_in_a_block_stays_a_line) {
    const GlyphSizes sizes = GlyphSizes::forResolution(kDotsPerMm);
    std::vector<Glyph> glyphs;
    const auto letter = [&](double x, double y, double wide) {  // a C, 26 dots high
        glyphs.push_back(strokeGlyph({{x + wide, y + 26}, {x, y + 26}, {x, y}, {x + wide, y}}, 3));
        return glyphs.size() - 1;
    };
    letter(100, 190, 28);  // the line above: its two first letters touching
    for (const double x : {140.0, 160.0, 180.0, 200.0, 220.0}) {
        letter(x, 190, 8);
    }
    const std::vector<std::size_t> shortLine = {letter(100, 145, 28), letter(140, 145, 8)};
    for (const double x : {100.0, 133.0, 153.0, 173.0, 193.0}) {  // the line below, one letter under CA
        letter(x, 100, 8);
    }
    const std::vector<GlyphLine> lines = groupIntoLines(glyphs, sizes);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const GlyphLine& line) {
        std::vector<std::size_t> found = line.glyphs;
        std::sort(found.begin(), found.end());
        return found == shortLine;
    }));
}

// A drawing's lines read from below, the right or the left: on a page whose sure lines stand upright, a
// line read upside down or nearly so (a mark read as text, a line read the wrong way round) is dropped, and
// on a page scanned upside down the lines read upright are.
TEST(text_lines, lines_read_upside_down_are_dropped_on_an_upright_page) {
    struct Case {
        const char* name;
        std::vector<double> degrees;
        std::vector<bool> sure;
        std::vector<bool> kept;
    };
    const std::vector<Case> cases = {
        {"upright page",
         {0, 359.5, 90, 270, 180, 212, 30},
         {true, true, false, false, false, false, false},
         {true, true, true, true, false, false, true}},
        {"no sure line", {0, 180, 90}, {false, false, false}, {true, false, true}},
        {"page upside down", {180, 181, 0, 90, 270}, {true, true, true, false, false}, {true, true, false, true, true}},
        {"lines up do not tell", {90, 270, 90, 180}, {true, true, true, false}, {true, true, true, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readThePagesWay(c.degrees, c.sure), c.kept) << c.name;
    }
}

// What the engine reads put right as a drawing writes it; digits stay as wide as read.
TEST(text_symbols, drawing_signs_are_put_right) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"の24", "φ24"},
        {"4xØ9", "4×φ9"},
        {"60土0.05", "60±0.05"},
        {"60+0.05", "60±0.05"},
        {"80.0エ0.1", "80.0±0.1"},
        {"45º", "45°"},
        {"設 計", "設計"},
        {" SECTION  A-A \n", "SECTION A-A"},
        {"１２０", "１２０"},
        {"M8x1.25", "M8×1.25"},
        {"A+B", "A+B"},
        {"ROOM X", "ROOM X"},
        {"1#2”", "1#2\""},
        {"3’-6“", "3'-6\""},
        {"9, 05", "9,05"},
        {"7. 5", "7.5"},
        {"A, B", "A, B"},
        {"1 2", "1 2"},
        {"TEMP .", "TEMP"},
        {". 佐藤", "佐藤"},
        {"A . B", "A . B"},
        {"1.", "1."},
        {"7.750 |", "7.750"},
        {"| 12", "12"},
        {"A|B", "A|B"},
    };
    for (const auto& [read, written] : cases) {
        EXPECT_EQ(drawingText(read), written) << read;
    }
}

// A zero with a stroke across it, as many CAD fonts draw it, is put right whatever the engine read it as, and
// is sure enough alone; a 9, an 8, an O and a round diameter sign keep their reading.
TEST(text_symbols, slashed_zeros_are_read_as_zeros) {
    const auto ellipse = [](Point centre, double rx, double ry, double from, double to) {
        std::vector<Point> path;
        for (double degrees = from; degrees <= to; degrees += 3) {
            const double radians = degrees * std::numbers::pi / 180;
            path.push_back({centre.x + rx * std::cos(radians), centre.y + ry * std::sin(radians)});
        }
        return path;
    };
    const auto then = [](std::vector<Point> path, const std::vector<Point>& more) {
        path.insert(path.end(), more.begin(), more.end());
        return path;
    };
    // Digits 32 dots high standing on y 810, as scanned at 300 dpi.
    const Point middle{1309, 826};
    struct Case {
        const char* name;
        std::vector<Point> path;
        const char* read;
        const char* written;
    };
    const std::vector<Case> cases = {
        {"slashed zero as 9", then(ellipse(middle, 7, 15, 225, 585), {{1314, 837}}), "9", "0"},
        {"slashed zero as Q", then(ellipse(middle, 7, 15, 225, 585), {{1314, 837}}), "Q", "0"},
        {"nine", then(ellipse({1309, 834}, 7, 8, 0, 360), {{1316, 820}, {1309, 811}, {1302, 813}}), "9", "9"},
        {"eight", then(ellipse({1309, 834}, 6, 7, -90, 270), ellipse({1309, 818}, 7, 8, 90, 450)), "9", "9"},
        {"letter O", ellipse(middle, 7, 15, 0, 360), "O", "O"},
        {"diameter sign", then(ellipse(middle, 15, 15, 225, 585), {{1323, 840}}), "Ø", "Ø"},
    };
    for (const Case& c : cases) {
        const std::vector<Glyph> glyphs = {strokeGlyph(c.path, 3)};
        const GlyphLine line{{0}, {0, 180}};
        const GreyImage image = uprightLine(glyphs, line, frameOf(glyphs, line, 0));
        const auto column = [&](double along) {
            return static_cast<std::int32_t>((along - image.alongStart) / image.dotsPerPixel);
        };
        LineReading reading;
        reading.text = c.read;
        reading.confidence = 80;
        reading.symbols.push_back({c.read, column(glyphs[0].left), column(glyphs[0].right + 1) - 1, true, 80});
        const LineReading written = withSlashedZeros(reading, image);
        EXPECT_EQ(written.text, c.written) << c.name;
        // A zero alone, told by its shape, is sure enough to be text (an ordinate dimension's datum).
        EXPECT_EQ(written.confidence >= kLeastGlyphConfidence, written.text == "0") << c.name;
    }
}

// A drawing's values, and what a value read upside down or a word reads as, which are not.
TEST(text_symbols, drawing_values_are_told_from_other_text) {
    for (const char* value : {"50", "0.5", "φ24", "4×φ6", "R3", "M8×1.25", "30°", "60±0.05", "1:2", "C1", "120.5"}) {
        EXPECT_TRUE(isDrawingValue(value)) << value;
    }
    for (const char* other : {"08", "OS", "OS.", "SS400", "RE", "1.", "φ", "", "50 60", "A-A", "設計"}) {
        EXPECT_FALSE(isDrawingValue(other)) << other;
    }
    EXPECT_EQ(japaneseCharacters("設計 RE １２"), 4U);
}

// Characters code page 932 lacks are dropped and counted; a %% would start a control code in a TEXT.
TEST(text_symbols, only_code_page_932_characters_are_kept) {
    Cp932Codec codec;
    std::int64_t dropped = 0;
    EXPECT_EQ(cp932Text("⌀12 設計", codec, dropped), "12 設計");
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(cp932Text("50%% ±0.1 φ", codec, dropped), "50% ±0.1 φ");
    EXPECT_EQ(dropped, 1);
}

// A language whose data is not installed is named in the message, in Japanese.
TEST(text_reader, missing_language_data_is_named) {
    try {
        LineReader::take("xyz");
        ADD_FAILURE() << "no error for a missing language";
    } catch (const KelvarinError& error) {
        EXPECT_NE(error.description().find("文字認識の言語データ「xyz」が見つかりません"), std::string::npos)
            << error.description();
    }
}

// Engines kept to a number: a second taker waits for the one in use and is handed it rather than loading
// another, and a load that fails frees its place.
TEST(text_reader, engines_kept_to_a_number_are_handed_on) {
    for (int i = 0; i < 2; ++i) {
        EXPECT_THROW(LineReader::take("xyz", 1), KelvarinError);
    }
    // Languages in an order no other test loads, so that no engine of them is idle already.
    LineReader::Handle first = LineReader::take("eng+jpn", 1);
    const LineReader* const engine = first.get();
    std::future<const LineReader*> second = std::async(std::launch::async, [] {
        const LineReader::Handle handle = LineReader::take("eng+jpn", 1);
        return static_cast<const LineReader*>(handle.get());
    });
    first.reset();
    EXPECT_EQ(second.get(), engine);
}

// The TEXT entities of a drawing, as ezdxf reads them: layer, x, y, height, rotation, string per line.
std::string textsReadByEzdxf(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c \"import ezdxf, sys\n"
        "doc = ezdxf.readfile(sys.argv[1], errors='strict')\n"
        "assert not doc.audit().errors and doc.encoding == 'cp932'\n"
        "for t in doc.modelspace().query('TEXT'):\n"
        "    d = t.dxf\n"
        "    print(d.layer, round(d.insert.x, 3), round(d.insert.y, 3), round(d.height, 3), round(d.rotation, 3), "
        "d.text)\" " +
        path;
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    EXPECT_EQ(pipe != nullptr ? pclose(pipe) : -1, 0);
    return out;
}

// Texts written with the drawing's scales and offsets, in Shift_JIS, read back by an independent reader;
// scales that differ across and up turn a text's baseline as they turn the drawing.
TEST(dxf_text, texts_are_written_as_text_entities) {
    test::ProgramDir program;
    ConversionSettings settings;
    settings.OutputPath = program.file("texts.dxf");
    settings.ScaleX = 0.5;
    settings.ScaleY = 0.25;
    settings.OffsetX = 10;
    settings.OffsetY = 20;
    VectorDrawing drawing;
    drawing.lines.push_back({{0, 0}, {100, 0}});
    drawing.texts.push_back({{40, 80}, 20, 0, "設計 φ24±0.1", 90});
    drawing.texts.push_back({{100, 100}, 10, 90, "SECTION A-A", 90});
    const LineSegmentList noSegments;
    PassState pass;
    test::FakeView view;
    ASSERT_TRUE(BuildDxfDocument({settings, noSegments, 200, 200, program.path(), &drawing}, pass, view));
    EXPECT_EQ(textsReadByEzdxf(settings.OutputPath),
              "TEXT 30.0 40.0 5.0 0.0 設計 φ24±0.1\n"
              "TEXT 60.0 45.0 5.0 90.0 SECTION A-A\n");
    test::keepForReaderCheck(settings.OutputPath, "dxf_text-texts");
}

}  // namespace
}  // namespace kelvarin
