// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/NumberParse.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/Error.h"

namespace kelvarin {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(std::string_view text, std::size_t position) {
    while (position < text.size() && isDigit(text[position])) {
        ++position;
    }
    return position;
}

}  // namespace

namespace {

std::string_view trimmedView(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string trimBlanks(std::string_view text) { return std::string(trimmedView(text)); }

double parseNumber(std::string_view text) {
    std::string_view number = trimmedView(text);
    bool negative = false;
    if (!number.empty() && (number[0] == '+' || number[0] == '-')) {
        negative = number[0] == '-';
        number.remove_prefix(1);
    }
    // Check the grammar by hand: from_chars would also take "inf", "nan" and similar.
    std::size_t position = skipDigits(number, 0);
    std::size_t mantissaDigits = position;
    if (position < number.size() && number[position] == '.') {
        const std::size_t afterPoint = skipDigits(number, position + 1);
        mantissaDigits += afterPoint - position - 1;
        position = afterPoint;
    }
    if (mantissaDigits == 0) {
        throw KelvarinError(ErrorCode::TypeMismatch);
    }
    bool negativeExponent = false;
    if (position < number.size() && (number[position] == 'e' || number[position] == 'E')) {
        std::size_t exponentStart = position + 1;
        if (exponentStart < number.size() && (number[exponentStart] == '+' || number[exponentStart] == '-')) {
            negativeExponent = number[exponentStart] == '-';
            ++exponentStart;
        }
        position = skipDigits(number, exponentStart);
        if (position == exponentStart) {
            throw KelvarinError(ErrorCode::TypeMismatch);
        }
    }
    if (position != number.size()) {
        throw KelvarinError(ErrorCode::TypeMismatch);
    }

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (!negativeExponent) {
            throw KelvarinError(ErrorCode::Overflow);
        }
        value = 0;  // underflow: the value is too small to be told from zero
    } else if (result.ec != std::errc()) {
        throw KelvarinError(ErrorCode::TypeMismatch);
    }
    return negative ? -value : value;
}

std::int32_t roundToInt32(double value) {
    const double rounded = std::nearbyint(value);  // the default rounding mode sends halves to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max())) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace kelvarin
