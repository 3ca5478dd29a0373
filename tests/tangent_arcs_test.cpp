// SPDX-License-Identifier: GPL-3.0-or-later
// The cuts of a curve drawn as tangent arcs into its arcs, and the arcs refitted touching one another, on
// chains drawn here with the noise of a stroke's middles: the cuts found at the drawn tangent points, none in
// a single arc, the circles within the score's tolerance of the drawn ones, and touching where they meet.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "vectorize/geometry/ArcBreaks.h"
#include "vectorize/geometry/TangentArcs.h"

namespace kelvarin {
namespace {

// An arc of a chain: radius (dots) and sweep (degrees, positive bending left).
struct Turn {
    double radius;
    double sweep;
};

// Points a dot apart along a chain from the origin heading along x, each moved by noise (dots, a normal
// spread); the drawn circles and the index of each tangent point.
struct DrawnChain {
    std::vector<Point> points;
    std::vector<CircleFit> circles;
    std::vector<std::size_t> joints;
};

DrawnChain drawChain(const std::vector<Turn>& turns, double noise, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> spread(0, noise);
    DrawnChain chain;
    Point at{0, 0};
    double heading = 0;
    for (const Turn& turn : turns) {
        const double side = turn.sweep > 0 ? 1 : -1, sweep = turn.sweep * std::numbers::pi / 180;
        const Point centre{at.x - std::sin(heading) * side * turn.radius,
                           at.y + std::cos(heading) * side * turn.radius};
        const double first = std::atan2(at.y - centre.y, at.x - centre.x);
        const int steps = static_cast<int>(turn.radius * std::abs(sweep));
        for (int k = chain.points.empty() ? 0 : 1; k <= steps; ++k) {
            const double angle = first + sweep * k / steps;
            chain.points.push_back({centre.x + turn.radius * std::cos(angle) + (noise > 0 ? spread(random) : 0),
                                    centre.y + turn.radius * std::sin(angle) + (noise > 0 ? spread(random) : 0)});
        }
        chain.joints.push_back(chain.points.size() - 1);
        at = {centre.x + turn.radius * std::cos(first + sweep), centre.y + turn.radius * std::sin(first + sweep)};
        heading += sweep;
        chain.circles.push_back({centre, turn.radius, true});
    }
    chain.joints.pop_back();  // the chain's end
    return chain;
}

// The runs between the cuts, each with the circle fitted to it alone and the way it bends.
std::vector<ChainArc> runsOf(const std::vector<Point>& points, const std::vector<std::size_t>& cuts,
                             const std::vector<Turn>& turns) {
    std::vector<ChainArc> arcs;
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        const std::size_t first = k == 0 ? 0 : cuts[k - 1], last = k == cuts.size() ? points.size() - 1 : cuts[k];
        const std::span<const Point> run(points.data() + first, last + 1 - first);
        arcs.push_back({run, closestCircle(run, fitCircle(run)), turns[k].sweep > 0});
    }
    return arcs;
}

constexpr double kNoise = 0.3;                     // dots: a stroke's middles stray about this much
constexpr double kCutCost = 10 * kNoise * kNoise;  // as the pass prices a cut
constexpr std::size_t kShortest = 20;              // points
constexpr double kCutMiss = 8;                     // points a cut may lie from the drawn tangent point
constexpr double kCutMissShare = 0.4;              // or this share of the shorter arc beside it
double withinScore(double radius) { return 1.5 + 0.01 * radius; }

// Chains bending the other way at each tangent point, one way with the radius changing, and both.
const std::vector<std::vector<Turn>> kChains = {
    {{126.8, -38}, {46, 51}, {172, -47}, {30.4, 75}, {152.7, -36}, {35.2, 65}},
    {{80, 50}, {120, -45}, {60, 60}, {150, -40}, {90, 55}, {40, -70}},
    {{200, 30}, {120, 40}, {70, 50}, {40, 60}, {90, 45}, {160, 35}},
    {{50, -60}, {100, -40}, {170, -30}, {80, -50}, {130, -35}},
    {{60, -50}, {150, 40}, {45, -65}, {100, 45}, {180, -30}, {80, 45}, {50, -60}},
};

// Each cut lies within kCutMissShare of the shorter arc beside it (and kCutMiss points) of the drawn tangent
// point: where both arcs bend one way the step in curvature shows over a longer stretch.
TEST(arc_breaks, cuts_a_chain_at_its_tangent_points) {
    for (std::size_t c = 0; c < kChains.size(); ++c) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(testing::Message() << "chain " << c << " seed " << seed);
            const DrawnChain drawn = drawChain(kChains[c], kNoise, seed);
            const std::vector<std::size_t> cuts = arcBreaks(drawn.points, kCutCost, kShortest);
            ASSERT_EQ(cuts.size(), drawn.joints.size());
            for (std::size_t k = 0; k < cuts.size(); ++k) {
                const Turn& before = kChains[c][k];
                const Turn& after = kChains[c][k + 1];
                const double shorter =
                    std::min(before.radius * std::abs(before.sweep), after.radius * std::abs(after.sweep)) *
                    std::numbers::pi / 180;
                const double miss = std::abs(static_cast<double>(cuts[k]) - static_cast<double>(drawn.joints[k]));
                EXPECT_LE(miss, std::max(kCutMiss, kCutMissShare * shorter)) << "cut " << k;
            }
        }
    }
}

TEST(arc_breaks, leaves_a_single_arc_whole) {
    for (const Turn arc : {Turn{30, 120}, Turn{60, 80}, Turn{150, 45}, Turn{400, 20}, Turn{90, -200}}) {
        for (unsigned seed = 1; seed <= 5; ++seed) {
            const DrawnChain drawn = drawChain({arc}, kNoise, seed);
            EXPECT_TRUE(arcBreaks(drawn.points, kCutCost, kShortest).empty()) << arc.radius << " seed " << seed;
        }
    }
}

// The arcs refitted together come nearer the drawn circles than each run's circle alone, and 85 in 100
// lie within the score's tolerance (a short arc's radius shows only to a few dots under this noise).
TEST(tangent_arcs, refitted_circles_lie_nearer_the_drawn_ones) {
    double tiedMiss = 0, freeMiss = 0;
    int within = 0, count = 0;
    for (std::size_t c = 0; c < kChains.size(); ++c) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const DrawnChain drawn = drawChain(kChains[c], kNoise, seed);
            std::vector<ChainArc> arcs = runsOf(drawn.points, drawn.joints, kChains[c]);
            const std::vector<ChainArc> alone = arcs;
            ASSERT_TRUE(fitTangentArcs(arcs)) << "chain " << c << " seed " << seed;
            for (std::size_t k = 0; k < arcs.size(); ++k) {
                const CircleFit& truth = drawn.circles[k];
                const double miss = std::max(std::abs(arcs[k].circle.radius - truth.radius),
                                             length(arcs[k].circle.centre - truth.centre));
                tiedMiss += miss;
                freeMiss += std::max(std::abs(alone[k].circle.radius - truth.radius),
                                     length(alone[k].circle.centre - truth.centre));
                within += miss <= withinScore(truth.radius) ? 1 : 0;
                ++count;
            }
        }
    }
    EXPECT_LT(tiedMiss, 0.9 * freeMiss);
    EXPECT_GE(within, 0.85 * count) << within << " of " << count;
}

TEST(tangent_arcs, refitted_circles_touch_where_they_meet) {
    for (std::size_t c = 0; c < kChains.size(); ++c) {
        SCOPED_TRACE(testing::Message() << "chain " << c);
        const DrawnChain drawn = drawChain(kChains[c], 0, 0);
        std::vector<ChainArc> arcs = runsOf(drawn.points, drawn.joints, kChains[c]);
        // The runs' own circles moved apart, as noise leaves them: the fit brings them back together.
        for (std::size_t k = 0; k < arcs.size(); ++k) {
            arcs[k].circle.centre = arcs[k].circle.centre + Point{0.7 * std::cos(k), 0.7 * std::sin(k)};
        }
        ASSERT_TRUE(fitTangentArcs(arcs));
        for (std::size_t k = 0; k + 1 < arcs.size(); ++k) {
            const Point meet = tangentPoint(arcs[k], arcs[k + 1]);
            EXPECT_NEAR(length(meet - arcs[k].circle.centre), arcs[k].circle.radius, 1e-3) << "joint " << k;
            EXPECT_NEAR(length(meet - arcs[k + 1].circle.centre), arcs[k + 1].circle.radius, 1e-3) << "joint " << k;
            EXPECT_NEAR(length(meet - drawn.points[drawn.joints[k]]), 0, 0.05) << "joint " << k;
        }
    }
}

}  // namespace
}  // namespace kelvarin
