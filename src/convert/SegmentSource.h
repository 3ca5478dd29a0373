// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace kelvarin {

struct LineSegment;

// Receives segments in order, a batch at a time.
class SegmentSink {
public:
    virtual void take(std::span<const LineSegment> segments) = 0;

protected:
    ~SegmentSink() = default;
};

// The segments of one conversion in the order they are written: listed, or found again in the grid
// while the file is written, so that a drawing's millions of runs need no memory of their own.
class SegmentSource {
public:
    virtual ~SegmentSource() = default;
    virtual std::int64_t count() const = 0;
    virtual void forEach(SegmentSink& sink) const = 0;
};

}  // namespace kelvarin
