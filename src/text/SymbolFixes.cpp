// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/SymbolFixes.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <regex>
#include <vector>

#include "fileutil/Cp932Codec.h"

namespace kelvarin {

namespace {

bool isDigit(const std::string& c) {
    return (c.size() == 1 && c[0] >= '0' && c[0] <= '9') ||
           (c.size() == 3 && c.compare(0, 2, "\xEF\xBC") == 0 && c[2] >= '\x90' && c[2] <= '\x99');
}

// Japanese characters: kana, kanji and full-width forms, all three bytes long in UTF-8 from U+3000 on.
bool isJapanese(const std::string& c) { return c.size() == 3 && static_cast<unsigned char>(c[0]) >= 0xE3; }

bool isBlank(const std::string& c) { return c == " " || c == "\t" || c == "\n" || c == "\r" || c == "\xE3\x80\x80"; }

bool oneOf(const std::string& c, std::initializer_list<const char*> options) {
    for (const char* option : options) {
        if (c == option) {
            return true;
        }
    }
    return false;
}

// What the engine reads a diameter sign as, before a number.
bool isDiameter(const std::string& c) { return oneOf(c, {"φ", "の", "Ø", "ø", "⌀", "Φ", "@", "ф", "Ф"}); }

// Drops a dot or a bar standing apart at either end of the characters: a speck of the scan or of a nearby
// mark, or a piece of a line beside the text, not a word.
void dropEndSpecks(std::vector<std::string>& out) {
    const auto speck = [](const std::string& c) {
        return oneOf(c, {".", ",", "・", "'", "`", "、", "。", "|", "｜", "丨"});
    };
    if (out.size() >= 3 && speck(out.front()) && out[1] == " ") {
        out.erase(out.begin(), out.begin() + 2);
    }
    if (out.size() >= 3 && speck(out.back()) && out[out.size() - 2] == " ") {
        out.resize(out.size() - 2);
    }
}

}  // namespace

std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        out.push_back(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string drawingText(const std::string& read) {
    std::vector<std::string> in = characters(read);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::string& c = in[i];
        if (isBlank(c)) {
            // Kept once between words; dropped at the ends, where Japanese meets Japanese and after a
            // number's decimal sign ("9, 05").
            const bool japaneseBefore = !out.empty() && isJapanese(out.back());
            const bool decimalBefore = out.size() >= 2 && oneOf(out.back(), {",", "."}) && isDigit(out[out.size() - 2]);
            std::size_t next = i;
            while (next < in.size() && isBlank(in[next])) {
                ++next;
            }
            const bool digitNext = next < in.size() && isDigit(in[next]);
            if (!out.empty() && next < in.size() && !(japaneseBefore && isJapanese(in[next])) &&
                !(decimalBefore && digitNext)) {
                out.push_back(" ");
            }
            i = next - 1;
            continue;
        }
        const bool digitAfter = i + 1 < in.size() && isDigit(in[i + 1]);
        const bool numberAfter = digitAfter || (i + 2 < in.size() && isDiameter(in[i + 1]) && isDigit(in[i + 2]));
        const bool digitBefore = !out.empty() && isDigit(out.back());
        if (digitAfter && isDiameter(c)) {
            out.push_back("φ");
        } else if ((digitAfter || digitBefore) && oneOf(c, {"土", "干", "エ", "王"})) {
            out.push_back("±");
        } else if (digitAfter && digitBefore && c == "+") {
            // A plus between two numbers is a tolerance's ±, whose lower bar the engine drops.
            out.push_back("±");
        } else if (oneOf(c, {"º", "˚"})) {
            out.push_back("°");
        } else if (oneOf(c, {"“", "”", "″"})) {
            out.push_back("\"");  // inches, and quotes as a keyboard types them
        } else if (oneOf(c, {"‘", "’", "′"})) {
            out.push_back("'");
        } else if (digitBefore && numberAfter && oneOf(c, {"x", "X", "х"})) {
            out.push_back("×");
        } else {
            out.push_back(c);
        }
    }
    dropEndSpecks(out);
    std::string text;
    for (const std::string& c : out) {
        text += c;
    }
    return text;
}

bool isDrawingValue(const std::string& text) {
    static const std::regex value(
        "(\\d+×)?(φ|R|SR|M|C|t)?(0|[1-9]\\d*)([.,]\\d+)?((×|:)\\d+([.,]\\d+)?)?"
        "(°|±\\d+([.,]\\d+)?)?");
    return std::regex_match(text, value);
}

std::size_t japaneseCharacters(const std::string& text) {
    std::size_t count = 0;
    for (const std::string& c : characters(text)) {
        count += isJapanese(c) ? 1 : 0;
    }
    return count;
}

bool oneCharacterRepeated(const std::string& text) {
    constexpr std::size_t kLeastRepeats = 3;
    constexpr double kMostlyOne = 0.8;
    std::map<std::string, std::size_t> counts;
    std::size_t letters = 0;
    for (const std::string& c : characters(text)) {
        if (c != " ") {
            ++counts[c];
            ++letters;
        }
    }
    return std::any_of(counts.begin(), counts.end(), [&](const auto& count) {
        const bool digit = count.first.size() == 1 && std::isdigit(static_cast<unsigned char>(count.first[0])) != 0;
        return !digit && count.second >= kLeastRepeats &&
               static_cast<double>(count.second) >= kMostlyOne * static_cast<double>(letters);
    });
}

double strokeKanaShare(const std::string& text) {
    static const std::string strokes[] = {"ノ", "レ", "ン", "ー", "ツ", "へ", "ヘ", "く", "し", "ハ",
                                          "ト", "イ", "ニ", "二", "三", "エ", "ミ", "ソ", "リ", "ル",
                                          "一", "〃", "〈", "〉", "ヽ", "ヾ", "ゝ", "、"};
    std::size_t japanese = 0, strokeKana = 0;
    for (const std::string& c : characters(text)) {
        if (c.size() == 3 && static_cast<unsigned char>(c[0]) >= 0xE3) {
            ++japanese;
            strokeKana += std::find(std::begin(strokes), std::end(strokes), c) != std::end(strokes) ? 1 : 0;
        }
    }
    return japanese > 0 ? static_cast<double>(strokeKana) / static_cast<double>(japanese) : 0;
}

std::size_t kanji(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0xE4 && byte <= 0xE9;
    }));
}

std::string cp932Text(const std::string& text, Cp932Codec& codec, std::int64_t& dropped) {
    std::string kept;
    for (const std::string& c : characters(text)) {
        try {
            codec.encode(c);
            // A DXF TEXT reads %% as the start of a control code.
            if (!(c == "%" && !kept.empty() && kept.back() == '%')) {
                kept += c;
            }
        } catch (...) {
            ++dropped;
        }
    }
    return kept;
}

}  // namespace kelvarin
