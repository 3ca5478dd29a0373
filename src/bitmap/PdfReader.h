// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// Reads page options.page of a PDF file. A page that is one image covering it (as scanners and image-to-PDF
// tools write) gives that image at its own pixel size and resolution; any other page is drawn at
// options.renderDpi and thresholded as a grey picture. Throws ImageRefusal for an encrypted or damaged
// file, a page past the end, or a page too large.
void decodePdf(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
