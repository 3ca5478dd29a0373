// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/DxfDocument.h"

#include "common/Error.h"
#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "dxf/CoordinateTexts.h"
#include "dxf/DxfContent.h"
#include "dxf/TemplateFile.h"
#include "dxf/WriteFile.h"
#include "fileutil/Cp932Codec.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

// Reads a template as one numbered pass over its lines; the footer shows its last line as 100%.
std::vector<std::string> readTemplate(const std::string& path, bool countLastLineAsDone, PassState& pass,
                                      Toolkit& toolkit, Cp932Codec& codec) {
    std::vector<std::string> lines = readTemplateLines(path, codec);
    const auto count = static_cast<std::int32_t>(lines.size());
    toolkit.doEvents(count);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, count - 1);
    for (std::int32_t k = 0; k < count; ++k) {
        progress.update(k, static_cast<double>(countLastLineAsDone ? k + 1 : k) / count);
    }
    progress.finish();
    return lines;
}

// The layer name as the file holds it; a name with a line break or without a code page 932 form fails.
std::string layerBytes(const std::string& layerName, Cp932Codec& codec) {
    if (layerName.find_first_of("\r\n") != std::string::npos) {
        throw KelvarinError(ErrorCode::InvalidCall, "レイヤー名に改行は使えません。");
    }
    return isAscii(layerName) ? layerName : codec.encode(layerName);
}

}  // namespace

bool BuildDxfDocument(const DxfInput& input, PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "DXFデータ作成開始";
    const ConversionSettings& settings = input.settings;
    const std::string headerPath = input.programDirectory + kPathSeparator + "header.txt";
    const std::string footerPath = input.programDirectory + kPathSeparator + "footer.txt";
    Cp932Codec codec;
    DxfContent content{input.segments, input.drawing};
    content.scaleX = settings.ScaleX;
    content.scaleY = settings.ScaleY;
    content.offsetX = settings.OffsetX;
    content.offsetY = settings.OffsetY;

    pass.CurrentStep = "header.txt読み込み開始";
    content.headerLines = readTemplate(headerPath, false, pass, toolkit, codec);

    pass.CurrentStep = "ヘッダ部分追加";
    content.extentX = formatGeneral(drawingCoordinate(input.width, settings.ScaleX, settings.OffsetX));
    content.extentY = formatGeneral(drawingCoordinate(input.height, settings.ScaleY, settings.OffsetY));

    ++pass.PassNumber;
    pass.CurrentStep = "データ設定開始";
    content.layerName = layerBytes(settings.LayerName, codec);
    if (input.drawing != nullptr) {
        for (const VectorText& text : input.drawing->texts) {
            content.textBytes.push_back(codec.encode(text.text));
        }
    }
    const std::int64_t count = input.segments.count() + (input.drawing != nullptr ? input.drawing->entityCount() : 0);
    ProgressDisplay entities = ProgressDisplay::forPass(toolkit, pass.PassNumber, static_cast<double>(count - 1));
    entities.sweep(count - 1, count);
    entities.finish();

    ++pass.PassNumber;
    pass.CurrentStep = "footer.txtの読み込み";
    content.footerLines = readTemplate(footerPath, true, pass, toolkit, codec);

    ++pass.PassNumber;
    pass.CurrentStep = "作成データの書き込み";
    const bool written = WriteFile(settings.OutputPath, settings.ReplaceExisting, content, toolkit);
    toolkit.showMessage(written ? kConversionDoneMessage : "ファイル書き込みエラー");
    return written;
}

}  // namespace kelvarin
