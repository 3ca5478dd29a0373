// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchReport.h"

#include <array>
#include <charconv>

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
        m_file.open(path, std::ios::binary | std::ios::trunc);
    }
}

void BatchReport::add(const BatchInput& input, const std::string& output, const InputOutcome& outcome) {
    if (m_open && m_file) {
        m_file << reportLine(input, output, outcome) << '\n' << std::flush;
    }
}

}  // namespace kelvarin
