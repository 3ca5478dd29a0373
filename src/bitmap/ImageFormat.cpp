#include "bitmap/ImageFormat.h"

#include <algorithm>
#include <string_view>

namespace kelvarin {

namespace {

bool startsWith(std::span<const std::uint8_t> file, std::string_view signature) {
    return file.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), file.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

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

}  // namespace kelvarin
