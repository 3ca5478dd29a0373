// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one unit that talks to qpdf. It is compiled as C++17: qpdf's headers do not compile as C++20 with
// clang (the fuzzing build), so this header uses nothing newer either.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvarin::pdf {

// A file qpdf will not open: encrypted, or damaged.
struct Unreadable {
    bool encrypted = false;
    std::string reason;  // qpdf's words
};

// What an image XObject's dictionary says, in plain values.
struct ImageFacts {
    std::int64_t width = 0;
    std::int64_t height = 0;
    double resolutionX = 0;  // dots per inch, from the image's size on the page as a viewer shows it
    double resolutionY = 0;
    // Placed upright over the whole page, with nothing on the page that hides, clips, masks, fades, colours,
    // crops or turns any of it: a viewer shows the image as stored.
    bool shownAsStored = false;
    bool mask = false;  // /ImageMask: 1-bit, 0 paints
    std::int64_t bitsPerComponent = 0;
    int components = 0;                 // 1 grey, 3 RGB, 0 any other colour space
    std::vector<std::uint8_t> palette;  // /Indexed: the base colours, components bytes each
    std::optional<bool> decodeInverts;  // /Decode [1 0]; nothing for another /Decode
    bool masked = false;                // /SMask or /Mask
    std::vector<std::string> filters;
    std::int64_t storedLength = 0;  // bytes of the stream as stored
    // The first /DecodeParms of CCITT fax data.
    std::int64_t faxK = 0;
    std::int64_t faxColumns = 1728;
    bool faxBlackIs1 = false;
    bool faxByteAlign = false;
};

// An open PDF file: its pages, and the one image that makes up a page.
class Document {
public:
    // Throws Unreadable.
    Document(const std::uint8_t* bytes, std::size_t size);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    std::int64_t pageCount();
    // The crop box of page index (from 0), in points: width and height.
    std::pair<double, double> pageSize(std::int64_t index);
    // The facts of the image that alone is painted on page index (from 0), placed upright; nothing for a page
    // that paints anything else, whose content is too large to look through, or whose image is turned.
    std::optional<ImageFacts> soleImage(std::int64_t index);
    // The images holding CCITT fax data that the page soleImage looked through last paints by its own
    // content (not through forms), placed anywhere: their facts (resolutions as if
    // each filled an inch) and data as stored.
    std::vector<std::pair<ImageFacts, std::string>> paintedFaxImages();
    // That image's data as stored (false when qpdf cannot give them).
    bool rawImageData(std::string& data);
    // That image's first limit bytes decoded through its filters, handed on as they come (what follows is
    // not decoded); false when a filter failed. An exception from sink ends the decoding and passes on.
    bool decodedImageData(const std::function<void(const std::uint8_t*, std::size_t)>& sink, std::size_t limit);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace kelvarin::pdf
