// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// A page's size in points (its crop box).
struct PageSize {
    double width = 0;
    double height = 0;
};

// Draws page index (from 0) of a PDF file at the given resolution in grey, and thresholds it as a grey
// picture. The page is drawn in a child process whose memory and processor time are bounded by the page's
// size, checked before anything is drawn, and which a stop request ends at once. Throws ImageRefusal when
// the page cannot be drawn within those bounds, or its fax data are damaged; the library's complaints about
// a page it drew become the read's note.
void renderPdfPage(std::span<const std::uint8_t> file, int index, Resolution resolution, PageSize page,
                   const ReadOptions& options, BitmapData& data);

}  // namespace kelvarin
