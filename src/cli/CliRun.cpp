// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRun.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
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
#include "cli/BatchInputs.h"
#include "cli/BatchRun.h"
#include "cli/CliOptions.h"
#include "cli/CliView.h"
#include "cli/ShardSelection.h"
#include "common/NumberParse.h"
#include "fileutil/FileInfo.h"
#include "fileutil/SafeFileWriter.h"

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
        view.setText(textFile(1), *options.output == "-" ? SafeFileWriter::kStandardOutput : *options.output);
    } else {
        view.setText(textFile(1), "");
        // As "自動", by the picture's name alone: a batch decides its outputs before reading any page. It
        // has said why when it gives no name.
        if (!nameOutputAutomatically(form, false)) {
            return false;
        }
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
    form.state.conversionOptions = {options.strokes,
                                    options.despeckle,
                                    options.deskew,
                                    options.vectorize,
                                    options.tolerance.value_or(ConversionOptions::kDefaultTolerance),
                                    options.threads.value_or(0),
                                    options.text,
                                    options.ocrLanguage};
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
    const bool converted = cmdConvert_Click(form);
    view.endProgressLine();
    if (converted && options.deskew && !options.quiet) {
        view.showMessage(SkewNote(form.state.SkewDegrees));
    }
    if (converted && !form.state.TextNote.empty() && !options.quiet) {
        view.showMessage(form.state.TextNote);
    }
    return converted;
}

// One input of the batch, its drawing going where the batch says.
InputOutcome convertInput(Form& form, CliView& view, CliOptions options, const BatchInput& input) {
    const auto start = std::chrono::steady_clock::now();
    if (!input.output.empty()) {
        options.output = input.output;
    }
    if (options.outputDir) {
        std::error_code ignored;  // a folder that cannot be made fails the write, which says why
        std::filesystem::create_directories(std::filesystem::path(input.output).parent_path(), ignored);
    }
    InputOutcome outcome;
    outcome.status = convertOne(form, view, options, input.input) ? InputStatus::Converted : InputStatus::Failed;
    if (outcome.status == InputStatus::Converted) {
        outcome.entities = form.state.LineSegmentCount;
        if (options.vectorize || options.deskew) {
            outcome.skew = form.state.SkewDegrees;
        }
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

// The inputs with their folders walked, the first one's drawing named by -o where given.
std::vector<BatchInput> batchInputs(const CliOptions& options) {
    std::vector<BatchInput> inputs = expandInputs(options.inputs, options.recursive, options.outputDir);
    if (options.output) {
        inputs.front().output = *options.output;
    }
    return inputs;
}

// The same file, however spelled: through "." or "..", or a link to its folder.
std::string fileIdentity(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal().string() : canonical.string();
}

// Fails every input whose drawing would go to the same file as another input's, naming the other; the
// rest of the batch is converted. Decided over all inputs, so that every shard fails the same ones.
void failSharedOutputs(std::vector<BatchInput>& inputs) {
    std::map<std::string, std::vector<std::size_t>> inputsOf;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const BatchInput& each = inputs[i];
        if (each.picture && each.error.empty() && each.output != "-") {
            inputsOf[fileIdentity(drawingOf(each))].push_back(i);
        }
    }
    for (const auto& [output, sharing] : inputsOf) {
        for (std::size_t n = 0; sharing.size() > 1 && n < sharing.size(); ++n) {
            BatchInput& input = inputs[sharing[n]];
            const std::string& other = inputs[sharing[n == 0 ? 1 : 0]].input;
            input.error = "出力ファイル " + drawingOf(input) + " は " + other + " の出力と同じになるため変換しません";
        }
    }
}

}  // namespace

BatchShape batchShape(const CliOptions& options, const CliEnvironment& environment, std::size_t conversions) {
    // One conversion at a time while a person at the terminal may be asked about each file.
    const bool asking = environment.inputIsTerminal && !options.assumeYes && !options.update;
    const std::int32_t wanted = options.jobs ? *options.jobs : asking ? 1 : environment.cores;
    // No more conversions at once than there are to run: the cores a job would leave idle go to the
    // threads of the conversions that run.
    const auto waiting = static_cast<std::int32_t>(std::clamp<std::size_t>(conversions, 1, 1024));
    const std::int32_t running = std::max(1, std::min(wanted, waiting));
    return {wanted, options.threads.value_or(std::max(1, environment.cores / running))};
}

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
        environment.err << "kelvarin-cli: " << parse.error << "\n"
                        << "使い方は kelvarin-cli --help で表示します\n";
        return kExitUsage;
    }
    CliOptions options = parse.options;
    const CliView::Settings settings{environment.inputIsTerminal, environment.errorIsTerminal, options.quiet,
                                     options.assumeYes || options.update, environment.interrupted};
    CliView view(environment.in, environment.err, settings);
    view.setPacing(environment.pacing);
    AppState state;
    state.readOptions = {options.threshold, options.page, options.thresholdMethod,
                         options.dotsPerInch > 0 ? options.dotsPerInch : 300};
    if (!Main(state, view, environment.executablePath)) {
        return kExitIncomplete;
    }
    std::vector<BatchInput> everyInput = batchInputs(options);
    failSharedOutputs(everyInput);
    std::vector<BatchInput> inputs = shardOf(everyInput, options.shardIndex, options.shardCount);
    const BatchShape shape = batchShape(options, environment, conversionsToRun(inputs, options.update));
    options.threads = shape.threads;
    const BatchSettings batch{shape.jobs, options.update, options.report.value_or(""), settings, environment.pacing};
    return runBatch(std::move(inputs), view, batch, [&](CliView& inputView, const BatchInput& input) {
        Form inputForm{state, inputView};
        return convertInput(inputForm, inputView, options, input);
    });
}

}  // namespace kelvarin
