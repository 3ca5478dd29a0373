// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConvertCommand.h"

#include <cmath>
#include <memory>
#include <optional>

#include "app/ControlGroups.h"
#include "app/Form.h"
#include "bitmap/BmpHeader.h"
#include "bitmap/ImageFormat.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "common/TextFormat.h"
#include "convert/ConversionSettings.h"
#include "convert/Despeckle.h"
#include "convert/LineExtraction.h"
#include "convert/LineSegmentList.h"
#include "convert/Strokes.h"
#include "convert/deskew/Deskew.h"
#include "dxf/DxfDocument.h"
#include "dxf/ScaleFit.h"
#include "fileutil/Cp932Codec.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/FileInfo.h"
#include "fileutil/SafeFileWriter.h"
#include "text/TextRecognition.h"
#include "vectorize/Vectorize.h"

namespace kelvarin {

namespace {

constexpr double kSmallestScale = 0.0001;

// A check that failed: its message is shown and the command ends.
struct Refusal {
    std::string message;
};

// A number field whose text is no number: the error, with the field's caption and text for the details.
struct FieldFailure {
    KelvarinError error;
    std::string details;
};

std::string captionOf(Control field) {
    constexpr std::pair<Control, Control> kLabels[] = {{textSize(0), labelSize(0)},
                                                       {textSize(1), labelSize(1)},
                                                       {textOffset(0), labelOffset(0)},
                                                       {textOffset(1), labelOffset(1)},
                                                       {textPartial, labelPartial}};
    for (const auto& [text, label] : kLabels) {
        if (text == field) {
            return std::string(designOf(label).caption);
        }
    }
    return std::string(designOf(field).objectName);
}

double numberIn(const View& view, Control field) {
    const std::string text = view.text(field);
    try {
        return parseNumber(text);
    } catch (const KelvarinError& error) {
        throw FieldFailure{error, captionOf(field) + ": 「" + text + "」は数値として読めません"};
    }
}

double scaleOf(const View& view, Control field, std::int32_t dots) {
    const double size = numberIn(view, field);
    if (dots == 0) {
        throw KelvarinError(ErrorCode::DivisionByZero);
    }
    const double scale = size / dots;
    if (scale < kSmallestScale) {
        throw Refusal{"倍率がほぼ０では出来ません"};
    }
    return scale;
}

// Reads and checks the settings in their fixed order.
ConversionSettings readSettings(Form& form) {
    AppState& state = form.state;
    const View& view = form.view;
    ConversionSettings settings;
    if (state.FileLength == 0 || !state.FileLoaded) {
        throw Refusal{"ファイルは読み込まれていません"};
    }
    // The drawing is made of the picture read, which must be the one the field names.
    if (trimBlanks(view.text(textFile(0))) != state.PicturePath) {
        throw Refusal{kPictureNotReadRefusal};
    }
    settings.OutputPath = trimBlanks(view.text(textFile(1)));
    if (settings.OutputPath.empty()) {
        throw Refusal{"出力ファイルが指定されていません"};
    }
    // Compared as files, not names: a link or another spelling of the scan would replace it by its drawing,
    // whatever the answer to the overwrite question.
    if (isSameFile(trimBlanks(view.text(textFile(0))), settings.OutputPath)) {
        throw Refusal{"出力ファイルが入力ファイルと同じです。変換しません"};
    }
    state.CurrentStep = "条件取得";
    settings.ScaleX = scaleOf(view, textSize(0), bitmapWidth(state.BmpHeader));
    settings.ScaleY = scaleOf(view, textSize(1), bitmapHeight(state.BmpHeader));
    settings.LayerName = trimBlanks(view.text(textLayer));
    if (settings.LayerName.empty()) {
        throw Refusal{"レイヤー名が入力されていません"};
    }
    // A name the DXF file cannot hold fails here, not half-way through building it.
    if (settings.LayerName.find_first_of("\r\n") != std::string::npos) {
        throw KelvarinError(ErrorCode::InvalidCall, "レイヤー名に改行は使えません。");
    }
    Cp932Codec().encode(settings.LayerName);
    settings.Thinning = roundToInt32(numberIn(view, textPartial));
    if (settings.Thinning < 1) {
        throw Refusal{kThinningRefusal};
    }
    settings.Options = state.conversionOptions;
    if (settings.Options.Strokes && settings.Thinning != 1) {
        throw Refusal{kStrokesThinningRefusal};
    }
    if (settings.Options.Vectorize && settings.Thinning != 1) {
        throw Refusal{kVectorizeThinningRefusal};
    }
    if (settings.Options.Vectorize && settings.Options.Strokes) {
        throw Refusal{"ベクトル化（--vectorize）とストローク（--strokes）は一緒に使えません"};
    }
    settings.OffsetX = numberIn(view, textOffset(0));
    settings.OffsetY = numberIn(view, textOffset(1));
    if (settings.OffsetX < 0 || settings.OffsetY < 0) {
        throw Refusal{"オフセットはマイナス値を指定できません"};
    }
    return settings;
}

// Hidden files are asked about as well: unlike elsewhere, nothing would stop them being replaced. Sets
// whether the user agreed to replace a file; the standard output replaces nothing. A picture or PDF is
// never replaced, whatever the name or the answer given beforehand: a scan lost to its drawing cannot be
// made again from the drawing.
bool mayWrite(Form& form, ConversionSettings& settings) {
    form.state.CurrentStep = "ファイルチェック";
    settings.ReplaceExisting = form.view.replacesWithoutAsking();
    if (settings.OutputPath == SafeFileWriter::kStandardOutput ||
        !entryExists(settings.OutputPath, attribute::Hidden)) {
        return true;
    }
    if (const std::string format = pictureFormatOfFile(settings.OutputPath); !format.empty()) {
        throw Refusal{pictureOutputRefusal(format)};
    }
    settings.ReplaceExisting = form.view.askYesNo("既にファイルがありますが、上書きしてもよろしいですか？");
    return settings.ReplaceExisting;
}

// Counts the segments of the grid, strokes or runs, and gives them to be found again while writing.
std::unique_ptr<SegmentSource> extractSegments(const AppState& state, const VirtualVram& grid,
                                               const ConversionSettings& settings, PassState& pass, View& view) {
    if (settings.Options.Strokes) {
        return std::make_unique<GridStrokes>(grid, ExtractStrokes(state.BmpHeader, grid, pass, view));
    }
    const std::int64_t horizontal =
        settings.MakeHorizontal ? ExtractHorizontalLines(state.BmpHeader, grid, settings.Thinning, pass, view) : 0;
    const std::int64_t vertical =
        settings.MakeVertical ? ExtractVerticalLines(state.BmpHeader, grid, settings.Thinning, pass, view) : 0;
    return std::make_unique<GridRuns>(grid, settings.Thinning, horizontal, vertical);
}

bool writeDrawing(AppState& state, const ConversionSettings& settings, const VectorDrawing& drawing, View& view) {
    state.LineSegmentCount = drawing.entityCount();
    if (state.LineSegmentCount < 1) {
        throw Refusal{"このデータにはラインがありませんでした"};
    }
    const LineSegmentList noSegments;
    const VectorDrawing written = fitToScales(drawing, settings.ScaleX, settings.ScaleY);
    const DxfInput input{
        settings, noSegments, bitmapWidth(state.BmpHeader), bitmapHeight(state.BmpHeader), state.ProgramDirectory,
        &written};
    return BuildDxfDocument(input, state, view);
}

bool runPasses(Form& form, const ConversionSettings& settings) {
    AppState& state = form.state;
    View& view = form.view;
    state.CurrentStep = "仮想VRAMにデータ転送";
    TransferToVram(state, state.Vram, state, view);
    const bool inverted = !settings.LineColorWhite;
    if (inverted) {
        InvertVram(state.BmpHeader, state.Vram, state, view);
    }
    // Deskewing and despeckling work on copies with line cells set; the passes then read the last copy. The
    // vector mode turns its drawing rather than the picture.
    const bool vectors = settings.Options.Vectorize;
    TurnedGrid turned;
    const VirtualVram& upright =
        settings.Options.Deskew ? Deskew(state.BmpHeader, state.Vram, turned, state.SkewDegrees, !vectors, state, view)
                                : state.Vram;
    state.LineSegmentCount = 0;
    if (vectors) {
        state.vectorDrawing = VectorizeWithText(state.BmpHeader, upright, settings.Options, state.SkewDegrees, state,
                                                view, &state.TextNote);
        if (inverted) {
            InvertVram(state.BmpHeader, state.Vram, state, view);
        }
        return writeDrawing(state, settings, state.vectorDrawing, view);
    }
    CleanedGrid cleaned;
    if (settings.Options.DespeckleSize > 0) {
        Despeckle(state.BmpHeader, upright, settings.Options.DespeckleSize, cleaned, state, view);
    }
    const VirtualVram& grid = settings.Options.DespeckleSize > 0 ? cleaned.vram : upright;
    state.CurrentStep = "変換開始";
    // The segments are found again while the file is written, in the grid as it is now: line cells set.
    const std::unique_ptr<SegmentSource> segments = extractSegments(state, grid, settings, state, view);
    if (inverted) {
        InvertVram(state.BmpHeader, state.Vram, state, view);
    }
    state.LineSegmentCount = segments->count();
    if (state.LineSegmentCount < 1) {
        throw Refusal{"このデータにはラインがありませんでした"};
    }
    const DxfInput input{settings, *segments, bitmapWidth(state.BmpHeader), bitmapHeight(state.BmpHeader),
                         state.ProgramDirectory};
    return BuildDxfDocument(input, state, view);
}

bool convert(Form& form) {
    AppState& state = form.state;
    View& view = form.view;
    state.PassNumber = 1;
    state.CurrentStep.clear();
    state.SkewDegrees = 0;
    state.vectorDrawing = {};  // a refused or failed conversion leaves no drawing behind
    state.TextNote.clear();
    ConversionSettings settings = readSettings(form);
    if (!mayWrite(form, settings)) {
        return false;
    }
    readLineKind(view, settings);
    SetAllEnabled(view, false);
    settings.LineColorWhite = state.LineColorWhite = lineColorWhite(view);
    return runPasses(form, settings);
}

void reportFailure(Form& form, const KelvarinError& error, const std::string& details) {
    form.view.showDetailedMessage("No." + formatInteger(error.number()) + "[" + error.description() +
                                      "] in cmdConvert_Click [Pass:" + formatInteger(form.state.PassNumber) + "][" +
                                      form.state.CurrentStep + "]",
                                  details);
}

}  // namespace

std::string pictureOutputRefusal(std::string_view formatName) {
    return "出力ファイルは " + std::string(formatName) + " 形式の画像です。画像を図面で置き換えないため、変換しません";
}

std::string SkewNote(double degrees) {
    // The search gives exactly 0 only when it found no angle to go by.
    if (degrees == 0) {
        return "傾き補正: 0°（縦横の長い線が少ないか揃わないため、回していません）";
    }
    // Adding 0 turns a -0 into 0.
    return "傾き補正: " + formatGeneral(std::round(degrees * 100) / 100 + 0.0) + "°";
}

void readLineKind(const View& view, ConversionSettings& settings) {
    settings.MakeHorizontal = true;
    settings.MakeVertical = true;
    if (view.isSelected(optionMakeLine(0))) {
        settings.MakeVertical = false;
    } else if (view.isSelected(optionMakeLine(1))) {
        settings.MakeHorizontal = false;
    }
}

bool lineColorWhite(const View& view) { return !view.isSelected(optionColor(0)) && view.isSelected(optionColor(1)); }

bool cmdConvert_Click(Form& form) {
    const CommandGuard guard(form);
    if (!guard.running()) {
        return false;
    }
    bool written = false;
    try {
        written = convert(form);
    } catch (const Refusal& refusal) {
        form.view.showMessage(refusal.message);
    } catch (const FieldFailure& failure) {
        reportFailure(form, failure.error, failure.details);
    } catch (...) {
        const KelvarinError error = asKelvarinError(std::current_exception());
        reportFailure(form, error, error.systemErrorNumber() != 0 ? systemReason(error.systemErrorNumber()) : "");
    }
    form.state.PassNumber = 0;
    SetAllEnabled(form.view, true);
    return written;
}

}  // namespace kelvarin
