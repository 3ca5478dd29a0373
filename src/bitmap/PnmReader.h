// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Decodes a portable bitmap (P1 text, P4 binary; 1 is black), greymap (P2, P5), pixmap (P3, P6) or
// arbitrary map (P7: black and white, grey or RGB, with or without alpha), samples up to 16 bits, into
// packed rows; grey and colour pictures are thresholded by luminance. Throws ImageRefusal for a malformed
// or short file.
void decodePnm(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
