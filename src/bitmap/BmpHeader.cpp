// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/BmpHeader.h"

#include <algorithm>
#include <limits>

#include "common/Error.h"
#include "common/Toolkit.h"

namespace kelvarin {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::int32_t kOs2HeaderSize = 12;

// Copies FileBytes [first, last) into the header, with zeros where the file has no bytes.
void copyIntoHeader(const BitmapData& data, BmpHeaderBytes& header, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
        header[i] = i < data.FileBytes.size() ? data.FileBytes[i] : 0;
    }
}

}  // namespace

Resolution bmpResolution(const BmpHeaderBytes& header) {
    constexpr double kMetresPerInch = 0.0254;
    return {BytesToLong(&header[bmp::XPelsPerMeterOffset], 4) * kMetresPerInch,
            BytesToLong(&header[bmp::YPelsPerMeterOffset], 4) * kMetresPerInch};
}

bool whiteAtIndexZero(std::span<const std::uint8_t> file) {
    // The colour table follows the information header, whose size is its first field.
    if (file.size() < kFileHeaderSize + 4) {
        return false;
    }
    const std::int64_t table = kFileHeaderSize + BytesToLong(&file[kFileHeaderSize], 4);
    if (table < static_cast<std::int64_t>(kFileHeaderSize) || table + 8 > static_cast<std::int64_t>(file.size())) {
        return false;
    }
    const auto brightness = [&](std::int64_t entry) {
        const std::uint8_t* bgr = &file[static_cast<std::size_t>(entry)];
        return bgr[0] + bgr[1] + bgr[2];
    };
    return brightness(table) > brightness(table + 4);
}

std::int32_t BytesToLong(const std::uint8_t* bytes, std::int16_t count) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value += bytes[i];
        if (i != 0) {
            value *= 256;
        }
        if (value > kMax) {
            return -1;
        }
    }
    return static_cast<std::int32_t>(value);
}

bool CheckBmpSignature(const BmpHeaderBytes& header) { return header[0] == 0x42 && header[1] == 0x4D; }

std::int32_t bitmapWidth(const BmpHeaderBytes& header) { return BytesToLong(&header[bmp::WidthOffset], 4); }

std::int32_t bitmapHeight(const BmpHeaderBytes& header) { return BytesToLong(&header[bmp::HeightOffset], 4); }

void checkBitmapSize(std::int32_t width, std::int32_t height) {
    if (height < 0) {
        throw KelvarinError(ErrorCode::InvalidFileFormat,
                            "上から下へ行を格納したビットマップ（高さが負）は扱えません。");
    }
    if (width < 0) {
        throw KelvarinError(ErrorCode::InvalidFileFormat, "幅が大きすぎるビットマップは扱えません。");
    }
    if (width == 0 || height == 0) {
        throw KelvarinError(ErrorCode::DivisionByZero, "幅または高さが 0 のビットマップは扱えません。");
    }
}

std::int64_t rowStride(std::int32_t width) {
    const std::int64_t bytes = (static_cast<std::int64_t>(width) + 7) / 8;
    return (bytes + 3) / 4 * 4;
}

bool DecodeBitmap(BitmapData& data, Toolkit& toolkit) {
    copyIntoHeader(data, data.BmpHeader, 0, kFileHeaderSize);
    if (data.FileBytes.size() < kFileHeaderSize) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange, "ファイルが短すぎて情報ヘッダがありません。");
    }
    copyIntoHeader(data, data.BmpHeader, kFileHeaderSize, data.BmpHeader.size());

    const BmpHeaderBytes& header = data.BmpHeader;
    if (!CheckBmpSignature(header)) {
        toolkit.showMessage("これは BMPファイルではありません");
        return false;
    }
    // An OS/2 bitmap's 12-byte header holds its fields elsewhere: the checks below would misread it.
    if (BytesToLong(&header[kFileHeaderSize], 4) == kOs2HeaderSize) {
        toolkit.showMessage("OS/2 形式の BMP は扱えません（Windows 形式の 1 ビット BMP にしてください）");
        return false;
    }
    // Both fields are compared whole: a high byte set is another value, not 1 bit or no compression.
    if (BytesToLong(&header[bmp::BitCountOffset], 2) != 1) {
        toolkit.showMessage("白黒２値ファイルしか扱えません");
        return false;
    }
    if (BytesToLong(&header[bmp::CompressionOffset], 4) != 0) {
        toolkit.showMessage("圧縮ファイルは扱えません");
        return false;
    }
    const std::int32_t fileSize = BytesToLong(&header[bmp::FileSizeOffset], 4);
    if (fileSize < 0) {
        toolkit.showMessage("サイズが大きすぎて扱えません");
        return false;
    }
    const std::int32_t dataOffset = BytesToLong(&header[bmp::DataOffsetOffset], 4);
    if (dataOffset < 0) {
        toolkit.showMessage("データオフセットが異常で扱えません");
        return false;
    }
    if (static_cast<std::size_t>(dataOffset) > data.FileBytes.size()) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange, "データオフセットがファイルの外を指しています。");
    }
    // The header's file size only bounds the pixel bytes: they stay where they were read, in FileBytes.
    const std::size_t available = data.FileBytes.size() - static_cast<std::size_t>(dataOffset);
    const std::size_t count = std::min(available, static_cast<std::size_t>(fileSize));
    data.PixelBytes = {data.FileBytes.data() + dataOffset, count};
    data.DecodedPixels = LargeBuffer();
    data.resolution = bmpResolution(header);
    data.FileLoaded = true;
    return true;
}

}  // namespace kelvarin
