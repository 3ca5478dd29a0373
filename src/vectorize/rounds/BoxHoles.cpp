// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/BoxHoles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/EntityWalk.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

namespace {

constexpr double kLongestSide = 8;       // pens: a longer side comes out of its pieces whole
constexpr double kFilledShare = 0.9;     // of its box that a box's hole fills at least
constexpr double kStraightShare = 0.85;  // of the hole's rows that end within a dot of its box's sides
constexpr double kEvenShare = 0.4;       // of a side's widths that lie near the stroke's (leads widen some)
constexpr double kFollowedShare = 0.9;   // of a side that one line follows, when the pieces drew it
constexpr double kAlongRadians = 6 * std::numbers::pi / 180;  // a line turned less runs along a side

// A box by the middle of its stroke, in dots.
struct HeavyBox {
    double left = 0, bottom = 0, right = 0, top = 0;
    double pen = 0;

    Point centre() const { return {(left + right) / 2, (bottom + top) / 2}; }
    std::array<VectorLine, 4> sides() const {
        return {VectorLine{{left, bottom}, {right, bottom}}, VectorLine{{right, bottom}, {right, top}},
                VectorLine{{right, top}, {left, top}}, VectorLine{{left, top}, {left, bottom}}};
    }
    // Whether p lies within the box's outer edge grown by grow.
    bool holds(Point p, double grow) const {
        const double reach = pen / 2 + grow;
        return p.x >= left - reach && p.x <= right + reach && p.y >= bottom - reach && p.y <= top + reach;
    }
};

// The cells of ink from (x, y) on, step (dx, dy) at a time, up to limit.
int inkRun(const InkProbe& ink, std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy, int limit) {
    int run = 0;
    while (run < limit && ink.at({static_cast<double>(x + dx * run), static_cast<double>(y + dy * run)})) {
        ++run;
    }
    return run;
}

// The stroke's width along one side from the runs outward from it: the run a quarter of the way up from
// the shortest, when enough runs lie near it (a lead leaving a short side's middle may make half of them
// longer); 0 otherwise.
double sideWidth(std::vector<int>& runs) {
    if (runs.empty()) {
        return 0;
    }
    std::nth_element(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(runs.size() / 4), runs.end());
    const double width = runs[runs.size() / 4];
    const auto near =
        std::count_if(runs.begin(), runs.end(), [&](int run) { return std::abs(run - width) <= 1 + 0.2 * width; });
    return static_cast<double>(near) >= kEvenShare * static_cast<double>(runs.size()) ? width : 0;
}

// Whether the hole is a rectangle square to the page: it fills its box, its corners are square (the cell a
// step in from each corner of the box along the diagonal is background, which a rounded rectangle's inner
// corner of a few dots is not), and its rows end at the box's sides.
bool rectangular(const Hole& hole, const VirtualVram& grid) {
    const Box& box = hole.box;
    if (hole.cells < kFilledShare * box.width() * box.height() || grid.at(box.left + 1, box.bottom + 1) != 0 ||
        grid.at(box.right - 1, box.bottom + 1) != 0 || grid.at(box.left + 1, box.top - 1) != 0 ||
        grid.at(box.right - 1, box.top - 1) != 0) {
        return false;
    }
    const std::vector<Gap> gaps = gapsOf(grid, hole);
    const auto straight = std::count_if(gaps.begin(), gaps.end(), [&](const Gap& gap) {
        return std::abs(gap.left - box.left) <= 1 && std::abs(gap.right - box.right) <= 1;
    });
    return static_cast<double>(straight) >= kStraightShare * box.height();
}

// The widths of the stroke round the hole, left, right, bottom and top, from the runs outward from each
// side; a side's is 0 when its runs are uneven.
std::array<double, 4> strokeWidths(const Box& box, const InkProbe& ink) {
    const int limit = 2 * std::max(box.width(), box.height());
    std::array<double, 4> widths{};
    std::vector<int> runs;
    const auto along = [&](std::int32_t low, std::int32_t high, auto run) {
        runs.clear();
        for (std::int32_t k = low; k <= high; ++k) {
            runs.push_back(run(k));
        }
        return sideWidth(runs);
    };
    widths[0] = along(box.bottom, box.top, [&](std::int32_t y) { return inkRun(ink, box.left - 1, y, -1, 0, limit); });
    widths[1] = along(box.bottom, box.top, [&](std::int32_t y) { return inkRun(ink, box.right + 1, y, 1, 0, limit); });
    widths[2] =
        along(box.left, box.right, [&](std::int32_t x) { return inkRun(ink, x, box.bottom - 1, 0, -1, limit); });
    widths[3] = along(box.left, box.right, [&](std::int32_t x) { return inkRun(ink, x, box.top + 1, 0, 1, limit); });
    return widths;
}

// Whether each side's stroke ends at the box's corners: the middle of each side, run on past the outer
// edge, is background both ways.
bool endsAtCorners(const HeavyBox& box, const InkProbe& ink) {
    const double beyond = box.pen / 2 + 2;
    for (const double y : {box.bottom, box.top}) {
        if (ink.at({box.left - beyond, y}) || ink.at({box.right + beyond, y})) {
            return false;
        }
    }
    for (const double x : {box.left, box.right}) {
        if (ink.at({x, box.bottom - beyond}) || ink.at({x, box.top + beyond})) {
            return false;
        }
    }
    return true;
}

// The heavy box round the hole, if it makes one.
std::optional<HeavyBox> boxOf(const Hole& hole, const VirtualVram& grid, const InkProbe& ink, double lightestPen) {
    const Box& box = hole.box;
    if (box.width() < kSmallestPiece || box.height() < kSmallestPiece || !rectangular(hole, grid)) {
        return std::nullopt;
    }
    const std::array<double, 4> widths = strokeWidths(box, ink);
    const auto [thinnest, thickest] = std::minmax_element(widths.begin(), widths.end());
    const double pen = (widths[0] + widths[1] + widths[2] + widths[3]) / 4;
    if (*thinnest < lightestPen || *thickest - *thinnest > 1.5 + 0.2 * pen) {
        return std::nullopt;
    }
    // Cells lie on whole dots, so the hole's edge lies half a dot beyond its outermost cells.
    const HeavyBox found{box.left - 0.5 - pen / 2, box.bottom - 0.5 - pen / 2, box.right + 0.5 + pen / 2,
                         box.top + 0.5 + pen / 2, pen};
    if (std::max(found.right - found.left, found.top - found.bottom) > kLongestSide * pen ||
        !endsAtCorners(found, ink)) {
        return std::nullopt;
    }
    return found;
}

// Whether one line of the drawing follows the side along the middle of its stroke.
bool followed(const VectorLine& side, double pen, const std::vector<VectorLine>& lines, const SpatialIndex& index,
              std::vector<std::int32_t>& near) {
    const Point way = (side.b - side.a) * (1 / length(side.b - side.a));
    index.near((side.a + side.b) * 0.5, length(side.b - side.a) / 2 + pen, near);
    return std::any_of(near.begin(), near.end(), [&](std::int32_t k) {
        const VectorLine& line = lines[static_cast<std::size_t>(k)];
        const double size = length(line.b - line.a);
        if (size <= 0 || std::abs(dot(line.b - line.a, way)) < std::cos(kAlongRadians) * size) {
            return false;
        }
        int on = 0, all = 0;
        walkLine(side.a, side.b, [&](Point p) {
            ++all;
            on += distanceToSegment(p, line) <= pen / 2 + 1 ? 1 : 0;
        });
        return on >= kFollowedShare * all;
    });
}

// Whether the line runs through the box's middle along a side's way (a fuse's wire).
bool throughMiddle(const VectorLine& line, const HeavyBox& box, double tolerance) {
    const Point along = line.b - line.a;
    const double size = length(along);
    const double slant = std::sin(kAlongRadians) * size;
    return size > 0 && (std::abs(along.x) <= slant || std::abs(along.y) <= slant) &&
           distanceFromLine(box.centre(), line.a, along * (1 / size)) <= 1.5 + tolerance;
}

// The boxes found of which some side no line of the drawing follows: a box whose every side a line follows
// came out of its pieces.
std::vector<HeavyBox> unfollowedBoxes(const std::vector<std::optional<HeavyBox>>& found,
                                      const std::vector<VectorLine>& lines, const Tick& tick) {
    const SpatialIndex lineIndex = indexOfSegments(lines);
    lineIndex.build();
    std::vector<HeavyBox> boxes;
    std::vector<std::int32_t> near;
    for (const std::optional<HeavyBox>& box : found) {
        tick();
        if (!box) {
            continue;
        }
        const std::array<VectorLine, 4> sides = box->sides();
        if (!std::all_of(sides.begin(), sides.end(),
                         [&](const VectorLine& side) { return followed(side, box->pen, lines, lineIndex, near); })) {
            boxes.push_back(*box);
        }
    }
    return boxes;
}

// Drops the lines, arcs and circles that lie inside a box, but for lines through its middle.
void dropStrokesInBoxes(const std::vector<HeavyBox>& boxes, WideDrawing& wide, double tolerance, const Tick& tick) {
    const SpatialIndex boxIndex = indexOfPoints(boxes.size(), [&](std::size_t i) { return boxes[i].centre(); });
    double largest = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        largest = std::max(largest, length(Point{boxes[i].right, boxes[i].top} - boxes[i].centre()) + boxes[i].pen);
    }
    boxIndex.build();
    const double grow = tolerance + 1;
    std::vector<std::int32_t> near;
    // The box that holds every point of an entity, walked by walk, or null.
    const auto holder = [&](Point first, auto walk) -> const HeavyBox* {
        boxIndex.near(first, largest, near);
        for (const std::int32_t k : near) {
            const HeavyBox& box = boxes[static_cast<std::size_t>(k)];
            bool inside = true;
            walk([&](Point p) { inside = inside && box.holds(p, grow); });
            if (inside) {
                return &box;
            }
        }
        return nullptr;
    };
    VectorDrawing& drawing = wide.drawing;
    keepIf(drawing.lines, wide.lineWidths, [&](const VectorLine& line) {
        tick();
        const HeavyBox* box = holder(line.a, [&](auto visit) { walkLine(line.a, line.b, visit); });
        return box == nullptr || throughMiddle(line, *box, tolerance);
    });
    keepIf(drawing.arcs, wide.arcWidths, [&](const VectorArc& arc) {
        tick();
        const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
        return holder(pointOnCircle(arc.centre, arc.radius, arc.startDegrees),
                      [&](auto visit) { walkArc(arc.centre, arc.radius, arc.startDegrees, sweep, visit); }) == nullptr;
    });
    keepIf(drawing.circles, wide.circleWidths, [&](const VectorCircle& circle) {
        tick();
        return holder(pointOnCircle(circle.centre, circle.radius, 0),
                      [&](auto visit) { walkArc(circle.centre, circle.radius, 0, 360, visit); }) == nullptr;
    });
}

}  // namespace

void replaceBoxHoles(const VirtualVram& grid, const PageHoles& holes, WideDrawing& wide, WorkerPool& pool,
                     const Tolerances& sizes, const Tick& tick) {
    const std::vector<const Hole*> all = listedHoles(holes);
    const InkProbe ink(grid);
    std::vector<std::optional<HeavyBox>> found(all.size());
    pool.run(all.size(),
             [&](std::size_t i, std::int32_t) { found[i] = boxOf(*all[i], grid, ink, sizes.lightestBoxPen); });
    const std::vector<HeavyBox> boxes = unfollowedBoxes(found, wide.drawing.lines, tick);
    if (boxes.empty()) {
        return;
    }
    dropStrokesInBoxes(boxes, wide, sizes.entity, tick);
    for (const HeavyBox& box : boxes) {
        for (const VectorLine& side : box.sides()) {
            wide.drawing.lines.push_back(side);
            wide.lineWidths.push_back(box.pen);
        }
    }
}

}  // namespace kelvarin
