// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/Underscores.h"

#include <algorithm>
#include <cstddef>

namespace kelvarin {

namespace {

// In cap heights.
constexpr double kFlatness = 0.25;    // an underscore's height across at most
constexpr double kLeastLength = 0.4;  // its length along at least
constexpr double kHighest = 0.2;      // its top above the baseline at most
constexpr double kLowest = 0.5;       // its bottom below the baseline at most
constexpr double kLeastCover = 0.5;   // of its length that a symbol read over it covers

bool isDash(const std::string& symbol) {
    return symbol == "-" || symbol == "—" || symbol == "―" || symbol == "ー" || symbol == "一" || symbol == "_";
}

// The extents of the line's underscores.
std::vector<InkExtent> underscoresOf(const std::vector<Glyph>& glyphs, const GlyphLine& line, const LineFrame& frame) {
    std::vector<InkExtent> found;
    for (const std::size_t i : line.glyphs) {
        const InkExtent extent = inkExtent(glyphs[i], frame.degrees);
        if (isUnderscore(extent, frame)) {
            found.push_back(extent);
        }
    }
    return found;
}

}  // namespace

bool isUnderscore(const InkExtent& extent, const LineFrame& frame) {
    const double height = frame.height();
    return extent.acrossHigh - extent.acrossLow <= kFlatness * height &&
           extent.alongHigh - extent.alongLow >= kLeastLength * height &&
           extent.acrossHigh <= frame.baseline + kHighest * height &&
           extent.acrossLow >= frame.baseline - kLowest * height;
}

LineReading withUnderscores(const LineReading& reading, const GreyImage& image, const std::vector<Glyph>& glyphs,
                            const GlyphLine& line, const LineFrame& frame) {
    if (frame.height() <= 0 || reading.symbols.empty()) {
        return reading;
    }
    LineReading out = reading;
    std::vector<ReadSymbol>& symbols = out.symbols;
    bool changed = false;
    for (const InkExtent& underscore : underscoresOf(glyphs, line, frame)) {
        const double length = underscore.alongHigh - underscore.alongLow;
        std::size_t next = symbols.size();  // the first symbol past the underscore's middle
        bool covered = false;
        for (std::size_t k = 0; k < symbols.size(); ++k) {
            const SymbolSpan span = spanAlong(symbols[k], image);
            if (span.overlap(underscore.alongLow, underscore.alongHigh) >= kLeastCover * length) {
                covered = true;
                if (isDash(symbols[k].text) && symbols[k].text != "_") {
                    symbols[k].text.assign(1, '_');
                    changed = true;
                }
                break;
            }
            if (next == symbols.size() &&
                (span.low + span.high) / 2 > (underscore.alongLow + underscore.alongHigh) / 2) {
                next = k;
            }
        }
        // An underscore read as a space between two words joins them.
        if (!covered && next > 0 && next < symbols.size() && symbols[next].startsWord) {
            ReadSymbol mark = symbols[next];
            mark.text.assign(1, '_');
            symbols[next].startsWord = false;
            mark.startsWord = false;
            symbols.insert(symbols.begin() + static_cast<std::ptrdiff_t>(next), mark);
            changed = true;
        }
    }
    if (changed) {
        out.text = joinedText(symbols);
    }
    return out;
}

}  // namespace kelvarin
