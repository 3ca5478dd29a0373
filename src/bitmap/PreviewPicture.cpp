// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PreviewPicture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "bitmap/BmpHeader.h"
#include "bitmap/PackedRows.h"
#include "bitmap/PictureDecoding.h"
#include "common/Error.h"

namespace kelvarin {

namespace {

// Pictures beyond this many dots are not previewed (about 2 GiB of pixel bits).
constexpr std::int64_t kLargestPreviewBytes = std::int64_t{1} << 31;

std::int32_t signedField(std::span<const std::uint8_t> file, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | file[offset + static_cast<std::size_t>(i)];
    }
    std::int32_t result;
    std::memcpy(&result, &value, sizeof result);
    return result;
}

[[noreturn]] void invalidPicture() { throw KelvarinError(ErrorCode::InvalidPicture); }

}  // namespace

PreviewPicture decodePreviewPicture(std::span<const std::uint8_t> file) {
    constexpr std::size_t kHeadersSize = 54;
    if (file.size() < kHeadersSize || file[0] != 'B' || file[1] != 'M' || file[bmp::BitCountOffset] != 1 ||
        file[bmp::BitCountOffset + 1] != 0 || signedField(file, bmp::CompressionOffset) != 0) {
        invalidPicture();
    }
    const std::int32_t width = signedField(file, bmp::WidthOffset);
    const std::int32_t storedHeight = signedField(file, bmp::HeightOffset);
    const std::int64_t dataOffset = static_cast<std::uint32_t>(signedField(file, bmp::DataOffsetOffset));
    if (width <= 0 || storedHeight == 0 || storedHeight == std::numeric_limits<std::int32_t>::min()) {
        invalidPicture();
    }
    const bool topDown = storedHeight < 0;
    const std::int32_t height = topDown ? -storedHeight : storedHeight;
    const std::int64_t stride = rowStride(width);
    const std::int64_t pixelBytes = stride * height;
    if (pixelBytes > kLargestPreviewBytes || dataOffset + pixelBytes > static_cast<std::int64_t>(file.size())) {
        invalidPicture();
    }

    PreviewPicture picture;
    picture.width = width;
    picture.height = height;
    picture.stride = stride;
    picture.rows.resize(static_cast<std::size_t>(pixelBytes));
    for (std::int32_t row = 0; row < height; ++row) {
        const std::int32_t stored = topDown ? row : height - 1 - row;
        std::memcpy(picture.rows.data() + row * stride, file.data() + dataOffset + stored * stride,
                    static_cast<std::size_t>(stride));
    }
    return picture;
}

PreviewPicture previewOf(const BmpHeaderBytes& header, std::span<const std::uint8_t> pixelBytes) {
    const std::int32_t width = bitmapWidth(header);
    const std::int32_t height = bitmapHeight(header);
    if (width <= 0 || height <= 0 || rowStride(width) * height > static_cast<std::int64_t>(pixelBytes.size())) {
        invalidPicture();
    }
    PreviewPicture picture;
    picture.width = width;
    picture.height = height;
    picture.stride = rowStride(width);
    picture.rows.resize(static_cast<std::size_t>(picture.stride * height));
    for (std::int32_t row = 0; row < height; ++row) {
        std::memcpy(picture.rows.data() + row * picture.stride, pixelBytes.data() + (height - 1 - row) * picture.stride,
                    static_cast<std::size_t>(picture.stride));
    }
    return picture;
}

PreviewPicture loadPreviewPicture(const std::string& path, const ReadOptions& options) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        invalidPicture();
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        invalidPicture();
    }
    const ImageFormat format = sniffImageFormat(bytes);
    if (format == ImageFormat::Bmp) {
        return decodePreviewPicture(bytes);
    }
    try {
        BitmapData decoded;
        decodeOtherFormat(format, bytes, options, decoded);
        return previewOf(decoded.BmpHeader, decoded.PixelBytes);
    } catch (const ImageRefusal&) {
        invalidPicture();
    }
}

}  // namespace kelvarin
