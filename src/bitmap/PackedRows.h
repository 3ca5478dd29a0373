// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "bitmap/BitmapData.h"
#include "common/LargeBuffer.h"

namespace kelvarin {

// A file a reader will not take; the message says why in the program's words and is shown to the user as it
// is, the details give the decoding library's own reason, if any.
struct ImageRefusal {
    explicit ImageRefusal(std::string text, std::string libraryReason = {})
        : message(std::move(text)), details(std::move(libraryReason)) {}

    std::string message;
    std::string details;
};

// The refusal of a page past the end of a file of count pages.
ImageRefusal pageMissing(std::int64_t page, std::int64_t count);

// The picture a reader of a format other than BMP decodes into: 1-bit rows laid out as a BMP stores them
// (bottom row first, rows padded to 4 bytes, bit value 1 white), so that nothing after the read needs to
// know where the picture came from.
class PackedRows {
public:
    // Refuses, before allocating anything, a size of 0 and a size whose rows would not fit what a BMP file
    // can hold (2 GiB).
    PackedRows(std::int64_t width, std::int64_t height);
    // The same refusal, for readers that check the file holds enough data before allocating.
    static void checkSize(std::int64_t width, std::int64_t height);

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    // The row counted from the top of the picture, as image files other than BMP store them.
    std::uint8_t* rowFromTop(std::int32_t row) {
        return m_pixels.data() + static_cast<std::size_t>(m_height - 1 - row) * static_cast<std::size_t>(m_stride);
    }

    // Hands the rows to the read data, with a BMP header describing them.
    void install(BitmapData& data, Resolution resolution) &&;

private:
    std::int32_t m_width;
    std::int32_t m_height;
    std::int64_t m_stride;
    LargeBuffer m_pixels;
};

// The most the row buffers of one read may take besides the packed picture: the scan lines, tiles and
// sample rows of a reader and the row state of the library decoding for it. Far above what a page a
// scanner makes needs, and they take memory only as rows are decoded into them.
constexpr std::int64_t kLargestRowBuffers = std::int64_t{64} << 20;

// Refuses, before they are allocated, row buffers of more than kLargestRowBuffers for a picture of this size.
void checkRowBuffers(std::int64_t bytes, std::int64_t width, std::int64_t height);

// Sets bit x of a packed row to white or black.
inline void setPixel(std::uint8_t* row, std::int64_t x, bool white) {
    const auto mask = static_cast<std::uint8_t>(0x80u >> (x % 8));
    row[x / 8] = static_cast<std::uint8_t>(white ? row[x / 8] | mask : row[x / 8] & ~mask);
}

}  // namespace kelvarin
