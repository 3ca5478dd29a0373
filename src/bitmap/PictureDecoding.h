// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"
#include "bitmap/ImageFormat.h"

namespace kelvarin {

class Toolkit;

// Decodes a PNG, TIFF or PNM file into packed rows with a BMP header describing them. Throws
// ImageRefusal for a file it will not take.
void decodeOtherFormat(ImageFormat format, std::span<const std::uint8_t> file, const ReadOptions& options,
                       BitmapData& data);

// Checks and decodes the file image in FileBytes by the format its first bytes announce: BMP files as
// they always were (DecodeBitmap), the others through their readers. A refused file is named in a
// message box and gives false; true sets FileLoaded.
bool DecodePicture(BitmapData& data, const ReadOptions& options, Toolkit& toolkit);

}  // namespace kelvarin
