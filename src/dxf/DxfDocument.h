#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/ConversionSettings.h"
#include "convert/LineExtraction.h"

namespace kelvarin {

class OutputLineBuffer;
class Toolkit;
struct PassState;

// Shown when the file has been written.
inline constexpr const char* kConversionDoneMessage = "変換終了して、ファイルに書き出しました";

struct DxfInput {
    const ConversionSettings& settings;
    const LineSegmentList& segments;
    std::int32_t width;  // of the bitmap, in dots
    std::int32_t height;
    std::string programDirectory;  // where header.txt and footer.txt are
};

// Builds the whole document in lines: header.txt, the extents $EXTMAX and $LIMMAX, the end of the
// HEADER section, an ENTITIES section with one LINE per segment, and footer.txt; then writes it to
// OutputPath and tells the user the outcome; true when the file was written. Failures before the writing
// throw the program's error with CurrentStep naming the step; a failed write is reported by WriteFile.
bool BuildDxfDocument(const DxfInput& input, OutputLineBuffer& lines, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
