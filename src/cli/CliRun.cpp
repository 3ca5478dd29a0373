#include "cli/CliRun.h"

#include <ostream>

#include "app/ConvertCommand.h"
#include "app/FieldBehaviour.h"
#include "app/FileSelection.h"
#include "app/Form.h"
#include "app/ReadCommand.h"
#include "app/RealSize.h"
#include "app/Startup.h"
#include "app/Version.h"
#include "bitmap/BmpHeader.h"
#include "bitmap/ImageFormat.h"
#include "cli/CliOptions.h"
#include "cli/CliView.h"
#include "common/NumberParse.h"
#include "fileutil/FileInfo.h"

namespace kelvarin {

namespace {

void setIfGiven(CliView& view, Control field, const std::optional<std::string>& value) {
    if (value) {
        view.setText(field, *value);
    }
}

// Fills the settings after the read, which has written the bitmap's dots into the size fields. False when
// the real size was asked for and cannot be had.
bool applySettings(Form& form, CliView& view, const CliOptions& options) {
    if (options.output) {
        view.setText(textFile(1), *options.output);
    } else {
        view.setText(textFile(1), "");
        cmdRefer_Click(form, 2);  // "自動"
    }
    if (options.units && !fillSizesFromResolution(form, *options.units, options.dotsPerInch)) {
        return false;
    }
    if (options.sizeX && options.sizeY) {
        view.setText(textSize(0), *options.sizeX);
        view.setText(textSize(1), *options.sizeY);
    } else if (options.sizeX || options.sizeY) {
        // As if typed: the other field follows the bitmap's proportions.
        const int index = options.sizeX ? 0 : 1;
        view.setText(textSize(index), options.sizeX ? *options.sizeX : *options.sizeY);
        textSize_KeyUp(form, index);
    }
    setIfGiven(view, textOffset(0), options.offsetX);
    setIfGiven(view, textOffset(1), options.offsetY);
    setIfGiven(view, textLayer, options.layer);
    setIfGiven(view, textPartial, options.thinning);
    view.controls().select(optionColor(options.color));
    optionColor_Click(form, options.color);
    view.controls().select(optionMakeLine(options.lines));
    form.state.conversionOptions = {options.strokes, options.despeckle, options.vectorize,
                                    options.tolerance.value_or(ConversionOptions::kDefaultTolerance)};
    return true;
}

// A BMP whose colour table puts white first looks inverted to the conversion, which takes bit value 0 as
// black whatever the table says.
void noteWhiteFirstPalette(const AppState& state, CliView& view) {
    const std::span<const std::uint8_t> file(state.FileBytes.data(), state.FileBytes.size());
    if (sniffImageFormat(file) == ImageFormat::Bmp && whiteAtIndexZero(file)) {
        view.showMessage(
            "この BMP は色テーブルの 0 番が白です。ビット値 0 を黒として変換するため、"
            "見た目とは白黒が逆になります（見た目どおりの黒を線にするには --color white）");
    }
}

bool convertOne(Form& form, CliView& view, const CliOptions& options, const std::string& input) {
    view.setText(textFile(0), input);
    const bool read = cmdReadFile_Click(form);
    view.endProgressLine();
    if (!read) {
        return false;
    }
    noteWhiteFirstPalette(form.state, view);
    if (!applySettings(form, view, options)) {
        return false;
    }
    // Checked even with --yes: the scan would be replaced by its drawing.
    if (isSameFile(trimBlanks(input), trimBlanks(view.text(textFile(1))))) {
        view.showMessage("出力ファイルが入力ファイルと同じです。変換しません");
        return false;
    }
    const bool converted = cmdConvert_Click(form);
    view.endProgressLine();
    return converted;
}

}  // namespace

int runCli(const std::vector<std::string>& arguments, const CliEnvironment& environment) {
    const CliParse parse = parseCliArguments(arguments);
    if (parse.options.help) {
        environment.out << cliUsage();
        return kExitConverted;
    }
    if (parse.options.version) {
        environment.out << "kelvarin-cli " << kVersionText << "\n";
        return kExitConverted;
    }
    if (!parse.error.empty()) {
        environment.err << "kelvarin-cli: " << parse.error << "\n\n" << cliUsage();
        return kExitUsage;
    }
    const CliOptions& options = parse.options;
    CliView view(environment.in, environment.err,
                 {environment.inputIsTerminal, environment.errorIsTerminal, options.quiet, options.assumeYes,
                  environment.interrupted});
    view.setPacing(environment.pacing);
    AppState state;
    state.readOptions = {options.threshold, options.page};
    if (!Main(state, view, environment.executablePath)) {
        return kExitFailed;
    }
    Form form{state, view};
    int status = kExitConverted;
    for (const std::string& input : options.inputs) {
        if (view.stopRequested()) {
            break;
        }
        view.setSubject(input);
        if (!convertOne(form, view, options, input)) {
            status = kExitFailed;
        }
    }
    if (view.stopRequested()) {
        view.reportInterruption();  // about the input it stopped, if any
        return kExitFailed;
    }
    return status;
}

}  // namespace kelvarin
