// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/centrelines/ChainFitting.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "vectorize/geometry/Distances.h"

namespace kelvarin {

namespace {

// Chains of rows keep the stretches steeper than this (as run across over lines), chains of columns the
// shallower ones: a little past the diagonal, so that both hold a stroke at 45 degrees.
constexpr double kSteepestSlope = 1.04;
constexpr std::size_t kFewestPoints = 4;
constexpr std::size_t kSamplesPerArc = 48;
constexpr double kLargestRadius = 50000;
// Places tried when an arc may be a line running into a bend, or two bends meeting.
constexpr std::size_t kSplitsTried = 40;
// Arcs whose chord is shorter than this share of their radius (about 30 degrees) may be a straight edge
// between two bends.
constexpr double kFlatSweep = 0.5;
// And only one straying from the ink by more than this share of the tolerance somewhere.
constexpr double kFlatLooseShare = 0.5;
// Places tried for each end of a straight edge between two bends, and for the cut of a kink.
constexpr std::size_t kEdgeSplitsTried = 12;
// A split must leave at most this share of the one arc's squared error to be taken.
constexpr double kSplitGain = 0.4;
// A line straying by less than this share of the tolerance is never taken for a bend.
constexpr double kBentLooseShare = 0.4;
constexpr double kLeastBow = 0.75;  // dots between an arc's middle and its chord
// An arc keeping well within the tolerance is split only when the split leaves this share.
constexpr double kClearSplitGain = 0.25;
// And its two pieces must bend this many times differently (a line not at all).
constexpr double kLeastBendRatio = 1.5;
// Only an arc straying from the ink by more than this share of the tolerance somewhere may be split.
constexpr double kLooseShare = 0.8;
// And only a line straying by more than this share may be cut at a corner.
constexpr double kCornerLooseShare = 0.4;

// The straight line nearest points and how far they lie from it: the largest and the summed squared
// distance.
struct StraightFit {
    LineMoments moments;
    Point direction;
    double worst = 0;
    double squared = 0;

    explicit StraightFit(std::span<const Point> points) {
        for (const Point& p : points) {
            moments.add(p);
        }
        direction = moments.direction();
        for (const Point& p : points) {
            const double off = distanceFromLine(p, moments.mean, direction);
            worst = std::max(worst, off);
            squared += off * off;
        }
    }
};

class ChainFitter {
public:
    ChainFitter(const CentreChain& chain, double tolerance, Pieces& pieces)
        : m_chain(chain), m_tolerance(tolerance), m_pieces(pieces) {}

    void run() {
        const std::size_t count = m_chain.size();
        if (count < kFewestPoints) {
            return;
        }
        m_points.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            m_points[i] = m_chain.point(i);
        }
        // The slope over a few lines either side, which a ragged edge barely moves.
        const std::size_t reach = std::clamp<std::size_t>(static_cast<std::size_t>(m_chain.meanRunLength()), 2, 6);
        // The ends of a chain are where it met something or its stroke ends: at a junction the middles
        // lean towards the other stroke, so they are left out; the ink gives the ends back later.
        const std::size_t trim = count >= 4 * reach + kFewestPoints ? reach : 0;
        std::size_t start = 0;
        bool inside = false;
        for (std::size_t i = trim; i <= count - trim; ++i) {
            const bool keep = i < count - trim && slopeAt(i, reach) <= kSteepestSlope;
            if (keep && !inside) {
                start = i;
            } else if (!keep && inside) {
                fit(start, i - 1);
            }
            inside = keep;
        }
    }

private:
    double slopeAt(std::size_t i, std::size_t reach) const {
        const std::size_t low = i >= reach ? i - reach : 0;
        const std::size_t high = std::min(i + reach, m_chain.size() - 1);
        if (high == low) {
            return 0;
        }
        return std::abs(m_chain.doubledMiddles[high] - m_chain.doubledMiddles[low]) / 2.0 /
               static_cast<double>(high - low);
    }

    // The stroke's width across: the runs cut it at a slant.
    double widthAlong(Point direction) const {
        const double across = m_chain.fromRows ? std::abs(direction.y) : std::abs(direction.x);
        return m_chain.meanRunLength() * across;
    }

    void fit(std::size_t first, std::size_t last) {
        if (last + 1 - first < kFewestPoints) {
            return;
        }
        const std::span<const Point> points(m_points.data() + first, last + 1 - first);
        const StraightFit straight(points);
        std::optional<CircleFit> bend;
        if (straight.worst <= m_tolerance) {
            const std::size_t corner = splitOfCorner(first, last, straight);
            if (corner != 0) {
                fit(first, corner);
                fit(corner, last);
                return;
            }
            bend = clearBend(points, straight);
            if (!bend) {
                addLine(straight.moments, straight.direction, points);
                return;
            }
        }
        if (points.size() >= 8) {
            const CircleFit circle = bend ? *bend : fitCircle(points);
            if (fitsAsArc(circle, points)) {
                // An arc that keeps well within the tolerance is taken as it is, unless it is so flat that
                // a straight edge with rounded corners may lie within it as well.
                const double worst = largestCircleDistance(points, circle);
                const bool loose = worst > kLooseShare * m_tolerance;
                const bool strays = worst > kFlatLooseShare * m_tolerance;
                const bool flat = length(points.back() - points.front()) < kFlatSweep * circle.radius && strays;
                const double error = squaredCircleError(points, circle);
                const std::size_t split = loose  ? splitOfFlatArc(first, last, error)
                                          : flat ? splitOfRoundedEdge(first, last, error)
                                                 : splitOfClearPieces(first, last, error, strays);
                if (split == 0) {
                    addArc(circle, points);
                    return;
                }
                fit(first, split);
                fit(split, last);
                return;
            }
        }
        if (last - first < 2 * kFewestPoints) {
            return;  // a kink too short to fit: the neighbours' ends are run out over it later
        }
        // A line running into a bend is cut where both fit (the tangent point), a bend between two lines
        // at both ends of the bend; a longer run of corners and bends at the point farthest from the chord.
        std::size_t split = splitOfKink(first, last);
        if (split == 0) {
            split = farthestFromChord(first, last);
        }
        fit(first, split);
        fit(split, last);
    }

    // The arc of points that one line fits within the tolerance but that bend all the same: a bend of a heavy
    // pen, whose chord strays from it by less than the tolerance, fits an arc with a small share of the
    // line's squared error, and the arc bows from its chord by a clear part of a dot. Nothing when they do not.
    std::optional<CircleFit> clearBend(std::span<const Point> points, const StraightFit& straight) const {
        if (points.size() < 8 || straight.worst <= kBentLooseShare * m_tolerance) {
            return std::nullopt;
        }
        const CircleFit circle = closestCircle(points, fitCircle(points));
        const double chord = length(points.back() - points.front());
        if (!fitsAsArc(circle, points) || chord * chord / (8 * circle.radius) < kLeastBow ||
            squaredCircleError(points, circle) >= kClearSplitGain * straight.squared) {
            return std::nullopt;
        }
        return circle;
    }

    bool fitsAsArc(const CircleFit& circle, std::span<const Point> points) const {
        // A bend tighter than the stroke is wide is a corner or an end cap, not a circle.
        const double smallestRadius = 1.5 * m_chain.meanRunLength() + 1;
        return circle.valid && circle.radius < kLargestRadius && circle.radius >= smallestRadius &&
               largestCircleDistance(points, circle) <= m_tolerance;
    }

    // The best line or arc through points[first..last] within the tolerance: its squared error (infinity
    // when neither fits) and curvature (1/dots, a line's 0).
    struct PieceError {
        double squared = std::numeric_limits<double>::infinity();
        double curvature = 0;
    };

    PieceError bestPiece(std::size_t first, std::size_t last) const {
        const std::span<const Point> points(m_points.data() + first, last + 1 - first);
        const StraightFit straight(points);
        PieceError best;
        if (straight.worst <= m_tolerance) {
            best.squared = straight.squared;
        }
        if (points.size() >= 8) {
            const CircleFit circle = fitCircle(points);
            // Within the tolerance, a piece is a line unless an arc fits it clearly better.
            const double arcError = squaredCircleError(points, circle);
            const double bound = std::isfinite(best.squared) ? kClearSplitGain * best.squared : best.squared;
            if (fitsAsArc(circle, points) && arcError < bound) {
                best = {arcError, 1 / circle.radius};
            }
        }
        return best;
    }

    // Where an arc through points[first..last] is better drawn as two pieces: a straight edge running
    // into a fillet, or two bends of clearly different radii meeting, fit as one flatter arc that stays
    // within the tolerance yet strays from the ink systematically. Returns 0 when the one arc is the better.
    std::size_t splitOfFlatArc(std::size_t first, std::size_t last, double arcError) const {
        const std::size_t best =
            bestSplit(first, last, kSplitGain * arcError, kSplitsTried, [](PieceError x, PieceError y) {
                return std::min(x.curvature, y.curvature) * kLeastBendRatio <= std::max(x.curvature, y.curvature);
            });
        return best != 0 ? best : splitOfRoundedEdge(first, last, arcError);
    }

    // Where an arc through points[first..last] that keeps within the tolerance is two pieces all the same:
    // a line running into a bend (a short line of a break line or a spring between its bends), or two bends
    // of different radii meeting; or, when the arc strays from the ink by half the tolerance somewhere, a
    // straight edge between two bends (a small rounded rectangle's side with half of each corner, one arc of
    // twice their radius and more). The cut must leave a small share of the one arc's squared error; pieces
    // of one circle that a cut leaves join again later. Returns 0 when the one arc is the better.
    std::size_t splitOfClearPieces(std::size_t first, std::size_t last, double arcError, bool strays) const {
        const std::size_t two = bestSplit(first, last, kClearSplitGain * arcError, kEdgeSplitsTried,
                                          [](PieceError, PieceError) { return true; });
        if (two != 0 || !strays) {
            return two;
        }
        return threePieces(first, last, kClearSplitGain * arcError, true).first;
    }

    // The cut of points[first..last] into two pieces that each fit, of the least squared error below bound,
    // whose pieces both asks for; 0 when no cut tried is.
    template <typename Both>
    std::size_t bestSplit(std::size_t first, std::size_t last, double bound, std::size_t tries,
                          const Both& both) const {
        if (last - first < 4 * kFewestPoints || bound <= 0) {
            return 0;
        }
        const std::size_t low = first + 2 * kFewestPoints, high = last - 2 * kFewestPoints;
        const std::size_t step = std::max<std::size_t>(1, (high - low) / tries);
        std::size_t best = 0;
        double bestError = bound;
        for (std::size_t split = low; split <= high; split += step) {
            const PieceError before = bestPiece(first, split), after = bestPiece(split, last);
            if (before.squared + after.squared < bestError && both(before, after)) {
                bestError = before.squared + after.squared;
                best = split;
            }
        }
        return best;
    }

    // Where an arc through points[first..last] is better drawn as a straight edge with a bend at either end
    // (a rounded rectangle's side, which the rows or the columns take with half of each corner): the
    // start of the edge, or 0 when the one arc is the better.
    std::size_t splitOfRoundedEdge(std::size_t first, std::size_t last, double arcError) const {
        return threePieces(first, last, kSplitGain * arcError, true).first;
    }

    // Where a line through points[first..last] within the tolerance is better drawn as two lines meeting
    // at a corner: a shallow turn of two short lines, which one line would take as a slanted one. A bend
    // that an arc fits better stays the one line. Returns 0 when the one line is the better.
    std::size_t splitOfCorner(std::size_t first, std::size_t last, const StraightFit& straight) const {
        // Each line at least twice the stroke's width long: the ink rounds a corner over about a width.
        const auto shortest = std::max<std::size_t>(
            2 * kFewestPoints, static_cast<std::size_t>(std::ceil(2 * widthAlong(straight.direction))));
        if (last - first < 2 * shortest || straight.worst <= kCornerLooseShare * m_tolerance) {
            return 0;
        }
        const std::size_t low = first + shortest, high = last - shortest;
        const std::size_t step = std::max<std::size_t>(1, (high - low) / kEdgeSplitsTried);
        std::size_t best = 0;
        double bestError = std::numeric_limits<double>::infinity();
        for (std::size_t split = low; split <= high; split += step) {
            const StraightFit before(std::span<const Point>(m_points.data() + first, split + 1 - first));
            const StraightFit after(std::span<const Point>(m_points.data() + split, last + 1 - split));
            if (before.squared + after.squared < bestError && meetAtCorner(before.moments, after.moments)) {
                bestError = before.squared + after.squared;
                best = split;
            }
        }
        const std::span<const Point> points(m_points.data() + first, last + 1 - first);
        const CircleFit circle = fitCircle(points);
        if (best != 0 && fitsAsArc(circle, points) && squaredCircleError(points, circle) <= bestError) {
            return 0;
        }
        return best;
    }

    // Where points[first..last], which no one line or arc fits, are best cut: into two pieces that each
    // fit, or into three (a line, a bend and a line) when that fits much better; 0 when neither does.
    std::size_t splitOfKink(std::size_t first, std::size_t last) const {
        if (last - first < 4 * kFewestPoints) {
            return 0;
        }
        const std::size_t low = first + 2 * kFewestPoints, high = last - 2 * kFewestPoints;
        const std::size_t step = std::max<std::size_t>(1, (high - low) / kEdgeSplitsTried);
        std::size_t best = 0;
        double bestError = std::numeric_limits<double>::infinity();
        for (std::size_t split = low; split <= high; split += step) {
            const double error = bestPiece(first, split).squared + bestPiece(split, last).squared;
            if (error < bestError) {
                bestError = error;
                best = split;
            }
        }
        const std::size_t three = threePieces(first, last, kSplitGain * bestError, false).first;
        return three != 0 ? three : best;
    }

    // The start of the middle piece of the best cut of points[first..last] into three pieces that each fit,
    // with a squared error below bound (and a middle flatter than both ends, when asked), and that error;
    // 0 when no cut tried is.
    std::pair<std::size_t, double> threePieces(std::size_t first, std::size_t last, double bound,
                                               bool flatterMiddle) const {
        if (last - first < 6 * kFewestPoints) {
            return {0, bound};
        }
        const std::size_t low = first + 2 * kFewestPoints, high = last - 2 * kFewestPoints;
        const std::size_t step = std::max<std::size_t>(1, (high - low) / kEdgeSplitsTried);
        std::vector<std::size_t> splits;
        std::vector<PieceError> before, after;
        for (std::size_t split = low; split <= high; split += step) {
            splits.push_back(split);
            before.push_back(bestPiece(first, split));
            after.push_back(bestPiece(split, last));
        }
        std::size_t best = 0;
        double bestError = bound;
        for (std::size_t i = 0; i < splits.size(); ++i) {
            for (std::size_t j = i + 1; j < splits.size(); ++j) {
                if (splits[j] - splits[i] < 2 * kFewestPoints || !(before[i].squared + after[j].squared < bestError)) {
                    continue;
                }
                const PieceError middle = bestPiece(splits[i], splits[j]);
                const double error = before[i].squared + middle.squared + after[j].squared;
                if (error < bestError && (!flatterMiddle || middle.curvature * kLeastBendRatio <=
                                                                std::min(before[i].curvature, after[j].curvature))) {
                    bestError = error;
                    best = splits[i];
                }
            }
        }
        return {best, bestError};
    }

    std::size_t farthestFromChord(std::size_t first, std::size_t last) const {
        const Point a = m_points[first];
        const Point chord = m_points[last] - a;
        const double chordLength = std::max(length(chord), 1e-9);
        std::size_t farthest = (first + last) / 2;
        double largest = -1;
        for (std::size_t i = first + 1; i < last; ++i) {
            const double distance = std::abs(cross(chord, m_points[i] - a)) / chordLength;
            if (distance > largest) {
                largest = distance;
                farthest = i;
            }
        }
        // Keep both halves long enough to fit.
        return std::clamp(farthest, first + kFewestPoints / 2, last - kFewestPoints / 2);
    }

    void addLine(const LineMoments& moments, Point direction, std::span<const Point> points) {
        const auto project = [&](Point p) { return footOnLine(p, moments.mean, direction); };
        m_pieces.lines.push_back(
            {moments, project(points.front()), project(points.back()), widthAlong(direction), direction});
    }

    // A flat arc is written with its geometric circle, when that keeps within the tolerance too: the fit
    // that chose it runs a few dots small there.
    void addArc(const CircleFit& fitted, std::span<const Point> points) {
        const double chord = length(points.back() - points.front());
        const CircleFit closest = chord < kFlatSweep * fitted.radius ? closestCircle(points, fitted) : fitted;
        const CircleFit& circle = fitsAsArc(closest, points) ? closest : fitted;
        ArcPiece arc;
        arc.circle = circle;
        const double first = angleDegrees(circle.centre, points.front());
        const double middle = angleDegrees(circle.centre, points[points.size() / 2]);
        const double last = angleDegrees(circle.centre, points.back());
        const bool counterClockwise = sweepDegrees(first, middle) <= sweepDegrees(first, last);
        arc.startDegrees = counterClockwise ? first : last;
        arc.endDegrees = counterClockwise ? last : first;
        const Point tangent = points[points.size() / 2] - circle.centre;
        arc.width = widthAlong(Point{-tangent.y, tangent.x} * (1 / std::max(length(tangent), 1e-9)));
        const std::size_t step = std::max<std::size_t>(1, points.size() / kSamplesPerArc);
        for (std::size_t i = 0; i < points.size(); i += step) {
            arc.samples.push_back(points[i]);
        }
        arc.samples.push_back(points.back());
        m_pieces.arcs.push_back(std::move(arc));
    }

    const CentreChain& m_chain;
    double m_tolerance;
    Pieces& m_pieces;
    std::vector<Point> m_points;
};

}  // namespace

void fitChain(const CentreChain& chain, double tolerance, Pieces& pieces) {
    ChainFitter(chain, tolerance, pieces).run();
}

}  // namespace kelvarin
