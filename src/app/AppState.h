#pragma once

#include <cstdint>
#include <string>

#include "bitmap/BitmapData.h"
#include "common/PassState.h"
#include "convert/ConversionSettings.h"
#include "convert/VirtualVram.h"
#include "vectorize/Geometry.h"

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
    ReadOptions readOptions;  // how pictures other than 1-bit ones are read
    VirtualVram Vram;
    std::int64_t LineSegmentCount = 0;  // of the last conversion
    bool LineColorWhite = false;
    ConversionOptions conversionOptions;  // set from the menu or the command line, used by the next conversion
    VectorDrawing vectorDrawing;          // of the last conversion, when it was in the vector mode
};

}  // namespace kelvarin
