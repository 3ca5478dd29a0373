// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/BitmapData.h"
#include "convert/ConversionSettings.h"
#include "convert/Despeckle.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// What the text recognition of a page found.
struct PageText {
    std::vector<VectorText> texts;       // the lines read well, in dots of the page
    std::int64_t leftAsGeometry = 0;     // lines read too poorly to be written as text: their ink stays
    std::int64_t droppedCharacters = 0;  // read but without a code page 932 form
    CleanedGrid withoutText;             // the grid without the ink of the texts
};

// The least confidence (0 to 100) a line needs to be written as text; a line of one glyph needs more.
inline constexpr double kLeastTextConfidence = 60;
inline constexpr double kLeastGlyphConfidence = 88;

// Finds the lines of text in grid (line cells set), reads each in the upright direction the reader is
// surest of, and clears the ink of the lines read well from a copy of the grid. dotsPerMm: the scan's
// resolution, 0 when unknown. Numbered passes setting CurrentStep.
void recogniseText(const VirtualVram& grid, double dotsPerMm, const ConversionOptions& options, PageText& page,
                   PassState& pass, Toolkit& toolkit);

// The vector mode's drawing with the page's text as TEXT entities (options.Text), the text's ink taken out
// of the geometry; without text, exactly VectorizePicture's. note, when given, is set to what the reading
// left (empty when there is nothing to say).
VectorDrawing VectorizeWithText(const BmpHeaderBytes& header, const VirtualVram& lineCells,
                                const ConversionOptions& options, double skewDegrees, PassState& pass, Toolkit& toolkit,
                                std::string* note = nullptr);

// "文字 12 行（3 行は読み取れず図形のまま）".
std::string textNote(std::int64_t read, std::int64_t leftAsGeometry, std::int64_t droppedCharacters);

}  // namespace kelvarin
