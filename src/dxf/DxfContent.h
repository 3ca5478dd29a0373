// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/SegmentSource.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Everything a DXF file is written from: the templates' lines and the layer name as code page 932
// bytes, the extents' texts, and the segments with the scale and offset that place them.
struct DxfContent {
    const SegmentSource& segments;
    const VectorDrawing* drawing = nullptr;  // written after the segments when given
    std::vector<std::string> headerLines{};
    std::string extentX{};
    std::string extentY{};
    std::string layerName{};
    std::vector<std::string> textBytes{};  // the drawing's texts as code page 932, in its order
    double scaleX = 1;
    double scaleY = 1;
    double offsetX = 0;
    double offsetY = 0;
    std::vector<std::string> footerLines{};

    // Lines of the HEADER section after the header template, and of each LINE entity.
    static constexpr std::int64_t kExtentLines = 14;
    static constexpr std::int64_t kSectionLines = 6;  // ENTITIES section start and end
    static constexpr std::int64_t kLinesPerEntity = 16;
    static constexpr std::int64_t kLinesPerCircle = 14;
    static constexpr std::int64_t kLinesPerArc = 18;
    static constexpr std::int64_t kLinesPerText = 14;
    // The layer of the texts read from the scan.
    static constexpr const char* kTextLayer = "TEXT";

    std::int64_t lineCount() const {
        return static_cast<std::int64_t>(headerLines.size() + footerLines.size()) + kExtentLines + kSectionLines +
               kLinesPerEntity * segments.count() + drawingLineCount();
    }
    std::int64_t drawingLineCount() const {
        if (drawing == nullptr) {
            return 0;
        }
        return kLinesPerEntity * static_cast<std::int64_t>(drawing->lines.size()) +
               kLinesPerArc * static_cast<std::int64_t>(drawing->arcs.size()) +
               kLinesPerCircle * static_cast<std::int64_t>(drawing->circles.size()) +
               kLinesPerText * static_cast<std::int64_t>(drawing->texts.size());
    }
};

}  // namespace kelvarin
