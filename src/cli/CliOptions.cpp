#include "cli/CliOptions.h"

#include <array>
#include <charconv>
#include <limits>
#include <string_view>
#include <utility>

namespace kelvarin {

namespace {

struct ValueOption {
    const char* name;
    std::optional<std::string> CliOptions::*field;
};

constexpr std::array kValueOptions = {
    ValueOption{"-o", &CliOptions::output},          ValueOption{"--output", &CliOptions::output},
    ValueOption{"--size-x", &CliOptions::sizeX},     ValueOption{"--size-y", &CliOptions::sizeY},
    ValueOption{"--offset-x", &CliOptions::offsetX}, ValueOption{"--offset-y", &CliOptions::offsetY},
    ValueOption{"--layer", &CliOptions::layer},      ValueOption{"--thinning", &CliOptions::thinning},
};

// The index of value among choices, or -1.
template <std::size_t N>
int choiceIndex(const std::string& value, const std::array<const char*, N>& choices) {
    for (std::size_t i = 0; i < N; ++i) {
        if (value == choices[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A whole number in [low, high], or nothing.
std::optional<std::int64_t> wholeNumber(std::string_view text, std::int64_t low, std::int64_t high) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// 0-255, or a percentage of 255 such as "50%".
std::optional<int> thresholdOf(std::string_view text) {
    if (!text.empty() && text.back() == '%') {
        const auto percent = wholeNumber(text.substr(0, text.size() - 1), 0, 100);
        return percent ? std::optional<int>(static_cast<int>((*percent * 255 + 50) / 100)) : std::nullopt;
    }
    const auto value = wholeNumber(text, 0, 255);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

// A number of dots from 0.1 to 100.
std::optional<double> toleranceOf(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 0.1 && value <= 100)) {
        return std::nullopt;
    }
    return value;
}

// The value of an option that takes one: the parsed value, or the usage error naming the option.
template <typename T>
bool parsed(const std::optional<T>& value, const std::string& option, const std::string& text, std::string& error) {
    if (!value) {
        error = option + " の値が正しくありません: " + text;
    }
    return value.has_value();
}

}  // namespace

CliParse parseCliArguments(const std::vector<std::string>& arguments) {
    CliParse parse;
    CliOptions& options = parse.options;
    bool onlyInputs = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (onlyInputs || argument.empty() || argument[0] != '-' || argument == "-") {
            options.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyInputs = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = argument.substr(equals + 1);
            argument.erase(equals);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            return std::nullopt;
        };

        if (argument == "--yes" || argument == "-y") {
            options.assumeYes = true;
        } else if (argument == "--quiet" || argument == "-q") {
            options.quiet = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--threshold" || argument == "--page" || argument == "--units" || argument == "--dpi") {
            const std::string value = takeValue().value_or("");
            if (argument == "--threshold" && value == "auto") {
                options.thresholdMethod = ThresholdMethod::Histogram;
            } else if (argument == "--threshold") {
                const auto threshold = thresholdOf(value);
                if (!parsed(threshold, argument, value, parse.error)) {
                    return parse;
                }
                options.threshold = *threshold;
                options.thresholdMethod = ThresholdMethod::Fixed;
            } else if (argument == "--page") {
                const auto page = wholeNumber(value, 1, 1 << 20);
                if (!parsed(page, argument, value, parse.error)) {
                    return parse;
                }
                options.page = static_cast<std::int32_t>(*page);
            } else if (argument == "--units") {
                options.units = sizeUnitNamed(value);
                if (!parsed(options.units, argument, value, parse.error)) {
                    return parse;
                }
            } else {
                const auto dpi = wholeNumber(value, 1, 1000000);
                if (!parsed(dpi, argument, value, parse.error)) {
                    return parse;
                }
                options.dotsPerInch = static_cast<double>(*dpi);
            }
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--adaptive") {
            options.thresholdMethod = ThresholdMethod::Adaptive;
        } else if (argument == "--strokes") {
            options.strokes = true;
        } else if (argument == "--deskew") {
            options.deskew = true;
        } else if (argument == "--vectorize") {
            options.vectorize = true;
        } else if (argument == "--tolerance") {
            const std::string value = takeValue().value_or("");
            options.tolerance = toleranceOf(value);
            if (!parsed(options.tolerance, argument, value, parse.error)) {
                return parse;
            }
        } else if (argument == "--despeckle") {
            const std::string value = takeValue().value_or("");
            const auto count = wholeNumber(value, 0, std::numeric_limits<std::int64_t>::max());
            if (!parsed(count, argument, value, parse.error)) {
                return parse;
            }
            options.despeckle = *count;
        } else if (argument == "--color" || argument == "--lines") {
            const auto value = takeValue();
            const int index = !value ? -1
                              : argument == "--color"
                                  ? choiceIndex(*value, std::array{"black", "white"})
                                  : choiceIndex(*value, std::array{"horizontal", "vertical", "both"});
            if (index < 0) {
                parse.error = argument + " の値が正しくありません: " + value.value_or("");
                return parse;
            }
            (argument == "--color" ? options.color : options.lines) = index;
            options.linesGiven = options.linesGiven || argument == "--lines";
        } else {
            const ValueOption* option = nullptr;
            for (const ValueOption& candidate : kValueOptions) {
                if (argument == candidate.name) {
                    option = &candidate;
                }
            }
            if (option == nullptr) {
                parse.error = "不明なオプションです: " + argument;
                return parse;
            }
            const auto value = takeValue();
            if (!value) {
                parse.error = argument + " には値が必要です";
                return parse;
            }
            options.*(option->field) = *value;
        }
    }
    if (!options.help && !options.version && options.inputs.empty()) {
        parse.error = "入力する画像ファイルを指定してください";
    } else if (options.output && options.inputs.size() > 1) {
        parse.error = "-o は入力ファイルが一つのときだけ使えます";
    } else if (options.vectorize && (options.strokes || options.linesGiven)) {
        parse.error = std::string("--vectorize は ") + (options.strokes ? "--strokes" : "--lines") +
                      " と一緒に使えません（ベクトル化は線の向きを自分で決めます）";
    } else if (options.tolerance && !options.vectorize) {
        parse.error = "--tolerance は --vectorize と一緒に使います";
    }
    return parse;
}

std::string cliUsage() {
    return "使い方: kelvarin-cli [オプション] 入力画像 [入力画像 ...]\n"
           "白黒の画像（1 ビット BMP、TIFF、PNG、PBM/PGM/PPM/PAM、PDF）を、線の DXF ファイルに変換します。\n"
           "\n"
           "  -o, --output FILE     出力 DXF ファイル（入力が一つのときのみ。- は標準出力。既定: 入力名の"
           "拡張子を .dxf に）\n"
           "  --size-x NUMBER       変換後横サイズ（既定: 横のドット数）\n"
           "  --size-y NUMBER       変換後縦サイズ（既定: 縦のドット数。片方だけなら縦横比を保ちます）\n"
           "  --offset-x NUMBER     変換後オフセットX（既定: 0）\n"
           "  --offset-y NUMBER     変換後オフセットY（既定: 0）\n"
           "  --layer NAME          レイヤー名（既定: 0）\n"
           "  --thinning NUMBER     間引き数（既定: 1 = 間引きなし）\n"
           "  --color black|white   ラインとして取得する色（既定: black）\n"
           "  --threshold N         グレー・カラーの画素を黒とみなす明るさの境（0〜255 または 50% の形。\n"
           "                        既定: 128。これより暗い画素が黒。BMP には使いません）\n"
           "  --threshold auto      境を画像の明るさの分布から決めます（大津の方法）\n"
           "  --adaptive            画素ごとに、周りの 51×51 ドットの平均と標準偏差から境を決めます\n"
           "                        （Sauvola の方法。照明のむらや黄ばみのある画像、写真に）\n"
           "  --page N              複数ページの TIFF・PDF で変換するページ（既定: 1）\n"
           "  --units mm|cm|inch    画像の解像度から実寸を求めて、変換後サイズをその単位で設定します\n"
           "  --dpi N               解像度（ドット/インチ）を指定します（ファイルの値より優先）。\n"
           "                        1 枚の画像でできていない PDF のページはこの解像度で描きます（既定: 300）\n"
           "  --lines horizontal|vertical|both\n"
           "                        作成する線の種類（既定: horizontal）\n"
           "  --strokes             同じ列から同じ列までの横の連なりが続く行を長方形にまとめ、\n"
           "                        長い辺に沿って中央に 1 本の線にします（--lines は使われず、間引き数 1 のみ）\n"
           "  --despeckle N         変換の前に、8 方向につながる N ドット以下のかたまりを取り除きます\n"
           "                        （既定: 0 = 取り除かない。--vectorize では線の太さから自動で決めます）\n"
           "  --deskew              長い縦横の線から画像の傾き（±5° まで）を求め、画像を中心のまわりに回して\n"
           "                        まっすぐにしてから変換します。求めた角度（反時計回りが正）を表示します\n"
           "  --vectorize           線の中心を、任意の角度の LINE、円は CIRCLE、円弧は ARC として書き出します\n"
           "                        （--strokes、--lines とは併用できず、間引き数 1 のみ）\n"
           "  --tolerance PX        --vectorize で、書き出す線と線の中心とのずれの上限（ドット。既定: 2）\n"
           "  -y, --yes             既存の出力ファイルを確認せずに上書きします\n"
           "                        （指定しないと端末では確認し、端末でなければ上書きしません）\n"
           "  -q, --quiet           進み具合と完了メッセージを表示しません\n"
           "  -h, --help            この説明を表示します\n"
           "  --version             バージョンを表示します\n"
           "\n"
           "終了コード: 0 すべて変換した / 1 変換できなかったファイルがある / 2 使い方の誤り\n"
           "--size-x / --size-y は --units より優先します。\n"
           "header.txt と footer.txt は、プログラムと同じフォルダ、$XDG_CONFIG_HOME/kelvarin（既定 "
           "~/.config/kelvarin）、\n"
           "インストール先の share/kelvarin の順に探します。\n";
}

}  // namespace kelvarin
