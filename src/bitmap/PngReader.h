// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Decodes a PNG file row by row (interlaced ones pass by pass) into packed rows: 1-bit grey keeps its
// bits, every other kind is thresholded by luminance, with transparency laid over white. The physical
// pixel size in pixels per metre gives the resolution. Throws ImageRefusal, with libspng's reason in its details.
void decodePng(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
