#include "bitmap/PnmReader.h"

#include <vector>

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

}  // namespace

void decodePnm(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    const char kind = static_cast<char>(file[1]);
    PnmScanner scanner(file);
    const std::int64_t width = scanner.number();
    const std::int64_t height = scanner.number();
    const bool bitmap = kind == '1' || kind == '4';
    const std::int64_t maximum = bitmap ? 1 : scanner.number();
    if (maximum < 1 || maximum > 65535) {
        refuse("最大値が正しくありません");
    }
    PackedRows::checkSize(width, height);
    // Every pixel takes at least a byte in the text forms, a bit in P4 and one or two bytes in P5.
    const std::int64_t rowBytes = kind == '4' ? (width + 7) / 8 : width * (kind == '5' && maximum > 255 ? 2 : 1);
    needBytes(file, rowBytes * height);
    PackedRows rows(width, height);
    const std::int32_t columns = rows.width();
    std::vector<std::uint8_t> values(static_cast<std::size_t>(columns));

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
    } else if (kind == '5') {
        const int sampleBytes = maximum > 255 ? 2 : 1;
        const auto pixels = scanner.binaryData();
        needBytes(pixels, rowBytes * height);
        const std::uint8_t* next = pixels.data();
        for (std::int32_t y = 0; y < rows.height(); ++y) {
            for (std::int32_t x = 0; x < columns; ++x, next += sampleBytes) {
                const int sample = sampleBytes == 2 ? next[0] << 8 | next[1] : next[0];
                if (sample > maximum) {
                    refuse("値が最大値を超えています");
                }
                values[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(sample * 255 / maximum);
            }
            packLuminance(values.data(), columns, options.threshold, rows.rowFromTop(y));
        }
    } else {
        for (std::int32_t y = 0; y < rows.height(); ++y) {
            for (std::int32_t x = 0; x < columns; ++x) {
                const std::int64_t sample = bitmap ? (scanner.bit() ? 0 : 1) : scanner.number();
                if (sample > maximum) {
                    refuse("値が最大値を超えています");
                }
                values[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(sample * 255 / maximum);
            }
            packLuminance(values.data(), columns, bitmap ? 128 : options.threshold, rows.rowFromTop(y));
        }
    }
    std::move(rows).install(data, {});
}

}  // namespace kelvarin
