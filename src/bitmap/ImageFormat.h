// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvarin {

enum class ImageFormat { Bmp, Png, Tiff, Pnm, Pdf };

// The format a file's first bytes announce. Whatever is not PNG, TIFF, PNM or PDF is read as a BMP, whose
// checks then say what is wrong with it.
ImageFormat sniffImageFormat(std::span<const std::uint8_t> file);

// The name of a picture format that the file's first bytes announce and the program does not read (JPEG,
// GIF, WebP, JPEG 2000, ...), or empty.
std::string_view unreadFormatName(std::span<const std::uint8_t> file);

// The refusal of such a file, naming its format and those the program reads.
std::string unreadFormatMessage(std::string_view formatName);

// The name of the picture or PDF format the first bytes announce, read by the program or not ("BMP",
// "PNG", "TIFF", "PNM", "PDF", "JPEG", ...), or empty for anything else. Unlike sniffImageFormat it takes
// nothing for a BMP without its signature.
std::string_view pictureFormatName(std::span<const std::uint8_t> file);

// The same for the regular file at path, from its first bytes; empty for anything else or a file that
// cannot be read.
std::string pictureFormatOfFile(const std::string& path);

}  // namespace kelvarin
