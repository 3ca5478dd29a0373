// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <set>

#include "app/ConvertCommand.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "convert/VirtualVram.h"
#include "support/FakeView.h"
#include "support/FormFixture.h"
#include "vectorize/Vectorize.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/rounds/Slots.h"

namespace kelvarin {
namespace {

// A shape of known geometry in dots (y up, pixel centres on whole numbers) with its stroke width.
struct Shape {
    enum Kind { Segment, Ring } kind;
    Point a, b;                 // a segment's ends
    Point centre;               // a ring's
    double radius = 0;          //
    double from = 0, to = 360;  // degrees of a ring, counter-clockwise
    double width = 3;
};

Shape segment(Point a, Point b, double width = 3) { return {Shape::Segment, a, b, {}, 0, 0, 360, width}; }
Shape ring(Point c, double r, double width = 3, double from = 0, double to = 360) {
    return {Shape::Ring, {}, {}, c, r, from, to, width};
}
Shape turnedSegment(Point middle, double length, double degrees, double width) {
    const double radians = degrees * std::numbers::pi / 180;
    const Point half{std::cos(radians) * length / 2, std::sin(radians) * length / 2};
    return segment({middle.x - half.x, middle.y - half.y}, {middle.x + half.x, middle.y + half.y}, width);
}
// A rectangle with its corners rounded to bend: its four sides, then its four corners' quarter rings.
std::vector<Shape> roundedRectangle(double left, double bottom, double right, double top, double bend, double pen) {
    return {segment({left + bend, bottom}, {right - bend, bottom}, pen),
            segment({right, bottom + bend}, {right, top - bend}, pen),
            segment({right - bend, top}, {left + bend, top}, pen),
            segment({left, top - bend}, {left, bottom + bend}, pen),
            ring({right - bend, bottom + bend}, bend, pen, 270, 360),
            ring({right - bend, top - bend}, bend, pen, 0, 90),
            ring({left + bend, top - bend}, bend, pen, 90, 180),
            ring({left + bend, bottom + bend}, bend, pen, 180, 270)};
}

double distance(Point p, Point q) { return std::hypot(p.x - q.x, p.y - q.y); }

bool inked(const Shape& shape, Point p) {
    if (shape.kind == Shape::Segment) {
        const Point d{shape.b.x - shape.a.x, shape.b.y - shape.a.y};
        const double size = std::hypot(d.x, d.y);
        const double along = ((p.x - shape.a.x) * d.x + (p.y - shape.a.y) * d.y) / size;
        const double across = std::abs((p.x - shape.a.x) * d.y - (p.y - shape.a.y) * d.x) / size;
        return along >= 0 && along <= size && across <= shape.width / 2;
    }
    double degrees = std::atan2(p.y - shape.centre.y, p.x - shape.centre.x) * 180 / std::numbers::pi;
    degrees = std::fmod(degrees - shape.from + 720, 360.0);
    return std::abs(distance(p, shape.centre) - shape.radius) <= shape.width / 2 &&
           degrees <= std::fmod(shape.to - shape.from + 720, 360.0) + (shape.to - shape.from >= 360 ? 360 : 0);
}

// The shapes drawn into packed rows (bit 1 a line cell), with a little noise along the edges.
struct Picture {
    std::int32_t width, height;
    std::vector<std::uint8_t> rows;
    VirtualVram grid;

    Picture(std::int32_t w, std::int32_t h, const std::vector<Shape>& shapes) : width(w), height(h) {
        const std::int64_t stride = (w + 31) / 32 * 4;
        rows.assign(static_cast<std::size_t>(stride * h), 0);
        std::mt19937 random(7);
        std::uniform_int_distribution<int> steps(-2, 2);
        const auto offset = [&](std::mt19937& r) { return steps(r) * 0.15; };
        for (std::int32_t y = 0; y < h; ++y) {
            for (std::int32_t x = 0; x < w; ++x) {
                // Edge noise: each cell tested a random fraction of a dot off its centre.
                const Point p{x + offset(random), y + offset(random)};
                if (std::any_of(shapes.begin(), shapes.end(), [&](const Shape& s) { return inked(s, p); })) {
                    rows[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
        }
        grid.attach(rows, w, h, stride);
    }
};

struct Case {
    const char* name;
    std::vector<Shape> shapes;
    std::size_t lines, arcs, circles;
    std::vector<Shape> drawn{};  // what the lines stand for, when not the shapes themselves
    double reach = VectorizeOptions().tolerance + 1;
    double dotsPerMm = 0;  // the scan's resolution, when known
};

// Each true segment is matched by a written line whose ends lie within reach of its ends (either way
// round); each true circle or arc by one of the same centre and radius.
void expectMatches(const Case& c, const VectorDrawing& drawing) {
    const double reach = c.reach;
    for (const Shape& shape : c.drawn.empty() ? c.shapes : c.drawn) {
        if (shape.kind == Shape::Segment) {
            EXPECT_TRUE(
                std::any_of(drawing.lines.begin(), drawing.lines.end(),
                            [&](const VectorLine& line) {
                                return (distance(line.a, shape.a) <= reach && distance(line.b, shape.b) <= reach) ||
                                       (distance(line.a, shape.b) <= reach && distance(line.b, shape.a) <= reach);
                            }))
                << c.name << ": no line from (" << shape.a.x << ", " << shape.a.y << ") to (" << shape.b.x << ", "
                << shape.b.y << ")";
            continue;
        }
        const auto sameCircle = [&](Point centre, double radius) {
            return distance(centre, shape.centre) <= reach && std::abs(radius - shape.radius) <= reach;
        };
        if (shape.to - shape.from >= 360) {
            EXPECT_TRUE(std::any_of(drawing.circles.begin(), drawing.circles.end(), [&](const VectorCircle& k) {
                return sameCircle(k.centre, k.radius);
            })) << c.name;
        } else {
            EXPECT_TRUE(std::any_of(drawing.arcs.begin(), drawing.arcs.end(), [&](const VectorArc& k) {
                return sameCircle(k.centre, k.radius) &&
                       std::abs(std::remainder(k.startDegrees - shape.from, 360.0)) <= 2 &&
                       std::abs(std::remainder(k.endDegrees - shape.to, 360.0)) <= 2;
            })) << c.name;
        }
    }
}

std::vector<Case> cases() {
    std::vector<Case> table;
    // Straight strokes at several angles and widths: one line each, run out to the ends of the ink.
    for (const double degrees : {0.0, 1.0, 30.0, 45.0, 89.0}) {
        for (const double width : {1.0, 3.0, 6.0}) {
            table.push_back({"angled line", {turnedSegment({150, 150}, 240, degrees, width)}, 1, 0, 0});
        }
    }
    // Corners meet at the intersections; the bar of a T and crossing lines stay whole.
    table.push_back({"rectangle",
                     {segment({40, 40}, {260, 40}), segment({260, 40}, {260, 200}), segment({260, 200}, {40, 200}),
                      segment({40, 200}, {40, 40})},
                     4,
                     0,
                     0});
    table.push_back({"T", {segment({40, 200}, {260, 200}, 4), segment({150, 200}, {150, 40}, 3)}, 2, 0, 0});
    table.push_back({"cross", {segment({30, 150}, {270, 160}), segment({140, 30}, {155, 270})}, 2, 0, 0});
    // A stem forking into two legs, 27 degrees off it: two straight strokes meeting at a corner that one
    // circle fits within the tolerance are lines, not an arc.
    table.push_back(
        {"fork",
         {segment({150, 150}, {150, 194}, 3), segment({150, 150}, {128, 106}, 3), segment({150, 150}, {172, 106}, 3)},
         3,
         0,
         0});
    // Short lines meeting at a shallow turn, as on a map's boundary: a line each, not one slanted across
    // the turn, which keeps within the tolerance; the ink holds each end on a few dots past the corner.
    table.push_back(
        {"shallow turn", {segment({100, 150}, {124, 150}), segment({124, 150}, {146, 143})}, 2, 0, 0, {}, 6});
    table.push_back(
        {"shallow turn upright", {segment({150, 100}, {150, 124}), segment({150, 124}, {143, 146})}, 2, 0, 0, {}, 6});
    // A short line that lines leave from every few dots, like a comb's back, is a line of its own: each
    // stretch of it lies across one of them, but it reaches from one to another.
    std::vector<Shape> comb{segment({100, 100}, {100, 132}, 4)};
    for (int k = 0; k < 5; ++k) {
        comb.push_back(segment({100, 100.0 + 8 * k}, {220, 100.0 + 8 * k}, 4));
    }
    table.push_back({"comb", comb, 6, 0, 0});
    // Circles and arcs, also cut by a line: one entity each.
    table.push_back({"circles", {ring({150, 150}, 110, 4), ring({150, 150}, 30, 3)}, 0, 0, 2});
    table.push_back({"arc", {ring({150, 150}, 100, 3, 30, 200)}, 0, 1, 0});
    table.push_back({"circle cut by a line", {ring({150, 150}, 90, 3), segment({20, 140}, {280, 170})}, 1, 0, 1});
    // Small rings that lines touch or cross are one circle each, and the lines stay whole; a hole that is no
    // circle, rounded or between lines, is no ring.
    table.push_back({"small ring on a line", {ring({150, 150}, 11, 4), segment({20, 139}, {280, 139}, 3)}, 1, 0, 1});
    table.push_back({"small ring between lines",
                     {ring({150, 150}, 14, 4), segment({20, 136}, {280, 136}, 3), segment({20, 164}, {280, 164}, 3)},
                     2,
                     0,
                     1});
    table.push_back({"small ring in its centre lines",
                     {ring({150, 150}, 14, 3), segment({110, 150}, {190, 150}, 2), segment({150, 110}, {150, 190}, 2)},
                     2,
                     0,
                     1});
    table.push_back(
        {"rounded square hole",
         {segment({140, 130}, {160, 130}), segment({170, 140}, {170, 160}), segment({160, 170}, {140, 170}),
          segment({130, 160}, {130, 140}), ring({160, 140}, 10, 3, 270, 360), ring({160, 160}, 10, 3, 0, 90),
          ring({140, 160}, 10, 3, 90, 180), ring({140, 140}, 10, 3, 180, 270)},
         4,
         4,
         0});
    table.push_back({"square hole between lines",
                     {segment({60, 135}, {240, 135}), segment({60, 165}, {240, 165}), segment({135, 60}, {135, 240}),
                      segment({165, 60}, {165, 240})},
                     4,
                     0,
                     0});
    // A straight edge running into a fillet is a line and an arc, not one flat arc; two bends of different
    // radii meeting at a point are two arcs.
    table.push_back({"rounded rectangle",
                     {segment({80, 40}, {220, 40}), segment({260, 80}, {260, 160}), segment({220, 200}, {80, 200}),
                      segment({40, 160}, {40, 80}), ring({220, 80}, 40, 3, 270, 360), ring({220, 160}, 40, 3, 0, 90),
                      ring({80, 160}, 40, 3, 90, 180), ring({80, 80}, 40, 3, 180, 270)},
                     4,
                     4,
                     0});
    // Small fillets of heavy pens, which the rows and the columns cut apart at the corners, and a bend
    // between two straight strokes: arcs of their own. The bend of 60 degrees keeps its centre and radius
    // within 2.5 dots, which takes a middle of its stroke for every dot along it.
    table.push_back({"small rounded rectangle", roundedRectangle(60, 60, 240, 200, 12, 5), 4, 4, 0});
    // Rounded rectangles whose sides are short beside their corners: one arc of about twice the corners'
    // radius keeps within the tolerance along a side with half of each corner, yet strays from it clearly.
    for (const auto& [bend, pen] : {std::pair{20.0, 3.0}, std::pair{25.0, 4.0}}) {
        const double left = 100, right = 100 + 2 * bend + 30, bottom = 60, top = 60 + 2 * bend + 90;
        table.push_back(
            {"rounded rectangle with short sides", roundedRectangle(left, bottom, right, top, bend, pen), 4, 4, 0});
    }
    // A heavy-pen rounded rectangle with a frame 3 dots clear of it all round, as a sink in a worktop: the
    // frame's sides lie close beyond each corner's ends.
    {
        const double left = 60, right = 200, bottom = 70, top = 190, bend = 19, pen = 6, frame = 9;
        std::vector<Shape> shapes = roundedRectangle(left, bottom, right, top, bend, pen);
        for (const Shape& side : roundedRectangle(left - frame, bottom - frame, right + frame, top + frame, 0, 5)) {
            if (side.kind == Shape::Segment) {
                shapes.push_back(side);
            }
        }
        table.push_back({"rounded rectangle in a close frame", shapes, 8, 4, 0});
    }
    table.push_back({"bend between lines",
                     {segment({43.4, 155.36}, {130, 105.36}, 6), ring({150, 140}, 40, 6, 240, 300),
                      segment({170, 105.36}, {256.6, 155.36}, 6)},
                     2,
                     1,
                     0,
                     {},
                     2.5});
    // The same with the bend drawn 0.6 dots off touching the straight strokes, as a scan may have it:
    // held to touch them, the bend's circle would move 4 dots along the corner's bisector.
    table.push_back({"bend a little off the lines",
                     {segment({43.4, 155.36}, {130, 105.36}, 6), ring({150, 140.7}, 40, 6, 240, 300),
                      segment({170, 105.36}, {256.6, 155.36}, 6)},
                     2,
                     1,
                     0,
                     {},
                     2.5});
    // Fillets leaving a line that runs on past them, as on a shaft's shoulder: the line stays whole and
    // the fillet reaches it with its own radius, though the line's ink swallows the fillet's last stretch.
    table.push_back(
        {"shoulder fillet",
         {segment({60, 40}, {60, 260}, 3), ring({86, 174}, 26, 3, 90, 180), segment({86, 200}, {240, 200}, 3)},
         2,
         1,
         0});
    table.push_back(
        {"shoulder fillets of a heavy pen",
         {segment({150, 30}, {150, 270}, 5), ring({180, 120}, 30, 5, 180, 270), segment({180, 90}, {280, 90}, 5),
          ring({120, 180}, 30, 5, 0, 90), segment({120, 210}, {20, 210}, 5)},
         3,
         2,
         0});
    // Rings of a heavy pen, their hole barely wider than the stroke, touching a box's sides as a cooker's
    // burners do: a CIRCLE each, the sides whole.
    table.push_back(
        {"heavy small rings touching lines",
         {segment({60, 60}, {240, 60}, 6), segment({60, 60}, {60, 240}, 6), segment({240, 60}, {240, 240}, 6),
          ring({73.5, 73.5}, 8, 6), ring({226.5, 73.5}, 8, 6), ring({150, 160}, 7.5, 6)},
         3,
         0,
         3});
    table.push_back(
        {"compound curve", {ring({150, 230}, 200, 3, 240, 270), ring({150, 130}, 100, 3, 270, 310)}, 0, 2, 0, {}, 5});
    // Each dash of a dashed line is a line of its own.
    std::vector<Shape> dashes;
    for (int k = 0; k < 6; ++k) {
        dashes.push_back(segment({20.0 + 45 * k, 100.0 + 12 * k}, {50.0 + 45 * k, 108.0 + 12 * k}));
    }
    table.push_back({"dashed line", dashes, 6, 0, 0});
    // A filled block is drawn by its outline, a little inside the edges of its ink.
    table.push_back({"filled block",
                     {segment({100, 150}, {200, 150}, 60), segment({20, 260}, {280, 260})},
                     5,
                     0,
                     0,
                     {segment({100, 120}, {200, 120}), segment({200, 120}, {200, 180}), segment({200, 180}, {100, 180}),
                      segment({100, 180}, {100, 120}), segment({20, 260}, {280, 260})},
                     5});
    // A page of filled bars only, no strokes to compare them with: at 300 dpi a bar 2.5 mm wide is no pen's
    // stroke but a filled area, drawn by its outline.
    const std::vector<Shape> bars{segment({60, 100}, {240, 100}, 30), segment({60, 200}, {240, 200}, 30)};
    const auto outline = [](double y) {
        return std::vector<Shape>{segment({60, y - 14}, {240, y - 14}), segment({240, y - 14}, {240, y + 14}),
                                  segment({240, y + 14}, {60, y + 14}), segment({60, y + 14}, {60, y - 14})};
    };
    std::vector<Shape> outlines = outline(100);
    for (const Shape& edge : outline(200)) {
        outlines.push_back(edge);
    }
    table.push_back({"filled bars at 300 dpi", bars, 8, 0, 0, outlines, 5, 300 / 25.4});
    return table;
}

TEST(vectorize, known_shapes_come_out_as_a_draftsman_draws_them) {
    for (const Case& c : cases()) {
        const Picture picture(300, 300, c.shapes);
        PassState pass;
        test::FakeView view;
        VectorizeOptions options;
        options.dotsPerMm = c.dotsPerMm;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, options, pass, view);
        EXPECT_EQ(drawing.lines.size(), c.lines) << c.name << " " << c.shapes[0].a.x << " " << c.shapes[0].width;
        EXPECT_EQ(drawing.arcs.size(), c.arcs) << c.name;
        EXPECT_EQ(drawing.circles.size(), c.circles) << c.name;
        expectMatches(c, drawing);
    }
}

TEST(vectorize, a_stroke_along_a_page_of_more_lines_than_a_chain_holds_is_one_line) {
    const Case c{"tall stroke", {segment({3, 0}, {3, 139999}, 3)}, 1, 0, 0};
    const Picture picture(7, 140000, c.shapes);
    PassState pass;
    test::FakeView view;
    const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
    EXPECT_EQ(drawing.lines.size(), c.lines);
    expectMatches(c, drawing);
}

// The dashes of dashed and centre-line circles and arcs: an ARC each, all of the one circle.
TEST(vectorize, the_dashes_of_a_circle_are_arcs_of_it) {
    struct Dashed {
        double radius, width, dash, gap, from, to;  // dash and gap in dots along the circle
    };
    const std::vector<Dashed> table = {
        {60, 3, 35, 18, 0, 360},    // hidden line, chords too short to bend
        {100, 3, 59, 30, 0, 360},   // dashed
        {80, 3, 35, 18, 0, 180},    // a dashed half circle
        {45, 4, 24, 14, 0, 360},    // a heavy pen's
        {120, 5, 141, 35, 0, 360},  // a centre line's long dashes
    };
    for (const Dashed& d : table) {
        const Point centre{150, 150};
        std::vector<Shape> dashes;
        const double degreesPerDot = 180 / std::numbers::pi / d.radius;
        for (double at = d.from; at + d.dash * degreesPerDot <= d.to + 1e-9; at += (d.dash + d.gap) * degreesPerDot) {
            dashes.push_back(ring(centre, d.radius, d.width, at, at + d.dash * degreesPerDot));
        }
        const Picture picture(300, 300, dashes);
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        EXPECT_EQ(drawing.lines.size(), 0u) << d.radius;
        EXPECT_EQ(drawing.circles.size(), 0u) << d.radius;
        EXPECT_EQ(drawing.arcs.size(), dashes.size()) << d.radius;
        for (const VectorArc& arc : drawing.arcs) {
            EXPECT_LE(distance(arc.centre, centre), 1.5) << d.radius;
            EXPECT_LE(std::abs(arc.radius - d.radius), 1.5) << d.radius;
            EXPECT_LE(distance(arc.centre, drawing.arcs.front().centre), 1e-9) << d.radius;
        }
    }
}

// A small bend of another stroke whose ends happen to lie on a dashed circle's way round is no dash of
// it: it stays a bend of its own radius, bulging either way, and the dashes stay as they are.
TEST(vectorize, a_bend_with_its_ends_on_a_dashed_circle_is_no_dash_of_it) {
    struct Bend {
        double chord, sweep, pen;  // dots between its ends, degrees, dots
        bool inward;
    };
    const Point centre{150, 150};
    const double radius = 100, degreesPerDot = 180 / std::numbers::pi / radius;
    for (const Bend bend : {Bend{14, 100, 3, true}, Bend{14, 100, 3, false}, Bend{16, 80, 4, true}}) {
        std::vector<Shape> shapes;  // a dashed half circle
        for (double at = 0; at + 35 * degreesPerDot <= 180 + 1e-9; at += 55 * degreesPerDot) {
            shapes.push_back(ring(centre, radius, 3, at, at + 35 * degreesPerDot));
        }
        // The bend on the other side, its ends on the circle.
        const double half = bend.sweep / 2 * std::numbers::pi / 180, bendRadius = bend.chord / 2 / std::sin(half);
        const double chordAt = std::sqrt(radius * radius - bend.chord * bend.chord / 4);
        const double out = chordAt + (bend.inward ? 1 : -1) * bendRadius * std::cos(half);
        const Point bendCentre{centre.x, centre.y - out};
        const double facing = bend.inward ? 90 : 270;
        shapes.push_back(ring(bendCentre, bendRadius, bend.pen, facing - bend.sweep / 2, facing + bend.sweep / 2));
        const Picture picture(300, 300, shapes);
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        EXPECT_TRUE(std::any_of(drawing.arcs.begin(), drawing.arcs.end(),
                                [&](const VectorArc& arc) {
                                    return distance(arc.centre, bendCentre) <= 2 &&
                                           std::abs(arc.radius - bendRadius) <= 2;
                                }))
            << bend.chord << " " << bend.inward;
        EXPECT_EQ(std::count_if(drawing.arcs.begin(), drawing.arcs.end(),
                                [&](const VectorArc& arc) { return distance(arc.centre, centre) <= 3; }),
                  6)
            << bend.chord << " " << bend.inward;
    }
}

// Short straight strokes in a row a few dots off one line (the bars between a frame's posts, the leads of
// boxes stacked in a column) lie on a huge circle, each crossing it: they stay LINEs, not its dashes.
TEST(vectorize, strokes_in_a_crooked_row_are_no_dashes_of_a_circle) {
    for (const double off : {3.0, 4.0, 5.0}) {
        std::vector<Shape> shapes;
        for (int k = 0; k < 4; ++k) {
            const double x = 20 + 95 * k, y = 100 + (k % 2) * off;
            shapes.push_back(segment({x, y}, {x + 75, y}, 5));
            shapes.push_back(segment({x + 85, 40}, {x + 85, 160}, 5));
        }
        const Picture picture(420, 200, shapes);
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        EXPECT_TRUE(drawing.arcs.empty()) << off;
        EXPECT_EQ(drawing.lines.size(), shapes.size()) << off;
    }
}

// A circle of a pen hardly more than a dot wide, cut apart by the lines meeting it, is one CIRCLE: its
// fitted circle may run a dot beside such thin ink across the gaps between the pieces.
TEST(vectorize, a_thin_circle_cut_by_lines_is_one_circle) {
    const Point centre{150, 150};
    for (const double radius : {33.0, 45.0, 60.0}) {
        const Picture picture(300, 300,
                              {ring(centre, radius, 1.3), segment({20, centre.y}, {centre.x - radius, centre.y}, 1),
                               segment({centre.x + radius, centre.y}, {280, centre.y}, 1),
                               segment({centre.x, centre.y + radius}, {centre.x, 280}, 1)});
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        ASSERT_EQ(drawing.circles.size(), 1u) << radius;
        EXPECT_LE(distance(drawing.circles[0].centre, centre), 1.5) << radius;
        EXPECT_LE(std::abs(drawing.circles[0].radius - radius), 1.5) << radius;
        EXPECT_TRUE(drawing.arcs.empty()) << radius;
    }
}

// An arc that runs into a circle along a tangent (a transformer's winding leaving its core): the two strokes
// are one ink for a while before they touch, and the arc ends where they touch, not where they part.
TEST(vectorize, an_arc_running_into_a_circle_ends_where_they_touch) {
    struct Touching {
        double circle, arc, sweep, pen;  // radii in dots, the arc's sweep in degrees from the touching point
    };
    for (const Touching t : {Touching{60, 140, 70, 6}, Touching{50, 160, 50, 7}, Touching{70, 120, 80, 5}}) {
        const Point centre{150, 150}, touch{centre.x + t.circle, centre.y}, arcCentre{touch.x - t.arc, touch.y};
        const Picture picture(300, 300, {ring(centre, t.circle, t.pen), ring(arcCentre, t.arc, t.pen, 0, t.sweep)});
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        const auto arc = std::find_if(drawing.arcs.begin(), drawing.arcs.end(), [&](const VectorArc& a) {
            return distance(a.centre, arcCentre) <= 1.5 + 0.01 * t.arc &&
                   std::abs(a.radius - t.arc) <= 1.5 + 0.01 * t.arc;
        });
        ASSERT_NE(arc, drawing.arcs.end()) << t.arc;
        EXPECT_LE(distance(pointOnCircle(arc->centre, arc->radius, arc->startDegrees), touch), t.pen) << t.arc;
        EXPECT_LE(std::abs(std::remainder(arc->endDegrees - t.sweep, 360.0)), 2) << t.arc;
    }
}

// A coil of heavy half circles meeting at cusps: where two lobes meet, the runs along the rows cross both
// strokes' ink, whose middles pull the lobes' circles in; each lobe is one ARC round its own centre.
TEST(vectorize, the_lobes_of_a_coil_are_arcs_of_their_own_circles) {
    for (const auto& [radius, pen] : {std::pair{21.6, 6.0}, {22.3, 7.0}, {30.0, 8.0}}) {
        std::vector<Shape> shapes;
        std::vector<Point> centres;
        for (int lobe = 0; lobe < 4; ++lobe) {
            centres.push_back({150, 60 + 2 * radius * lobe});
            shapes.push_back(ring(centres.back(), radius, pen, 90, 270));
        }
        const Picture picture(300, static_cast<std::int32_t>(120 + 8 * radius), shapes);
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        for (const Point centre : centres) {
            const double tolerance = 1.5 + 0.01 * radius;
            EXPECT_TRUE(std::any_of(drawing.arcs.begin(), drawing.arcs.end(),
                                    [&](const VectorArc& a) {
                                        return distance(a.centre, centre) <= tolerance &&
                                               std::abs(a.radius - radius) <= tolerance;
                                    }))
                << radius << " at " << centre.y;
        }
    }
}

// A line tangent to a circle (a speaker's cone under its line): along the tangent the two strokes are one
// ink, which the circle takes; the line on both sides is one LINE across it.
TEST(vectorize, a_line_tangent_to_a_circle_is_one_line_across_it) {
    for (const auto& [radius, pen] : {std::pair{100.0, 5.5}, {70.0, 4.0}, {120.0, 7.0}}) {
        const Point centre{150, 140};
        const double y = centre.y + radius;
        const Case c{"tangent line",
                     {ring(centre, radius, pen), segment({centre.x - 140, y}, {centre.x + 140, y}, pen)},
                     1,
                     0,
                     1};
        const Picture picture(300, 300 + static_cast<std::int32_t>(radius), c.shapes);
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        expectMatches(c, drawing);
    }
}

// A heavy pen's arc with hatching inside it (a weld symbol): the lines meeting it cut it into pieces too
// short to bend, which joined into chords; it is one ARC, the hatching and the base line LINEs.
TEST(vectorize, a_hatched_heavy_arc_is_one_arc) {
    struct Hatched {
        double radius, width, spacing, from, to;  // spacing of the hatch lines in dots, the arc in degrees
    };
    const std::vector<Hatched> table = {{80, 9, 14, 0, 180}, {70, 8, 12, 0, 180}, {90, 6, 16, 0, 180}};
    for (const Hatched& h : table) {
        const Point centre{150, 60};
        std::vector<Shape> shapes = {ring(centre, h.radius, h.width, h.from, h.to),
                                     segment({10, centre.y}, {290, centre.y}, h.width)};
        // Lines at 45 degrees both ways, from the base line to the arc's inner edge.
        const double inner = h.radius - h.width / 2;
        for (const double slope : {1.0, -1.0}) {
            for (double x0 = centre.x - inner; x0 <= centre.x + inner; x0 += h.spacing) {
                // (x0 + t, y + slope t) from the base line until it meets the inner circle.
                const double b = (x0 - centre.x) * slope;
                const double t = (-b + std::sqrt(b * b - 2 * ((x0 - centre.x) * (x0 - centre.x) - inner * inner))) / 2;
                shapes.push_back(segment({x0, centre.y}, {x0 + t * slope, centre.y + t}, 3));
            }
        }
        const Picture picture(300, 200, shapes);
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        const double reach = 1.5 + 0.01 * h.radius;
        EXPECT_TRUE(std::any_of(drawing.arcs.begin(), drawing.arcs.end(), [&](const VectorArc& arc) {
            return distance(arc.centre, centre) <= reach && std::abs(arc.radius - h.radius) <= reach &&
                   std::abs(std::remainder(arc.startDegrees - h.from, 360.0)) <= 9 &&
                   std::abs(std::remainder(arc.endDegrees - h.to, 360.0)) <= 9;
        })) << h.radius;
    }
}

// The edge of a hole of whole cells (those inside holds for, in a 200-dot square, each tested a random
// fraction of a dot off its centre as the pictures' are): the middles of the sides between its cells and the
// others, as the tracing gives them.
std::vector<Point> holeEdge(const std::function<bool(Point)>& inside) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> steps(-2, 2);
    std::vector<bool> cells(200 * 200);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            cells[static_cast<std::size_t>(y * 200 + x)] = inside({x + steps(random) * 0.15, y + steps(random) * 0.15});
        }
    }
    const auto in = [&](int x, int y) { return cells[static_cast<std::size_t>(y * 200 + x)]; };
    std::vector<Point> edge;
    for (int y = 1; y < 199; ++y) {
        for (int x = 1; x < 199; ++x) {
            if (!in(x, y)) {
                continue;
            }
            for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                if (!in(x + dx, y + dy)) {
                    const Point cell{static_cast<double>(x), static_cast<double>(y)};
                    edge.push_back({cell.x + dx / 2.0, cell.y + dy / 2.0});
                }
            }
        }
    }
    return edge;
}

// A slot's hole, at any angle and length, gives its ends and radius; round, square-ended, rounded-cornered,
// oval and diamond holes give no slot.
TEST(vectorize, a_slot_is_known_by_its_hole) {
    struct Slot {
        Point a, b;
        double radius;
    };
    const std::vector<Slot> slots = {{{70, 100}, {130, 100}, 20}, {{100, 60}, {100, 140}, 12},
                                     {{80, 80}, {120, 120}, 25},  {{60, 110}, {140, 90}, 8},
                                     {{90, 95}, {110, 105}, 30},  {{85, 130}, {115, 70}, 15.5}};
    const double narrowest = Tolerances::forScan(300 / 25.4, 2).narrowestSlot;
    for (const Slot& slot : slots) {
        const std::optional<SlotShape> found =
            slotOfEdge(holeEdge([&](Point p) {
                           return distanceToSegment(p, {slot.a, slot.b}) <= slot.radius;
                       }),
                       narrowest);
        ASSERT_TRUE(found) << slot.radius;
        const bool turned = distance(found->a, slot.a) > distance(found->a, slot.b);
        // Within a dot: the least squares of a staircase edge lie up to 0.75 dots from the shape drawn.
        EXPECT_LE(distance(turned ? found->b : found->a, slot.a), 1) << slot.radius;
        EXPECT_LE(distance(turned ? found->a : found->b, slot.b), 1) << slot.radius;
        // The edge runs along the cells' outer sides, up to half a dot beyond their centres.
        EXPECT_NEAR(found->radius, slot.radius + 0.25, 0.5) << slot.radius;
    }
    const std::vector<std::pair<const char*, std::function<bool(Point)>>> others = {
        {"round",
         [](Point p) {
             return distance(p, {100, 100}) <= 30;
         }},
        {"square ends", [](Point p) { return std::abs(p.x - 100) <= 40 && std::abs(p.y - 100) <= 12; }},
        // Its sides' edge points outnumber its ends' by far: the ends must be half circles on their own.
        {"narrow, square ends",
         [](Point p) {
             const Point along{std::cos(0.3), std::sin(0.3)}, d{p.x - 100, p.y - 100};
             return std::abs(d.x * along.x + d.y * along.y) <= 40 && std::abs(d.y * along.x - d.x * along.y) <= 5.5;
         }},
        {"rounded corners",
         [](Point p) {
             const Point corner{std::max(std::abs(p.x - 100) - 36, 0.0), std::max(std::abs(p.y - 100) - 8, 0.0)};
             return std::hypot(corner.x, corner.y) <= 6;
         }},
        {"oval", [](Point p) { return std::pow((p.x - 100) / 45, 2) + std::pow((p.y - 100) / 18, 2) <= 1; }},
        {"diamond", [](Point p) { return std::abs(p.x - 100) / 50 + std::abs(p.y - 100) / 20 <= 1; }},
    };
    for (const auto& [name, inside] : others) {
        EXPECT_FALSE(slotOfEdge(holeEdge(inside), narrowest)) << name;
    }
}

// Small circles crossed by their centre lines: whatever arcs and circles are written lie on the circle,
// none in the corners where the pieces of the circle meet the lines.
TEST(vectorize, no_bends_of_their_own_where_a_small_circle_meets_lines) {
    for (const auto& [radius, width] : {std::pair{15.0, 4.0}, {12.0, 3.0}, {25.0, 4.0}}) {
        const Point centre{150, 150};
        const Picture picture(300, 300,
                              {ring(centre, radius, width),
                               segment({centre.x - radius - 25, centre.y}, {centre.x + radius + 25, centre.y}, 2),
                               segment({centre.x, centre.y - radius - 25}, {centre.x, centre.y + radius + 25}, 2)});
        PassState pass;
        test::FakeView view;
        const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
        for (const VectorArc& arc : drawing.arcs) {
            EXPECT_LE(distance(arc.centre, centre), 1.5 + 0.02 * radius) << radius;
            EXPECT_LE(std::abs(arc.radius - radius), 1.5 + 0.02 * radius) << radius;
        }
        for (const VectorCircle& circle : drawing.circles) {
            EXPECT_LE(distance(circle.centre, centre), 1.5 + 0.02 * radius) << radius;
            EXPECT_LE(std::abs(circle.radius - radius), 1.5 + 0.02 * radius) << radius;
        }
    }
}

// A page of over a million rows and few columns is vectorized turned over, and its drawing turned back:
// lines, a circle, and an arc over the top of its circle, still counter-clockwise.
TEST(vectorize, a_narrow_page_of_a_million_rows_comes_out_as_drawn) {
    const Case c{"narrow page",
                 {segment({10, 10000}, {10, 1000000}), segment({20, 2000}, {40, 2300}), ring({24, 5000}, 20, 3)},
                 2,
                 1,
                 1};
    const Shape arc = ring({24, 8000}, 20, 3, 30, 150);
    std::vector<Shape> shapes = c.shapes;
    shapes.push_back(arc);
    const Picture picture(48, 1100000, shapes);
    PassState pass;
    test::FakeView view;
    const VectorDrawing drawing = VectorizeGrid(picture.grid, {}, pass, view);
    EXPECT_EQ(drawing.lines.size(), c.lines);
    EXPECT_EQ(drawing.circles.size(), c.circles);
    expectMatches(c, drawing);
    ASSERT_EQ(drawing.arcs.size(), c.arcs);
    const VectorArc& found = drawing.arcs.front();
    EXPECT_LE(distance(found.centre, arc.centre), 1.5);
    EXPECT_LE(std::abs(found.radius - arc.radius), 1.5);
    EXPECT_NEAR(found.startDegrees + sweepDegrees(found.startDegrees, found.endDegrees) / 2, 90, 3);
    EXPECT_NEAR(sweepDegrees(found.startDegrees, found.endDegrees), 120, 8);
}

TEST(vectorize, ink_is_probed_only_inside_the_grid) {
    const Picture picture(40, 30, {segment({0, 15}, {39, 15}, 31)});
    const InkProbe ink(picture.grid);
    EXPECT_TRUE(ink.at({20, 15}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Point p : {Point{-1, 15}, Point{40, 15}, Point{20, -1}, Point{20, 30}, Point{nan, 15}, Point{20, nan},
                          Point{1e300, 15}, Point{-1e300, 15}}) {
        EXPECT_FALSE(ink.at(p)) << p.x << ", " << p.y;
    }
}

// A 1-bit BMP file of the picture, its line cells black.
std::string bmpOf(const Picture& picture) {
    const auto stride = static_cast<std::uint32_t>((picture.width + 31) / 32 * 4);
    const auto imageSize = stride * static_cast<std::uint32_t>(picture.height);
    std::string bytes = "BM";
    const auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<char>(value >> (8 * i)));
        }
    };
    put(62 + imageSize, 4), put(0, 4), put(62, 4);
    put(40, 4), put(static_cast<std::uint32_t>(picture.width), 4), put(static_cast<std::uint32_t>(picture.height), 4);
    put(1, 2), put(1, 2), put(0, 4), put(imageSize, 4), put(3780, 4), put(3780, 4), put(2, 4), put(2, 4);
    put(0, 4), put(0xffffff, 4);  // black, white
    for (const std::uint8_t cells : picture.rows) {
        bytes.push_back(static_cast<char>(~cells));
    }
    return bytes;
}

// A drawing dense enough that its strokes cross the bands of rows and columns the workers take in turn:
// lines of several widths at many angles, circles and arcs, some crossing and some touching.
class vector_mode_at_work : public test::FormFixture {
protected:
    static void SetUpTestSuite() {
        std::mt19937 random(11);
        const auto uniform = [&](double low, double high) { return std::uniform_real_distribution(low, high)(random); };
        std::vector<Shape> shapes;
        for (int i = 0; i < 90; ++i) {
            shapes.push_back(
                turnedSegment({uniform(40, 1160), uniform(40, 960)}, uniform(30, 500), uniform(0, 180), uniform(1, 6)));
        }
        for (int i = 0; i < 30; ++i) {
            const double from = uniform(0, 360);
            shapes.push_back(ring({uniform(60, 1140), uniform(60, 940)}, uniform(8, 150), uniform(1, 4), from,
                                  i % 2 == 0 ? from + 360 : from + uniform(30, 300)));
        }
        picture = new Picture(1200, 1000, shapes);
    }
    static void TearDownTestSuite() {
        delete picture;
        picture = nullptr;
    }

    // Reads the picture from a BMP file and sets the vector mode with the given threads, writing to out.dxf.
    void prepare(std::int32_t threads) {
        const std::string bmp = work.file("dense.bmp");
        if (!test::fileExists(bmp)) {
            test::writeBytes(bmp, bmpOf(*picture));
        }
        read(bmp);
        view.setText(textFile(1), work.file("out.dxf"));
        state.conversionOptions.Vectorize = true;
        state.conversionOptions.Threads = threads;
    }

    static Picture* picture;
};

Picture* vector_mode_at_work::picture = nullptr;

TEST_F(vector_mode_at_work, writes_the_same_bytes_with_any_number_of_threads) {
    std::string first;
    for (const std::int32_t threads : {1, 2, 3, 8}) {
        prepare(threads);
        std::remove(work.file("out.dxf").c_str());
        ASSERT_TRUE(cmdConvert_Click(form)) << testing::PrintToString(view.messages());
        const std::string written = test::readBytes(work.file("out.dxf"));
        if (first.empty()) {
            first = written;
            std::size_t entities = 0;
            for (const char* kind : {"\nLINE\r\n", "\nARC\r\n", "\nCIRCLE\r\n"}) {
                for (std::size_t at = first.find(kind); at != std::string::npos; at = first.find(kind, at + 1)) {
                    ++entities;
                }
            }
            EXPECT_GT(entities, 100u) << "too few entities to tell";
            test::keepForReaderCheck(work.file("out.dxf"), "vector-threads.dxf");
        } else {
            EXPECT_TRUE(written == first) << threads << " threads";
        }
    }
}

// A stop request at any moment of any pass, seen by the calling thread while the workers run or between
// the steps it takes itself, ends the conversion with the file as it was.
TEST_F(vector_mode_at_work, a_stop_in_any_pass_leaves_the_old_file) {
    const std::string old = "an earlier drawing";
    for (const std::int32_t threads : {1, 2}) {
        prepare(threads);
        view.setPacing({1, std::chrono::nanoseconds(0)});
        // Every chance to stop, counted in a run that is not stopped, with the pass in progress at each.
        std::vector<std::string> passAt;
        view.onEvents = [&] { passAt.push_back(view.captions().empty() ? "" : view.captions().back().substr(0, 6)); };
        view.answers.push_back(true);
        ASSERT_TRUE(cmdConvert_Click(form));
        const std::set<std::string> passes(passAt.begin(), passAt.end());
        std::set<std::string> stopped;
        const std::size_t tries = 40;
        for (std::size_t k = 0; k < tries; ++k) {
            const std::size_t stopAt = passAt.size() * k / tries;
            test::writeBytes(work.file("out.dxf"), old);
            std::size_t polls = 0;
            view.onEvents = [&] {
                if (polls++ == stopAt) {
                    stopped.insert(view.captions().empty() ? "" : view.captions().back().substr(0, 6));
                    throw KelvarinError(ErrorCode::Interrupted);
                }
            };
            view.answers.assign(1, true);
            EXPECT_FALSE(cmdConvert_Click(form)) << "stop at " << stopAt;
            EXPECT_EQ(test::readBytes(work.file("out.dxf")), old) << "stop at " << stopAt;
            EXPECT_EQ(state.PassNumber, 0);
        }
        // Every pass that let events run was stopped in at least once.
        for (const std::string& pass : passes) {
            const bool often = std::count(passAt.begin(), passAt.end(), pass) * tries >= passAt.size() * 2;
            EXPECT_TRUE(!often || stopped.count(pass) > 0) << pass << " with " << threads << " threads";
        }
        view.onEvents = nullptr;
    }
}

// The caption names each step of the vector mode, in order, and its percentage moves within the steps.
TEST_F(vector_mode_at_work, captions_name_the_steps_in_order) {
    prepare(1);
    view.clearLog();
    view.answers.push_back(true);
    ASSERT_TRUE(cmdConvert_Click(form));
    const std::vector<std::string> steps = {"中心線（横）",
                                            "中心線（縦）",
                                            "ハッチングを見分ける",
                                            "円弧をつなぐ",
                                            "線分をつなぐ",
                                            "線の端を整える",
                                            "重なりと接点を整える",
                                            "破線の円と矢印をまとめる",
                                            "黒い部分の塊を調べる",
                                            "丸い塊を円にする",
                                            "穴を見分ける",
                                            "交点と塗りつぶしを見分ける",
                                            "点線と途切れた線をつなぐ"};
    std::vector<std::string> named;
    std::set<std::string> joiningPercentages;
    for (const std::string& caption : view.captions()) {
        const std::size_t colon = caption.find(": ");
        if (colon == std::string::npos || caption.rfind("書出", 0) == 0 || caption.rfind("Pass", 0) == 0) {
            continue;
        }
        const std::string name = caption.substr(0, colon);
        if (named.empty() || named.back() != name) {
            named.push_back(name);
        }
        if (name != steps[0] && name != steps[1]) {
            joiningPercentages.insert(caption.substr(colon + 2));
        }
    }
    EXPECT_EQ(named, steps);
    // Eleven steps of joining, each starting at its own share and moving on from it.
    EXPECT_GT(joiningPercentages.size(), 11u);
}

}  // namespace
}  // namespace kelvarin
