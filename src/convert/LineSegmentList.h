// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "convert/SegmentSource.h"

namespace kelvarin {

// A rectangle of line pixels, in grid cells: it covers x = StartX .. StartX + SpanX - 1 and
// y = StartY .. StartY + SpanY - 1. A horizontal run has SpanY 1, a vertical run SpanX 1; a stroke may be
// thicker. Its LINE runs along the longer side (along the row when SpanX >= SpanY) through the middle.
struct LineSegment {
    std::int32_t StartX;
    std::int32_t StartY;
    std::int32_t SpanX;
    std::int32_t SpanY;

    friend bool operator==(const LineSegment&, const LineSegment&) = default;
};

// Segments listed one by one, a million or more of them. Kept in chunks
// of equal size: growing never copies what is stored, and no more than one chunk stands unused.
class LineSegmentList : public SegmentSource {
public:
    LineSegmentList() = default;
    LineSegmentList(std::initializer_list<LineSegment> segments) {
        for (const LineSegment& segment : segments) {
            push_back(segment);
        }
    }

    void push_back(const LineSegment& segment) {
        if (m_size % kChunkSize == 0 && m_size / kChunkSize == m_chunks.size()) {
            m_chunks.push_back(std::make_unique_for_overwrite<LineSegment[]>(kChunkSize));
        }
        m_chunks[m_size / kChunkSize][m_size % kChunkSize] = segment;
        ++m_size;
    }
    const LineSegment& operator[](std::size_t index) const { return m_chunks[index / kChunkSize][index % kChunkSize]; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    std::int64_t count() const override { return static_cast<std::int64_t>(m_size); }
    void forEach(SegmentSink& sink) const override {
        for (std::size_t first = 0; first < m_size; first += kChunkSize) {
            sink.take({m_chunks[first / kChunkSize].get(), std::min(kChunkSize, m_size - first)});
        }
    }

private:
    static constexpr std::size_t kChunkSize = 4096;  // 64 KiB

    std::vector<std::unique_ptr<LineSegment[]>> m_chunks;
    std::size_t m_size = 0;
};

}  // namespace kelvarin
