// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/TextRecognition.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "common/WorkerPool.h"
#include "fileutil/Cp932Codec.h"
#include "text/DiameterSigns.h"
#include "text/GlyphGroups.h"
#include "text/LineCues.h"
#include "text/LineDirections.h"
#include "text/LineImage.h"
#include "text/LineReader.h"
#include "text/LineRunOns.h"
#include "text/LongRuns.h"
#include "text/PageChecks.h"
#include "text/SlashedZeros.h"
#include "text/StopsAndCommas.h"
#include "text/SymbolFixes.h"
#include "text/TextErasure.h"
#include "text/TextLines.h"
#include "text/Underscores.h"
#include "text/WorkerReaders.h"
#include "vectorize/Vectorize.h"
#include "vectorize/geometry/DrawingTurn.h"

namespace kelvarin {

namespace {

// A reading this sure tells the page's text sizes, and stroke kana and short words need it.
constexpr double kSureConfidence = 90;

// Whether the text has a letter, a digit or a Japanese character: signs and strokes alone are geometry,
// and so are the Japanese characters a stroke reads as (一, ー, 丨, 口).
bool hasWordCharacter(const std::string& text) {
    static const std::string strokes[] = {"一", "ー", "丨", "口", "ロ", "〇", "。", "・"};
    for (const std::string& c : characters(text)) {
        const auto byte = static_cast<unsigned char>(c[0]);
        if (std::isalnum(byte) != 0) {
            return true;
        }
        if (byte >= 0x80 && std::find(std::begin(strokes), std::end(strokes), c) == std::end(strokes)) {
            return true;
        }
    }
    return false;
}

// How likely a reading is: the engine's confidence, less a share for each change between Latin letters
// and Japanese characters, more for a drawing's value, and more or less by which side of the text a line
// of the drawing runs along (side, see parallelLineSide). A drawing's words keep to one script; a line read
// upside down or in the wrong language mixes them ("GのLtX8MW", "設計 RE"), and the engine's confidences of
// different languages and directions do not compare well by themselves.
double likelihood(const std::string& text, double confidence, int side) {
    constexpr double kPerScriptChange = 30;
    constexpr double kDrawingValue = 15;
    constexpr double kLineBeside = 20;
    int previous = 0;  // 1 Latin, 2 Japanese
    int changes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int script = std::isalpha(byte) != 0 ? 1 : byte >= 0xE3 ? 2 : 0;
        if (script != 0) {
            changes += previous != 0 && script != previous ? 1 : 0;
            previous = script;
        }
    }
    return confidence - kPerScriptChange * changes + (isDrawingValue(text) ? kDrawingValue : 0) + kLineBeside * side;
}

bool hasLatinOrDigit(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Whether the text has Japanese characters and no Latin letter or digit.
bool onlyJapanese(const std::string& text) { return japaneseCharacters(text) > 0 && !hasLatinOrDigit(text); }

bool onlyStrokeKana(const std::string& text) { return strokeKanaShare(text) == 1; }

// Whether a reading sure enough is text rather than geometry the engine read as text: a line of one glyph
// needs more confidence, short words and stroke kana more, and a lone letter more still (a cross reads as
// x, an arrowhead as V, a corner as L); each Japanese character needs a square cell (a zigzag reads as
// ーぐツー, a hatch as てっ).
bool plausible(const VectorText& text, const CharacterCells& cells, std::size_t glyphs, bool inBalloon) {
    constexpr double kLeastLoneLetterConfidence = 95;
    const std::string& t = text.text;
    const bool hasDigit = std::any_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    const bool loneLetter = t.size() == 1 && std::isalpha(static_cast<unsigned char>(t[0])) != 0;
    // Two letters alone ("Et", "Ve", "ON") are mostly a symbol's strokes; words of notes come in longer lines.
    const bool shortWord = t.size() <= 2 && !hasDigit && japaneseCharacters(t) == 0;
    // A character alone is read from below or from the right, as drawings are; turned otherwise it is
    // mostly a mark of the drawing read as a character.
    const bool loneCharacter = t.size() == 1 || (t.size() == 3 && japaneseCharacters(t) == 1);
    const double turn = std::remainder(text.degrees, 360.0);
    if (loneCharacter && std::abs(turn) > 1 && std::abs(turn - 90) > 1) {
        return false;
    }
    // A balloon holds an item's number: a number there needs no more than a line does.
    double least = glyphs > 1 || (inBalloon && isDrawingValue(t)) ? kLeastTextConfidence : kLeastGlyphConfidence;
    if (loneLetter) {
        least = kLeastLoneLetterConfidence;
    } else if (shortWord || onlyStrokeKana(t)) {
        least = std::max(least, kSureConfidence);
    }
    return text.confidence >= least && japaneseCharacters(t) <= cells.squareCount;
}

// A reading of a line in one direction, as the drawing will have it.
struct Reading {
    std::string text;
    double confidence = 0;
    std::int64_t dropped = 0;
    double degrees = 0;  // the baseline's direction it was read in
};

// The line in the frame's direction read by the engine, as the drawing will have it.
Reading readAs(LineReader& reader, const GreyImage& image, const std::vector<Glyph>& glyphs, const GlyphLine& line,
               const LineFrame& frame, Cp932Codec& codec) {
    // The marks told by their glyphs' shapes first: the others rebuild the text from the symbols.
    const LineReading shaped =
        withStopsAndCommas(withUnderscores(reader.read(image), image, glyphs, line, frame), image, glyphs, line, frame);
    const LineReading reading = withDiameterSigns(withSlashedZeros(shaped, image), image, glyphs, line, frame);
    Reading out;
    out.text = cp932Text(drawingText(reading.text), codec, out.dropped);
    out.confidence = reading.confidence;
    out.degrees = frame.degrees;
    return out;
}

void take(const Reading& reading, const LineFrame& frame, double likely, LineResult& best) {
    best.text = {frame.at(frame.alongStart, frame.baseline), frame.height(), frame.degrees, reading.text,
                 reading.confidence};
    best.likelihood = likely;
    best.dropped = reading.dropped;
}

// Takes the reading when it is likelier than the best so far.
void keepLikelier(const Reading& reading, const LineFrame& frame, int side, LineResult& best) {
    const double likely = likelihood(reading.text, reading.confidence, side);
    if (!reading.text.empty() && likely > best.likelihood) {
        take(reading, frame, likely, best);
    }
}

// A line in square cells is read in Japanese alone, and taken when it reads as one Japanese character a
// cell: together with English the engine reads two kanji as two Latin letters surer than as kanji, and its
// confidence in a kanji line is often low when the line is read right.
bool readAsJapanese(const std::vector<Glyph>& glyphs, const GlyphLine& line, double direction, WorkerReaders& readers,
                    LineResult& best, std::optional<Reading>& japaneseReading) {
    constexpr double kLeastJapaneseConfidence = 10;
    if (!readers.hasJapanese()) {
        return false;
    }
    const LineFrame frame = frameOf(glyphs, line, direction);
    const CharacterCells cells = characterCells(glyphs, line, frame);
    if (!cells.square()) {
        return false;
    }
    if (!japaneseReading || japaneseReading->degrees != direction) {
        japaneseReading =
            readAs(*readers.alone("jpn"), uprightLine(glyphs, line, frame), glyphs, line, frame, readers.codec());
    }
    const Reading& reading = *japaneseReading;
    // A kanji of parts far apart may take two cells (製).
    const std::size_t read = japaneseCharacters(reading.text);
    const bool agrees = read == cells.count || (cells.count >= 3 && read + 1 == cells.count);
    if (!agrees || reading.confidence < kLeastJapaneseConfidence || onlyStrokeKana(reading.text)) {
        return false;
    }
    take(reading, frame, std::max(best.likelihood, reading.confidence), best);
    return true;
}

// Whether the line is one straight stroke alone: it reads as |, l or I, which are not text alone, or as a 1
// that is mostly a piece of the drawing's lines (a tick, a line cut between crossings). A number in a
// balloon is read still.
bool isLoneBar(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& line) {
    if (line.glyphs.size() != 1 || inBalloon(grid, glyphs, line)) {
        return false;
    }
    const Glyph& glyph = glyphs[line.glyphs.front()];
    return isStraightBar(glyph) || endsALine(grid, glyph);
}

// Reads the line in each of its directions until one is read well enough, keeping the likeliest reading.
// Text across is mostly upright: it is read upside down only when upright reads poorly; text up or askew is
// as often read one way as the other.
void readEachDirection(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& line,
                       WorkerReaders& readers, LineResult& best) {
    for (const double direction : line.directions) {
        const LineFrame frame = frameOf(glyphs, line, direction);
        const Reading reading =
            readAs(readers.together(), uprightLine(glyphs, line, frame), glyphs, line, frame, readers.codec());
        keepLikelier(reading, frame, parallelLineSide(grid, frame), best);
        // Japanese characters alone read together with English are not taken (see takenAsText), however sure.
        if (best.likelihood >= kLeastTextConfidence && line.directions.front() == 0 && !onlyJapanese(best.text.text)) {
            break;
        }
    }
}

// Reads the line in the best reading's direction again in each language alone: a language alone reads a
// line better than both together now and then, but not a line both read as nothing likely, nor one read
// surely. The Japanese reading already made in that direction is taken as it is.
void readEachLanguage(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& line,
                      WorkerReaders& readers, const std::optional<Reading>& japaneseReading, LineResult& best) {
    constexpr double kVerySure = 85;
    constexpr double kLeastLikelihoodAlone = 40;
    if (best.likelihood < kLeastLikelihoodAlone || best.likelihood >= kVerySure) {
        return;
    }
    const LineFrame frame = frameOf(glyphs, line, best.text.degrees);
    const GreyImage image = uprightLine(glyphs, line, frame);
    const int side = parallelLineSide(grid, frame);
    for (const std::string& language : readers.singles()) {
        const Reading reading = language == "jpn" && japaneseReading && japaneseReading->degrees == frame.degrees
                                    ? *japaneseReading
                                    : readAs(*readers.alone(language), image, glyphs, line, frame, readers.codec());
        keepLikelier(reading, frame, side, best);
    }
}

// Whether the line's best reading is taken as text. Japanese is written across or up. A line of Japanese
// characters alone is taken only when read one a square cell in Japanese alone: the pieces of crossing
// lines are read as kana together with English.
bool takenAsText(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& line, double leastHeight,
                 const LineResult& best) {
    const bool japanese = best.readInJapanese;
    const bool good =
        japanese || plausible(best.text, characterCells(glyphs, line, frameOf(glyphs, line, best.text.degrees)),
                              line.glyphs.size(), line.glyphs.size() == 1 && inBalloon(grid, glyphs, line));
    const double turn = std::remainder(best.text.degrees, 90.0);
    const std::string& text = best.text.text;
    const bool misplacedJapanese =
        japaneseCharacters(text) > 0 && (std::abs(turn) > 1 || (!japanese && onlyJapanese(text)));
    // Two kana alone are mostly geometry too (a chevron read as ペン), as two letters alone are.
    const bool shortKana = onlyJapanese(text) && japaneseCharacters(text) <= 2 && kanji(text) == 0 &&
                           best.text.confidence < kSureConfidence;
    return good && best.text.height >= leastHeight && hasWordCharacter(text) && !misplacedJapanese && !shortKana;
}

// Reads the line in each of its directions it is high enough in (see readEachDirection), and reads the
// likeliest direction again in Japanese alone when it stands in square cells, or in each language alone.
LineResult readLine(const VirtualVram& grid, const std::vector<Glyph>& glyphs, const GlyphLine& found,
                    double leastHeight, WorkerReaders& readers) {
    LineResult best;
    best.text.confidence = -1;
    // A direction in which the line stands lower than text can is not read: the lettering of symbols and
    // the hatches' pieces would be read for nothing.
    GlyphLine line = found;
    std::erase_if(line.directions,
                  [&](double direction) { return frameOf(glyphs, found, direction).height() < leastHeight; });
    if (line.directions.empty() || isLoneBar(grid, glyphs, line)) {
        return best;
    }
    std::optional<Reading> japaneseReading;
    // Kanji and kana across are read in Japanese alone first: read so, they need no other reading.
    if (line.directions.front() == 0 && readAsJapanese(glyphs, line, 0, readers, best, japaneseReading)) {
        best.readInJapanese = true;
        best.good = best.text.height >= leastHeight && hasWordCharacter(best.text.text);
        return best;
    }
    readEachDirection(grid, glyphs, line, readers, best);
    best.readInJapanese =
        best.likelihood > -INFINITY && readAsJapanese(glyphs, line, best.text.degrees, readers, best, japaneseReading);
    if (!best.readInJapanese) {
        readEachLanguage(grid, glyphs, line, readers, japaneseReading, best);
    }
    best.good = takenAsText(grid, glyphs, line, leastHeight, best);
    // The line was read square to the page; it is written along its baseline, as turned as the scan.
    if (best.good) {
        best.text.degrees = baselineDegrees(glyphs, line, best.text.degrees);
    }
    return best;
}

}  // namespace

void recogniseText(const VirtualVram& grid, double dotsPerMm, const ConversionOptions& options, PageText& page,
                   PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "文字を探す";
    WorkerPool pool(options.Threads, [&toolkit] { toolkit.doEvents(EventPacing{}.ticksPerClockRead); });
    const GlyphSizes sizes = GlyphSizes::forResolution(dotsPerMm);
    GlyphPage glyphs;
    findGlyphs(grid, sizes, glyphs, pool, toolkit);
    std::vector<GlyphLine> lines = groupIntoLines(glyphs.glyphs, sizes);
    dropRunOnEnds(grid, glyphs.stripped.vram, glyphs.glyphs, lines);

    pass.CurrentStep = "文字を読む";
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, 1);
    std::vector<LineResult> results(lines.size());
    std::vector<std::optional<WorkerReaders>> readers(static_cast<std::size_t>(pool.threads()));
    const std::vector<std::size_t> order = longestFirst(glyphs.glyphs, lines);
    pool.run(lines.size(), [&](std::size_t k, std::int32_t worker) {
        auto& own = readers[static_cast<std::size_t>(worker)];
        if (!own) {
            own.emplace(options.OcrLanguage);
        }
        const std::size_t i = order[k];
        results[i] = readLine(grid, glyphs.glyphs, lines[i], sizes.leastTextHeight(), *own);
    });
    for (LineResult& result : results) {
        result.good = result.good && !oneCharacterRepeated(result.text.text);
    }
    keepLargeLetteringInLatin(glyphs.glyphs, lines, results);
    keepZoneLetters(grid, results);
    keepTextOfThePagesSizes(results);
    keepTextOfThePagesDirection(results);
    copyGrid(grid, page.withoutText, toolkit);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!results[i].good) {
            page.leftAsGeometry += results[i].text.confidence >= 0 && hasWordCharacter(results[i].text.text) ? 1 : 0;
            continue;
        }
        const double height = results[i].text.height;
        page.texts.push_back(std::move(results[i].text));
        page.droppedCharacters += results[i].dropped;
        for (const std::size_t g : lines[i].glyphs) {
            clearGlyph(glyphs.glyphs[g], height, page.withoutText);
        }
    }
    // The lines struck through text stay whole.
    setRuns(page.withoutText, glyphs.givenBack);
    progress.update(1, 1);
    progress.finish();
    ++pass.PassNumber;
}

VectorDrawing VectorizeWithText(const BmpHeaderBytes& header, const VirtualVram& lineCells,
                                const ConversionOptions& options, double skewDegrees, PassState& pass, Toolkit& toolkit,
                                std::string* note) {
    if (note != nullptr) {
        note->clear();
    }
    if (!options.Text) {
        return VectorizePicture(header, lineCells, options, skewDegrees, pass, toolkit);
    }
    PageText page;
    recogniseText(lineCells, scanDotsPerMm(header), options, page, pass, toolkit);
    VectorDrawing drawing = VectorizePicture(header, page.withoutText.vram, options, skewDegrees, pass, toolkit);
    VectorDrawing texts;
    texts.texts = std::move(page.texts);
    if (skewDegrees != 0) {
        texts = turnDrawing(texts, -skewDegrees, lineCells.width(), lineCells.height());
    }
    drawing.texts = std::move(texts.texts);
    if (note != nullptr) {
        *note = textNote(static_cast<std::int64_t>(drawing.texts.size()), page.leftAsGeometry, page.droppedCharacters);
    }
    return drawing;
}

std::string textNote(std::int64_t read, std::int64_t leftAsGeometry, std::int64_t droppedCharacters) {
    std::string note = "文字 " + formatInteger(read) + " 行";
    if (leftAsGeometry > 0) {
        note += "（" + formatInteger(leftAsGeometry) + " 行は読み取れず図形のまま）";
    }
    if (droppedCharacters > 0) {
        note += "（Shift_JIS にない " + formatInteger(droppedCharacters) + " 文字を省きました）";
    }
    return note;
}

}  // namespace kelvarin
