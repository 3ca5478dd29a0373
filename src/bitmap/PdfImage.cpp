#include "bitmap/PdfImage.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_String.hh>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"
#include "bitmap/TiffReader.h"

namespace kelvarin {

namespace {

// The filters in an image's /Filter entry, in order.
std::vector<std::string> filtersOf(QPDFObjectHandle dictionary) {
    QPDFObjectHandle filter = dictionary.getKey("/Filter");
    std::vector<std::string> names;
    if (filter.isName()) {
        names.push_back(filter.getName());
    } else if (filter.isArray()) {
        for (QPDFObjectHandle item : filter.aitems()) {
            names.push_back(item.isName() ? item.getName() : "");
        }
    }
    return names;
}

QPDFObjectHandle firstDecodeParms(QPDFObjectHandle dictionary) {
    QPDFObjectHandle parms = dictionary.getKey("/DecodeParms");
    if (parms.isArray() && parms.getArrayNItems() > 0) {
        parms = parms.getArrayItem(0);
    }
    return parms.isDictionary() ? parms : QPDFObjectHandle::newDictionary();
}

std::int64_t integerOr(QPDFObjectHandle dictionary, const char* key, std::int64_t fallback) {
    QPDFObjectHandle value = dictionary.getKey(key);
    return value.isInteger() ? value.getIntValue() : fallback;
}

bool booleanOr(QPDFObjectHandle dictionary, const char* key, bool fallback) {
    QPDFObjectHandle value = dictionary.getKey(key);
    return value.isBool() ? value.getBoolValue() : fallback;
}

// Whether the image's /Decode array swaps dark and light ([1 0]); nothing for one that does anything else.
std::optional<bool> decodeInverts(QPDFObjectHandle dictionary) {
    QPDFObjectHandle decode = dictionary.getKey("/Decode");
    if (decode.isNull()) {
        return false;
    }
    if (!decode.isArray() || decode.getArrayNItems() != 2 || !decode.getArrayItem(0).isNumber() ||
        !decode.getArrayItem(1).isNumber()) {
        return std::nullopt;
    }
    const double low = decode.getArrayItem(0).getNumericValue();
    const double high = decode.getArrayItem(1).getNumericValue();
    return low == 0 && high == 1 ? std::optional(false) : low == 1 && high == 0 ? std::optional(true) : std::nullopt;
}

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

// Group 4 fax data become a TIFF strip, decoded by the same reader as a TIFF file. Data aligned to bytes
// per row, or not Group 4, are left to the drawing.
bool decodeGroup4(QPDFObjectHandle image, std::int64_t width, std::int64_t height, bool imageInverts,
                  Resolution resolution, const ReadOptions& options, BitmapData& data) {
    QPDFObjectHandle dictionary = image.getDict();
    QPDFObjectHandle parms = firstDecodeParms(dictionary);
    if (integerOr(parms, "/K", 0) >= 0 || booleanOr(parms, "/EncodedByteAlign", false) ||
        integerOr(parms, "/Columns", 1728) != width) {
        return false;
    }
    std::string raw;
    Pl_String sink("raw", nullptr, raw);
    if (!image.pipeStreamData(&sink, nullptr, 0, qpdf_dl_none, true)) {
        return false;
    }
    // The fax decoder gives black runs as 1 bits; /BlackIs1 and /Decode say what a viewer shows for them.
    const bool faxBlackIsSample1 = booleanOr(parms, "/BlackIs1", false);
    const bool faxBlackShowsBlack = !faxBlackIsSample1 != imageInverts;
    const std::string tiff = group4Tiff(raw, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                        faxBlackShowsBlack, resolution);
    decodeTiff({reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size()}, ReadOptions{options.threshold}, data);
    return true;
}

// The colours of an image: grey or RGB components, or an index into a palette of grey levels.
struct ImageColours {
    int components = 1;
    std::vector<std::uint8_t> palette;  // grey levels, for an indexed image
};

std::optional<int> componentsOf(QPDFObjectHandle space) {
    if (space.isArray() && space.getArrayNItems() > 0) {
        QPDFObjectHandle family = space.getArrayItem(0);
        if (family.isNameAndEquals("/ICCBased") && space.getArrayNItems() > 1 && space.getArrayItem(1).isStream()) {
            const std::int64_t n = integerOr(space.getArrayItem(1).getDict(), "/N", 0);
            return n == 1 || n == 3 ? std::optional(static_cast<int>(n)) : std::nullopt;
        }
        return family.isNameAndEquals("/CalGray")  ? std::optional(1)
               : family.isNameAndEquals("/CalRGB") ? std::optional(3)
                                                   : std::nullopt;
    }
    return space.isNameAndEquals("/DeviceGray")  ? std::optional(1)
           : space.isNameAndEquals("/DeviceRGB") ? std::optional(3)
                                                 : std::nullopt;
}

std::optional<ImageColours> coloursOf(QPDFObjectHandle space) {
    if (const auto components = componentsOf(space)) {
        return ImageColours{*components, {}};
    }
    if (!space.isArray() || space.getArrayNItems() != 4 || !space.getArrayItem(0).isNameAndEquals("/Indexed")) {
        return std::nullopt;
    }
    const auto base = componentsOf(space.getArrayItem(1));
    QPDFObjectHandle highest = space.getArrayItem(2);
    QPDFObjectHandle lookup = space.getArrayItem(3);
    std::string table;
    if (lookup.isString()) {
        table = lookup.getStringValue();
    } else if (lookup.isStream()) {
        Pl_String sink("palette", nullptr, table);
        if (!lookup.pipeStreamData(&sink, nullptr, 0, qpdf_dl_generalized, true)) {
            return std::nullopt;
        }
    }
    if (!base || !highest.isInteger() || highest.getIntValue() < 0 || highest.getIntValue() > 255) {
        return std::nullopt;
    }
    ImageColours colours{1, std::vector<std::uint8_t>(256, 0)};
    const auto entries = static_cast<std::size_t>(highest.getIntValue()) + 1;
    const auto size = static_cast<std::size_t>(*base);
    for (std::size_t i = 0; i < entries && (i + 1) * size <= table.size(); ++i) {
        const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(table[i * size + k]); };
        colours.palette[i] =
            static_cast<std::uint8_t>(size == 3 ? greyLevel(at(0), at(1), at(2), 255, 255) : greyLevel(at(0), 255));
    }
    return colours;
}

// Takes decoded image data as they come and hands each complete row's grey levels on.
class ImageRows : public Pipeline {
public:
    ImageRows(PackedRows& rows, const ReadOptions& options, const ImageColours& colours, int bits, bool inverts)
        : Pipeline("image rows", nullptr),
          m_rows(rows),
          m_grey(rows, options),
          m_colours(colours),
          m_bits(bits),
          m_inverts(inverts),
          m_row((static_cast<std::size_t>(rows.width()) * static_cast<std::size_t>(colours.components) *
                     static_cast<std::size_t>(bits) +
                 7) /
                8) {}

    void write(unsigned char const* data, size_t length) override {
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
    void finish() override {}

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

    void convertRow() {
        const std::int64_t maximum = (std::int64_t{1} << m_bits) - 1;
        std::uint8_t* values = m_grey.row(m_done);
        for (std::int64_t x = 0; x < m_rows.width(); ++x) {
            int level = 0;
            if (!m_colours.palette.empty()) {
                level = m_colours.palette[static_cast<std::size_t>(std::min<std::int64_t>(sample(x), 255))];
            } else if (m_colours.components == 3) {
                level = greyLevel(sample(3 * x), sample(3 * x + 1), sample(3 * x + 2), maximum, maximum);
            } else {
                level = greyLevel(sample(x), maximum);
            }
            values[x] = static_cast<std::uint8_t>(m_inverts ? 255 - level : level);
        }
        m_grey.rowDone(m_done++);
    }

    PackedRows& m_rows;
    GreyRows m_grey;
    const ImageColours& m_colours;
    int m_bits;
    bool m_inverts;
    std::vector<std::uint8_t> m_row;
    std::size_t m_filled = 0;
    std::int32_t m_done = 0;
};

bool decodeSamples(QPDFObjectHandle image, std::int64_t width, std::int64_t height, bool mask, bool inverts,
                   Resolution resolution, const ReadOptions& options, BitmapData& data) {
    static const std::set<std::string> kDecodable = {"/FlateDecode",     "/Fl",  "/LZWDecode",     "/LZW",
                                                     "/ASCIIHexDecode",  "/AHx", "/ASCII85Decode", "/A85",
                                                     "/RunLengthDecode", "/RL",  "/DCTDecode",     "/DCT"};
    QPDFObjectHandle dictionary = image.getDict();
    const std::vector<std::string> filters = filtersOf(dictionary);
    const auto colours = mask ? std::optional(ImageColours{}) : coloursOf(dictionary.getKey("/ColorSpace"));
    const std::int64_t bits = mask ? 1 : integerOr(dictionary, "/BitsPerComponent", 0);
    if (!colours || (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) ||
        std::any_of(filters.begin(), filters.end(),
                    [](const std::string& name) { return !kDecodable.contains(name); })) {
        return false;
    }
    PackedRows rows(width, height);
    // A 1-bit grey image keeps its bits whatever the threshold method.
    ReadOptions greyOptions = options;
    if (bits == 1 && colours->palette.empty()) {
        greyOptions = ReadOptions{128};
    }
    ImageRows pipeline(rows, greyOptions, *colours, static_cast<int>(bits), inverts);
    bool filtered = false;
    const bool piped = image.pipeStreamData(&pipeline, &filtered, 0, qpdf_dl_all, true);
    if (!piped || (!filters.empty() && !filtered) || !pipeline.complete()) {
        throw ImageRefusal{"PDF の画像データが壊れているか足りません"};
    }
    std::move(rows).install(data, resolution);
    return true;
}

}  // namespace

bool decodePdfImage(QPDFObjectHandle image, Resolution resolution, const ReadOptions& options, BitmapData& data) {
    QPDFObjectHandle dictionary = image.getDict();
    const std::int64_t width = integerOr(dictionary, "/Width", 0);
    const std::int64_t height = integerOr(dictionary, "/Height", 0);
    PackedRows::checkSize(width, height);
    const bool mask = booleanOr(dictionary, "/ImageMask", false);
    const auto inverts = decodeInverts(dictionary);
    if (!inverts || dictionary.hasKey("/SMask") || dictionary.hasKey("/Mask")) {
        return false;
    }
    const std::vector<std::string> filters = filtersOf(dictionary);
    if (filters.size() == 1 && (filters[0] == "/CCITTFaxDecode" || filters[0] == "/CCF")) {
        const bool grey = mask || (integerOr(dictionary, "/BitsPerComponent", 1) == 1 &&
                                   componentsOf(dictionary.getKey("/ColorSpace")) == std::optional(1));
        return grey && decodeGroup4(image, width, height, *inverts, resolution, options, data);
    }
    return decodeSamples(image, width, height, mask, *inverts, resolution, options, data);
}

}  // namespace kelvarin
