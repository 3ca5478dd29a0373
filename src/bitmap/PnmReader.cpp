// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PnmReader.h"

#include <string>
#include <vector>

#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"

namespace kelvarin {

namespace {

[[noreturn]] void refuse(const char* reason) { throw ImageRefusal{std::string("PNM ファイルを読めません: ") + reason}; }

// Reads the header's numbers and text samples: blanks and comments (from '#' to the end of the line)
// separate them.
class PnmScanner {
public:
    explicit PnmScanner(std::span<const std::uint8_t> file) : m_file(file), m_position(2) {}

    std::int64_t number() {
        skipBlanks();
        if (m_position >= m_file.size() || !isDigit(m_file[m_position])) {
            refuse("数値がありません");
        }
        std::int64_t value = 0;
        while (m_position < m_file.size() && isDigit(m_file[m_position])) {
            value = value * 10 + (m_file[m_position++] - '0');
            if (value > (std::int64_t{1} << 40)) {
                refuse("数値が大きすぎます");
            }
        }
        return value;
    }
    // A PAM header word (a run of characters other than blanks).
    std::string word() {
        skipBlanks();
        std::string text;
        while (m_position < m_file.size() && !isBlank(m_file[m_position]) && text.size() < 64) {
            text += static_cast<char>(m_file[m_position++]);
        }
        return text;
    }
    // One '0' or '1' of a P1 file, which need not be separated.
    bool bit() {
        skipBlanks();
        if (m_position >= m_file.size() || (m_file[m_position] != '0' && m_file[m_position] != '1')) {
            refuse("画素データが足りません");
        }
        return m_file[m_position++] == '1';
    }
    // The binary data start after exactly one blank following the header; a comment right after the last
    // number counts as that blank up to and including its line end.
    std::span<const std::uint8_t> binaryData() {
        if (m_position < m_file.size() && m_file[m_position] == '#') {
            while (m_position < m_file.size() && m_file[m_position] != '\n' && m_file[m_position] != '\r') {
                ++m_position;
            }
        }
        if (m_position >= m_file.size()) {
            refuse("画素データがありません");
        }
        return m_file.subspan(m_position + 1);
    }

private:
    static bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
    static bool isBlank(std::uint8_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }

    void skipBlanks() {
        while (m_position < m_file.size()) {
            if (m_file[m_position] == '#') {
                while (m_position < m_file.size() && m_file[m_position] != '\n' && m_file[m_position] != '\r') {
                    ++m_position;
                }
            } else if (isBlank(m_file[m_position])) {
                ++m_position;
            } else {
                return;
            }
        }
    }

    std::span<const std::uint8_t> m_file;
    std::size_t m_position;
};

void needBytes(std::span<const std::uint8_t> data, std::int64_t count) {
    if (static_cast<std::int64_t>(data.size()) < count) {
        refuse("画素データが足りません");
    }
}

// What the header says of a grey or colour picture (P2, P3, P5, P6 and P7).
struct SampleLayout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t maximum = 0;
    int channels = 1;  // 1 grey, 3 red green blue
    bool alpha = false;
};

SampleLayout pamHeader(PnmScanner& scanner) {
    SampleLayout layout;
    std::int64_t depth = 0;
    std::string tupleType;
    for (std::string key = scanner.word(); key != "ENDHDR"; key = scanner.word()) {
        if (key == "WIDTH") {
            layout.width = scanner.number();
        } else if (key == "HEIGHT") {
            layout.height = scanner.number();
        } else if (key == "DEPTH") {
            depth = scanner.number();
        } else if (key == "MAXVAL") {
            layout.maximum = scanner.number();
        } else if (key == "TUPLTYPE") {
            tupleType = scanner.word();
        } else {
            refuse("PAM のヘッダーが正しくありません");
        }
    }
    layout.alpha = tupleType.ends_with("_ALPHA");
    layout.channels = tupleType.starts_with("RGB") ? 3 : 1;
    if (depth != layout.channels + (layout.alpha ? 1 : 0) ||
        (tupleType.find("RGB") != 0 && tupleType.find("GRAYSCALE") != 0 && tupleType.find("BLACKANDWHITE") != 0)) {
        refuse("この PAM の画素の種類は扱えません");
    }
    return layout;
}

// Grey and colour samples, binary (one or two bytes each, high byte first) or text.
void decodeSamples(PnmScanner& scanner, std::span<const std::uint8_t> file, bool binary, const SampleLayout& layout,
                   const ReadOptions& options, PackedRows& rows) {
    const int sampleBytes = layout.maximum > 255 ? 2 : 1;
    const int samples = layout.channels + (layout.alpha ? 1 : 0);
    // Every sample takes at least a byte in the text forms, and one or two in the binary ones.
    needBytes(file, layout.width * layout.height * samples * (binary ? sampleBytes : 1));
    std::span<const std::uint8_t> pixels;
    if (binary) {
        pixels = scanner.binaryData();
        needBytes(pixels, layout.width * layout.height * samples * sampleBytes);
    }
    const std::uint8_t* next = pixels.data();
    const auto sample = [&]() -> std::int64_t {
        std::int64_t value = 0;
        if (!binary) {
            value = scanner.number();
        } else {
            value = sampleBytes == 2 ? next[0] << 8 | next[1] : next[0];
            next += sampleBytes;
        }
        if (value > layout.maximum) {
            refuse("値が最大値を超えています");
        }
        return value;
    };
    GreyRows grey(rows, options);
    std::int64_t colour[4] = {};
    for (std::int32_t y = 0; y < rows.height(); ++y) {
        std::uint8_t* values = grey.row(y);
        for (std::int32_t x = 0; x < rows.width(); ++x) {
            for (int i = 0; i < samples; ++i) {
                colour[i] = sample();
            }
            const std::int64_t alpha = layout.alpha ? colour[samples - 1] : layout.maximum;
            values[x] = static_cast<std::uint8_t>(
                layout.channels == 3 ? greyLevel(colour[0], colour[1], colour[2], alpha, layout.maximum)
                                     : greyLevel(colour[0], colour[0], colour[0], alpha, layout.maximum));
        }
        grey.rowDone(y);
    }
    grey.finish();
}

}  // namespace

void decodePnm(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    const char kind = static_cast<char>(file[1]);
    PnmScanner scanner(file);
    SampleLayout layout;
    if (kind == '7') {
        layout = pamHeader(scanner);
    } else {
        layout.width = scanner.number();
        layout.height = scanner.number();
        layout.channels = kind == '3' || kind == '6' ? 3 : 1;
    }
    const bool bitmap = kind == '1' || kind == '4';
    if (kind != '7') {
        layout.maximum = bitmap ? 1 : scanner.number();
    }
    if (layout.maximum < 1 || layout.maximum > 65535) {
        refuse("最大値が正しくありません");
    }
    PackedRows::checkSize(layout.width, layout.height);
    if (!bitmap) {
        PackedRows rows(layout.width, layout.height);
        decodeSamples(scanner, file, kind == '5' || kind == '6' || kind == '7', layout, options, rows);
        std::move(rows).install(data, {});
        return;
    }
    const std::int64_t width = layout.width;
    const std::int64_t height = layout.height;
    // Every pixel takes at least a byte in P1 and a bit in P4.
    const std::int64_t rowBytes = kind == '4' ? (width + 7) / 8 : width;
    needBytes(file, rowBytes * height);
    PackedRows rows(width, height);
    if (kind == '4') {
        const auto pixels = scanner.binaryData();
        needBytes(pixels, rowBytes * height);
        for (std::int32_t y = 0; y < rows.height(); ++y) {
            const std::uint8_t* source = pixels.data() + rowBytes * y;
            std::uint8_t* row = rows.rowFromTop(y);
            for (std::int64_t i = 0; i < rowBytes; ++i) {
                row[i] = static_cast<std::uint8_t>(~source[i]);  // 1 is black
            }
        }
    } else {
        for (std::int32_t y = 0; y < rows.height(); ++y) {
            std::uint8_t* row = rows.rowFromTop(y);
            for (std::int32_t x = 0; x < rows.width(); ++x) {
                setPixel(row, x, !scanner.bit());
            }
        }
    }
    std::move(rows).install(data, {});
}

}  // namespace kelvarin
