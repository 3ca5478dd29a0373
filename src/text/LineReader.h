// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/LineImage.h"

namespace tesseract {
class TessBaseAPI;
}

namespace kelvarin {

// Where Debian installs Tesseract's language data; TESSDATA_PREFIX, when set, is looked in instead.
inline constexpr const char* kTessdataFolder = "/usr/share/tesseract-ocr/5/tessdata";
inline constexpr const char* kDefaultOcrLanguage = "jpn+eng";

// A character the engine read and the columns of the line picture it lies in.
struct ReadSymbol {
    std::string text;  // UTF-8
    std::int32_t left = 0;
    std::int32_t right = 0;
    bool startsWord = false;
    double confidence = 0;  // 0 to 100
};

// Where a symbol lies along the line's baseline, in dots of the page: from its first column to past its last
// (spanAlong, from the picture it was read in).
struct SymbolSpan {
    double low;
    double high;
    // How far it overlaps the stretch from otherLow to otherHigh along the baseline (negative: the gap).
    double overlap(double otherLow, double otherHigh) const {
        return std::min(high, otherHigh) - std::max(low, otherLow);
    }
};
inline SymbolSpan spanAlong(const ReadSymbol& symbol, const GreyImage& image) {
    return {image.alongOf(symbol.left), image.alongOf(symbol.right + 1)};
}

struct LineReading {
    std::string text;       // UTF-8, as the engine read it
    double confidence = 0;  // 0 to 100
    std::vector<ReadSymbol> symbols;
};

// The symbols' text, a blank before each word but the first.
std::string joinedText(const std::vector<ReadSymbol>& symbols);

// One Tesseract engine, reading a line a time; an engine is used by one thread at a time. Loading the
// language data takes a while, so engines are kept for the whole process (see take()).
class LineReader {
public:
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    LineReading read(const GreyImage& image);

    // An engine for the languages ("jpn+eng"), loaded the first time and given back by the deleter for
    // the next take. When `most` engines of these languages are loaded already and all are in use, waits
    // for one to be given back. Throws the program's error naming the missing data when a language is not
    // installed.
    using Handle = std::unique_ptr<LineReader, void (*)(LineReader*)>;
    static Handle take(const std::string& languages, std::size_t most = SIZE_MAX);

    // The folder the language data is looked for in.
    static std::string dataFolder();

private:
    explicit LineReader(const std::string& languages);

    std::string m_languages;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

}  // namespace kelvarin
