// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/BitmapData.h"

namespace kelvarin {

class Toolkit;

// Byte offsets of the header fields the program decodes.
namespace bmp {
constexpr std::size_t FileSizeOffset = 2;
constexpr std::size_t DataOffsetOffset = 10;
constexpr std::size_t WidthOffset = 18;
constexpr std::size_t HeightOffset = 22;
constexpr std::size_t BitCountOffset = 28;
constexpr std::size_t CompressionOffset = 30;
constexpr std::size_t XPelsPerMeterOffset = 38;
constexpr std::size_t YPelsPerMeterOffset = 42;
constexpr std::size_t ColourTableOffset = 54;
}  // namespace bmp

// The little-endian value of the first count bytes, or -1 when it does not fit a signed 32-bit integer.
std::int32_t BytesToLong(const std::uint8_t* bytes, std::int16_t count);

// The resolution the header stores in pixels per metre (0 where it stores none or a negative value).
Resolution bmpResolution(const BmpHeaderBytes& header);

// True when the colour table of a BMP file shows index 0 brighter than index 1: a viewer then shows the picture with
// black and white the other way round than the conversion, which takes bit value 0 as black.
bool whiteAtIndexZero(std::span<const std::uint8_t> file);

// True when the header starts with the letters "BM".
bool CheckBmpSignature(const BmpHeaderBytes& header);

// Width and height in dots (-1 for a value that does not fit, so also for a top-down bitmap's height).
std::int32_t bitmapWidth(const BmpHeaderBytes& header);
std::int32_t bitmapHeight(const BmpHeaderBytes& header);

// Refuses sizes the program cannot show or convert: a width or height of 0 (DivisionByZero) and a value
// that does not fit, as the height of a top-down bitmap (InvalidFileFormat).
void checkBitmapSize(std::int32_t width, std::int32_t height);

// Bytes one stored row of pixels occupies: the bits of a row rounded up to whole bytes, then to a
// multiple of 4.
std::int64_t rowStride(std::int32_t width);

// Checks the file image in FileBytes and keeps its header; PixelBytes then points at its pixel bytes. A refused file is
// named in a message box and gives false; a file too short to hold the header or its pixel offset throws the program's
// error for the read command to report. True sets FileLoaded.
bool DecodeBitmap(BitmapData& data, Toolkit& toolkit);

}  // namespace kelvarin
