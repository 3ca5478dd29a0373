// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ResultContent.h"

#include <filesystem>
#include <new>
#include <optional>

#include "app/ConvertCommand.h"
#include "app/Form.h"
#include "bitmap/BmpHeader.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "common/PassState.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "convert/ResultLayers.h"
#include "convert/deskew/SkewSearch.h"
#include "text/TextRecognition.h"
#include "vectorize/Vectorize.h"

namespace kelvarin {

namespace {

// The settings that decide where the LINEs lie, from the window; nothing when they cannot be used.
std::variant<ConversionSettings, std::string> lineSettings(const Form& form) {
    ConversionSettings settings;
    if (form.state.FileLength == 0 || !form.state.FileLoaded) {
        return std::string("ファイルは読み込まれていません");
    }
    if (trimBlanks(form.view.text(textFile(0))) != form.state.PicturePath) {
        return std::string(kPictureNotReadRefusal);
    }
    try {
        settings.Thinning = roundToInt32(parseNumber(form.view.text(textPartial)));
    } catch (const KelvarinError&) {
        settings.Thinning = 0;
    }
    if (settings.Thinning < 1) {
        return std::string(kThinningRefusal);
    }
    settings.Options = form.state.conversionOptions;
    if (settings.Options.Strokes && settings.Thinning != 1) {
        return std::string(kStrokesThinningRefusal);
    }
    if (settings.Options.Vectorize && settings.Thinning != 1) {
        return std::string(kVectorizeThinningRefusal);
    }
    readLineKind(form.view, settings);
    settings.LineColorWhite = lineColorWhite(form.view);
    return settings;
}

}  // namespace

std::string describeCounts(const ResultCounts& counts) {
    std::string text = "LINE " + formatInteger(counts.lines) + "  ARC " + formatInteger(counts.arcs) + "  CIRCLE " +
                       formatInteger(counts.circles);
    if (counts.texts > 0) {
        text += "  TEXT " + formatInteger(counts.texts);
    }
    text += counts.dxfBytes ? "  DXF " + formatInteger(*counts.dxfBytes) + " バイト" : "  （プレビュー、未保存）";
    if (counts.skewDegrees) {
        text += "  " + SkewNote(*counts.skewDegrees);
    }
    return text;
}

ResultOrRefusal lastConversionResult(const Form& form) {
    const AppState& state = form.state;
    auto read = lineSettings(form);
    if (const auto* refusal = std::get_if<std::string>(&read)) {
        return *refusal;
    }
    ConversionSettings& settings = std::get<ConversionSettings>(read);
    ConversionResult result;
    const VectorDrawing& vectors = state.vectorDrawing;
    if (vectors.entityCount() > 0) {
        // The vectors are drawn over the scan: no runs.
        settings.MakeHorizontal = settings.MakeVertical = settings.Options.Strokes = false;
        result.vectors = std::make_shared<const VectorDrawing>(vectors);
        result.counts.lines = static_cast<std::int64_t>(vectors.lines.size());
        result.counts.arcs = static_cast<std::int64_t>(vectors.arcs.size());
        result.counts.circles = static_cast<std::int64_t>(vectors.circles.size());
        result.counts.texts = static_cast<std::int64_t>(vectors.texts.size());
    } else {
        result.counts.lines = state.LineSegmentCount;
    }
    ResultLayers::SkewOf skewOf;
    if (settings.Options.Deskew) {
        skewOf = [&state](const VirtualVram&) { return state.SkewDegrees; };
        result.counts.skewDegrees = state.SkewDegrees;
    }
    try {
        result.layers = std::make_shared<const ResultLayers>(state, settings, skewOf);
    } catch (const std::bad_alloc&) {
        return std::string(kNoMemoryForResult);
    }
    std::error_code error;
    const auto bytes = std::filesystem::file_size(trimBlanks(form.view.text(textFile(1))), error);
    if (!error) {
        result.counts.dxfBytes = static_cast<std::int64_t>(bytes);
    }
    return result;
}

ResultOrRefusal previewResult(const Form& form) {
    auto read = lineSettings(form);
    if (const auto* refusal = std::get_if<std::string>(&read)) {
        return *refusal;
    }
    ConversionSettings& settings = std::get<ConversionSettings>(read);
    const BitmapData& bitmap = form.state;
    ConversionResult result;
    ResultLayers::SkewOf skewOf;
    std::optional<double> skewFound;
    if (settings.Options.Deskew) {
        // The skew the conversion would find.
        skewOf = [&skewFound](const VirtualVram& lineCells) {
            SilentReport report;
            skewFound = findSkew(lineCells, report).degrees;
            return *skewFound;
        };
    }
    try {
        if (settings.Options.Vectorize) {
            // The vectors the conversion would write, drawn over the scan instead of runs.
            VirtualVram lineCells;
            lineCells.attach(bitmap.PixelBytes, bitmapWidth(bitmap.BmpHeader), bitmapHeight(bitmap.BmpHeader),
                             rowStride(bitmapWidth(bitmap.BmpHeader)));
            if (!settings.LineColorWhite) {
                lineCells.invert();
            }
            const double skew = skewOf ? skewOf(lineCells) : 0;
            PassState pass;
            SilentToolkit toolkit;
            auto vectors = std::make_shared<VectorDrawing>(
                VectorizeWithText(bitmap.BmpHeader, lineCells, settings.Options, skew, pass, toolkit));
            result.counts.lines = static_cast<std::int64_t>(vectors->lines.size());
            result.counts.arcs = static_cast<std::int64_t>(vectors->arcs.size());
            result.counts.circles = static_cast<std::int64_t>(vectors->circles.size());
            result.counts.texts = static_cast<std::int64_t>(vectors->texts.size());
            result.vectors = std::move(vectors);
            settings.MakeHorizontal = settings.MakeVertical = settings.Options.Strokes = false;
            if (skewOf) {
                skewOf = [skew](const VirtualVram&) { return skew; };
            }
        }
        result.layers = std::make_shared<const ResultLayers>(bitmap, settings, skewOf);
    } catch (const std::bad_alloc&) {
        return std::string(kNoMemoryForResult);
    }
    if (!settings.Options.Vectorize) {
        result.counts.lines = result.layers->lines().lineCount();
    }
    result.counts.skewDegrees = skewFound;
    return result;
}

}  // namespace kelvarin
