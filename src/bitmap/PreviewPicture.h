// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bitmap/BitmapData.h"

namespace kelvarin {

// A 1-bit picture decoded by the program itself for the preview, rows from the top of the picture down.
// Bit value 0 is black and 1 is white, as the conversion reads them; the colour table is not consulted.
struct PreviewPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t stride = 0;  // bytes per row
    std::vector<std::uint8_t> rows;

    bool isWhite(std::int32_t x, std::int32_t row) const {
        const std::uint8_t byte = rows[static_cast<std::size_t>(row * stride + x / 8)];
        return (byte >> (7 - x % 8) & 1) != 0;
    }
};

// Decodes an uncompressed 1-bit BMP whose pixel rows are all present (bottom-up or top-down). Anything
// else throws the program's invalid-picture error.
PreviewPicture decodePreviewPicture(std::span<const std::uint8_t> file);

// The picture of a read: the packed rows a header describes, bottom row first as a BMP stores them. Rows
// missing from pixelBytes make it an invalid picture.
PreviewPicture previewOf(const BmpHeaderBytes& header, std::span<const std::uint8_t> pixelBytes);

// Reads a picture file of any format the program reads and decodes it; a file that cannot be read or
// decoded is an invalid picture as well.
PreviewPicture loadPreviewPicture(const std::string& path, const ReadOptions& options);

}  // namespace kelvarin
