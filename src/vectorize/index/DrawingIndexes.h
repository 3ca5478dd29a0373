// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vectorize/geometry/Fitting.h"
#include "vectorize/geometry/Geometry.h"
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

// The indexes the passes keep of a drawing's parts, each written once. Tick is called once per part, for the
// passes that report their progress while indexing.

// Each segment (a line, a piece: anything with ends a and b) under its number.
template <typename Segment, typename Tick = void (*)()>
SpatialIndex indexOfSegments(
    const std::vector<Segment>& segments, Tick tick = [] {}) {
    SpatialIndex index;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        tick();
        index.insert(static_cast<std::int32_t>(i), segments[i].a, segments[i].b);
    }
    return index;
}

// Each segment's two ends, a under 2i and b under 2i + 1.
template <typename Segment>
SpatialIndex indexOfEnds(const std::vector<Segment>& segments) {
    SpatialIndex index;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        index.insert(static_cast<std::int32_t>(2 * i), segments[i].a);
        index.insert(static_cast<std::int32_t>(2 * i + 1), segments[i].b);
    }
    return index;
}

// The point pointOf(i) of each of count parts under its number i.
template <typename PointOf, typename Tick = void (*)()>
SpatialIndex indexOfPoints(
    std::size_t count, PointOf pointOf, Tick tick = [] {}) {
    SpatialIndex index;
    for (std::size_t i = 0; i < count; ++i) {
        tick();
        index.insert(static_cast<std::int32_t>(i), pointOf(i));
    }
    return index;
}

// Each circle under its number, listed along its way round as chords of a sixteenth.
template <typename Tick = void (*)()>
SpatialIndex indexOfCircles(
    const std::vector<VectorCircle>& circles, Tick tick = [] {}) {
    SpatialIndex index;
    for (std::size_t i = 0; i < circles.size(); ++i) {
        tick();
        const VectorCircle& circle = circles[i];
        for (int k = 0; k < 16; ++k) {
            index.insert(static_cast<std::int32_t>(i), pointOnCircle(circle.centre, circle.radius, 22.5 * k),
                         pointOnCircle(circle.centre, circle.radius, 22.5 * (k + 1)));
        }
    }
    return index;
}

}  // namespace kelvarin
