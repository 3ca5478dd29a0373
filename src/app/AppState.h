#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/BitmapData.h"
#include "common/PassState.h"
#include "convert/LineExtraction.h"
#include "convert/VirtualVram.h"
#include "dxf/OutputLineBuffer.h"

namespace kelvarin {

// Texts fixed at start-up.
struct ProgramInfo {
    std::string ProgramDirectory;  // the directory holding the templates
    std::string DialogDirectory;   // where the file dialogs start
    std::string HelpFilePath;
    std::string VersionText;
    std::string LegalNoticeText;
};

// Everything the program keeps between events, owned by the application and handed to the commands.
// Each operation replaces what it produces; nothing accumulates.
struct AppState : BitmapData, PassState, ProgramInfo {
    VirtualVram Vram;
    LineSegmentList LineSegments;  // of the last conversion, horizontal runs first
    OutputLineBuffer OutputLines;  // the last DXF document
    bool LineColorWhite = false;

    std::int32_t LineSegmentCount() const { return static_cast<std::int32_t>(LineSegments.size()); }
    std::int32_t OutputLineCount() const { return OutputLines.count(); }
};

}  // namespace kelvarin
