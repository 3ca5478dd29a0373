// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/LineAssembly.h"

#include <algorithm>
#include <tuple>

#include "common/DisjointSets.h"
#include "common/PoolSort.h"
#include "vectorize/geometry/Distances.h"
#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// Pieces of one line differ by less than this in direction (cosine of 20 degrees); the fit of the joined
// points decides.
constexpr double kSameDirection = 0.94;

double lengthOf(const LinePiece& line) { return length(line.b - line.a); }

// A group of pieces being joined: their points' moments and the ends of every piece, which must all stay
// within tolerance of the joined line.
struct LineGroup {
    LineMoments moments;
    std::vector<Point> ends;
    double widthSum = 0;  // width x points
};

// Two pieces of a line may lie this far apart when ink fills the gap: a crossing at a slant cuts a stroke
// over several widths of the other, and a long piece's direction holds over half its length.
double largestGap(const LinePiece& piece) { return std::max(8 * piece.width + 24, lengthOf(piece) / 2); }

// Two pieces that may join, the first the longer; the gap is checked for ink only when they would.
struct Candidate {
    float gap;
    std::int32_t first;
    std::int32_t second;
};

// The gap between two pieces along the first one's direction (0 when they overlap), and where it lies.
double gapBetween(const LinePiece& p, const LinePiece& q, Point& from, Point& to) {
    const Point d = p.direction;
    const double p0 = dot(p.a - p.moments.mean, d), p1 = dot(p.b - p.moments.mean, d);
    const double q0 = dot(q.a - p.moments.mean, d), q1 = dot(q.b - p.moments.mean, d);
    const double pLow = std::min(p0, p1), pHigh = std::max(p0, p1);
    const double qLow = std::min(q0, q1), qHigh = std::max(q0, q1);
    const Point pEndLow = p0 < p1 ? p.a : p.b, pEndHigh = p0 < p1 ? p.b : p.a;
    const Point qEndLow = q0 < q1 ? q.a : q.b, qEndHigh = q0 < q1 ? q.b : q.a;
    if (qLow > pHigh) {
        from = pEndHigh;
        to = qEndLow;
        return qLow - pHigh;
    }
    if (pLow > qHigh) {
        from = qEndHigh;
        to = pEndLow;
        return pLow - qHigh;
    }
    return 0;
}

bool onLineOf(const LinePiece& line, const LinePiece& other, double tolerance) {
    return distanceFromLine(other.a, line.moments.mean, line.direction) <= tolerance &&
           distanceFromLine(other.b, line.moments.mean, line.direction) <= tolerance;
}

// The pieces near p that may join it, p's index being self.
void addCandidatesOf(const std::vector<LinePiece>& pieces, std::size_t self, const SpatialIndex& index,
                     double tolerance, SpatialIndex::Search& search, std::vector<std::int32_t>& near,
                     std::vector<Candidate>& candidates) {
    const LinePiece& p = pieces[self];
    const double reach = largestGap(p);
    const Point direction = p.direction;
    // Along the line out from both ends; a pair found from both of its pieces is joined once.
    near.clear();
    index.startSearch(search);
    const Point outward = p.b - p.a;
    const double size = std::max(length(outward), 1e-9);
    for (double step = 0; step <= reach; step += kIndexCellSize) {
        for (const double side : {-1.0, 1.0}) {
            const Point end = side > 0 ? p.b : p.a;
            index.addNear(end + outward * (side * step / size), kIndexCellSize / 2 + tolerance, near, search);
        }
    }
    for (const std::int32_t j : near) {
        if (static_cast<std::size_t>(j) == self) {
            continue;
        }
        const LinePiece& q = pieces[static_cast<std::size_t>(j)];
        if (std::abs(dot(direction, q.direction)) < kSameDirection) {
            continue;
        }
        const LinePiece& longer = lengthOf(p) >= lengthOf(q) ? p : q;
        const LinePiece& shorter = lengthOf(p) >= lengthOf(q) ? q : p;
        if (!onLineOf(longer, shorter, tolerance + 0.5)) {
            continue;
        }
        Point from, to;
        const double gap = gapBetween(longer, shorter, from, to);
        if (gap > largestGap(longer)) {  // the longer one's direction holds, and the shorter lies on it
            continue;
        }
        const bool pFirst = lengthOf(p) >= lengthOf(q);
        const auto i = static_cast<std::int32_t>(self);
        candidates.push_back({static_cast<float>(gap), pFirst ? i : j, pFirst ? j : i});
    }
}

std::vector<Candidate> candidatesOf(const std::vector<LinePiece>& pieces, double tolerance, WorkerPool& pool,
                                    const Tick& tick) {
    const SpatialIndex index = indexOfSegments(pieces, tick);
    index.build();
    // The candidates of each run of pieces apart, then all in the pieces' order: the same list for any
    // number of threads.
    constexpr std::size_t kPiecesPerRun = 64;
    std::vector<std::vector<Candidate>> found((pieces.size() + kPiecesPerRun - 1) / kPiecesPerRun);
    std::vector<SpatialIndex::Search> searches(static_cast<std::size_t>(pool.threads()));
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(found.size(), [&](std::size_t run, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        for (std::size_t i = run * kPiecesPerRun; i < std::min(pieces.size(), (run + 1) * kPiecesPerRun); ++i) {
            addCandidatesOf(pieces, i, index, tolerance, searches[w], nears[w], found[run]);
        }
    });
    std::size_t total = 0;
    for (const std::vector<Candidate>& some : found) {
        total += some.size();
    }
    std::vector<Candidate> candidates;
    candidates.reserve(total);
    for (std::vector<Candidate>& some : found) {
        candidates.insert(candidates.end(), some.begin(), some.end());
        std::vector<Candidate>().swap(some);
    }
    // Nearest first; ties in the pieces' order.
    sortOnPool(
        candidates,
        [](const Candidate& x, const Candidate& y) {
            return std::tie(x.gap, x.first, x.second) < std::tie(y.gap, y.first, y.second);
        },
        pool);
    return candidates;
}

bool inkedBetween(const std::vector<LinePiece>& pieces, const Candidate& candidate, const InkProbe& ink,
                  const HollowedAreas& filled) {
    if (candidate.gap <= 1.5) {
        return true;
    }
    Point from, to;
    gapBetween(pieces[static_cast<std::size_t>(candidate.first)], pieces[static_cast<std::size_t>(candidate.second)],
               from, to);
    const LinePiece& longer = pieces[static_cast<std::size_t>(candidate.first)];
    const bool blot = filled.unhollowed != nullptr && candidate.gap <= 4 * longer.width + 8;
    return (blot ? *filled.unhollowed : ink).shareAlong(from, to) >= kInkedShare;
}

bool fitsJoined(const LineGroup& x, const LineGroup& y, double tolerance) {
    LineMoments joined = x.moments;
    joined.merge(y.moments);
    const Point direction = joined.direction();
    for (const std::vector<Point>* ends : {&x.ends, &y.ends}) {
        for (const Point& p : *ends) {
            if (distanceFromLine(p, joined.mean, direction) > tolerance + 0.5) {
                return false;
            }
        }
    }
    return true;
}

LinePiece lineOf(const LineGroup& group) {
    const Point d = group.moments.direction();
    double low = 0, high = 0;
    bool first = true;
    for (const Point& p : group.ends) {
        const double t = dot(p - group.moments.mean, d);
        low = first ? t : std::min(low, t);
        high = first ? t : std::max(high, t);
        first = false;
    }
    return {group.moments, group.moments.mean + d * low, group.moments.mean + d * high,
            group.widthSum / std::max(group.moments.n, 1.0), d};
}

// How far the ink goes on from end, away from the other end, in dots (at most limit).
double inkReach(const InkProbe& ink, Point end, Point outward, double limit) {
    double reached = 0;
    for (double step = 0.5; step <= limit; step += 0.5) {
        if (!ink.at(end + outward * step)) {
            break;
        }
        reached = step;
    }
    return reached;
}

// The point where line meets other, when it lies on other's stroke near end; otherwise end itself.
bool meetingPoint(const LinePiece& line, const LinePiece& other, Point end, Point inner, double reach, Point& meeting) {
    const Point d = line.direction;
    const Point e = other.direction;
    const double denominator = cross(d, e);
    if (std::abs(denominator) < 0.26) {  // within 15 degrees: not a corner or a T
        return false;
    }
    const double t = cross(other.moments.mean - line.moments.mean, e) / denominator;
    const Point x = line.moments.mean + d * t;
    if (length(x - end) > reach || length(x - inner) < length(end - inner) - reach) {
        return false;
    }
    const double along =
        dot(x - other.a, other.b - other.a) / std::max(dot(other.b - other.a, other.b - other.a), 1e-9);
    const double margin = (line.width / 2 + 2) / std::max(lengthOf(other), 1e-9);
    if (along < -margin || along > 1 + margin) {
        return false;
    }
    meeting = x;
    return true;
}

// The point where line, run on from end, meets other at a narrow angle (8 to 20 degrees): such strokes
// merge into one blot well before their centre lines meet, so the end stops short by about their half
// widths over the angle's sine. It is taken when the picture has ink all the way to it.
bool narrowMeetingPoint(const LinePiece& line, const LinePiece& other, Point end, Point inner, double tolerance,
                        const InkProbe& ink, Point& meeting) {
    constexpr double kLeastSine = 0.139;  // 8 degrees: flatter, the meeting point is too unsure
    constexpr double kMostSine = 0.342;   // 20 degrees: wider, a blot's strokes part soon after it
    const double sine = std::abs(cross(line.direction, other.direction));
    if (sine < kLeastSine || sine >= kMostSine) {
        return false;
    }
    const double t =
        cross(other.moments.mean - line.moments.mean, other.direction) / cross(line.direction, other.direction);
    const Point x = line.moments.mean + line.direction * t;
    // Only an end stopped short by more than a corner's reach: nearer, the lines of a gently bent stroke
    // meet as drawn.
    const Point outward = unit(end - inner);
    const double gap = length(x - end), widestGap = (line.width / 2 + other.width / 2 + tolerance) / sine;
    if (dot(x - end, outward) <= 0 || gap <= other.width / 2 + tolerance + 1 || gap > widestGap) {
        return false;
    }
    // The other line may stop short of the meeting point too, in the same blot (an arrow's shaft at its
    // tip), and must lie mostly behind it, on this line's side (the shaft and barbs of an arrow, a stroke
    // running into another's side); one lying ahead of it is the next line of a polyline's turn, where the
    // two stop as drawn.
    const double at = dot(x - other.a, unit(other.b - other.a));
    const double behind = -std::min(dot(other.a - x, outward), dot(other.b - x, outward));
    if (at < -widestGap || at > lengthOf(other) + widestGap || behind < 2 * gap ||
        ink.shareAlong(end, x) < kInkedShare) {
        return false;
    }
    meeting = x;
    return true;
}

// Whether ink cleared from a filled area's inside lies beside end, across the line: the end is on the
// area's outline.
bool besideHollowed(const HollowedAreas& filled, Point end, Point along) {
    if (filled.unhollowed == nullptr) {
        return false;
    }
    const Point across{-along.y, along.x};
    for (double step = 1; step <= filled.solidWidth / 2 + 1; step += 1) {
        for (const Point p : {end + across * step, end - across * step}) {
            if (filled.unhollowed->at(p) && !filled.hollowed->at(p)) {
                return true;
            }
        }
    }
    return false;
}

// One round of joining: each group of pieces becomes one.
std::vector<LinePiece> joinOnce(const std::vector<LinePiece>& pieces, const InkProbe& ink, const HollowedAreas& filled,
                                double tolerance, WorkerPool& pool, const Tick& tick) {
    std::vector<LineGroup> groups(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        tick();
        groups[i] = {pieces[i].moments, {pieces[i].a, pieces[i].b}, pieces[i].width * pieces[i].moments.n};
    }
    DisjointSets<std::size_t> sets(pieces.size());
    for (const Candidate& candidate : candidatesOf(pieces, tolerance, pool, tick)) {
        tick();
        const std::size_t x = sets.find(static_cast<std::size_t>(candidate.first));
        const std::size_t y = sets.find(static_cast<std::size_t>(candidate.second));
        if (x == y || !fitsJoined(groups[x], groups[y], tolerance) || !inkedBetween(pieces, candidate, ink, filled)) {
            continue;
        }
        groups[x].moments.merge(groups[y].moments);
        groups[x].ends.insert(groups[x].ends.end(), groups[y].ends.begin(), groups[y].ends.end());
        groups[x].widthSum += groups[y].widthSum;
        groups[y] = {};
        sets.link(x, y);
    }
    std::vector<LinePiece> lines;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        tick();
        if (sets.isRoot(i)) {
            lines.push_back(lineOf(groups[i]));
        }
    }
    return lines;
}

}  // namespace

std::vector<LinePiece> joinLines(const std::vector<LinePiece>& pieces, const InkProbe& ink, const HollowedAreas& filled,
                                 double tolerance, WorkerPool& pool, const Tick& tick) {
    // A second round lets the joined lines, whose directions are surer, reach over wider gaps.
    return joinOnce(joinOnce(pieces, ink, filled, tolerance, pool, tick), ink, filled, tolerance, pool, tick);
}

void finishLineEnds(std::vector<LinePiece>& lines, const InkProbe& ink, double tolerance, const HollowedAreas& filled,
                    WorkerPool& pool, const Tick& tick) {
    // Out to the ink first, for every line, so that the meeting points see the ends as drawn.
    pool.run(lines.size(), [&](std::size_t i, std::int32_t) {
        LinePiece& line = lines[i];
        const Point d = line.b - line.a;
        const double size = length(d);
        if (size <= 0) {
            return;
        }
        const Point u = d * (1 / size);
        const auto limit = [&](Point end) {
            return 4 * (besideHollowed(filled, end, u) ? std::max(line.width, filled.solidWidth) : line.width) + 8;
        };
        line.b = line.b + u * inkReach(ink, line.b, u, limit(line.b));
        line.a = line.a - u * inkReach(ink, line.a, u * -1, limit(line.a));
    });
    tick();
    const SpatialIndex index = indexOfSegments(lines);
    index.build();
    const std::vector<LinePiece> drawn = lines;
    const InkProbe& picture = filled.unhollowed != nullptr ? *filled.unhollowed : ink;
    std::vector<SpatialIndex::Search> searches(static_cast<std::size_t>(pool.threads()));
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(lines.size(), [&](std::size_t i, std::int32_t worker) {
        std::vector<std::int32_t>& near = nears[static_cast<std::size_t>(worker)];
        for (const bool atB : {false, true}) {
            const Point end = atB ? drawn[i].b : drawn[i].a;
            const Point inner = atB ? drawn[i].a : drawn[i].b;
            index.near(end, kIndexCellSize, near, searches[static_cast<std::size_t>(worker)]);
            double best = 0;
            Point snapped = end;
            for (const std::int32_t j : near) {
                const LinePiece& other = drawn[static_cast<std::size_t>(j)];
                // A piece shorter than its stroke is wide crosses a short heavy stroke (its runs along the
                // stroke taken as across): no line ends on it, and its width would reach ends far off.
                if (lengthOf(other) < other.width) {
                    continue;
                }
                const double reach = other.width / 2 + tolerance + 1;
                Point meeting;
                if (static_cast<std::size_t>(j) != i &&
                    (meetingPoint(drawn[i], other, end, inner, reach, meeting) ||
                     narrowMeetingPoint(drawn[i], other, end, inner, tolerance, picture, meeting))) {
                    const double distance = length(meeting - end);
                    if (snapped == end || distance < best) {
                        best = distance;
                        snapped = meeting;
                    }
                }
            }
            (atB ? lines[i].b : lines[i].a) = snapped;
        }
    });
}

}  // namespace kelvarin
