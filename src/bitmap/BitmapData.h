// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/LargeBuffer.h"
#include "common/WorkReport.h"

namespace kelvarin {

// The first 62 bytes of a BMP file, raw: file header, information header and two colour table entries.
// Fields are decoded on demand with BytesToLong. Pictures of other formats get a header of this layout
// made from what their reader found, so everything after the read sees one kind of picture.
using BmpHeaderBytes = std::array<std::uint8_t, 62>;

// Dots per inch along each axis; 0 when the file does not say.
struct Resolution {
    double x = 0;
    double y = 0;

    bool known() const { return x > 0 && y > 0; }
};

// How grey and colour pixels become black or white: below the one threshold, below a threshold taken from
// the picture's histogram, or below one taken from each pixel's neighbourhood.
enum class ThresholdMethod { Fixed, Histogram, Adaptive };

// How pictures that are not 1-bit are read: grey and colour pixels darker than the threshold (0-255)
// are black; a multi-page file gives the page numbered page (from 1); a PDF page that is not one scanned
// image is drawn at renderDpi. The long steps of a read (drawing a page, thresholding) tell report, when
// given, of their work, so that a stop request ends them.
struct ReadOptions {
    int threshold = 128;
    std::int32_t page = 1;
    ThresholdMethod method = ThresholdMethod::Fixed;
    double renderDpi = 300;
    WorkReport* report = nullptr;
};

// What the read command keeps of the file read last.
struct BitmapData {
    LargeBuffer FileBytes;        // the whole file, in file order
    std::int32_t FileLength = 0;  // 0 while nothing has been read
    BmpHeaderBytes BmpHeader{};
    // The packed pixel rows as a 1-bit BMP stores them: bottom row first, each row padded to a multiple of
    // 4 bytes, most significant bit leftmost, bit value 1 white. A BMP's own bytes inside FileBytes, or the
    // rows another format's reader decoded into DecodedPixels.
    std::span<const std::uint8_t> PixelBytes;
    LargeBuffer DecodedPixels;
    Resolution resolution;
    std::int32_t PageCount = 1;   // of the file read last
    std::string ReadNote;         // damage the reader decoded through, told to the user after the read
    std::string ReadNoteDetails;  // the decoding library's words for it
    bool FileLoaded = false;      // a read command accepted the picture
};

}  // namespace kelvarin
