// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/TextRecognition.h"

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
#include "vectorize/DrawingTurn.h"
#include "vectorize/Vectorize.h"

namespace kelvarin {

namespace {

// A reading this sure is taken without trying the line's other directions.
constexpr double kSureConfidence = 90;

struct LineResult {
    VectorText text;
    bool good = false;
    std::int64_t dropped = 0;
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

// Reads the line in each of its directions until one is read surely enough, and keeps the surest.
LineResult readLine(const std::vector<Glyph>& glyphs, const GlyphLine& line, double leastHeight, LineReader& reader,
                    Cp932Codec& codec) {
    LineResult best;
    best.text.confidence = -1;
    for (const double direction : line.directions) {
        const LineFrame frame = frameOf(glyphs, line, direction);
        const GreyImage image = uprightLine(glyphs, line, frame);
        const LineReading reading = reader.read(image);
        std::int64_t dropped = 0;
        const std::string text = cp932Text(drawingText(reading.text), codec, dropped);
        if (!text.empty() && reading.confidence > best.text.confidence) {
            best.text = {frame.at(frame.alongStart, frame.baseline), frame.height(), direction, text,
                         reading.confidence};
            best.dropped = dropped;
        }
        // Text across is mostly upright; text up or askew is as often read one way as the other.
        if (best.text.confidence >= kSureConfidence && line.directions.front() == 0) {
            break;
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
    std::vector<std::optional<LineReader::Handle>> readers(static_cast<std::size_t>(pool.threads()));
    std::vector<std::optional<Cp932Codec>> codecs(readers.size());
    pool.run(lines.size(), [&](std::size_t i, std::int32_t worker) {
        auto& reader = readers[static_cast<std::size_t>(worker)];
        auto& codec = codecs[static_cast<std::size_t>(worker)];
        if (!reader) {
            reader.emplace(LineReader::take(options.OcrLanguage));
            codec.emplace();
        }
        results[i] = readLine(glyphs.glyphs, lines[i], 0.8 * sizes.smallest, **reader, *codec);
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
