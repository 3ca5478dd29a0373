// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/assembly/Coverage.h"

#include <algorithm>
#include <iterator>
#include <numbers>

#include "vectorize/geometry/Distances.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// One entity as the coverage sees it: a segment, or part of a circle.
struct Stroke {
    bool round = false;
    Point a, b;  // a segment's ends
    CircleFit circle;
    double start = 0, sweep = 360;  // degrees of the part of the circle
    double width = 0;
    double size = 0;  // length along the stroke

    Point at(double t) const {
        if (!round) {
            return a + (b - a) * t;
        }
        const double radians = (start + sweep * t) * std::numbers::pi / 180;
        return {circle.centre.x + circle.radius * std::cos(radians),
                circle.centre.y + circle.radius * std::sin(radians)};
    }
    double distance(Point p) const {
        if (!round) {
            return distanceToSegment(p, {a, b});
        }
        if (sweep < 360 && sweepDegrees(start, angleDegrees(circle.centre, p)) > sweep) {
            return std::min(length(p - at(0)), length(p - at(1)));
        }
        return distanceToCircle(p, circle.centre, circle.radius);
    }
};

std::vector<Stroke> strokesOf(const WideDrawing& wide) {
    std::vector<Stroke> strokes;
    const VectorDrawing& drawing = wide.drawing;
    for (std::size_t i = 0; i < drawing.lines.size(); ++i) {
        const VectorLine& line = drawing.lines[i];
        strokes.push_back({false, line.a, line.b, {}, 0, 0, wide.lineWidths[i], length(line.b - line.a)});
    }
    for (std::size_t i = 0; i < drawing.arcs.size(); ++i) {
        const VectorArc& arc = drawing.arcs[i];
        const double sweep = sweepDegrees(arc.startDegrees, arc.endDegrees);
        strokes.push_back({true,
                           {},
                           {},
                           {arc.centre, arc.radius, true},
                           arc.startDegrees,
                           sweep,
                           wide.arcWidths[i],
                           arc.radius * sweep * std::numbers::pi / 180});
    }
    for (std::size_t i = 0; i < drawing.circles.size(); ++i) {
        const VectorCircle& circle = drawing.circles[i];
        strokes.push_back({true,
                           {},
                           {},
                           {circle.centre, circle.radius, true},
                           0,
                           360,
                           wide.circleWidths[i],
                           2 * std::numbers::pi * circle.radius});
    }
    return strokes;
}

// Whether line runs across the line other, by more than 30 degrees (circles and arcs run along anything).
bool crosses(const Stroke& line, const Stroke& other) {
    constexpr double kAlong = 0.87;  // cosine of 30 degrees
    if (line.round || other.round) {
        return false;
    }
    const Point d = line.b - line.a, e = other.b - other.a;
    return std::abs(dot(d, e)) < kAlong * length(d) * length(e);
}

// Whether a circle or arc covering the line's point p may hold it there: it runs along the line, within 20
// degrees, or the line is a stub no longer than two of its strokes reach (what a junction leaves in it). An
// arc run on past where it touches a line (a heavy pen's corner, its ink along a short side) runs ever
// farther off the line's way, and so does one that a line crosses.
bool holdsAlong(const Stroke& line, const Stroke& round, Point p, double tolerance) {
    constexpr double kAcross = 0.34;  // sine of 20 degrees
    const Point d = line.b - line.a, radial = p - round.circle.centre;
    return line.size < 2 * (round.width + 2 * tolerance) ||
           std::abs(dot(d, radial)) <= kAcross * length(d) * length(radial);
}

// Whether two lines touch: their strokes cross or meet within the tolerance.
bool meet(const Stroke& x, const Stroke& y, double tolerance) {
    const Point d = x.b - x.a, e = y.b - y.a;
    const bool crossing =
        cross(d, y.a - x.a) * cross(d, y.b - x.a) <= 0 && cross(e, x.a - y.a) * cross(e, x.b - y.a) <= 0;
    const double apart = std::min({x.distance(y.a), x.distance(y.b), y.distance(x.a), y.distance(x.b)});
    return crossing || apart <= (x.width + y.width) / 2 + tolerance;
}

// Whether a line lying across the lines across (each holding some of its points, none all) lies within
// them: they meet, or it is no longer than two of their strokes reach (a stub between close strokes, as in
// a small glyph). Sorts across and drops its repeats.
bool heldAcross(const Stroke& line, const std::vector<Stroke>& strokes, std::vector<std::int32_t>& across,
                double tolerance) {
    std::sort(across.begin(), across.end());
    across.erase(std::unique(across.begin(), across.end()), across.end());
    const auto stroke = [&](std::int32_t j) -> const Stroke& { return strokes[static_cast<std::size_t>(j)]; };
    if (std::any_of(across.begin(), across.end(),
                    [&](std::int32_t j) { return line.size < 2 * (stroke(j).width + 2 * tolerance); })) {
        return true;
    }
    for (std::size_t a = 0; a < across.size(); ++a) {
        for (std::size_t b = a + 1; b < across.size(); ++b) {
            if (!meet(stroke(across[a]), stroke(across[b]), tolerance)) {
                return false;
            }
        }
    }
    return true;
}

// The lists one worker reuses while it looks at the strokes.
struct Scratch {
    SpatialIndex::Search search;
    std::vector<std::int32_t> near;     // strokes near a point
    std::vector<std::int32_t> across;   // lines across that hold some point
    std::vector<std::int32_t> holding;  // lines across that hold every such point so far
};

template <typename T>
void keepMarked(std::vector<T>& items, const std::vector<char>& dropped, std::size_t offset) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!dropped[offset + i]) {
            items[kept++] = items[i];
        }
    }
    items.resize(kept);
}

// Drops the entities dropped marks, numbered lines first, then arcs, then circles.
void keepUndropped(WideDrawing& wide, const std::vector<char>& dropped) {
    VectorDrawing& drawing = wide.drawing;
    const std::size_t arcsFrom = drawing.lines.size();
    const std::size_t circlesFrom = arcsFrom + drawing.arcs.size();
    keepMarked(drawing.lines, dropped, 0);
    keepMarked(wide.lineWidths, dropped, 0);
    keepMarked(drawing.arcs, dropped, arcsFrom);
    keepMarked(wide.arcWidths, dropped, arcsFrom);
    keepMarked(drawing.circles, dropped, circlesFrom);
    keepMarked(wide.circleWidths, dropped, circlesFrom);
}

// The strokes of a drawing in an index, each round one in parts that follow its curve.
void indexStrokes(const std::vector<Stroke>& strokes, SpatialIndex& index, const Tick& tick) {
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        tick();
        const Stroke& stroke = strokes[i];
        const int parts = stroke.round ? std::max(8, static_cast<int>(stroke.size / 16)) : 1;
        for (int k = 0; k < parts; ++k) {
            index.insert(static_cast<std::int32_t>(i), stroke.at(static_cast<double>(k) / parts),
                         stroke.at(static_cast<double>(k + 1) / parts));
        }
    }
    index.build();
}

// Whether stroke i lies within the longer strokes not dropped (dropped marks them, or is empty for none).
// A line that lies across other lines, not along them, lies within them when one holds it all (the stem of
// a T inside the bar) or they meet (a crossing's or a corner's); one that reaches across from one line to
// another apart from it is a line of its own (a wall's end, a step).
bool coveredBy(const std::vector<Stroke>& strokes, const SpatialIndex& index, std::size_t i,
               const std::vector<char>& dropped, double tolerance, Scratch& scratch) {
    const Stroke& stroke = strokes[i];
    const int samples = std::max(2, static_cast<int>(stroke.size / std::max(stroke.width, 2.0)));
    std::vector<std::int32_t>& near = scratch.near;
    std::vector<std::int32_t>& across = scratch.across;
    std::vector<std::int32_t>& holding = scratch.holding;
    across.clear();
    bool anyAcross = false;
    for (int k = 0; k <= samples; ++k) {
        const Point p = stroke.at(static_cast<double>(k) / samples);
        index.near(p, kIndexCellSize / 2, near, scratch.search);
        const auto covers = [&](std::int32_t j) {
            const Stroke& other = strokes[static_cast<std::size_t>(j)];
            return static_cast<std::size_t>(j) != i && (dropped.empty() || !dropped[static_cast<std::size_t>(j)]) &&
                   other.size > stroke.size && other.distance(p) <= other.width / 2 + tolerance &&
                   (stroke.round || !other.round || holdsAlong(stroke, other, p, tolerance));
        };
        if (std::any_of(near.begin(), near.end(), [&](std::int32_t j) {
                return covers(j) && !crosses(stroke, strokes[static_cast<std::size_t>(j)]);
            })) {
            continue;
        }
        const auto before = static_cast<std::ptrdiff_t>(across.size());
        std::copy_if(near.begin(), near.end(), std::back_inserter(across), covers);
        if (across.begin() + before == across.end()) {
            return false;
        }
        if (!anyAcross) {
            holding.assign(across.begin() + before, across.end());
            anyAcross = true;
        } else {
            const auto letGo = [&](std::int32_t j) {
                return std::find(across.begin() + before, across.end(), j) == across.end();
            };
            holding.erase(std::remove_if(holding.begin(), holding.end(), letGo), holding.end());
        }
    }
    return !anyAcross || !holding.empty() || heldAcross(stroke, strokes, across, tolerance);
}

}  // namespace

void dropCoveredEntities(WideDrawing& wide, double tolerance, WorkerPool& pool, const Tick& tick) {
    const std::vector<Stroke> strokes = strokesOf(wide);
    SpatialIndex index;
    indexStrokes(strokes, index, tick);
    // Dropping strokes only uncovers others, so the strokes covered with none dropped are the only ones to
    // look at again, in order, with the drops made before them.
    std::vector<char> maybe(strokes.size(), 0);
    std::vector<Scratch> scratches(static_cast<std::size_t>(pool.threads()));
    pool.run(strokes.size(), [&](std::size_t i, std::int32_t worker) {
        maybe[i] = coveredBy(strokes, index, i, {}, tolerance, scratches[static_cast<std::size_t>(worker)]) ? 1 : 0;
    });
    std::vector<char> dropped(strokes.size(), 0);
    Scratch& scratch = scratches.front();
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        tick();
        dropped[i] = maybe[i] != 0 && coveredBy(strokes, index, i, dropped, tolerance, scratch) ? 1 : 0;
    }
    keepUndropped(wide, dropped);
}

}  // namespace kelvarin
