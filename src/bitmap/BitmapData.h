#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kelvarin {

// The first 62 bytes of the bitmap file read last, raw: file header, information header and two colour
// table entries. Fields are decoded on demand with BytesToLong.
using BmpHeaderBytes = std::array<std::uint8_t, 62>;

// What the read command keeps of the file read last.
struct BitmapData {
    std::vector<std::uint8_t> FileBytes;  // the whole file, in file order
    std::int32_t FileLength = 0;          // 0 while nothing has been read
    BmpHeaderBytes BmpHeader{};
    std::vector<std::uint8_t> PixelBytes;  // the file's bytes from the pixel-data offset on
    bool FileLoaded = false;               // a read command accepted the bitmap
};

}  // namespace kelvarin
