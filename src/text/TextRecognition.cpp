// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/TextRecognition.h"

#include <cctype>
#include <cmath>
#include <map>
#include <optional>

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "common/WorkerPool.h"
#include "fileutil/Cp932Codec.h"
#include "text/GlyphGroups.h"
#include "text/LineImage.h"
#include "text/LineReader.h"
#include "text/SymbolFixes.h"
#include "text/TextLines.h"
#include "vectorize/Vectorize.h"
#include "vectorize/geometry/DrawingTurn.h"

namespace kelvarin {

namespace {

// A reading this sure is taken without trying the line's other directions.
constexpr double kSureConfidence = 90;

struct LineResult {
    VectorText text;
    bool good = false;
    std::int64_t dropped = 0;
    double likelihood = -INFINITY;
};

// Whether the text has a letter, a digit or a Japanese character: signs and strokes alone are geometry.
bool hasWordCharacter(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            return true;
        }
    }
    return false;
}

// A worker's engines: one for the languages together and, taken when first needed, one for each alone.
// Together, the first language leads: jpn+eng reads 尺度 as RE now and then, and M8 as MS, where
// either language alone reads right and surer.
class WorkerReaders {
public:
    explicit WorkerReaders(const std::string& languages) : m_languages(languages) {
        for (std::size_t start = 0; languages.find('+') != std::string::npos && start <= languages.size();) {
            const std::size_t end = std::min(languages.find('+', start), languages.size());
            m_singles.push_back(languages.substr(start, end - start));
            start = end + 1;
        }
    }

    LineReader& together() { return get(m_languages); }
    const std::vector<std::string>& singles() const { return m_singles; }
    LineReader& get(const std::string& languages) {
        auto found = m_readers.find(languages);
        if (found == m_readers.end()) {
            found = m_readers.emplace(languages, LineReader::take(languages)).first;
        }
        return *found->second;
    }
    Cp932Codec& codec() { return m_codec; }

private:
    std::string m_languages;
    std::vector<std::string> m_singles;  // empty for one language
    std::map<std::string, LineReader::Handle> m_readers;
    Cp932Codec m_codec;
};

// How likely a reading is: the engine's confidence, less a share for each change between Latin letters
// and Japanese characters. A drawing's words keep to one script; a line read upside down or in the wrong
// language mixes them ("GのLtX8MW", "設計 RE"), and the engine's confidences of different languages and
// directions do not compare well by themselves.
double likelihood(const std::string& text, double confidence) {
    constexpr double kPerScriptChange = 30;
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
    return confidence - kPerScriptChange * changes;
}

// Takes the reading when it is likelier than the best so far.
void keepLikelier(const LineReading& reading, const LineFrame& frame, LineResult& best, Cp932Codec& codec) {
    std::int64_t dropped = 0;
    const std::string text = cp932Text(drawingText(reading.text), codec, dropped);
    const double likely = likelihood(text, reading.confidence);
    if (!text.empty() && likely > best.likelihood) {
        best.text = {frame.at(frame.alongStart, frame.baseline), frame.height(), frame.degrees, text,
                     reading.confidence};
        best.likelihood = likely;
        best.dropped = dropped;
    }
}

// Reads the line in each of its directions until one is read surely enough, keeps the surest, and reads
// that direction again in each language alone unless it was read surely.
LineResult readLine(const std::vector<Glyph>& glyphs, const GlyphLine& line, double leastHeight,
                    WorkerReaders& readers) {
    constexpr double kVerySure = 85;
    LineResult best;
    best.text.confidence = -1;
    for (const double direction : line.directions) {
        const LineFrame frame = frameOf(glyphs, line, direction);
        keepLikelier(readers.together().read(uprightLine(glyphs, line, frame)), frame, best, readers.codec());
        // Text across is mostly upright; text up or askew is as often read one way as the other.
        if (best.likelihood >= kSureConfidence && line.directions.front() == 0) {
            break;
        }
    }
    if (best.likelihood > -INFINITY && best.likelihood < kVerySure) {
        const LineFrame frame = frameOf(glyphs, line, best.text.degrees);
        const GreyImage image = uprightLine(glyphs, line, frame);
        for (const std::string& language : readers.singles()) {
            keepLikelier(readers.get(language).read(image), frame, best, readers.codec());
        }
    }
    const double least = line.glyphs.size() > 1 ? kLeastTextConfidence : kLeastGlyphConfidence;
    best.good = best.text.confidence >= least && best.text.height >= leastHeight && hasWordCharacter(best.text.text);
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
    const std::vector<GlyphLine> lines = groupIntoLines(glyphs.glyphs, sizes);

    pass.CurrentStep = "文字を読む";
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, 1);
    std::vector<LineResult> results(lines.size());
    std::vector<std::optional<WorkerReaders>> readers(static_cast<std::size_t>(pool.threads()));
    pool.run(lines.size(), [&](std::size_t i, std::int32_t worker) {
        auto& own = readers[static_cast<std::size_t>(worker)];
        if (!own) {
            own.emplace(options.OcrLanguage);
        }
        results[i] = readLine(glyphs.glyphs, lines[i], 0.8 * sizes.smallest, *own);
    });
    copyGrid(grid, page.withoutText, toolkit);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!results[i].good) {
            page.leftAsGeometry += results[i].text.confidence >= 0 && hasWordCharacter(results[i].text.text) ? 1 : 0;
            continue;
        }
        page.texts.push_back(std::move(results[i].text));
        page.droppedCharacters += results[i].dropped;
        for (const std::size_t g : lines[i].glyphs) {
            clearRuns(page.withoutText, glyphs.glyphs[g].runs);
        }
    }
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
