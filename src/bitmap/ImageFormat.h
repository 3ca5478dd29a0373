#pragma once

#include <cstdint>
#include <span>

namespace kelvarin {

enum class ImageFormat { Bmp, Png, Tiff, Pnm, Pdf };

// The format a file's first bytes announce. Whatever is not PNG, TIFF, PNM or PDF is read as a BMP, whose
// checks then say what is wrong with it.
ImageFormat sniffImageFormat(std::span<const std::uint8_t> file);

}  // namespace kelvarin
