// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/symbols/HatchLines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "vectorize/index/DrawingIndexes.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

constexpr int kDirections = 60;          // followed from each stub: every 3 degrees
constexpr double kCrowd = 16;            // dots about a stub's middle in which the other stubs are counted
constexpr std::size_t kFewestStubs = 6;  // about a stub of cross-hatching
constexpr double kLongestWalk = 400;     // dots followed either way, at most
constexpr double kDistinct = 0.87;       // two strokes through one stub differ by 30 degrees or more (cosine)

// The spread of the points across their principal axis, in dots (the root of the least eigenvalue).
double leastSpread(const LineMoments& points) { return std::sqrt(points.squaredError() / points.n); }

double lengthOf(const LinePiece& piece) { return length(piece.b - piece.a); }

bool isStub(const LinePiece& piece) { return lengthOf(piece) < piece.width; }

// How far the ink goes on from p along the unit direction, in whole dots (at most limit).
double inkRun(const InkProbe& ink, Point p, Point direction, double limit = kLongestWalk) {
    double reached = 0;
    for (double step = 1; step <= limit && ink.at(p + direction * step); step += 1) {
        reached = step;
    }
    return reached;
}

// The stroke through p along the unit direction, from end to end of its ink, its width measured across
// it at the middle and at the quarters (the least: a crossing widens it), at most widest.
LinePiece strokeThrough(const InkProbe& ink, Point p, Point direction, double widest) {
    const Point a = p - direction * inkRun(ink, p, direction * -1);
    const Point b = p + direction * inkRun(ink, p, direction);
    const Point across{-direction.y, direction.x};
    double width = widest;
    for (const double t : {0.25, 0.5, 0.75}) {
        const Point q = a + (b - a) * t;
        if (ink.at(q)) {
            width = std::min(width, 1 + inkRun(ink, q, across) + inkRun(ink, q, across * -1));
        }
    }
    LinePiece stroke;
    const int steps = std::max(1, static_cast<int>(std::ceil(length(b - a))));
    for (int k = 0; k <= steps; ++k) {
        stroke.moments.add(a + (b - a) * (static_cast<double>(k) / steps));
    }
    stroke.a = a;
    stroke.b = b;
    stroke.width = width;
    stroke.direction = direction;
    return stroke;
}

// The strokes through a stub's middle: the longest run of ink, and a second one across it, when they go on
// far beyond the stub.
void strokesThrough(const LinePiece& stub, const InkProbe& ink, std::vector<LinePiece>& found) {
    const Point middle = (stub.a + stub.b) * 0.5;
    if (!ink.at(middle)) {
        return;
    }
    const double least = 4 * stub.width;     // a stroke goes on this far, counted both ways
    std::array<double, kDirections> runs{};  // counted up to twice that either way
    std::array<Point, kDirections> directions{};
    for (int k = 0; k < kDirections; ++k) {
        const double radians = k * std::numbers::pi / kDirections;
        directions[k] = {std::cos(radians), std::sin(radians)};
        runs[k] = inkRun(ink, middle, directions[k], 2 * least) + inkRun(ink, middle, directions[k] * -1, 2 * least);
    }
    int first = -1;
    for (int pick = 0; pick < 2; ++pick) {
        int best = -1;
        for (int k = 0; k < kDirections; ++k) {
            const bool apart = first < 0 || std::abs(dot(directions[k], directions[first])) < kDistinct;
            if (apart && runs[k] >= least && (best < 0 || runs[k] > runs[best])) {
                best = k;
            }
        }
        if (best < 0) {
            return;
        }
        found.push_back(strokeThrough(ink, middle, directions[best], stub.width));
        first = best;
    }
}

}  // namespace

void findHatchStrokes(std::vector<LinePiece>& pieces, const InkProbe& ink, WorkerPool& pool, const Tick& tick) {
    std::vector<std::int32_t> stubs;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (isStub(pieces[i])) {
            stubs.push_back(static_cast<std::int32_t>(i));
        }
    }
    if (stubs.size() < kFewestStubs) {
        return;
    }
    const auto middleOf = [&](std::size_t s) {
        const LinePiece& stub = pieces[static_cast<std::size_t>(stubs[s])];
        return (stub.a + stub.b) * 0.5;
    };
    const SpatialIndex index = indexOfPoints(stubs.size(), middleOf);
    index.build();
    std::vector<std::vector<LinePiece>> found(stubs.size());
    std::vector<SpatialIndex::Search> searches(static_cast<std::size_t>(pool.threads()));
    std::vector<std::vector<std::int32_t>> nears(searches.size());
    pool.run(stubs.size(), [&](std::size_t s, std::int32_t worker) {
        const auto w = static_cast<std::size_t>(worker);
        const LinePiece& stub = pieces[static_cast<std::size_t>(stubs[s])];
        const Point middle = middleOf(s);
        index.near(middle, kCrowd, nears[w], searches[w]);
        // Stubs all about, not in a row: a row of them is hatching crossed by a stroke, which the rows
        // and columns follow whole.
        LineMoments crowd;
        for (const std::int32_t j : nears[w]) {
            const LinePiece& other = pieces[static_cast<std::size_t>(stubs[static_cast<std::size_t>(j)])];
            const Point otherMiddle = (other.a + other.b) * 0.5;
            if (length(otherMiddle - middle) <= kCrowd) {
                crowd.add(otherMiddle);
            }
        }
        if (crowd.n >= kFewestStubs && leastSpread(crowd) >= kCrowd / 4) {
            strokesThrough(stub, ink, found[s]);
        }
    });
    tick();
    // The stubs the strokes stand for go, the rest keep their order (in place: a page has many pieces).
    std::vector<bool> dropped(pieces.size(), false);
    bool any = false;
    for (std::size_t s = 0; s < stubs.size(); ++s) {
        dropped[static_cast<std::size_t>(stubs[s])] = !found[s].empty();
        any = any || !found[s].empty();
    }
    if (!any) {
        return;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!dropped[i]) {
            pieces[kept++] = pieces[i];
        }
    }
    pieces.resize(kept);
    for (const std::vector<LinePiece>& some : found) {
        pieces.insert(pieces.end(), some.begin(), some.end());
    }
}

}  // namespace kelvarin
