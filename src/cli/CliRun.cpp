#include "cli/CliRun.h"

#include <ostream>

#include "app/ConvertCommand.h"
#include "app/FieldBehaviour.h"
#include "app/FileSelection.h"
#include "app/Form.h"
#include "app/ReadCommand.h"
#include "app/Startup.h"
#include "cli/CliOptions.h"
#include "cli/CliView.h"
#include "common/Error.h"

namespace kelvarin {

namespace {

void setIfGiven(CliView& view, Control field, const std::optional<std::string>& value) {
    if (value) {
        view.setText(field, *value);
    }
}

// Fills the settings after the read, which has written the bitmap's dots into the size fields.
void applySettings(Form& form, CliView& view, const CliOptions& options) {
    if (options.output) {
        view.setText(textFile(1), *options.output);
    } else {
        view.setText(textFile(1), "");
        cmdRefer_Click(form, 2);  // "自動"
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
    form.state.conversionOptions = {options.strokes, options.despeckle};
}

bool convertOne(Form& form, CliView& view, const CliOptions& options, const std::string& input) {
    view.setText(textFile(0), input);
    cmdReadFile_Click(form);
    view.endProgressLine();
    if (!form.state.FileLoaded) {
        return false;
    }
    applySettings(form, view, options);
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
    if (!parse.error.empty()) {
        environment.err << "kelvarin-cli: " << parse.error << "\n\n" << cliUsage();
        return kExitUsage;
    }
    const CliOptions& options = parse.options;
    CliView view(environment.in, environment.err,
                 {environment.inputIsTerminal, environment.errorIsTerminal, options.quiet, options.assumeYes,
                  environment.interrupted});
    AppState state;
    if (!Main(state, view, environment.executablePath)) {
        return kExitFailed;
    }
    Form form{state, view};
    int status = kExitConverted;
    for (const std::string& input : options.inputs) {
        if (environment.interrupted != nullptr && *environment.interrupted) {
            view.showMessage(describe(ErrorCode::Interrupted));
            return kExitFailed;
        }
        if (!convertOne(form, view, options, input)) {
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace kelvarin
