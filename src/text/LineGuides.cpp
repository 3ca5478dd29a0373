// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineGuides.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "text/LineDirections.h"
#include "text/LineJoins.h"
#include "vectorize/geometry/Fitting.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// How far the glyph's cells reach across the line, from its middle along the normal, in dots.
struct Span {
    double low = INFINITY;
    double high = -INFINITY;
};

Span acrossLine(const Glyph& glyph, const AskewLine& line) {
    Span span;
    for (const LineSegment& run : glyph.runs) {
        for (const std::int32_t x : {run.StartX, run.StartX + run.SpanX - 1}) {
            const double across = dot(Point{double(x), double(run.StartY)} - line.centre, line.normal());
            span.low = std::min(span.low, across);
            span.high = std::max(span.high, across);
        }
    }
    return span;
}

// Whether the glyph stands beside the line within gap dots of its band, all on one side, along it.
bool besideLine(const Glyph& glyph, const AskewLine& line, double gap) {
    const Span across = acrossLine(glyph, line);
    const double along = dot(Point{glyph.centreX(), glyph.centreY()} - line.centre, line.direction);
    const double near = std::min(std::abs(across.low), std::abs(across.high));
    return (across.low > 0 || across.high < 0) && near <= line.halfBand + gap && along >= line.first &&
           along <= line.last;
}

// Whether the group's glyphs marked with the guide line run along it: their centres' direction is the
// line's (a line of text beside a hatch's boundary runs across it).
bool runsAlongGuide(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& group, std::int32_t guide) {
    constexpr double kMostTurn = 10;  // degrees
    std::vector<std::size_t> marked;
    double degrees = 0;
    for (const std::size_t i : group) {
        if (glyphs[i].guide == guide) {
            marked.push_back(i);
            degrees = glyphs[i].guideDegrees;
        }
    }
    return std::abs(std::remainder(fittedDirection(glyphs, marked) - degrees, 180.0)) <= kMostTurn;
}

// The lines at other angles that at least two characters of the group touch or stand beside, along them.
std::vector<std::int32_t> touchedLines(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& group,
                                       double smallest) {
    constexpr std::size_t kLeastTouching = 2;
    std::vector<std::int32_t> guides;
    for (const std::size_t i : group) {
        if (glyphs[i].guide >= 0 && glyphSize(glyphs[i]) >= smallest / 2.0) {
            guides.push_back(glyphs[i].guide);
        }
    }
    std::sort(guides.begin(), guides.end());
    std::vector<std::int32_t> touched;
    for (auto from = guides.begin(); from != guides.end();) {
        const auto to = std::upper_bound(from, guides.end(), *from);
        if (static_cast<std::size_t>(to - from) >= kLeastTouching && runsAlongGuide(glyphs, group, *from)) {
            touched.push_back(*from);
        }
        from = to;
    }
    return touched;
}

// The line of the guided glyph nearest glyph i that it stands in the band of, across that line; -1 for none.
std::int32_t guideBeside(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& group, std::size_t i,
                         const std::vector<std::int32_t>& lines) {
    constexpr double kBand = 0.6;  // across the line from a guided glyph, in its size
    const Glyph& glyph = glyphs[i];
    std::int32_t guide = -1;
    double nearest = INFINITY;
    for (const std::size_t j : group) {
        const Glyph& other = glyphs[j];
        if (std::find(lines.begin(), lines.end(), other.guide) == lines.end()) {
            continue;
        }
        const double turn = other.guideDegrees * std::numbers::pi / 180;
        const double dx = glyph.centreX() - other.centreX(), dy = glyph.centreY() - other.centreY();
        const double across = std::abs(-dx * std::sin(turn) + dy * std::cos(turn));
        if (across <= kBand * glyphSize(other) && std::hypot(dx, dy) < nearest) {
            nearest = std::hypot(dx, dy);
            guide = other.guide;
        }
    }
    return guide;
}

}  // namespace

bool marksLineEnd(const Glyph& glyph, const AskewLine& line) {
    constexpr double kBeyond = 2;  // dots past the line's band either way
    const auto holds = [&](Point p) {
        return p.x >= glyph.left - 1 && p.x <= glyph.right + 1 && p.y >= glyph.bottom - 1 && p.y <= glyph.top + 1;
    };
    if (!holds(line.at(line.first)) && !holds(line.at(line.last))) {
        return false;
    }
    const Span across = acrossLine(glyph, line);
    return across.low < -(line.halfBand + kBeyond) && across.high > line.halfBand + kBeyond;
}

void markGuides(const std::vector<AskewLine>& lines, std::vector<Glyph>& glyphs) {
    constexpr double kBeside = 0.5;  // the widest gap to a line a glyph stands beside, in its size
    if (lines.empty()) {
        return;
    }
    SpatialIndex index;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        index.insert(static_cast<std::int32_t>(k), lines[k].at(lines[k].first), lines[k].at(lines[k].last));
    }
    std::vector<std::int32_t> found;
    for (Glyph& glyph : glyphs) {
        const double size = std::max(glyph.width(), glyph.height());
        index.near({glyph.centreX(), glyph.centreY()}, 2 * size, found);
        for (const std::int32_t id : found) {
            const AskewLine& line = lines[static_cast<std::size_t>(id)];
            const bool touches =
                line.setAside && std::any_of(glyph.runs.begin(), glyph.runs.end(),
                                             [&](const LineSegment& run) { return line.touches(run); });
            if (touches || (glyph.guide < 0 && besideLine(glyph, line, kBeside * size))) {
                glyph.guide = id;
                glyph.guideDegrees = line.degrees();
                glyph.touchesGuide = touches;
                if (touches) {
                    break;
                }
            }
        }
    }
    std::erase_if(glyphs, [&](const Glyph& glyph) {
        return glyph.touchesGuide && marksLineEnd(glyph, lines[static_cast<std::size_t>(glyph.guide)]);
    });
}

std::vector<GuidedGroup> splitByGuides(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& group,
                                       double smallest, std::vector<std::size_t>& rest, std::vector<std::size_t>& cut) {
    const std::vector<std::int32_t> lines = touchedLines(glyphs, group, smallest);
    std::vector<GuidedGroup> guided(lines.size());
    rest.clear();
    cut.clear();
    for (const std::size_t i : group) {
        const Glyph& glyph = glyphs[i];
        const auto touched = std::find(lines.begin(), lines.end(), glyph.guide);
        const std::int32_t guide = touched != lines.end() ? glyph.guide : guideBeside(glyphs, group, i, lines);
        if (guide < 0) {
            (glyph.touchesGuide ? cut : rest).push_back(i);
            continue;
        }
        GuidedGroup& into =
            guided[static_cast<std::size_t>(std::find(lines.begin(), lines.end(), guide) - lines.begin())];
        into.members.push_back(i);
        if (touched != lines.end()) {
            into.degrees = glyph.guideDegrees > 90 ? glyph.guideDegrees - 180 : glyph.guideDegrees;
        }
    }
    return guided;
}

}  // namespace kelvarin
