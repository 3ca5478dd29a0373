// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/SlashedZeros.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

namespace kelvarin {

namespace {

constexpr std::uint8_t kInk = 128;       // pixels darker than this are ink
constexpr double kMiddle = 0.5;          // of the character's height, the rows looked at
constexpr double kMostCrossed = 0.4;     // of those rows, crossed by three strokes
constexpr double kShapeConfidence = 90;  // of a zero told by its shape, 0 to 100
constexpr double kWidestPerHigh = 0.7;   // a digit's width in its heights, at most

bool readAsSlashedZero(const std::string& symbol) {
    static const char* const lookAlikes[] = {"9", "Q", "O", "o", "Ø", "ø", "θ", "@"};
    return std::any_of(std::begin(lookAlikes), std::end(lookAlikes), [&](const char* a) { return symbol == a; });
}

bool isInk(const GreyImage& image, std::int32_t column, std::int32_t row) {
    return image.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) +
                        static_cast<std::size_t>(column)] < kInk;
}

// How many stretches of ink the row crosses between the columns.
int strokesAcross(const GreyImage& image, std::int32_t row, std::int32_t left, std::int32_t right) {
    int strokes = 0;
    bool inInk = false;
    for (std::int32_t column = left; column <= right; ++column) {
        const bool ink = isInk(image, column, row);
        strokes += ink && !inInk ? 1 : 0;
        inInk = ink;
    }
    return strokes;
}

bool isSlashedZero(const GreyImage& image, const ReadSymbol& symbol) {
    const std::int32_t left = std::max(symbol.left, 0);
    const std::int32_t right = std::min(symbol.right, image.width - 1);
    std::int32_t top = image.height, bottom = -1;
    for (std::int32_t row = 0; row < image.height; ++row) {
        if (strokesAcross(image, row, left, right) > 0) {
            top = std::min(top, row);
            bottom = row;
        }
    }
    const std::int32_t high = bottom - top + 1;
    if (high < 5 || right - left + 1 > kWidestPerHigh * high) {
        return false;
    }
    const auto margin = static_cast<std::int32_t>((1 - kMiddle) / 2 * high);
    int rows = 0, crossedThrice = 0;
    for (std::int32_t row = top + margin; row <= bottom - margin; ++row) {
        ++rows;
        crossedThrice += strokesAcross(image, row, left, right) == 3 ? 1 : 0;
    }
    return crossedThrice >= kMostCrossed * rows;
}

}  // namespace

LineReading withSlashedZeros(const LineReading& reading, const GreyImage& image) {
    LineReading out = reading;
    bool changed = false;
    for (ReadSymbol& symbol : out.symbols) {
        if (readAsSlashedZero(symbol.text) && isSlashedZero(image, symbol)) {
            symbol.text.assign(1, '0');
            symbol.confidence = std::max(symbol.confidence, kShapeConfidence);
            changed = true;
        }
    }
    if (changed) {
        out.text = joinedText(out.symbols);
        // A zero alone (an ordinate dimension's datum) is as sure as its shape.
        out.confidence = out.symbols.size() == 1 ? out.symbols.front().confidence : out.confidence;
    }
    return out;
}

}  // namespace kelvarin
