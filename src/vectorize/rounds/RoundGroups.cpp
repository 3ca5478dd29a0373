// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/rounds/RoundGroups.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <utility>

#include "convert/LineSegmentList.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/geometry/EntityWalk.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"
#include "vectorize/raster/RunGroups.h"
#include "vectorize/rounds/InscribedPolygons.h"

namespace kelvarin {

namespace {

// A round group of ink and the band about its circle in which what was drawn of it lies.
struct RoundGroup {
    VectorCircle circle;
    double inner = 0, outer = 0;  // dots from the centre
    bool holed = false;           // a disc with background inside its edge
};

struct GroupExtent {
    double cells = 0, sx = 0, sy = 0;
    double gaps = 0;  // cells of background between the group's runs along a row
    std::int32_t left = INT32_MAX, right = INT32_MIN, bottom = INT32_MAX, top = INT32_MIN;
    std::int32_t lastRow = INT32_MIN, lastEnd = 0;  // the row of the run seen last, one past its last cell

    Point centre() const { return {sx / cells, sy / cells}; }
    // The radius of a disc of its cells and the gaps between them: a disc's, though specks of background
    // lie near its edge.
    double discRadius() const { return std::sqrt((cells + gaps) / std::numbers::pi); }
    double width() const { return right - left + 1; }
    double height() const { return top - bottom + 1; }
};

constexpr double kRoundness = 0.1;  // how far a round group's sides, cells and profile may be from a circle's
constexpr int kSectors = 16;
// How far a disc's rows may end off its circle, of the radius (and a dot and a half): a filled polygon of
// eight sides strays 7.6 %, a ragged edge a dot or so.
constexpr double kChordOff = 0.02;

std::vector<GroupExtent> groupExtents(const RunGroups& groups, const Tick& tick) {
    std::vector<GroupExtent> extents(groups.groupCount());
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        GroupExtent& e = extents[group];
        if (e.lastRow == run.StartY) {
            e.gaps += run.StartX - e.lastEnd;
        }
        e.lastRow = run.StartY;
        e.lastEnd = run.StartX + run.SpanX;
        e.cells += run.SpanX;
        e.sx += run.SpanX * (run.StartX + (run.SpanX - 1) / 2.0);
        e.sy += static_cast<double>(run.SpanX) * run.StartY;
        e.left = std::min(e.left, run.StartX);
        e.right = std::max(e.right, run.StartX + run.SpanX - 1);
        e.bottom = std::min(e.bottom, run.StartY);
        e.top = std::max(e.top, run.StartY);
    });
    return extents;
}

// The filled discs: groups as round and as full as a disc, five dots across or more, each row's ink spanning
// its chord but for the noise along the edge. A row may hold specks of background near the edge, where a
// disc's fill falls just short of its outline.
void findDiscs(const RunGroups& groups, const std::vector<GroupExtent>& extents, double smallestDiameter,
               std::vector<RoundGroup>& found, const Tick& tick) {
    const std::size_t count = groups.groupCount();
    std::vector<double> offChord(count, 0);
    std::vector<std::int32_t> row(count, INT32_MIN);  // the row of the group's runs seen last
    std::vector<std::int32_t> end(count, 0);          // one past the last cell of its last run there
    // How far the edge of the ink at x along row y (a cell edge) lies off the disc's circle, across it: in
    // the rows by a pole the edge runs nearly along the row, and a noisy dot there moves its end far.
    const auto offEdge = [&](std::size_t g, double x, std::int32_t y) {
        const GroupExtent& e = extents[g];
        return distanceToCircle(Point{x, static_cast<double>(y)}, e.centre(), e.discRadius());
    };
    const auto closeRow = [&](std::size_t g) {
        if (row[g] != INT32_MIN) {
            offChord[g] = std::max(offChord[g], offEdge(g, end[g] - 0.5, row[g]));
        }
    };
    // Only the groups whose size and cells may make a disc are looked at run by run.
    const auto mayBeDisc = [&](const GroupExtent& e) {
        const double diameter = (e.width() + e.height()) / 2;
        const double discCells = std::numbers::pi * diameter * diameter / 4;
        return diameter >= smallestDiameter && std::abs(e.width() - e.height()) <= kRoundness * diameter &&
               std::abs(e.cells + e.gaps - discCells) <= kRoundness * discCells;
    };
    std::vector<bool> candidate(count);
    for (std::size_t g = 0; g < count; ++g) {
        candidate[g] = mayBeDisc(extents[g]);
    }
    groups.forEachRun(tick, [&](std::size_t g, const LineSegment& run) {
        if (!candidate[g]) {
            return;
        }
        if (row[g] != run.StartY) {
            closeRow(g);
            row[g] = run.StartY;
            offChord[g] = std::max(offChord[g], offEdge(g, run.StartX - 0.5, run.StartY));
        } else {
            // The gap's cell nearest the centre must lie near the edge.
            const GroupExtent& e = extents[g];
            const double radius = e.discRadius();
            const double x = std::clamp(e.centre().x, static_cast<double>(end[g]), run.StartX - 1.0);
            if (radius - length(Point{x, static_cast<double>(run.StartY)} - e.centre()) > 2 + 0.15 * radius) {
                offChord[g] = std::numeric_limits<double>::infinity();  // a hole inside: a ring, not a disc
            }
        }
        end[g] = run.StartX + run.SpanX;
    });
    for (std::size_t g = 0; g < count; ++g) {
        const GroupExtent& e = extents[g];
        if (!candidate[g]) {
            continue;
        }
        closeRow(g);
        const double radius = e.discRadius();
        if (offChord[g] <= 1.5 + kChordOff * radius) {
            found.push_back({{e.centre(), radius}, 0, radius + 2, e.gaps > 0});
        }
    }
}

// The small rings standing alone: groups with a hole in the middle whose cells lie as far from their
// centre in every direction (a circle's sides, which the rows and columns cut into four short lines).
// How the cells of a group lie round its centre: per sector their summed distance and count, the nearest
// and farthest, and how many lie at each whole distance.
struct RingProfile {
    // Whole dots out to the largest ring's corner and beyond (0.8 of its diameter).
    explicit RingProfile(double largestDiameter)
        : atDistance(static_cast<std::size_t>(std::ceil(0.8 * largestDiameter)), 0) {}

    std::array<double, kSectors> sum{}, count{};
    double nearest = 1e9, farthest = 0;
    std::vector<float> atDistance;

    void add(Point offset) {
        const double distance = length(offset);
        const auto sector = static_cast<std::size_t>(angleDegrees({0, 0}, offset) / (360.0 / kSectors)) % kSectors;
        sum[sector] += distance;
        count[sector] += 1;
        nearest = std::min(nearest, distance);
        farthest = std::max(farthest, distance);
        atDistance[std::min(static_cast<std::size_t>(distance), atDistance.size() - 1)] += 1;
    }

    // The ring the cells make about centre, if they lie round it evenly with a hole inside.
    std::optional<RoundGroup> ring(Point centre) const {
        double lowest = 1e9, highest = 0, total = 0, cells = 0;
        for (int s = 0; s < kSectors; ++s) {
            const double mean = count[s] > 0 ? sum[s] / count[s] : 0;
            lowest = std::min(lowest, mean);
            highest = std::max(highest, mean);
            total += sum[s];
            cells += count[s];
        }
        const double radius = total / std::max(cells, 1.0);
        if (nearest >= 1 && farthest - nearest <= 0.6 * radius &&
            highest - lowest <= std::max(1.0, kRoundness * radius)) {
            return RoundGroup{{centre, radius}, nearest - 2, farthest + 2};
        }
        return std::nullopt;
    }

    // The distance between two rings one inside the other that touch here and there: one with few cells
    // and many on either side; 0 when there is none.
    double gapBetweenRings() const {
        const auto first = static_cast<std::size_t>(std::ceil(nearest));
        const auto last = std::min(static_cast<std::size_t>(farthest), atDistance.size() - 1);
        double cells = 0;
        for (std::size_t d = first; d <= last; ++d) {
            cells += atDistance[d];
        }
        const double few = 0.25 * cells / static_cast<double>(std::max<std::size_t>(1, last + 1 - first));
        double inside = 0, best = 0, fewest = few;
        for (std::size_t d = first; d <= last; ++d) {
            if (inside >= 0.2 * cells && cells - inside - atDistance[d] >= 0.2 * cells && atDistance[d] <= fewest) {
                fewest = atDistance[d];
                best = static_cast<double>(d) + 0.5;
            }
            inside += atDistance[d];
        }
        return best;
    }
};

// The groups of a ring's size, about as wide as high, numbered in order; -1 for the others.
std::vector<std::int32_t> ringCandidates(const RunGroups& groups, const std::vector<GroupExtent>& extents,
                                         const Tolerances& tolerances, std::size_t& count) {
    std::vector<std::int32_t> candidate(groups.groupCount(), -1);
    count = 0;
    for (std::size_t i = 0; i < groups.groupCount(); ++i) {
        const GroupExtent& e = extents[i];
        const double diameter = (e.width() + e.height()) / 2;
        if (diameter >= tolerances.smallestRing && diameter <= tolerances.largestRound &&
            std::abs(e.width() - e.height()) <= kRoundness * diameter + 1) {
            candidate[i] = static_cast<std::int32_t>(count++);
        }
    }
    return candidate;
}

// Calls visit(group, offset from the middle of its box) for every cell of the candidate groups.
template <typename Visit>
void forEachCandidateCell(const RunGroups& groups, const std::vector<GroupExtent>& extents,
                          const std::vector<std::int32_t>& candidate, const Tick& tick, Visit visit) {
    groups.forEachRun(tick, [&](std::size_t group, const LineSegment& run) {
        if (candidate[group] >= 0) {
            const Point centre = extents[group].centre();
            for (std::int32_t x = run.StartX; x < run.StartX + run.SpanX; ++x) {
                visit(group, Point{static_cast<double>(x), static_cast<double>(run.StartY)} - centre);
            }
        }
    });
}

// The two rings of each group split at its gap (gapOf, 0 for a group not split), when both halves are rings.
void findSplitRings(const RunGroups& groups, const std::vector<GroupExtent>& extents,
                    const std::vector<std::int32_t>& candidate, std::size_t count, const std::vector<double>& gapOf,
                    double largestDiameter, std::vector<RoundGroup>& found, const Tick& tick) {
    const RingProfile empty(largestDiameter);
    std::vector<std::array<RingProfile, 2>> halves(count, {empty, empty});
    forEachCandidateCell(groups, extents, candidate, tick, [&](std::size_t group, Point offset) {
        if (gapOf[group] > 0) {
            halves[static_cast<std::size_t>(candidate[group])][length(offset) < gapOf[group] ? 0 : 1].add(offset);
        }
    });
    for (std::size_t i = 0; i < groups.groupCount(); ++i) {
        if (gapOf[i] <= 0) {
            continue;
        }
        const auto& [inner, outer] = halves[static_cast<std::size_t>(candidate[i])];
        const std::optional<RoundGroup> small = inner.ring(extents[i].centre());
        const std::optional<RoundGroup> large = outer.ring(extents[i].centre());
        if (small && large) {
            found.push_back(*small);
            found.push_back(*large);
        }
    }
}

void findRings(const RunGroups& groups, const std::vector<GroupExtent>& extents, const Tolerances& tolerances,
               std::vector<RoundGroup>& found, const Tick& tick) {
    std::size_t count = 0;
    const std::vector<std::int32_t> candidate = ringCandidates(groups, extents, tolerances, count);
    std::vector<RingProfile> profiles(count, RingProfile(tolerances.largestRound));
    forEachCandidateCell(groups, extents, candidate, tick, [&](std::size_t group, Point offset) {
        profiles[static_cast<std::size_t>(candidate[group])].add(offset);
    });
    // Two small circles one inside the other may touch: their group is split where few cells lie between.
    std::vector<double> gapOf(groups.groupCount(), 0);
    bool split = false;
    for (std::size_t i = 0; i < groups.groupCount(); ++i) {
        if (candidate[i] < 0) {
            continue;
        }
        const RingProfile& profile = profiles[static_cast<std::size_t>(candidate[i])];
        if (const std::optional<RoundGroup> ring = profile.ring(extents[i].centre())) {
            found.push_back(*ring);
        } else {
            gapOf[i] = profile.gapBetweenRings();
            split = split || gapOf[i] > 0;
        }
    }
    if (split) {
        findSplitRings(groups, extents, candidate, count, gapOf, tolerances.largestRound, found, tick);
    }
}

}  // namespace

void replaceRoundGroups(const RunGroups& groups, const Tolerances& tolerances, WideDrawing& wide, const Tick& tick) {
    const std::vector<GroupExtent> extents = groupExtents(groups, tick);
    std::vector<RoundGroup> rounds;
    findDiscs(groups, extents, tolerances.smallestDisc, rounds, tick);
    findRings(groups, extents, tolerances, rounds, tick);
    if (rounds.empty()) {
        return;
    }
    // What was drawn of a round group lies in its band: a ring's four sides, a disc's cross of runs.
    const SpatialIndex index = indexOfPoints(rounds.size(), [&](std::size_t i) { return rounds[i].circle.centre; });
    double largest = 0;
    for (const RoundGroup& round : rounds) {
        largest = std::max(largest, round.outer);
    }
    std::vector<std::int32_t> near;
    const auto withinBand = [&](Point p) {
        index.near(p, largest, near);
        return std::any_of(near.begin(), near.end(), [&](std::int32_t k) {
            const RoundGroup& round = rounds[static_cast<std::size_t>(k)];
            const double distance = length(p - round.circle.centre);
            return distance >= round.inner && distance <= round.outer;
        });
    };
    VectorDrawing& drawing = wide.drawing;
    keepIf(drawing.lines, wide.lineWidths, [&](const VectorLine& line) {
        tick();
        return !(withinBand(line.a) && withinBand(line.b) && withinBand((line.a + line.b) * 0.5));
    });
    const auto roundWithinBand = [&](Point centre, double radius, double start, double sweep) {
        bool inside = true;
        walkArc(centre, radius, start, sweep, [&](Point p) { inside = inside && withinBand(p); });
        return inside;
    };
    keepIf(drawing.arcs, wide.arcWidths, [&](const VectorArc& arc) {
        tick();
        return !roundWithinBand(arc.centre, arc.radius, arc.startDegrees,
                                sweepDegrees(arc.startDegrees, arc.endDegrees));
    });
    keepIf(drawing.circles, wide.circleWidths, [&](const VectorCircle& circle) {
        tick();
        return !roundWithinBand(circle.centre, circle.radius, 0, 360);
    });
    for (const RoundGroup& round : rounds) {
        tick();
        if (const std::optional<InscribedPolygon> polygon =
                round.holed ? inscribedPolygon(groups, round.circle.centre, round.circle.radius) : std::nullopt) {
            drawing.circles.push_back(polygon->ring);
            wide.circleWidths.push_back(polygon->ringWidth);
            for (const VectorLine& side : polygon->sides) {
                drawing.lines.push_back(side);
                wide.lineWidths.push_back(polygon->ringWidth);
            }
            continue;
        }
        drawing.circles.push_back(round.circle);
        wide.circleWidths.push_back(std::max(1.0, round.outer - round.inner - 4));
    }
}

}  // namespace kelvarin
