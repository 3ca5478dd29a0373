// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliOptions.h"

#include <array>
#include <charconv>
#include <limits>
#include <string_view>

namespace kelvarin {

namespace {

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

// Stores a whole number in [low, high] into field; false when the text is none.
template <typename Field>
bool storeWhole(Field& field, const std::string& text, std::int64_t low, std::int64_t high) {
    const auto value = wholeNumber(text, low, high);
    if (value) {
        field = static_cast<std::int32_t>(*value);
    }
    return value.has_value();
}

// "K/N" with 1 <= K <= N.
bool storeShard(CliOptions& options, const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    const auto index = wholeNumber(std::string_view(text).substr(0, slash), 1, 1 << 20);
    const auto count = wholeNumber(std::string_view(text).substr(slash + 1), 1, 1 << 20);
    if (!index || !count || *index > *count) {
        return false;
    }
    options.shardIndex = static_cast<std::int32_t>(*index);
    options.shardCount = static_cast<std::int32_t>(*count);
    return true;
}

// What an option takes after its name.
enum class Value {
    None,     // a switch
    Checked,  // a value that must pass the check; a missing one is checked as empty text
    Text,     // any text; a missing one is an error of its own
};

// A line of --help: the option as written, and what it does (further lines start with '\n').
struct HelpRow {
    const char* synopsis = nullptr;
    const char* text = nullptr;
};

// One option: its names, its value, the check that stores it (false: the value is not usable), and its help.
struct OptionSpec {
    const char* shortName;  // nullptr for none
    const char* longName;
    Value value;
    bool (*store)(CliOptions&, const std::string&);
    HelpRow help;
    HelpRow moreHelp{};  // another form of the same option, on a row of its own
};

template <std::optional<std::string> CliOptions::*field>
bool storeText(CliOptions& options, const std::string& value) {
    options.*field = value;
    return true;
}

template <bool CliOptions::*field>
bool storeSwitch(CliOptions& options, const std::string&) {
    options.*field = true;
    return true;
}

// clang-format off
const std::array kOptions = {
    OptionSpec{"-o", "--output", Value::Text, storeText<&CliOptions::output>,
               {"-o, --output FILE",
                "出力 DXF ファイル（入力が一つのときのみ。- は標準出力。既定: 入力名の拡張子を .dxf に）"}},
    OptionSpec{nullptr, "--size-x", Value::Text, storeText<&CliOptions::sizeX>,
               {"--size-x NUMBER", "変換後横サイズ（既定: 横のドット数）"}},
    OptionSpec{nullptr, "--size-y", Value::Text, storeText<&CliOptions::sizeY>,
               {"--size-y NUMBER", "変換後縦サイズ（既定: 縦のドット数。片方だけなら縦横比を保ちます）"}},
    OptionSpec{nullptr, "--offset-x", Value::Text, storeText<&CliOptions::offsetX>,
               {"--offset-x NUMBER", "変換後オフセットX（既定: 0）"}},
    OptionSpec{nullptr, "--offset-y", Value::Text, storeText<&CliOptions::offsetY>,
               {"--offset-y NUMBER", "変換後オフセットY（既定: 0）"}},
    OptionSpec{nullptr, "--layer", Value::Text, storeText<&CliOptions::layer>,
               {"--layer NAME", "レイヤー名（既定: 0）"}},
    OptionSpec{nullptr, "--thinning", Value::Text, storeText<&CliOptions::thinning>,
               {"--thinning NUMBER", "間引き数（既定: 1 = 間引きなし）"}},
    OptionSpec{nullptr, "--color", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   options.color = choiceIndex(value, std::array{"black", "white"});
                   return options.color >= 0;
               },
               {"--color black|white", "ラインとして取得する色（既定: black）"}},
    OptionSpec{nullptr, "--threshold", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   if (value == "auto") {
                       options.thresholdMethod = ThresholdMethod::Histogram;
                       return true;
                   }
                   const auto threshold = thresholdOf(value);
                   options.threshold = threshold.value_or(options.threshold);
                   options.thresholdMethod = ThresholdMethod::Fixed;
                   return threshold.has_value();
               },
               {"--threshold N",
                "グレー・カラーの画素を黒とみなす明るさの境（0〜255 または 50% の形。\n"
                "既定: 128。これより暗い画素が黒。BMP には使いません）"},
               {"--threshold auto", "境を画像の明るさの分布から決めます（大津の方法）"}},
    OptionSpec{nullptr, "--adaptive", Value::None,
               [](CliOptions& options, const std::string&) {
                   options.thresholdMethod = ThresholdMethod::Adaptive;
                   return true;
               },
               {"--adaptive",
                "画素ごとに、周りの 51×51 ドットの平均と標準偏差から境を決めます\n"
                "（Sauvola の方法。照明のむらや黄ばみのある画像、写真に）"}},
    OptionSpec{nullptr, "--page", Value::Checked,
               [](CliOptions& options, const std::string& value) { return storeWhole(options.page, value, 1, 1 << 20); },
               {"--page N", "複数ページの TIFF・PDF で変換するページ（既定: 1）"}},
    OptionSpec{nullptr, "--units", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   options.units = sizeUnitNamed(value);
                   return options.units.has_value();
               },
               {"--units mm|cm|inch", "画像の解像度から実寸を求めて、変換後サイズをその単位で設定します"}},
    OptionSpec{nullptr, "--dpi", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   const auto dpi = wholeNumber(value, 1, 1000000);
                   options.dotsPerInch = static_cast<double>(dpi.value_or(0));
                   return dpi.has_value();
               },
               {"--dpi N",
                "解像度（ドット/インチ）を指定します（ファイルの値より優先）。\n"
                "1 枚の画像でできていない PDF のページはこの解像度で描きます（既定: 300）"}},
    OptionSpec{nullptr, "--lines", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   options.lines = choiceIndex(value, std::array{"horizontal", "vertical", "both"});
                   options.linesGiven = true;
                   return options.lines >= 0;
               },
               {"--lines horizontal|vertical|both", "作成する線の種類（既定: horizontal）"}},
    OptionSpec{nullptr, "--strokes", Value::None, storeSwitch<&CliOptions::strokes>,
               {"--strokes",
                "同じ列から同じ列までの横の連なりが続く行を長方形にまとめ、\n"
                "長い辺に沿って中央に 1 本の線にします（--lines は使われず、間引き数 1 のみ）"}},
    OptionSpec{nullptr, "--despeckle", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   const auto count = wholeNumber(value, 0, std::numeric_limits<std::int64_t>::max());
                   options.despeckle = count.value_or(0);
                   return count.has_value();
               },
               {"--despeckle N",
                "変換の前に、8 方向につながる N ドット以下のかたまりを取り除きます\n"
                "（既定: 0 = 取り除かない。--vectorize では線の太さから自動で決めます）"}},
    OptionSpec{nullptr, "--deskew", Value::None, storeSwitch<&CliOptions::deskew>,
               {"--deskew",
                "長い縦横の線から画像の傾き（±5° まで）を求め、画像を中心のまわりに回して\n"
                "まっすぐにしてから変換します。求めた角度（反時計回りが正）を表示します"}},
    OptionSpec{nullptr, "--vectorize", Value::None, storeSwitch<&CliOptions::vectorize>,
               {"--vectorize",
                "線の中心を、任意の角度の LINE、円は CIRCLE、円弧は ARC として書き出します\n"
                "（--strokes、--lines とは併用できず、間引き数 1 のみ）"}},
    OptionSpec{nullptr, "--tolerance", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   options.tolerance = toleranceOf(value);
                   return options.tolerance.has_value();
               },
               {"--tolerance PX", "--vectorize で、書き出す線と線の中心とのずれの上限（ドット。既定: 2）"}},
    OptionSpec{nullptr, "--text", Value::None,
               [](CliOptions& options, const std::string&) { return options.textGiven = options.text = true; },
               {"--text", "--vectorize で、図面の文字を読み取って TEXT として書き出し、その線は図形から除きます（既定）"}},
    OptionSpec{nullptr, "--no-text", Value::None,
               [](CliOptions& options, const std::string&) {
                   options.text = false;
                   return options.textGiven = true;
               },
               {"--no-text", "--vectorize で、文字を読み取らず、文字の線も図形として書き出します"}},
    OptionSpec{nullptr, "--ocr-lang", Value::Checked,
               [](CliOptions& options, const std::string& value) {
                   options.ocrLanguage = value;
                   return !value.empty();
               },
               {"--ocr-lang LANGS", "文字認識の言語（Tesseract の言語データ名を + でつなぐ。既定: jpn+eng）"}},
    OptionSpec{nullptr, "--recursive", Value::None, storeSwitch<&CliOptions::recursive>,
               {"--recursive",
                "入力のフォルダを中のフォルダまでたどって、画像をすべて変換します\n"
                "（画像かどうかは中身で見分け、画像でないファイルは飛ばして数えます）"}},
    OptionSpec{nullptr, "--output-dir", Value::Text, storeText<&CliOptions::outputDir>,
               {"--output-dir DIR",
                "DXF ファイルを DIR の中に、入力のフォルダの構成を写して書き出します\n"
                "（既定: 画像と同じフォルダ）"}},
    OptionSpec{nullptr, "--update", Value::None, storeSwitch<&CliOptions::update>,
               {"--update",
                "DXF ファイルがないか、画像より古い画像だけを変換します（古い DXF は確認せずに\n"
                "置き換えます）。止まった一括変換は、同じコマンドに --update を付けて続けられます"}},
    OptionSpec{"-j", "--jobs", Value::Checked,
               [](CliOptions& options, const std::string& value) { return storeWhole(options.jobs, value, 1, 1024); },
               {"-j, --jobs N", "同時に変換する画像の数（既定: CPU のコア数。端末で上書きを確認するときは 1）"}},
    OptionSpec{nullptr, "--threads", Value::Checked,
               [](CliOptions& options, const std::string& value) { return storeWhole(options.threads, value, 0, 1024); },
               {"--threads N", "一つの変換が使うスレッドの数（0 はすべてのコア。既定: コア数を同時に走る変換の数で割った数）"}},
    OptionSpec{nullptr, "--report", Value::Text, storeText<&CliOptions::report>,
               {"--report FILE",
                "入力ごとの結果を JSON Lines で書き出します（input, output, status, message,\n"
                "entities, seconds。--vectorize と --deskew では skew も）。既存のファイルには追記します"}},
    OptionSpec{nullptr, "--shard", Value::Checked, storeShard,
               {"--shard K/N",
                "名前順に並べた入力を N 個に分けた K 番目だけを変換します（1 ≦ K ≦ N。\n"
                "スケジューラの配列ジョブで、複数のマシンに分けるときに）"}},
    OptionSpec{"-y", "--yes", Value::None, storeSwitch<&CliOptions::assumeYes>,
               {"-y, --yes",
                "既存の出力ファイルを確認せずに上書きします\n"
                "（指定しないと端末では確認し、端末でなければ上書きしません）"}},
    OptionSpec{"-q", "--quiet", Value::None, storeSwitch<&CliOptions::quiet>,
               {"-q, --quiet", "進み具合と完了メッセージを表示しません"}},
    OptionSpec{"-h", "--help", Value::None, storeSwitch<&CliOptions::help>,
               {"-h, --help", "この説明を表示します"}},
    OptionSpec{nullptr, "--version", Value::None, storeSwitch<&CliOptions::version>,
               {"--version", "バージョンを表示します"}},
};
// clang-format on

const OptionSpec* optionNamed(const std::string& name) {
    for (const OptionSpec& option : kOptions) {
        if (name == option.longName || (option.shortName != nullptr && name == option.shortName)) {
            return &option;
        }
    }
    return nullptr;
}

// The usage error of options that cannot go together, or empty text.
std::string conflictOf(const CliOptions& options) {
    if (!options.help && !options.version && options.inputs.empty()) {
        return "入力する画像ファイルを指定してください";
    }
    if (options.output && options.inputs.size() > 1) {
        return "-o は入力ファイルが一つのときだけ使えます";
    }
    if (options.output && (options.recursive || options.outputDir)) {
        return "-o は --recursive、--output-dir と一緒に使えません";
    }
    if (options.vectorize && (options.strokes || options.linesGiven)) {
        return std::string("--vectorize は ") + (options.strokes ? "--strokes" : "--lines") +
               " と一緒に使えません（ベクトル化は線の向きを自分で決めます）";
    }
    if (options.tolerance && !options.vectorize) {
        return "--tolerance は --vectorize と一緒に使います";
    }
    if (options.textGiven && !options.vectorize) {
        return "--text、--no-text は --vectorize と一緒に使います";
    }
    return {};
}

// A help row: the synopsis in a column of its own, the text's further lines under its first.
void appendHelpRow(std::string& usage, const HelpRow& row) {
    constexpr std::size_t kSynopsisWidth = 22;
    const std::string synopsis = row.synopsis;
    usage += "  " + synopsis;
    usage += synopsis.size() < kSynopsisWidth - 1 ? std::string(kSynopsisWidth - synopsis.size(), ' ')
                                                  : "\n" + std::string(kSynopsisWidth + 2, ' ');
    for (const char* text = row.text; *text != '\0'; ++text) {
        usage += *text;
        if (*text == '\n') {
            usage += std::string(kSynopsisWidth + 2, ' ');
        }
    }
    usage += '\n';
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
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.erase(equals);
        }
        const OptionSpec* option = optionNamed(argument);
        if (const OptionSpec* joined = optionNamed(argument.substr(0, 2));
            option == nullptr && argument[1] != '-' && joined != nullptr && joined->value != Value::None) {
            option = joined;  // a short option with its value joined on, as in -j4
            value = argument.substr(2);
            argument.erase(2);
        }
        if (option == nullptr) {
            parse.error = "不明なオプションです: " + argument;
            return parse;
        }
        if (option->value != Value::None && !value && i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (option->value == Value::Text && !value) {
            parse.error = argument + " には値が必要です";
            return parse;
        }
        if (!option->store(options, value.value_or(""))) {
            parse.error = argument + " の値が正しくありません: " + value.value_or("");
            return parse;
        }
    }
    parse.error = conflictOf(options);
    return parse;
}

std::string cliUsage() {
    std::string usage =
        "使い方: kelvarin-cli [オプション] 入力画像 [入力画像 ...]\n"
        "白黒の画像（1 ビット BMP、TIFF、PNG、PBM/PGM/PPM/PAM、PDF）を、線の DXF ファイルに変換します。\n"
        "\n";
    for (const OptionSpec& option : kOptions) {
        appendHelpRow(usage, option.help);
        if (option.moreHelp.synopsis != nullptr) {
            appendHelpRow(usage, option.moreHelp);
        }
    }
    return usage +
           "\n"
           "終了コード: 0 すべて変換した / 1 変換できなかったファイルがある / 2 使い方の誤り /\n"
           "3 すべての入力を終える前に終わった（中断、レポートを書けない、テンプレートがない）\n"
           "--size-x / --size-y は --units より優先します。\n"
           "header.txt と footer.txt は、プログラムと同じフォルダ、$XDG_CONFIG_HOME/kelvarin（既定 "
           "~/.config/kelvarin）、\n"
           "インストール先の share/kelvarin の順に探します。\n";
}

}  // namespace kelvarin
