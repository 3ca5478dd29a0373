// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/ImageFormat.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace kelvarin {

namespace {

bool startsWith(std::span<const std::uint8_t> file, std::string_view signature) {
    return file.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), file.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

bool holdsAt(std::span<const std::uint8_t> file, std::size_t offset, std::string_view signature) {
    return file.size() >= offset && startsWith(file.subspan(offset), signature);
}

}  // namespace

std::string_view unreadFormatName(std::span<const std::uint8_t> file) {
    using namespace std::string_view_literals;
    struct Signature {
        std::string_view name;
        std::size_t offset;
        std::string_view bytes;
    };
    static constexpr Signature kSignatures[] = {
        {"JPEG", 0, "\xFF\xD8\xFF"sv},
        {"GIF", 0, "GIF87a"sv},
        {"GIF", 0, "GIF89a"sv},
        {"WebP", 8, "WEBP"sv},  // after "RIFF" and a length
        {"PostScript", 0, "%!PS"sv},
        {"JPEG 2000", 0, "\0\0\0\x0CjP  \r\n\x87\n"sv},
        {"JPEG 2000", 0, "\xFF\x4F\xFF\x51"sv},
        {"JPEG XL", 0, "\xFF\x0A"sv},
        {"JPEG XL", 0, "\0\0\0\x0CJXL \r\n\x87\n"sv},
        {"HEIF", 4, "ftypheic"sv},
        {"AVIF", 4, "ftypavif"sv},
        {"Photoshop", 0, "8BPS"sv},
        {"DjVu", 0, "AT&TFORM"sv},
    };
    for (const Signature& signature : kSignatures) {
        if (holdsAt(file, signature.offset, signature.bytes) &&
            (signature.name != "WebP" || startsWith(file, "RIFF"sv))) {
            return signature.name;
        }
    }
    return {};
}

std::string unreadFormatMessage(std::string_view formatName) {
    return "この画像は " + std::string(formatName) +
           " 形式です。読めるのは BMP（1 ビット）、TIFF、PNG、PBM/PGM/PPM/PAM、PDF の画像です";
}

ImageFormat sniffImageFormat(std::span<const std::uint8_t> file) {
    using namespace std::string_view_literals;
    if (startsWith(file, "BM"sv)) {
        return ImageFormat::Bmp;
    }
    if (startsWith(file, "\x89PNG\r\n\x1a\n"sv)) {
        return ImageFormat::Png;
    }
    if (startsWith(file, "II*\0"sv) || startsWith(file, "MM\0*"sv) || startsWith(file, "II+\0"sv) ||
        startsWith(file, "MM\0+"sv)) {
        return ImageFormat::Tiff;
    }
    if (startsWith(file, "%PDF-"sv)) {
        return ImageFormat::Pdf;
    }
    for (std::string_view magic : {"P1"sv, "P2"sv, "P3"sv, "P4"sv, "P5"sv, "P6"sv, "P7"sv}) {
        if (startsWith(file, magic)) {
            return ImageFormat::Pnm;
        }
    }
    return ImageFormat::Bmp;
}

std::string_view pictureFormatName(std::span<const std::uint8_t> file) {
    using namespace std::string_view_literals;
    if (!startsWith(file, "BM"sv) && sniffImageFormat(file) == ImageFormat::Bmp) {
        return unreadFormatName(file);
    }
    switch (sniffImageFormat(file)) {
        case ImageFormat::Bmp: return "BMP";
        case ImageFormat::Png: return "PNG";
        case ImageFormat::Tiff: return "TIFF";
        case ImageFormat::Pnm: return "PNM";
        case ImageFormat::Pdf: return "PDF";
    }
    return {};
}

std::string pictureFormatOfFile(const std::string& path) {
    // Only a regular file is opened: opening a named pipe would wait for a writer.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return {};
    }
    std::array<char, 16> start{};  // the longest signature looked for ends at byte 12
    std::ifstream file(path, std::ios::binary);
    file.read(start.data(), start.size());
    const auto length = static_cast<std::size_t>(std::max<std::streamsize>(0, file.gcount()));
    return std::string(pictureFormatName({reinterpret_cast<const std::uint8_t*>(start.data()), length}));
}

}  // namespace kelvarin
