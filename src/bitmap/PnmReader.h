#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Decodes a portable bitmap (P1 text, P4 binary; 1 is black) or greymap (P2 text, P5 binary, up to 16
// bits; thresholded by luminance) into packed rows. Throws ImageRefusal for a malformed or short file.
void decodePnm(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
