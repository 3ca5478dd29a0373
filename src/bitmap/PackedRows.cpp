// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PackedRows.h"

#include <limits>

#include "bitmap/BmpHeader.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

constexpr std::int64_t kBmpHeaderSize = 62;

void putLong(BmpHeaderBytes& header, std::size_t offset, std::int64_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        header[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
}

// The header of a 1-bit uncompressed BMP holding these rows, black at colour index 0.
BmpHeaderBytes headerFor(std::int32_t width, std::int32_t height, std::int64_t pixelBytes, Resolution resolution) {
    constexpr double kInchesPerMetre = 1 / 0.0254;
    BmpHeaderBytes header{};
    header[0] = 'B';
    header[1] = 'M';
    putLong(header, bmp::FileSizeOffset, kBmpHeaderSize + pixelBytes);
    putLong(header, bmp::DataOffsetOffset, kBmpHeaderSize);
    putLong(header, 14, 40);
    putLong(header, bmp::WidthOffset, width);
    putLong(header, bmp::HeightOffset, height);
    header[26] = 1;  // planes
    header[bmp::BitCountOffset] = 1;
    putLong(header, 34, pixelBytes);
    putLong(header, bmp::XPelsPerMeterOffset, static_cast<std::int64_t>(resolution.x * kInchesPerMetre + 0.5));
    putLong(header, bmp::YPelsPerMeterOffset, static_cast<std::int64_t>(resolution.y * kInchesPerMetre + 0.5));
    for (std::size_t i = 0; i < 3; ++i) {
        header[bmp::ColourTableOffset + 4 + i] = 0xFF;
    }
    return header;
}

[[noreturn]] void refuseAsTooLarge(std::int64_t width, std::int64_t height) {
    throw ImageRefusal{"画像が大きすぎて扱えません（" + formatInteger(width) + " × " + formatInteger(height) +
                       " ドット）"};
}

}  // namespace

PackedRows::PackedRows(std::int64_t width, std::int64_t height) {
    checkSize(width, height);
    m_width = static_cast<std::int32_t>(width);
    m_height = static_cast<std::int32_t>(height);
    m_stride = rowStride(m_width);
    m_pixels = LargeBuffer(static_cast<std::size_t>(m_stride * height));
}

void PackedRows::checkSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw ImageRefusal{"幅または高さが 0 の画像は扱えません"};
    }
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    const std::int64_t stride = width <= kLargest ? rowStride(static_cast<std::int32_t>(width)) : kLargest;
    if (width > kLargest || height > kLargest || stride > (kLargest - kBmpHeaderSize) / height) {
        refuseAsTooLarge(width, height);
    }
}

void checkRowBuffers(std::int64_t bytes, std::int64_t width, std::int64_t height) {
    if (bytes > kLargestRowBuffers) {
        refuseAsTooLarge(width, height);
    }
}

ImageRefusal pageMissing(std::int64_t page, std::int64_t count) {
    return ImageRefusal{"ページ " + formatInteger(page) + " はありません（このファイルは " + formatInteger(count) +
                        " ページです）"};
}

void PackedRows::install(BitmapData& data, Resolution resolution) && {
    data.BmpHeader = headerFor(m_width, m_height, m_stride * m_height, resolution);
    data.DecodedPixels = std::move(m_pixels);
    data.PixelBytes = {data.DecodedPixels.data(), data.DecodedPixels.size()};
    data.resolution = resolution;
    data.FileLoaded = true;
}

}  // namespace kelvarin
