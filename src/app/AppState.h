// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "bitmap/BitmapData.h"
#include "common/PassState.h"
#include "convert/ConversionSettings.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// Texts fixed at start-up.
struct ProgramInfo {
    std::string ProgramDirectory;  // the directory holding the templates
    std::string DialogDirectory;   // where the picture dialog starts: where one was last chosen
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
    double SkewDegrees = 0;             // the turn the last conversion took back; 0 without deskewing
    bool LineColorWhite = false;
    ConversionOptions conversionOptions;  // set from the menu or the command line, used by the next conversion
    bool KeepProportions = true;          // a size typed into one size field sets the other to match
    std::string OutputDirectory;          // where the output was last chosen; empty for none
    VectorDrawing vectorDrawing;          // of the last conversion; empty unless it wrote vectors
    std::string TextNote;                 // what the last conversion's text recognition read; empty for none
    std::string PicturePath;              // as named when the loaded picture was read; empty for none
    bool SizesKept = false;               // the last read left the size fields as they were: same file, same dots
};

}  // namespace kelvarin
