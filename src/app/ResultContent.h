// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

class ResultLayers;
struct Form;

// The entities of a result by kind, and what the file written holds.
struct ResultCounts {
    std::int64_t lines = 0;
    std::int64_t arcs = 0;
    std::int64_t circles = 0;
    std::optional<std::int64_t> dxfBytes;  // none before a conversion
    std::optional<double> skewDegrees;     // when a skew was found
    std::int64_t texts = 0;                // TEXT entities
};

// "LINE 12  ARC 3  CIRCLE 1  DXF 4567 バイト  傾き 0.35°"; a preview says so instead of naming a file.
std::string describeCounts(const ResultCounts& counts);

// What the result view shows: the scan and the run or stroke LINEs, or the vectors over the scan.
struct ConversionResult {
    std::shared_ptr<const ResultLayers> layers;
    std::shared_ptr<const VectorDrawing> vectors;  // empty for runs and strokes
    ResultCounts counts;
};

// A result, or the message saying why there is nothing to show.
using ResultOrRefusal = std::variant<ConversionResult, std::string>;

// Shown when the view's copy of the picture and its pyramid do not fit in memory.
inline constexpr const char* kNoMemoryForResult = "変換結果を表示するメモリが足りません";

// What the conversion that has just written its file wrote, with the window's settings it ran with.
ResultOrRefusal lastConversionResult(const Form& form);

// What a conversion with the window's settings and options would write.
ResultOrRefusal previewResult(const Form& form);

}  // namespace kelvarin
