// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/StopsAndCommas.h"

#include <algorithm>

namespace kelvarin {

namespace {

constexpr double kLargestMark = 0.5;     // a stop's or a comma's glyph across and along, in cap heights
constexpr double kLeastCover = 0.5;      // of the glyph's span along that the symbol's columns cover
constexpr double kCommaDescent = 0.12;   // a comma's tail below the baseline at least, in cap heights
constexpr double kCommaTail = 0.5;       // a comma's height across beyond its width along, at least, in widths
constexpr double kLeastTailDots = 2;     // and in dots
constexpr double kStopExcess = 0.25;     // a full stop's height beyond its width, at most, in widths
constexpr double kStopExcessDots = 1.5;  // or in dots, the scan's blur on a stop of a few dots
constexpr double kStopRise = 0.3;        // a full stop's top above the baseline at most, in cap heights

// The small glyph the symbol was read from, if any.
const InkExtent* markUnder(const ReadSymbol& symbol, const GreyImage& image, const std::vector<InkExtent>& marks) {
    const SymbolSpan span = spanAlong(symbol, image);
    for (const InkExtent& mark : marks) {
        if (span.overlap(mark.alongLow, mark.alongHigh) >= kLeastCover * (mark.alongHigh - mark.alongLow)) {
            return &mark;
        }
    }
    return nullptr;
}

// What the mark's shape tells it is: "," for a mark whose tail makes it clearly higher than wide and reaches
// below the baseline, "." for one about as high as wide low on the line, nothing when it is neither clearly.
const char* toldByShape(const InkExtent& mark, const LineFrame& frame) {
    const double height = frame.height();
    const double along = mark.alongHigh - mark.alongLow;
    const double across = mark.acrossHigh - mark.acrossLow;
    if (across >= along + std::max(kLeastTailDots, kCommaTail * along) &&
        frame.baseline - mark.acrossLow >= kCommaDescent * height) {
        return ",";
    }
    if (across <= along + std::max(kStopExcessDots, kStopExcess * along) &&
        mark.acrossHigh - frame.baseline <= kStopRise * height) {
        return ".";
    }
    return nullptr;
}

}  // namespace

LineReading withStopsAndCommas(const LineReading& reading, const GreyImage& image, const std::vector<Glyph>& glyphs,
                               const GlyphLine& line, const LineFrame& frame) {
    const double height = frame.height();
    if (height <= 0) {
        return reading;
    }
    std::vector<InkExtent> marks;
    for (const std::size_t i : line.glyphs) {
        const InkExtent extent = inkExtent(glyphs[i], frame.degrees);
        if (extent.alongHigh - extent.alongLow <= kLargestMark * height &&
            extent.acrossHigh - extent.acrossLow <= kLargestMark * height) {
            marks.push_back(extent);
        }
    }
    LineReading out = reading;
    bool changed = false;
    for (ReadSymbol& symbol : out.symbols) {
        if (symbol.text != "." && symbol.text != ",") {
            continue;
        }
        const InkExtent* mark = markUnder(symbol, image, marks);
        const char* told = mark != nullptr ? toldByShape(*mark, frame) : nullptr;
        if (told != nullptr && symbol.text != told) {
            symbol.text = told;
            changed = true;
        }
    }
    if (changed) {
        out.text = joinedText(out.symbols);
    }
    return out;
}

}  // namespace kelvarin
