// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "convert/ConversionSettings.h"
#include "convert/SegmentSource.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// Shown when the file has been written.
inline constexpr const char* kConversionDoneMessage = "変換終了して、ファイルに書き出しました";

struct DxfInput {
    const ConversionSettings& settings;
    const SegmentSource& segments;
    std::int32_t width;  // of the bitmap, in dots
    std::int32_t height;
    std::string programDirectory;            // where header.txt and footer.txt are
    const VectorDrawing* drawing = nullptr;  // the vector mode's entities, written after the segments
};

// Prepares the document in its stages, each a numbered pass: header.txt, the extents $EXTMAX and $LIMMAX
// with the end of the HEADER section, an ENTITIES section with one LINE per segment and the drawing's entities, and
// footer.txt; then writes it to OutputPath and tells the user the outcome; true when the file was written. Failures
// before the writing throw the program's error with CurrentStep naming the step, and leave the file untouched; a failed
// write is reported by WriteFile.
bool BuildDxfDocument(const DxfInput& input, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
