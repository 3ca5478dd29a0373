// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchReport.h"

#include <array>
#include <charconv>
#include <filesystem>
#include <iterator>

#include "common/TextFormat.h"

namespace kelvarin {

namespace {

constexpr std::array kStatusNames = {"converted", "skipped", "failed"};

// A plain decimal with up to the given decimals, in the C locale's form whatever the locale.
std::string fixedNumber(double value, int decimals) {
    std::array<char, 64> digits{};
    const auto [end, error] =
        std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(digits.data(), end) : "0";
}

// Cuts off a last line without its line end, left by a run killed while writing it, so that the lines
// appended after it are whole JSON lines.
void dropUnfinishedLine(const std::string& path) {
    std::error_code error;  // what cannot be read here cannot be written either, which the report says
    if (!std::filesystem::is_regular_file(path, error)) {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    try {
        if (!file.seekg(-1, std::ios::end) || file.get() == '\n') {
            return;  // an empty file, or whole lines
        }
        file.seekg(0);
        const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const std::size_t lastEnd = text.rfind('\n');
        std::filesystem::resize_file(path, lastEnd == std::string::npos ? 0 : lastEnd + 1, error);
    } catch (const std::ios_base::failure&) {
        return;  // a read error: the file is left as it is
    }
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20) {
            constexpr const char* kHex = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string reportLine(const BatchInput& input, const std::string& output, const InputOutcome& outcome) {
    std::string line =
        "{\"input\":" + jsonString(input.input) + ",\"output\":" + jsonString(output) + ",\"status\":\"" +
        kStatusNames[static_cast<std::size_t>(outcome.status)] + "\",\"message\":" + jsonString(outcome.message) +
        ",\"entities\":" + formatInteger(outcome.entities) + ",\"seconds\":" + fixedNumber(outcome.seconds, 3);
    if (outcome.skew) {
        line += ",\"skew\":" + fixedNumber(*outcome.skew, 4);
    }
    return line + "}";
}

BatchReport::BatchReport(const std::string& path) : m_open(!path.empty()) {
    if (m_open) {
        dropUnfinishedLine(path);
        m_file.open(path, std::ios::binary | std::ios::app);
    }
}

void BatchReport::add(const BatchInput& input, const std::string& output, const InputOutcome& outcome) {
    if (m_open && m_file) {
        // One write a line, so that runs appending to one file at once do not mix their lines.
        const std::string line = reportLine(input, output, outcome) + '\n';
        m_file.write(line.data(), static_cast<std::streamsize>(line.size()));
        m_file.flush();
    }
}

}  // namespace kelvarin
