#include "dxf/DxfDocument.h"

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "dxf/OutputLineBuffer.h"
#include "dxf/TemplateFile.h"
#include "dxf/WriteFile.h"
#include "fileutil/Cp932Codec.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

// The drawing coordinate of a cell: multiplied, then added, each rounded to double.
double drawingCoordinate(std::int32_t cell, double scale, double offset) {
    const double scaled = static_cast<double>(cell) * scale;
    return scaled + offset;
}

// The coordinate texts of one axis, each formatted the first time it is needed.
class AxisTexts {
public:
    AxisTexts(double scale, double offset, std::int32_t cells)
        : m_scale(scale), m_offset(offset), m_texts(static_cast<std::size_t>(cells) + 1) {}

    const std::string& at(std::int32_t cell) {
        std::string& text = m_texts[static_cast<std::size_t>(cell)];
        if (text.empty()) {
            text = formatGeneral(drawingCoordinate(cell, m_scale, m_offset));
        }
        return text;
    }

private:
    double m_scale;
    double m_offset;
    std::vector<std::string> m_texts;
};

// Appends the template's lines as one numbered pass; the footer shows its last line as 100%.
void copyTemplate(const std::string& path, bool countLastLineAsDone, OutputLineBuffer& lines, PassState& pass,
                  Toolkit& toolkit, Cp932Codec& codec) {
    const std::vector<std::string> templateLines = readTemplateLines(path, codec);
    const auto count = static_cast<std::int32_t>(templateLines.size());
    toolkit.doEvents(count);  // the counting reading
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, count - 1);
    for (std::int32_t k = 0; k < count; ++k) {
        toolkit.doEvents();
        AppendOutputLine(lines, templateLines[static_cast<std::size_t>(k)]);
        progress.update(k, static_cast<double>(countLastLineAsDone ? k + 1 : k) / count);
    }
    progress.finish();
}

void appendExtentsAndSections(const std::string& extentX, const std::string& extentY, OutputLineBuffer& lines) {
    for (const char* variable : {"$EXTMAX", "$LIMMAX"}) {
        AppendOutputLine(lines, "  9");
        AppendOutputLine(lines, variable);
        AppendOutputLine(lines, " 10");
        AppendOutputLine(lines, extentX);
        AppendOutputLine(lines, " 20");
        AppendOutputLine(lines, extentY);
    }
    AppendOutputLine(lines, "  0");
    AppendOutputLine(lines, "ENDSEC");
}

void appendEntities(const DxfInput& input, OutputLineBuffer& lines, PassState& pass, Toolkit& toolkit) {
    const ConversionSettings& settings = input.settings;
    AxisTexts xTexts(settings.ScaleX, settings.OffsetX, input.width);
    AxisTexts yTexts(settings.ScaleY, settings.OffsetY, input.height);
    const auto count = static_cast<std::int32_t>(input.segments.size());
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, count - 1);
    AppendOutputLine(lines, "  0");
    AppendOutputLine(lines, "SECTION");
    AppendOutputLine(lines, "  2");
    AppendOutputLine(lines, "ENTITIES");
    for (std::int32_t k = 0; k < count; ++k) {
        toolkit.doEvents();
        const LineSegment& segment = input.segments[static_cast<std::size_t>(k)];
        AppendOutputLine(lines, "  0");
        AppendOutputLine(lines, "LINE");
        AppendOutputLine(lines, "  8");
        AppendOutputLine(lines, settings.LayerName);
        AppendOutputLine(lines, "  6");
        AppendOutputLine(lines, "CONTINUOUS");
        AppendOutputLine(lines, " 62");
        AppendOutputLine(lines, "    7");
        AppendOutputLine(lines, " 10");
        AppendOutputLine(lines, xTexts.at(segment.StartX));
        AppendOutputLine(lines, " 20");
        AppendOutputLine(lines, yTexts.at(segment.StartY));
        AppendOutputLine(lines, " 11");
        AppendOutputLine(lines, xTexts.at(segment.StartX + segment.SpanX - 1));
        AppendOutputLine(lines, " 21");
        AppendOutputLine(lines, yTexts.at(segment.StartY + segment.SpanY - 1));
        progress.update(k, static_cast<double>(k) / count);
    }
    progress.finish();
    AppendOutputLine(lines, "  0");
    AppendOutputLine(lines, "ENDSEC");
}

}  // namespace

bool BuildDxfDocument(const DxfInput& input, OutputLineBuffer& lines, PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "DXFデータ作成開始";
    ResetOutputLines(lines);
    const std::string headerPath = input.programDirectory + kPathSeparator + "header.txt";
    const std::string footerPath = input.programDirectory + kPathSeparator + "footer.txt";
    Cp932Codec codec;

    pass.CurrentStep = "header.txt読み込み開始";
    copyTemplate(headerPath, false, lines, pass, toolkit, codec);

    pass.CurrentStep = "ヘッダ部分追加";
    const ConversionSettings& settings = input.settings;
    appendExtentsAndSections(formatGeneral(drawingCoordinate(input.width, settings.ScaleX, settings.OffsetX)),
                             formatGeneral(drawingCoordinate(input.height, settings.ScaleY, settings.OffsetY)), lines);

    ++pass.PassNumber;
    pass.CurrentStep = "データ設定開始";
    appendEntities(input, lines, pass, toolkit);

    ++pass.PassNumber;
    pass.CurrentStep = "footer.txtの読み込み";
    copyTemplate(footerPath, true, lines, pass, toolkit, codec);

    ++pass.PassNumber;
    pass.CurrentStep = "作成データの書き込み";
    const bool written = WriteFile(input.settings.OutputPath, lines, toolkit);
    toolkit.showMessage(written ? kConversionDoneMessage : "ファイル書き込みエラー");
    return written;
}

}  // namespace kelvarin
