// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Controls.h"

#include <array>
#include <stdexcept>

namespace kelvarin {

namespace {

using K = ControlKind;

// clang-format off
constexpr std::array kDesigns = {
    ControlDesign{labelFile(0), K::Label, "labelFile_0", "画像(BMP)", true, false, "", {360, 240, 975, 255}, 0, 0, labelFile(0)},
    ControlDesign{textFile(0), K::TextField, "textFile_0", "", true, false, "変換元画像", {1560, 240, 5895, 270}, 3, 3, textFile(0)},
    ControlDesign{cmdRefer(0), K::Button, "cmdRefer_0", "参照...", true, false, "変換したい画像を指定します", {7560, 240, 855, 255}, 3, 3, cmdRefer(0)},
    ControlDesign{cmdEnd, K::Button, "cmdEnd", "終了", true, false, "このプログラムを終了します", {8520, 240, 975, 495}, 15, 15, cmdEnd},
    ControlDesign{labelFile(1), K::Label, "labelFile_1", "出力(DXF)", true, false, "", {360, 600, 975, 255}, 0, 0, labelFile(1)},
    ControlDesign{textFile(1), K::TextField, "textFile_1", "", true, false, "変換後DXFファイル名", {1560, 600, 5895, 270}, 4, 4, textFile(1)},
    ControlDesign{cmdRefer(1), K::Button, "cmdRefer_1", "参照...", true, false, "変換後の保存ファイル名を指定します", {7560, 600, 855, 255}, 4, 4, cmdRefer(1)},
    ControlDesign{cmdHelp(0), K::Button, "cmdHelp_0", "？", true, false, "状況依存のヘルプです", {9120, 840, 375, 375}, 16, 16, cmdHelp(0)},
    ControlDesign{cmdReadFile, K::Button, "cmdReadFile", "読み込み", true, false, "ファイルからデータを読み込みます", {1560, 960, 975, 495}, 6, 6, cmdReadFile},
    ControlDesign{cmdRefer(2), K::Button, "cmdRefer_2", "自動", true, false, "変換後のファイル名を自動的に作成します", {7560, 960, 855, 255}, 5, 5, cmdRefer(2)},
    ControlDesign{labelBMPSize, K::Label, "labelBMPSize", "サイズ", true, false, "読み込んだ画像の縦横ドットサイズです", {2640, 1200, 4815, 255}, 0, 0, labelBMPSize},
    ControlDesign{cmdHelp(1), K::Button, "cmdHelp_1", "ヘルプ", true, false, "ヘルプファイルを開きます", {8775, 1287, 728, 375}, 16, 17, cmdHelp(1)},
    ControlDesign{frameColor, K::Frame, "frameColor", "取得色", true, false, "ラインデータとして取得したい色を指定します", {360, 1560, 975, 855}, 7, 7, frameColor},
    ControlDesign{optionColor(0), K::OptionButton, "optionColor_0", "黒", true, true, "ラインデータとして取得したい色を指定します", {240, 240, 615, 255}, 7, 7, frameColor},
    ControlDesign{optionColor(1), K::OptionButton, "optionColor_1", "白", true, false, "ラインデータとして取得したい色を指定します", {240, 480, 615, 255}, 7, 7, frameColor},
    ControlDesign{frameMakeLine, K::Frame, "frameMakeLine", "作成", true, false, "作成する線の種類を設定します", {1440, 1560, 1095, 1095}, 8, 8, frameMakeLine},
    ControlDesign{optionMakeLine(0), K::OptionButton, "optionMakeLine_0", "横のみ", true, true, "作成する線の種類を設定します", {120, 240, 855, 180}, 8, 8, frameMakeLine},
    ControlDesign{optionMakeLine(1), K::OptionButton, "optionMakeLine_1", "縦のみ", true, false, "作成する線の種類を設定します", {120, 480, 855, 180}, 8, 8, frameMakeLine},
    ControlDesign{optionMakeLine(2), K::OptionButton, "optionMakeLine_2", "縦横", true, false, "作成する線の種類を設定します", {120, 720, 855, 180}, 8, 8, frameMakeLine},
    ControlDesign{labelSize(0), K::Label, "labelSize_0", "変換後横サイズ", false, false, "", {2640, 1680, 1455, 255}, 0, 0, labelSize(0)},
    ControlDesign{textSize(0), K::TextField, "textSize_0", "", false, false, "変換後のサイズを指定します", {4200, 1680, 1215, 270}, 9, 9, textSize(0)},
    ControlDesign{labelLayer, K::Label, "labelLayer", "レイヤー名", true, false, "", {5400, 1680, 975, 255}, 0, 0, labelLayer},
    ControlDesign{textLayer, K::TextField, "textLayer", "0", true, false, "DXFでのレイヤー名を指定します", {6480, 1680, 1215, 270}, 11, 11, textLayer},
    ControlDesign{labelSize(1), K::Label, "labelSize_1", "変換後縦サイズ", false, false, "", {2640, 2040, 1455, 255}, 0, 0, labelSize(1)},
    ControlDesign{textSize(1), K::TextField, "textSize_1", "", false, false, "変換後のサイズを指定します", {4200, 2040, 1215, 270}, 9, 9, textSize(1)},
    ControlDesign{labelOffset(0), K::Label, "labelOffset_0", "変換後オフセットX", false, false, "", {2640, 2400, 1455, 255}, 0, 0, labelOffset(0)},
    ControlDesign{textOffset(0), K::TextField, "textOffset_0", "0", false, false, "画像左下のオフセット座標を指定します", {4200, 2400, 1215, 270}, 10, 10, textOffset(0)},
    ControlDesign{labelPartial, K::Label, "labelPartial", "間引き数", true, false, "", {5400, 2400, 975, 260}, 0, 0, labelPartial},
    ControlDesign{textPartial, K::TextField, "textPartial", "1", true, false, "間引き数、ここで指定した数に１本だけ出力します", {6480, 2400, 1215, 270}, 11, 11, textPartial},
    ControlDesign{cmdConvert, K::Button, "cmdConvert", "変換実行", false, false, "変換を実行します", {8520, 2520, 975, 495}, 14, 14, cmdConvert},
    ControlDesign{labelOffset(1), K::Label, "labelOffset_1", "変換後オフセットY", false, false, "", {2640, 2760, 1455, 255}, 0, 0, labelOffset(1)},
    ControlDesign{textOffset(1), K::TextField, "textOffset_1", "0", false, false, "画像左下のオフセット座標を指定します", {4200, 2760, 1215, 270}, 10, 10, textOffset(1)},
    ControlDesign{pbarCount, K::ProgressBar, "pbarCount", "", true, false, "", {240, 3120, 7695, 375}, 0, 0, pbarCount},
    ControlDesign{labelPercent, K::Label, "labelPercent", "0%", true, false, "", {8160, 3120, 1215, 255}, 12, 0, labelPercent},
    ControlDesign{imageOrig, K::Image, "imageOrig", "", true, false, "ここに元画像が表示されます", {240, 3600, 9255, 4575}, 13, 0, imageOrig},
};

constexpr std::array kTabOrder = {
    textFile(0), cmdRefer(0), textFile(1), cmdRefer(1), cmdRefer(2), cmdReadFile, optionColor(0),
    optionMakeLine(0), textSize(0), textSize(1), textOffset(0), textOffset(1), textLayer, cmdConvert,
    cmdEnd, cmdHelp(0), textPartial, cmdHelp(1),
};
// clang-format on

}  // namespace

std::span<const ControlDesign> controlDesigns() { return kDesigns; }

const ControlDesign& designOf(Control control) {
    for (const ControlDesign& design : kDesigns) {
        if (design.control == control) {
            return design;
        }
    }
    throw std::out_of_range("no such control");
}

std::span<const Control> tabOrder() { return kTabOrder; }

}  // namespace kelvarin
