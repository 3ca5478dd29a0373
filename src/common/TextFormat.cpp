// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextFormat.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "common/Error.h"

namespace kelvarin {

namespace {

// Exact integers below 1e15 have at most 15 digits and take the fast path.
constexpr double kExactIntegerLimit = 1e15;
constexpr int kSignificantDigits = 15;
constexpr int kLowestPlainExponent = -4;
constexpr int kHighestPlainExponent = 14;

std::string formatScientificDigits(double value) {
    // d.dddddddddddddde+XX, correctly rounded to 15 significant digits.
    char buffer[40];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kSignificantDigits - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t ePosition = text.find('e');
    int exponent = 0;
    std::from_chars(text.data() + ePosition + 1 + (text[ePosition + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    exponent);

    std::string digits;
    for (char c : text.substr(0, ePosition)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    std::string out = value < 0 ? "-" : "";
    if (exponent >= kLowestPlainExponent && exponent <= kHighestPlainExponent) {
        if (exponent >= 0) {
            const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= integerDigits) {
                out += digits;
                out.append(integerDigits - digits.size(), '0');
            } else {
                out += digits.substr(0, integerDigits);
                out += '.';
                out += digits.substr(integerDigits);
            }
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        }
        return out;
    }
    out += digits[0];
    if (digits.size() > 1) {
        out += '.';
        out += digits.substr(1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) {
        out += '0';
    }
    out += formatInteger(magnitude);
    return out;
}

}  // namespace

std::string formatInteger(std::int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatGeneral(double value) {
    if (!std::isfinite(value)) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    if (value == 0) {
        return "0";
    }
    if (std::fabs(value) < kExactIntegerLimit && value == std::trunc(value)) {
        return formatInteger(static_cast<std::int64_t>(value));
    }
    return formatScientificDigits(value);
}

std::string formatPercent(double percent) {
    const double rounded = std::round(percent);
    if (!std::isfinite(rounded) || std::fabs(rounded) > 9e18) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    if (rounded == 0) {
        return "";
    }
    return formatInteger(static_cast<std::int64_t>(rounded));
}

}  // namespace kelvarin
