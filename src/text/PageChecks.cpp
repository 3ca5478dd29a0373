// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/PageChecks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "text/LineCues.h"
#include "text/SymbolFixes.h"

namespace kelvarin {

bool tellsTextSize(const LineResult& result) {
    constexpr double kSure = 85;
    const std::string& text = result.text.text;
    const std::vector<std::string> all = kelvarin::characters(text);
    const auto characters = std::count_if(all.begin(), all.end(), [](const std::string& c) { return c != " "; });
    if (result.good && result.readInJapanese && strokeKanaShare(text) < 0.5 &&
        (japaneseCharacters(text) >= 3 || kanji(text) >= 2)) {
        return true;
    }
    const bool upright = std::abs(std::remainder(result.text.degrees, 360.0)) <= 1;
    const bool value = isDrawingValue(text) && (characters >= 2 || (upright && result.text.confidence >= 90));
    // Japanese tells only when read one character a square cell: crossing lines read as kana surely.
    constexpr double kSureOfALongLine = 75;
    constexpr std::ptrdiff_t kLongLine = 5;
    return result.good && japaneseCharacters(text) == 0 &&
           ((result.text.confidence >= kSure && (characters >= 3 || value)) ||
            (result.text.confidence >= kSureOfALongLine && characters >= kLongLine));
}

void keepZoneLetters(const VirtualVram& grid, std::vector<LineResult>& results) {
    constexpr double kLeastConfidence = 80;
    constexpr double kAcrossThePage = 0.5;  // of the page's width or height, at least
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const VectorText& text = results[i].text;
        if (text.text.size() == 1 && std::isupper(static_cast<unsigned char>(text.text[0])) != 0 &&
            text.confidence >= kLeastConfidence && std::abs(std::remainder(text.degrees, 360.0)) <= 1) {
            letters.push_back(i);
        }
    }
    for (std::size_t a = 0; a < letters.size(); ++a) {
        for (std::size_t b = a + 1; b < letters.size(); ++b) {
            VectorText& first = results[letters[a]].text;
            VectorText& second = results[letters[b]].text;
            const double dx = std::abs(first.insertion.x - second.insertion.x);
            const double dy = std::abs(first.insertion.y - second.insertion.y);
            const double height = std::max(first.height, second.height);
            const bool facing = (dy <= height && dx >= kAcrossThePage * grid.width()) ||
                                (dx <= height && dy >= kAcrossThePage * grid.height());
            if (first.text == second.text && facing) {
                results[letters[a]].good = results[letters[b]].good = true;
            }
        }
    }
}

void keepTextOfThePagesSizes(std::vector<LineResult>& results) {
    constexpr double kSizeRatio = 1.5;
    std::vector<double> heights;
    for (const LineResult& result : results) {
        if (tellsTextSize(result)) {
            heights.push_back(result.text.height);
        }
    }
    for (LineResult& result : results) {
        if (result.good && !tellsTextSize(result)) {
            const double height = result.text.height;
            result.good = std::any_of(heights.begin(), heights.end(), [&](double sure) {
                return height <= kSizeRatio * sure && sure <= kSizeRatio * height;
            });
        }
    }
}

void keepLargeLetteringInLatin(const std::vector<Glyph>& glyphs, const std::vector<GlyphLine>& lines,
                               std::vector<LineResult>& results) {
    constexpr double kLeastConfidence = 75;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool large = std::any_of(lines[i].glyphs.begin(), lines[i].glyphs.end(),
                                       [&](std::size_t g) { return glyphs[g].largeLetter; });
        const VectorText& text = results[i].text;
        if (large && (text.confidence < kLeastConfidence || japaneseCharacters(text.text) > 0)) {
            results[i].good = false;
        }
    }
}

void keepTextOfThePagesDirection(std::vector<LineResult>& results) {
    std::vector<double> degrees;
    std::vector<bool> sure;
    for (const LineResult& result : results) {
        degrees.push_back(result.text.degrees);
        sure.push_back(tellsTextSize(result));
    }
    const std::vector<bool> kept = readThePagesWay(degrees, sure);
    for (std::size_t i = 0; i < results.size(); ++i) {
        results[i].good = results[i].good && kept[i];
    }
}

}  // namespace kelvarin
