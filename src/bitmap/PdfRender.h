#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Draws page index (from 0) of a PDF file at the given resolution in grey, and thresholds it as a grey
// picture. The drawn size is checked before anything is drawn. Throws ImageRefusal when the page cannot be
// drawn.
void renderPdfPage(std::span<const std::uint8_t> file, int index, Resolution resolution, const ReadOptions& options,
                   BitmapData& data);

}  // namespace kelvarin
