// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/DiameterSigns.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace kelvarin {

namespace {

constexpr double kLeastDescent = 0.2;    // below the baseline, in cap heights
constexpr double kLeastRise = 0.6;       // above the baseline, in cap heights
constexpr double kLeastCover = 0.5;      // of a symbol's width that must lie over the glyph
constexpr double kStemOffMiddle = 0.15;  // of the glyph's width

// The spans along the baseline of the line's glyphs that rise most of the cap height and reach below the
// baseline.
std::vector<std::pair<double, double>> descendingSpans(const std::vector<Glyph>& glyphs, const GlyphLine& line,
                                                       const LineFrame& frame) {
    const double radians = frame.degrees * std::numbers::pi / 180;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double height = frame.height();
    std::vector<std::pair<double, double>> spans;
    for (const std::size_t i : line.glyphs) {
        const InkExtent extent = inkExtent(glyphs[i], frame.degrees);
        double below = 0, belowAlong = 0;  // the ink below the baseline: how much, and the sum of its places
        for (const LineSegment& run : glyphs[i].runs) {
            const double middleX = run.StartX + (run.SpanX - 1) / 2.0;
            if (-middleX * s + run.StartY * c < frame.baseline - kLeastDescent / 2 * height) {
                below += run.SpanX;
                belowAlong += run.SpanX * (middleX * c + run.StartY * s);
            }
        }
        // φ's stem reaches below in its middle; a comma or a 9 joined to its neighbour reaches below at a side.
        const double middle = (extent.alongLow + extent.alongHigh) / 2;
        const bool stemInTheMiddle =
            below > 0 && std::abs(belowAlong / below - middle) <= kStemOffMiddle * (extent.alongHigh - extent.alongLow);
        if (stemInTheMiddle && extent.acrossLow <= frame.baseline - kLeastDescent * height &&
            extent.acrossHigh >= frame.baseline + kLeastRise * height) {
            spans.emplace_back(extent.alongLow, extent.alongHigh);
        }
    }
    return spans;
}

bool readAsDiameter(const std::string& symbol) {
    static const char* const lookAlikes[] = {"0", "9", "p", "o", "O",  "@",  "⑩", "の", "Ø", "ø", "⌀",
                                             "Φ", "φ", "ф", "Ф", "中", "申", "$", "g",  "q", "Q"};
    return std::any_of(std::begin(lookAlikes), std::end(lookAlikes), [&](const char* a) { return symbol == a; });
}

bool isDigit(const std::string& symbol) { return symbol.size() == 1 && symbol[0] >= '0' && symbol[0] <= '9'; }

}  // namespace

LineReading withDiameterSigns(const LineReading& reading, const GreyImage& image, const std::vector<Glyph>& glyphs,
                              const GlyphLine& line, const LineFrame& frame) {
    const std::vector<std::pair<double, double>> spans = descendingSpans(glyphs, line, frame);
    if (spans.empty() || reading.symbols.empty()) {
        return reading;
    }
    // Which glyph span each symbol lies over, -1 for none.
    const std::vector<ReadSymbol>& symbols = reading.symbols;
    std::vector<int> over(symbols.size(), -1);
    for (std::size_t k = 0; k < symbols.size(); ++k) {
        const SymbolSpan symbol = spanAlong(symbols[k], image);
        for (std::size_t g = 0; g < spans.size(); ++g) {
            if (symbol.overlap(spans[g].first, spans[g].second) >= kLeastCover * (symbol.high - symbol.low)) {
                over[k] = static_cast<int>(g);
            }
        }
    }
    LineReading out;
    std::string& text = out.text;
    bool changed = false;
    double confidence = 0;
    int counted = 0;
    for (std::size_t k = 0; k < symbols.size();) {
        std::size_t end = k + 1;
        while (over[k] >= 0 && end < symbols.size() && over[end] == over[k] && !symbols[end].startsWord) {
            ++end;
        }
        if (k > 0 && symbols[k].startsWord) {
            text += ' ';
        }
        // A decimal comma or point, or a digit, before it makes it a digit of the number (9,05).
        const bool inNumber =
            k > 0 && (isDigit(symbols[k - 1].text) || symbols[k - 1].text == "," || symbols[k - 1].text == ".");
        const bool sign = over[k] >= 0 && !inNumber && readAsDiameter(symbols[k].text) && end < symbols.size() &&
                          isDigit(symbols[end].text);
        if (sign) {
            text += "φ";
            changed = changed || symbols[k].text != "φ" || end != k + 1;
        } else {
            for (std::size_t j = k; j < end; ++j) {
                text += symbols[j].text;
                confidence += symbols[j].confidence;
                ++counted;
            }
        }
        k = end;
    }
    if (!changed) {
        return reading;
    }
    out.confidence = counted > 0 ? confidence / counted : reading.confidence;
    return out;
}

}  // namespace kelvarin
