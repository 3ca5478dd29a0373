// SPDX-License-Identifier: GPL-3.0-or-later
// The vector mode's lengths in millimetres: their dots at each resolution, and one drawing scanned at 300
// and at 600 dpi converted to the same entities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bitmap/BmpHeader.h"
#include "common/PassState.h"
#include "convert/ConversionSettings.h"
#include "support/FakeView.h"
#include "support/PackedCells.h"
#include "vectorize/Vectorize.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/pipeline/StrokeWidths.h"
#include "vectorize/pipeline/Tolerances.h"

namespace kelvarin {
namespace {

constexpr double kMmPerInch = 25.4;

struct Length {
    const char* name;
    std::function<double(const Tolerances&)> dots;
    double at300;  // the dots it came to before it was declared in millimetres
    int power;     // 1 for a length, 2 for an area
};

TEST(tolerances, lengths_come_to_their_dots_at_300_dpi_and_scale_with_the_resolution) {
    const std::vector<Length> table = {
        {"rim margin", [](const Tolerances& t) { return t.rimMargin; }, 2, 1},
        {"kept rim", [](const Tolerances& t) { return t.keptRim; }, 2, 1},
        {"least core depth", [](const Tolerances& t) { return t.leastCoreDepth; }, 2, 1},
        {"least cutting run", [](const Tolerances& t) { return t.leastCuttingRun; }, 8, 1},
        {"speck", [](const Tolerances& t) { return static_cast<double>(t.speckCells); }, 4, 2},
        {"smallest disc", [](const Tolerances& t) { return t.smallestDisc; }, 5, 1},
        {"smallest ring", [](const Tolerances& t) { return t.smallestRing; }, 6, 1},
        {"largest round", [](const Tolerances& t) { return t.largestRound; }, 120, 1},
        {"smallest junction radius", [](const Tolerances& t) { return t.smallestJunctionRadius; }, 6, 1},
        {"largest dotted dot", [](const Tolerances& t) { return t.largestDottedDot; }, 12, 1},
        {"widest dot spacing", [](const Tolerances& t) { return t.widestDotSpacing; }, 40, 1},
        {"longest dash", [](const Tolerances& t) { return t.longestDash; }, 200, 1},
        {"longest dash gap", [](const Tolerances& t) { return t.longestDashGap; }, 64, 1},
        {"largest dashed radius", [](const Tolerances& t) { return t.largestDashedRadius; }, 2000, 1},
        {"widest broken gap", [](const Tolerances& t) { return t.widestBrokenGap; }, 48, 1},
        {"largest hole", [](const Tolerances& t) { return t.largestHole; }, 400, 1},
        {"largest cut hole", [](const Tolerances& t) { return t.largestCutHole; }, 200, 1},
        {"widest hole cut", [](const Tolerances& t) { return t.widestHoleCut; }, 12, 1},
        {"smallest taken arc", [](const Tolerances& t) { return t.smallestTakenArc; }, 16, 1},
        {"largest taken arc", [](const Tolerances& t) { return t.largestTakenArc; }, 256, 1},
        {"longest arrowhead", [](const Tolerances& t) { return t.longestArrowHead; }, 90, 1},
        {"widest arrow half", [](const Tolerances& t) { return t.widestArrowHalf; }, 20, 1},
        {"arrow base over pen", [](const Tolerances& t) { return t.arrowBaseOverPen; }, 6, 1},
        {"arrow base miss", [](const Tolerances& t) { return t.arrowBaseMiss; }, 2, 1},
        {"arrow tip search", [](const Tolerances& t) { return t.arrowTipSearch; }, 16, 1},
        {"arrow body samples", [](const Tolerances& t) { return t.arrowBodySamples; }, 5, 1},
        {"arrow first look 1", [](const Tolerances& t) { return t.arrowFirstLooks[0]; }, 6, 1},
        {"arrow first look 2", [](const Tolerances& t) { return t.arrowFirstLooks[1]; }, 10, 1},
        {"arrow first look 3", [](const Tolerances& t) { return t.arrowFirstLooks[2]; }, 15, 1},
        {"arrow first look 4", [](const Tolerances& t) { return t.arrowFirstLooks[3]; }, 20, 1},
        {"arrow first look 5", [](const Tolerances& t) { return t.arrowFirstLooks[4]; }, 27, 1},
        {"arrow first look 6", [](const Tolerances& t) { return t.arrowFirstLooks[5]; }, 35, 1},
        {"arrow first look 7", [](const Tolerances& t) { return t.arrowFirstLooks[6]; }, 45, 1},
        {"arrow first look 8", [](const Tolerances& t) { return t.arrowFirstLooks[7]; }, 60, 1},
        {"narrowest slot", [](const Tolerances& t) { return t.narrowestSlot; }, 5, 1},
        {"lightest box pen", [](const Tolerances& t) { return t.lightestBoxPen; }, 3, 1},
        {"broken stroke aside", [](const Tolerances& t) { return t.brokenStrokeAside; }, 3, 1},
    };
    // 300 dpi as a BMP header tells it (11811 dots a metre), exactly, and unknown; then twice and four times.
    const Tolerances header300 = Tolerances::forScan(11811 / 1000.0, 2);
    const Tolerances exact300 = Tolerances::forScan(300 / kMmPerInch, 2);
    const Tolerances unknown = Tolerances::forScan(0, 2);
    const Tolerances at600 = Tolerances::forScan(600 / kMmPerInch, 2);
    const Tolerances at1200 = Tolerances::forScan(1200 / kMmPerInch, 2);
    for (const Length& length : table) {
        EXPECT_EQ(length.dots(header300), length.at300) << length.name;
        EXPECT_EQ(length.dots(exact300), length.at300) << length.name;
        EXPECT_EQ(length.dots(unknown), length.at300) << length.name;
        EXPECT_EQ(length.dots(at600), length.at300 * std::pow(2, length.power)) << length.name;
        EXPECT_EQ(length.dots(at1200), length.at300 * std::pow(4, length.power)) << length.name;
    }
    EXPECT_EQ(at600.entity, 2);  // --tolerance is the user's, in dots
    // At 200 dpi the lengths are two thirds, but the hollowing's stay two cells at least.
    const Tolerances at200 = Tolerances::forScan(200 / kMmPerInch, 2);
    EXPECT_EQ(at200.largestRound, 80);
    EXPECT_EQ(at200.rimMargin, 2);
    EXPECT_EQ(at200.keptRim, 2);
    EXPECT_EQ(at200.leastCoreDepth, 2);
}

// A drawing in millimetres: strokes of a round pen, and dust two dots across at 300 dpi.
struct MmStroke {
    Point a, b;
    double width;
    double radius = 0;  // a ring about a when above 0
};

struct Page {
    std::vector<MmStroke> strokes;
    std::vector<Point> dust;
    double speckMm = kMmPerInch / 150;  // each speck's side
};

bool inked(const MmStroke& s, Point p) {
    if (s.radius > 0) {
        return std::abs(length(p - s.a) - s.radius) <= s.width / 2;
    }
    return distanceToSegment(p, {s.a, s.b}) <= s.width / 2;
}

// The page scanned at dpi: the cells whose middles the strokes cover, and each speck as the cells of its
// square.
test::Cells scan(const Page& page, double sizeMm, double dpi) {
    const double mmPerDot = kMmPerInch / dpi;
    const auto dots = static_cast<std::int32_t>(std::lround(sizeMm / mmPerDot));
    test::Cells cells(dots, dots);
    for (std::int32_t y = 0; y < dots; ++y) {
        for (std::int32_t x = 0; x < dots; ++x) {
            const Point p{(x + 0.5) * mmPerDot, (y + 0.5) * mmPerDot};
            const bool speck = std::any_of(page.dust.begin(), page.dust.end(), [&](Point d) {
                return p.x >= d.x && p.x < d.x + page.speckMm && p.y >= d.y && p.y < d.y + page.speckMm;
            });
            if (speck ||
                std::any_of(page.strokes.begin(), page.strokes.end(), [&](const MmStroke& s) { return inked(s, p); })) {
                cells.set(x, y);
            }
        }
    }
    return cells;
}

// The drawing vectorized as a scan of dpi, its coordinates in millimetres; stated: whether the file gives its
// resolution (a PNM gives none, nor does a BMP of 0 dots a metre).
VectorDrawing vectorizeAt(const Page& page, double sizeMm, double dpi, bool stated = true) {
    test::Cells cells = scan(page, sizeMm, dpi);
    BmpHeaderBytes header{};
    const auto put = [&header](std::size_t offset, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            header[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    put(bmp::WidthOffset, static_cast<std::uint32_t>(cells.width));
    put(bmp::HeightOffset, static_cast<std::uint32_t>(cells.height));
    const auto dotsPerMetre = stated ? static_cast<std::uint32_t>(std::lround(dpi / kMmPerInch * 1000)) : 0u;
    put(bmp::XPelsPerMeterOffset, dotsPerMetre);
    put(bmp::YPelsPerMeterOffset, dotsPerMetre);
    PassState pass;
    test::FakeView view;
    VectorDrawing drawing = VectorizePicture(header, cells.grid, ConversionOptions{}, 0, pass, view);
    const double mm = kMmPerInch / dpi;
    for (VectorLine& line : drawing.lines) {
        line = {line.a * mm, line.b * mm};
    }
    for (VectorArc& arc : drawing.arcs) {
        arc.centre = arc.centre * mm;
        arc.radius *= mm;
    }
    for (VectorCircle& circle : drawing.circles) {
        circle = {circle.centre * mm, circle.radius * mm};
    }
    return drawing;
}

template <typename Entity, typename Same>
void expectEachMatched(const std::vector<Entity>& at300, const std::vector<Entity>& at600, Same same,
                       const std::string& what) {
    ASSERT_EQ(at300.size(), at600.size()) << what;
    for (const Entity& entity : at300) {
        EXPECT_TRUE(std::any_of(at600.begin(), at600.end(), [&](const Entity& other) { return same(entity, other); }))
            << what;
    }
}

// Drawings in millimetres, with dust on them.
struct PageCase {
    const char* name;
    double sizeMm;
    Page page;
};

// A frame, a corner, a ring and a small filled disc drawn with the pen, and dust.
Page framePage(double pen, const std::vector<Point>& dust) {
    return {{{{4, 4}, {36, 4}, pen},
             {{36, 4}, {36, 36}, pen},
             {{36, 36}, {4, 36}, pen},
             {{4, 36}, {4, 4}, pen},
             {{20, 20}, {20, 20}, pen, 3.5},
             {{8, 10}, {14, 10}, pen},
             {{14, 10}, {14, 10 + 6}, pen},
             {{28, 12}, {28, 12}, 1.2}},
            dust};
}

std::vector<Point> dustOfFrame() {
    std::vector<Point> dust;
    for (double x = 6; x < 34; x += 5.3) {
        for (double y = 26; y < 34; y += 3.1) {
            dust.push_back({x, y});
        }
    }
    return dust;
}

std::vector<PageCase> pageCases() {
    constexpr double kPen = 0.18;  // two dots at 300 dpi
    std::vector<Point> sparseDust;
    for (double x = 2; x < 18; x += 3.7) {
        sparseDust.push_back({x, 16});
    }
    return {
        {"a frame, a corner, a ring and a small filled disc", 40, framePage(kPen, dustOfFrame())},
        // Too few runs across strokes to tell the pen: the smallest speck alone tells the dust.
        {"a few short strokes",
         20,
         {{{{5, 5}, {9, 5}, kPen}, {{5, 5}, {5, 8}, kPen}, {{12, 10}, {12, 10}, 1.0}}, sparseDust}},
    };
}

// The same entities, each within a quarter millimetre of its match.
void expectSameDrawing(const VectorDrawing& at300, const VectorDrawing& at600, const std::string& name) {
    constexpr double kReach = 0.25;  // mm
    const auto near = [](Point p, Point q) { return length(p - q) <= kReach; };
    EXPECT_FALSE(at300.lines.empty()) << name;
    expectEachMatched(
        at300.lines, at600.lines,
        [&](const VectorLine& l, const VectorLine& m) {
            return (near(l.a, m.a) && near(l.b, m.b)) || (near(l.a, m.b) && near(l.b, m.a));
        },
        name + ": lines");
    expectEachMatched(
        at300.arcs, at600.arcs,
        [&](const VectorArc& a, const VectorArc& b) {
            return near(a.centre, b.centre) && std::abs(a.radius - b.radius) <= kReach;
        },
        name + ": arcs");
    expectEachMatched(
        at300.circles, at600.circles,
        [&](const VectorCircle& a, const VectorCircle& b) {
            return near(a.centre, b.centre) && std::abs(a.radius - b.radius) <= kReach;
        },
        name + ": circles");
}

TEST(tolerances, a_drawing_at_300_and_at_600_dpi_gives_the_same_entities) {
    for (const PageCase& c : pageCases()) {
        expectSameDrawing(vectorizeAt(c.page, c.sizeMm, 300), vectorizeAt(c.page, c.sizeMm, 600), c.name);
    }
}

// A file that gives no resolution is measured by its thin strokes: the drawing at 300 and at 600 dpi, neither
// saying so, converts as it does when it says its resolution. Drawn with the nominal thin pen, so that the
// width measured tells the resolution; its dust, 0.3 mm across, is drawn as at any stated resolution (taken
// as 300 dpi, the page at 600 dpi would drop it).
TEST(tolerances, a_drawing_without_its_resolution_at_300_and_at_600_dpi_gives_the_same_entities) {
    Page page = framePage(0.3, dustOfFrame());
    page.speckMm = 0.3;
    const VectorDrawing at600 = vectorizeAt(page, 40, 600, false);
    expectSameDrawing(vectorizeAt(page, 40, 300, false), at600, "no resolution at 300 and 600 dpi");
    expectSameDrawing(vectorizeAt(page, 40, 300, true), at600, "300 dpi stated, 600 dpi not");
    expectSameDrawing(vectorizeAt(page, 40, 600, true), at600, "600 dpi stated and not");
}

// The thin pen is measured on the strokes alone: a page of strokes of a pen and a heavier one measures the
// thin pen's width whatever the dust and small blobs scattered over it, and twice it at twice the size.
TEST(tolerances, the_thin_pen_is_measured_on_the_strokes_whatever_the_dust) {
    struct Case {
        const char* name;
        std::int32_t pen, heavy, specks, speck;
    };
    const std::vector<Case> cases = {{"clean", 3, 7, 0, 0},
                                     {"dust of 2 x 2", 3, 7, 4000, 2},
                                     {"blobs of 4 x 4", 3, 7, 2000, 4},
                                     {"twice the size, dusty", 6, 14, 4000, 4}};
    for (const Case& c : cases) {
        const std::int32_t scale = c.pen / 3;
        test::Cells cells(800 * scale, 800 * scale);
        const auto fill = [&](std::int32_t x0, std::int32_t y0, std::int32_t w, std::int32_t h) {
            for (std::int32_t y = y0; y < y0 + h; ++y) {
                for (std::int32_t x = x0; x < x0 + w; ++x) {
                    cells.set(x, y);
                }
            }
        };
        // A grid of thin lines, every third one heavy, both ways.
        for (std::int32_t k = 0; k < 12; ++k) {
            const std::int32_t width = k % 3 == 2 ? c.heavy : c.pen, at = (40 + 60 * k) * scale;
            fill(at, 20 * scale, width, 760 * scale);
            fill(20 * scale, at, 760 * scale, width);
        }
        std::mt19937 random(9);
        std::uniform_int_distribution<std::int32_t> place(0, 800 * scale - c.speck - 1);
        for (std::int32_t i = 0; i < c.specks; ++i) {
            fill(place(random), place(random), c.speck, c.speck);
        }
        test::FakeView view;
        EXPECT_NEAR(thinPenDots(cells.grid, view), c.pen, 0.25 * scale) << c.name;
    }
}

}  // namespace
}  // namespace kelvarin
