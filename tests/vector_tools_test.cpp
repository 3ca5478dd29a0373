// SPDX-License-Identifier: GPL-3.0-or-later
// The vector passes' shared tools against plain reference versions: the spatial index's searches, the
// tracing of a hole, the rounding of a probe to its cell, the marches along a ray, and the distances from
// segments and circles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

#include "common/WorkerPool.h"
#include "convert/VirtualVram.h"
#include "support/PackedCells.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/index/CircleCells.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/Holes.h"
#include "vectorize/raster/InkProbe.h"
#include "vectorize/raster/InkRay.h"
#include "vectorize/raster/RunGroups.h"

namespace kelvarin {
namespace {

using test::Cells;

// The ids a search of the square of cells from (x0, y0) to (x1, y1) should give: each cell's own ids (a
// search of no radius about its middle), cell by cell in columns from the left and up each, each id once.
std::vector<std::int32_t> cellByCell(const SpatialIndex& index, std::int64_t x0, std::int64_t x1, std::int64_t y0,
                                     std::int64_t y1, double cell) {
    std::vector<std::int32_t> all, one;
    for (std::int64_t x = x0; x <= x1; ++x) {
        for (std::int64_t y = y0; y <= y1; ++y) {
            index.near({(static_cast<double>(x) + 0.5) * cell, (static_cast<double>(y) + 0.5) * cell}, 0, one);
            for (const std::int32_t id : one) {
                if (std::find(all.begin(), all.end(), id) == all.end()) {
                    all.push_back(id);
                }
            }
        }
    }
    return all;
}

// Searches of every size, from a cell to far wider than the page, find what the cells they cover hold, in
// their order: on a page whose cells are laid out as a grid, and on one of two clusters far apart whose
// cells are listed by their keys.
TEST(spatial_index, a_search_of_any_size_finds_the_ids_of_its_cells_in_their_order) {
    constexpr double kCell = 32;
    for (const bool apart : {false, true}) {
        std::mt19937 random(apart ? 7 : 5);
        std::uniform_real_distribution<double> place(0, 2000), step(-300, 300);
        SpatialIndex index;
        for (std::int32_t id = 0; id < 300; ++id) {
            const double shift = apart && id % 2 == 1 ? 4e6 : 0;
            const Point a{place(random) + shift, place(random) + shift};
            index.insert(id, a, {a.x + step(random), a.y + step(random)});
        }
        std::vector<std::int32_t> found;
        for (int query = 0; query < 200; ++query) {
            const double shift = apart && query % 2 == 1 ? 4e6 : 0;
            const Point p{place(random) + shift, place(random) + shift};
            const double radius = query % 4 == 0 ? 1e7 : std::uniform_real_distribution<double>(0, 900)(random);
            if (apart && radius > 1e6) {
                continue;  // the reference would walk 10^10 cells between the clusters
            }
            index.near(p, radius, found);
            // The cells beyond the listed ones hold nothing: the reference looks only where segments may lie.
            const auto cellOf = [&](double v) { return static_cast<std::int64_t>(std::floor(v / kCell)); };
            const double low = -400, high = apart ? 4e6 + 2400 : 2400;
            const auto clip = [&](double v) { return std::clamp(v, low, high); };
            const std::vector<std::int32_t> expected =
                cellByCell(index, cellOf(clip(p.x - radius)), cellOf(clip(p.x + radius)), cellOf(clip(p.y - radius)),
                           cellOf(clip(p.y + radius)), kCell);
            EXPECT_EQ(found, expected) << "query " << query << " radius " << radius << (apart ? " apart" : "");
        }
        index.near({1000, 1000}, 1e7, found);
        EXPECT_EQ(found.size(), 300u) << "the widest search finds every id once" << (apart ? " apart" : "");
    }
}

// Random segments of a page: long and short ones, and points (segments of no length).
std::vector<VectorLine> randomSegments(std::mt19937& random, std::size_t count) {
    std::uniform_real_distribution<double> place(-100, 2100), step(-400, 400);
    std::vector<VectorLine> segments;
    for (std::size_t i = 0; i < count; ++i) {
        const Point a{place(random), place(random)};
        const double scale = i % 3 == 0 ? 0 : i % 3 == 1 ? 0.05 : 1;
        segments.push_back({a, {a.x + scale * step(random), a.y + scale * step(random)}});
    }
    return segments;
}

// The ids within radius of p by their distance, sorted: those a search must find.
std::vector<std::int32_t> withinRadius(const std::vector<double>& distances, double radius) {
    std::vector<std::int32_t> ids;
    for (std::size_t id = 0; id < distances.size(); ++id) {
        if (distances[id] <= radius) {
            ids.push_back(static_cast<std::int32_t>(id));
        }
    }
    return ids;
}

// The drawing's indexes of its segments and of their ends, against a search of every item: a search finds
// each id at most once, every item within its radius among them, and those found within the radius are
// exactly the items within it.
TEST(spatial_index, finds_every_item_within_the_radius_as_a_search_of_all_items_does) {
    std::mt19937 random(11);
    const std::vector<VectorLine> segments = randomSegments(random, 400);
    const std::vector<Point> ends = [&] {
        std::vector<Point> all;
        for (const VectorLine& segment : segments) {
            all.insert(all.end(), {segment.a, segment.b});
        }
        return all;
    }();
    struct Case {
        const char* name;
        SpatialIndex index;
        std::function<double(std::size_t, Point)> distance;
        std::size_t count;
    };
    const std::vector<Case> cases{
        {"segments", indexOfSegments(segments),
         [&](std::size_t id, Point p) { return distanceToSegment(p, segments[id]); }, segments.size()},
        {"ends", indexOfEnds(segments), [&](std::size_t id, Point p) { return length(p - ends[id]); }, ends.size()},
        {"points", indexOfPoints(ends.size(), [&](std::size_t i) { return ends[i]; }),
         [&](std::size_t id, Point p) { return length(p - ends[id]); }, ends.size()},
    };
    std::uniform_real_distribution<double> place(-300, 2300), size(0, 250);
    std::vector<std::int32_t> found;
    for (const Case& c : cases) {
        for (int query = 0; query < 300; ++query) {
            const Point p{place(random), place(random)};
            const double radius = query % 10 == 0 ? 0 : size(random);
            std::vector<double> distances(c.count);
            for (std::size_t id = 0; id < c.count; ++id) {
                distances[id] = c.distance(id, p);
            }
            c.index.near(p, radius, found);
            std::vector<std::int32_t> sorted = found;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << c.name << " " << query;
            std::erase_if(sorted, [&](std::int32_t id) { return distances[static_cast<std::size_t>(id)] > radius; });
            EXPECT_EQ(sorted, withinRadius(distances, radius)) << c.name << " query " << query << " radius " << radius;
        }
    }
}

// Circles added one by one while points are looked up among them, against a look at every circle added so
// far: whether one covers a point or is centred near it, and the circle found around a point holds it.
TEST(circle_cells, lookups_between_additions_agree_with_a_look_at_every_circle) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> place(0, 1500), radius(0.5, 70), reach(0, 12);
    CircleCells cells;
    std::vector<VectorCircle> added;
    for (int round = 0; round < 400; ++round) {
        const VectorCircle circle{{place(random), place(random)}, round % 50 == 0 ? 140 : radius(random)};
        cells.add(circle);
        added.push_back(circle);
        for (int query = 0; query < 6; ++query) {
            const Point p{place(random), place(random)};
            const double r = reach(random);
            const auto holds = [&](const VectorCircle& c) { return length(p - c.centre) <= c.radius + r; };
            const auto small = [](const VectorCircle& c) { return c.radius < 20; };
            const auto centred = [&](const VectorCircle& c) { return length(p - c.centre) <= 5 * r && small(c); };
            const bool any = std::any_of(added.begin(), added.end(), holds);
            EXPECT_EQ(cells.covers(p, r), any) << round << " " << query;
            EXPECT_EQ(cells.centredNear(p, 5 * r, small), std::any_of(added.begin(), added.end(), centred))
                << round << " " << query;
            const VectorCircle* around = cells.around(p, r);
            EXPECT_EQ(around != nullptr, any) << round << " " << query;
            if (around != nullptr) {
                EXPECT_TRUE(holds(*around)) << round << " " << query;
            }
        }
    }
}

// Traces a hole cell by cell from its seed: the background cells sides touching, within its box, as rows.
std::vector<Gap> floodTraced(const VirtualVram& grid, const Hole& hole) {
    const Box& box = hole.box;
    std::vector<char> inside(static_cast<std::size_t>(box.width() * box.height()), 0);
    const auto at = [&](std::int32_t x, std::int32_t y) -> char& {
        return inside[static_cast<std::size_t>((y - box.bottom) * box.width() + (x - box.left))];
    };
    std::vector<std::pair<std::int32_t, std::int32_t>> stack{{hole.seedX, hole.seedY}};
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        if (x < box.left || x > box.right || y < box.bottom || y > box.top || at(x, y) != 0 || grid.at(x, y) != 0) {
            continue;
        }
        at(x, y) = 1;
        stack.insert(stack.end(), {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}});
    }
    std::vector<Gap> gaps;
    for (std::int32_t y = box.bottom; y <= box.top; ++y) {
        for (std::int32_t x = box.left; x <= box.right; ++x) {
            if (at(x, y) != 0) {
                if (x == box.left || at(x - 1, y) == 0) {
                    gaps.push_back({y, x, x});
                }
                gaps.back().right = x;
            }
        }
    }
    return gaps;
}

// Every hole of a page of random strokes, boxes and rings, traced by its rows' stretches, is the hole a
// cell-by-cell fill finds.
TEST(holes, each_traced_hole_holds_the_cells_a_fill_from_its_seed_reaches) {
    Cells cells(1500, 900);
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int32_t> column(0, cells.width - 1), row(0, cells.height - 1), size(4, 60);
    for (int stroke = 0; stroke < 900; ++stroke) {
        const std::int32_t x = column(random), y = row(random), length = 4 * size(random);
        const double turn = std::uniform_real_distribution<double>(0, 3.2)(random);
        for (std::int32_t t = 0; t < length; ++t) {
            const auto px = static_cast<std::int32_t>(x + t * std::cos(turn));
            const auto py = static_cast<std::int32_t>(y + t * std::sin(turn));
            if (px >= 0 && py >= 0 && px < cells.width && py < cells.height) {
                cells.set(px, py);
            }
        }
    }
    WorkerPool pool(2, [] {});
    const RunGroups groups(cells.grid, nullptr, pool, [] {});
    const PageHoles holes = holesOfPage(cells.grid, groups, Tolerances::forScan(0, 2).largestHole, pool);
    const std::vector<const Hole*> listed = listedHoles(holes);
    ASSERT_GT(listed.size(), 500u) << "too few holes to tell";
    for (const Hole* hole : listed) {
        const std::vector<Gap> traced = gapsOf(cells.grid, *hole), filled = floodTraced(cells.grid, *hole);
        ASSERT_EQ(traced.size(), filled.size()) << "hole at " << hole->seedX << ", " << hole->seedY;
        for (std::size_t k = 0; k < traced.size(); ++k) {
            EXPECT_EQ(std::make_tuple(traced[k].y, traced[k].left, traced[k].right),
                      std::make_tuple(filled[k].y, filled[k].left, filled[k].right));
        }
    }
}

// A probe is the cell its position rounds to, halves away from zero as std::round has them, on both
// sides of every half and at the grid's edges.
TEST(ink_probe, a_position_is_the_cell_it_rounds_to) {
    Cells cells(70, 5);
    for (std::int32_t x = 0; x < cells.width; x += 2) {
        cells.set(x, x % 5);  // a diagonal of every other column, so that a wrong neighbour shows
    }
    const InkProbe ink(cells.grid);
    const double justBelowHalf = std::nextafter(0.5, 0.0);
    for (double base = -2; base <= cells.width + 1; base += 1) {
        for (const double offset : {-0.5, -justBelowHalf, -0.25, 0.0, 0.25, justBelowHalf, 0.5}) {
            const double x = base + offset;
            const double rx = std::round(x);
            for (std::int32_t y = 0; y < cells.height; ++y) {
                const bool expected =
                    rx >= 0 && rx < cells.width && cells.grid.at(static_cast<std::int32_t>(rx), y) != 0;
                EXPECT_EQ(ink.at({x, static_cast<double>(y)}), expected) << x << ", " << y;
            }
        }
    }
}

// Runs of cells along a row, and along a column, marched over both ways. A probe is the cell it rounds to,
// halves away from zero: going up the row a run of cells a to b is ink from a - 0.5 to b + 0.5 (after is the
// first probe past it), going down from b to a - 0.5.
TEST(ink_ray, marches_meet_the_runs_of_cells_where_their_probes_round_into_them) {
    const std::vector<std::pair<std::int32_t, std::int32_t>> runs = {{3, 5}, {9, 9}, {12, 14}, {16, 18}, {27, 29}};
    for (const bool column : {false, true}) {
        Cells cells(column ? 5 : 32, column ? 32 : 5);
        for (const auto& [a, b] : runs) {
            for (std::int32_t k = a; k <= b; ++k) {
                column ? cells.set(2, k) : cells.set(k, 2);
            }
        }
        const InkProbe ink(cells.grid);
        const auto place = [&](double along) { return column ? Point{2, along} : Point{along, 2}; };
        for (const bool down : {false, true}) {
            const InkRay ray(ink, place(down ? 30 : 0), (place(1) - place(0)) * (down ? -1 : 1), 0.5);
            const auto near = [&](std::int32_t a, std::int32_t b) {  // where the run a to b is met
                return down ? std::pair{30.0 - b, 31.0 - a} : std::pair{a - 0.5, b + 0.5};
            };
            std::vector<std::tuple<double, double, bool>> met, expected;
            // A run reaching past the last probe (28) ends with the march, at the probe after it.
            ray.forEachStretch(0, 28, [&](double enter, double after, bool ended) {
                met.emplace_back(enter, after, ended);
                return true;
            });
            for (const auto& [a, b] : runs) {
                const auto [enter, after] = near(a, b);
                expected.emplace_back(enter, std::min(after, 28.5), after <= 28);
            }
            if (down) {
                std::reverse(expected.begin(), expected.end());
            }
            EXPECT_EQ(met, expected) << (column ? "column" : "row") << (down ? " down" : " up");
            int visits = 0;
            ray.forEachStretch(0, 30, [&](double, double, bool) { return ++visits < 2; });
            EXPECT_EQ(visits, 2);
            // Up the row: the first ink, none before the last probe (the first past it), a pinhole of a cell
            // bridged by a gap of a dot and not by one of half a dot.
            if (!down) {
                EXPECT_EQ(ray.firstInk(0, 30), 2.5);
                EXPECT_EQ(ray.firstInk(6, 8), 8.5);
                EXPECT_EQ(ray.firstGap(12, 30, 1), 18.5);
                EXPECT_EQ(ray.firstGap(12, 30, 0.5), 14.5);
                EXPECT_EQ(ray.firstGap(3, 4, 1), 4.5);
            }
        }
    }
}

// The least distance from p to 20,001 points spread evenly over a segment or a circle, at(0) to at(1).
double sampledDistance(Point p, const std::function<Point(double)>& at) {
    double least = INFINITY;
    for (int k = 0; k <= 20000; ++k) {
        least = std::min(least, length(p - at(k / 20000.0)));
    }
    return least;
}

TEST(distances, from_a_segment_and_a_circle_as_the_nearest_of_their_points) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> place(-50, 50);
    // Segments along the axes, askew, short and of no length, with points beside, beyond and on them.
    std::vector<VectorLine> lines = {{{0, 0}, {10, 0}}, {{0, 0}, {0, -7}}, {{3, 4}, {3, 4}}, {{-5, 2}, {-4.9, 2.05}}};
    for (int i = 0; i < 6; ++i) {
        lines.push_back({{place(random), place(random)}, {place(random), place(random)}});
    }
    for (const VectorLine& line : lines) {
        const double size = length(line.b - line.a);
        for (int i = 0; i < 40; ++i) {
            const Point p = i == 0 ? line.a : i == 1 ? line.b : Point{place(random), place(random)};
            const double expected = sampledDistance(p, [&](double t) { return line.a + (line.b - line.a) * t; });
            EXPECT_NEAR(distanceToSegment(p, line), expected, size / 20000 + 1e-9);
            const double t = nearestOnSegment(p, line.a, line.b);
            EXPECT_TRUE(t >= 0 && t <= 1);
            EXPECT_NEAR(length(p - (line.a + (line.b - line.a) * t)), distanceToSegment(p, line), 1e-9);
            if (size > 0) {
                // The line through the segment is the segment run on without end.
                const Point along = (line.b - line.a) * (1 / size);
                const VectorLine longer{line.a - along * 1e4, line.b + along * 1e4};
                EXPECT_NEAR(distanceFromLine(p, line.a, along), distanceToSegment(p, longer), 1e-6);
                EXPECT_NEAR(length(p - footOnLine(p, line.a, along)), distanceFromLine(p, line.a, along), 1e-9);
            }
        }
    }
    for (const auto& [centre, radius] : {std::pair{Point{0, 0}, 10.0}, {Point{-20, 7.5}, 0.5}, {Point{3, -4}, 60.0}}) {
        for (int i = 0; i < 40; ++i) {
            const Point p = i == 0 ? centre : Point{place(random), place(random)};
            const double expected = sampledDistance(p, [&](double t) {
                return centre + Point{std::cos(2 * std::numbers::pi * t), std::sin(2 * std::numbers::pi * t)} * radius;
            });
            // A sample lies within half a step, π / 20000, round the circle from the nearest point.
            const double within = std::sqrt(length(p - centre) * radius) * std::numbers::pi / 20000 + 1e-9;
            EXPECT_NEAR(distanceToCircle(p, centre, radius), expected, within);
        }
    }
}

}  // namespace
}  // namespace kelvarin
