// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PdfImage.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"
#include "bitmap/TiffReader.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// The largest fax image checked before its page is drawn: the check holds its rows.
constexpr double kLargestCheckedFaxDots = double{1 << 30};

void putShort(std::string& bytes, std::uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8 & 0xFF);
}

void putLong(std::string& bytes, std::uint32_t value) {
    putShort(bytes, value & 0xFFFF);
    putShort(bytes, value >> 16);
}

// A little-endian TIFF holding Group 4 data as its one strip.
std::string group4Tiff(const std::string& data, std::uint32_t width, std::uint32_t height, bool minIsWhite,
                       Resolution resolution) {
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;  // 3 short, 4 long, 5 rational
        std::uint32_t value;
    };
    constexpr std::uint32_t kEntries = 12;
    constexpr std::uint32_t kRationals = 8 + 2 + kEntries * 12 + 4;
    constexpr std::uint32_t kStrip = kRationals + 16;
    const Entry entries[kEntries] = {
        {256, 4, width},
        {257, 4, height},
        {258, 3, 1},
        {259, 3, 4},
        {262, 3, minIsWhite ? 0u : 1u},
        {273, 4, kStrip},
        {277, 3, 1},
        {278, 4, height},
        {279, 4, static_cast<std::uint32_t>(data.size())},
        {282, 5, kRationals},
        {283, 5, kRationals + 8},
        {296, 3, 2},
    };
    std::string bytes = "II*";
    bytes += '\0';
    putLong(bytes, 8);
    putShort(bytes, kEntries);
    for (const Entry& entry : entries) {
        putShort(bytes, entry.tag);
        putShort(bytes, entry.type);
        putLong(bytes, 1);
        if (entry.type == 3) {
            putShort(bytes, entry.value);
            putShort(bytes, 0);
        } else {
            putLong(bytes, entry.value);
        }
    }
    putLong(bytes, 0);
    // Dots per inch in thousandths.
    for (const double dpi : {resolution.x, resolution.y}) {
        putLong(bytes, static_cast<std::uint32_t>(std::lround(std::min(dpi, 4.0e6) * 1000)));
        putLong(bytes, 1000);
    }
    return bytes + data;
}

// Group 4 fax data read here: not aligned to bytes per row, one row as wide as the image, 1-bit grey.
bool readsAsGroup4(const pdf::ImageFacts& image) {
    return image.faxK < 0 && !image.faxByteAlign && image.faxColumns == image.width && image.components == 1 &&
           image.palette.empty() && image.bitsPerComponent == 1;
}

// Group 4 fax data become a TIFF strip, decoded by the same reader as a TIFF file.
void decodeGroup4Data(const std::string& raw, const pdf::ImageFacts& image, BitmapData& data) {
    // The fax decoder gives black runs as 1 bits; /BlackIs1 and /Decode say what a viewer shows for them.
    const bool faxBlackShowsBlack = !image.faxBlackIs1 != *image.decodeInverts;
    const std::string tiff =
        group4Tiff(raw, static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height),
                   faxBlackShowsBlack, {image.resolutionX, image.resolutionY});
    try {
        decodeTiff({reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size()}, ReadOptions{}, data);
    } catch (const ImageRefusal& refusal) {
        throw ImageRefusal{"PDF の画像データが壊れています",
                           refusal.details.empty() ? refusal.message : refusal.details};
    }
}

// Data aligned to bytes per row, or not Group 4, are left to the drawing.
bool decodeGroup4(pdf::Document& document, const pdf::ImageFacts& image, BitmapData& data) {
    std::string raw;
    if (!readsAsGroup4(image) || !document.rawImageData(raw)) {
        return false;
    }
    decodeGroup4Data(raw, image, data);
    return true;
}

// Takes decoded image data as they come and hands each complete row's grey levels on; a 1-bit grey image's
// rows are packed as they are, whatever the threshold method.
class ImageRows {
public:
    ImageRows(PackedRows& rows, const ReadOptions& options, const pdf::ImageFacts& image)
        : m_rows(rows),
          m_grey(rows, bilevel(image) ? ReadOptions{} : options),
          m_image(image),
          m_report(options.report),
          m_bits(static_cast<int>(image.bitsPerComponent)),
          m_samples(image.palette.empty() ? image.components : 1),
          m_row(rowBytes(image)) {
        for (std::size_t i = 0; i + static_cast<std::size_t>(image.components) <= image.palette.size();
             i += static_cast<std::size_t>(image.components)) {
            const auto at = [&](std::size_t k) { return image.palette[i + k]; };
            m_paletteGrey.push_back(static_cast<std::uint8_t>(
                image.components == 3 ? greyLevel(at(0), at(1), at(2), 255, 255) : greyLevel(at(0), 255)));
        }
    }

    static bool bilevel(const pdf::ImageFacts& image) {
        return image.bitsPerComponent == 1 && image.palette.empty() && image.components == 1;
    }
    // The bytes of decoded data a row of the image takes, and the whole image.
    static std::size_t rowBytes(const pdf::ImageFacts& image) {
        const std::size_t samples = image.palette.empty() ? static_cast<std::size_t>(image.components) : 1;
        const std::size_t bits = static_cast<std::size_t>(image.width) * samples;
        return (bits * static_cast<std::size_t>(image.bitsPerComponent) + 7) / 8;
    }
    static std::size_t expectedBytes(const pdf::ImageFacts& image) {
        return rowBytes(image) * static_cast<std::size_t>(image.height);
    }

    void write(const std::uint8_t* data, std::size_t length) {
        while (length > 0 && m_done < m_rows.height()) {
            const std::size_t count = std::min(length, m_row.size() - m_filled);
            std::copy(data, data + count, m_row.begin() + static_cast<std::ptrdiff_t>(m_filled));
            m_filled += count;
            data += count;
            length -= count;
            if (m_filled == m_row.size()) {
                convertRow();
                m_filled = 0;
            }
        }
    }

    // True when every row came; then packs what is still kept.
    bool complete() {
        if (m_done < m_rows.height()) {
            return false;
        }
        m_grey.finish();
        return true;
    }

private:
    std::int64_t sample(std::int64_t i) const {
        switch (m_bits) {
            case 16: return m_row[static_cast<std::size_t>(2 * i)] << 8 | m_row[static_cast<std::size_t>(2 * i + 1)];
            case 8: return m_row[static_cast<std::size_t>(i)];
            default: {
                const std::int64_t bit = i * m_bits;
                return m_row[static_cast<std::size_t>(bit / 8)] >> (8 - m_bits - bit % 8) & ((1 << m_bits) - 1);
            }
        }
    }

    // Bit 0 is black in the image's samples and in the packed rows; bits past the width stay 0.
    void packBilevelRow() {
        std::uint8_t* target = m_rows.rowFromTop(m_done);
        const std::uint8_t flip = *m_image.decodeInverts ? 0xFF : 0x00;
        for (std::size_t i = 0; i < m_row.size(); ++i) {
            target[i] = m_row[i] ^ flip;
        }
        if (const int spare = static_cast<int>(m_row.size() * 8 - static_cast<std::size_t>(m_rows.width()))) {
            target[m_row.size() - 1] &= static_cast<std::uint8_t>(0xFF << spare);
        }
        if (m_report != nullptr) {
            m_report->advance(m_rows.width(), static_cast<double>(m_done + 1) / m_rows.height());
        }
        ++m_done;
    }

    void convertRow() {
        if (bilevel(m_image)) {
            packBilevelRow();
            return;
        }
        const std::int64_t maximum = (std::int64_t{1} << m_bits) - 1;
        std::uint8_t* values = m_grey.row(m_done);
        for (std::int64_t x = 0; x < m_rows.width(); ++x) {
            int level = 0;
            if (!m_paletteGrey.empty()) {
                // An index past the table is the last entry.
                const auto index = static_cast<std::size_t>(sample(x));
                level = m_paletteGrey[std::min(index, m_paletteGrey.size() - 1)];
            } else if (m_samples == 3) {
                level = greyLevel(sample(3 * x), sample(3 * x + 1), sample(3 * x + 2), maximum, maximum);
            } else {
                level = greyLevel(sample(x), maximum);
            }
            values[x] = static_cast<std::uint8_t>(*m_image.decodeInverts ? 255 - level : level);
        }
        m_grey.rowDone(m_done++);
    }

    PackedRows& m_rows;
    GreyRows m_grey;
    const pdf::ImageFacts& m_image;
    WorkReport* m_report;
    int m_bits;
    int m_samples;
    std::vector<std::uint8_t> m_row;
    std::vector<std::uint8_t> m_paletteGrey;
    std::size_t m_filled = 0;
    std::int32_t m_done = 0;
};

// The most one stored byte expands to through the filters read here: Flate and LZW give a little over
// 1000 at best (a run of one value), the others less. Data that would expand more are nested filters
// made to cost gigabytes from a few bytes.
constexpr double kLargestExpansion = 1100;
constexpr double kExpansionAllowance = 64 << 10;  // bytes, for small images with much padding

void checkExpansion(const pdf::ImageFacts& image, std::size_t decodedBytes) {
    if (static_cast<double>(decodedBytes) >
        kLargestExpansion * static_cast<double>(image.storedLength) + kExpansionAllowance) {
        throw ImageRefusal{"PDF の画像データが圧縮の限度を超えているため扱えません（" +
                           formatInteger(image.storedLength) + " バイトから " +
                           formatInteger(static_cast<std::int64_t>(decodedBytes)) + " バイト）"};
    }
}

bool decodeSamples(pdf::Document& document, const pdf::ImageFacts& image, const ReadOptions& options,
                   BitmapData& data) {
    static const std::vector<std::string> kDecodable = {"/FlateDecode",     "/Fl",  "/LZWDecode",     "/LZW",
                                                        "/ASCIIHexDecode",  "/AHx", "/ASCII85Decode", "/A85",
                                                        "/RunLengthDecode", "/RL",  "/DCTDecode",     "/DCT"};
    const std::int64_t bits = image.bitsPerComponent;
    const bool decodable = std::all_of(image.filters.begin(), image.filters.end(), [](const std::string& name) {
        return std::find(kDecodable.begin(), kDecodable.end(), name) != kDecodable.end();
    });
    if (image.components == 0 || (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) || !decodable ||
        (!image.palette.empty() && bits == 16)) {
        return false;
    }
    checkExpansion(image, ImageRows::expectedBytes(image));
    PackedRows rows(image.width, image.height);
    ImageRows pipeline(rows, options, image);
    const bool decoded =
        document.decodedImageData([&](const std::uint8_t* bytes, std::size_t length) { pipeline.write(bytes, length); },
                                  ImageRows::expectedBytes(image));
    if (!decoded || !pipeline.complete()) {
        throw ImageRefusal{"PDF の画像データが壊れているか足りません"};
    }
    std::move(rows).install(data, {image.resolutionX, image.resolutionY});
    return true;
}

}  // namespace

bool decodePdfImage(pdf::Document& document, const pdf::ImageFacts& image, const ReadOptions& options,
                    BitmapData& data) {
    PackedRows::checkSize(image.width, image.height);
    if (!image.decodeInverts || image.masked) {
        return false;
    }
    if (image.filters.size() == 1 && (image.filters[0] == "/CCITTFaxDecode" || image.filters[0] == "/CCF")) {
        return decodeGroup4(document, image, data);
    }
    return decodeSamples(document, image, options, data);
}

void checkDrawnFaxData(pdf::Document& document) {
    for (const auto& [image, raw] : document.paintedFaxImages()) {
        if (readsAsGroup4(image) && image.decodeInverts &&
            static_cast<double>(image.width) * static_cast<double>(image.height) <= kLargestCheckedFaxDots) {
            BitmapData scratch;
            decodeGroup4Data(raw, image, scratch);
        }
    }
}

}  // namespace kelvarin
