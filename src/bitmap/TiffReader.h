// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Decodes one page of a TIFF file (any compression libtiff knows: CCITT Group 4 and 3, LZW, PackBits,
// Deflate, none) scan line by scan line, or tile row by tile row, into packed rows. Bilevel pages keep
// their bits (min-is-white or min-is-black); grey, palette and RGB(A) pages are thresholded by luminance.
// Throws ImageRefusal for a file it cannot decode, with libtiff's reason in its details.
void decodeTiff(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
