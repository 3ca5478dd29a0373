// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvarin {

// The controls of the main window by name. Controls of one role form an array; index 0 is the input,
// horizontal (X) or first member.
enum class ControlName {
    labelFile,
    textFile,
    cmdRefer,
    cmdEnd,
    cmdHelp,
    cmdReadFile,
    labelBMPSize,
    frameColor,
    optionColor,
    frameMakeLine,
    optionMakeLine,
    labelSize,
    textSize,
    labelLayer,
    textLayer,
    labelOffset,
    textOffset,
    labelPartial,
    textPartial,
    cmdConvert,
    pbarCount,
    labelPercent,
    imageOrig,
};

struct Control {
    ControlName name;
    int index = 0;

    friend bool operator==(const Control&, const Control&) = default;
};

// Shorthands that read like the window's own names: textFile(0), cmdConvert.
constexpr Control labelFile(int i) { return {ControlName::labelFile, i}; }
constexpr Control textFile(int i) { return {ControlName::textFile, i}; }
constexpr Control cmdRefer(int i) { return {ControlName::cmdRefer, i}; }
constexpr Control cmdHelp(int i) { return {ControlName::cmdHelp, i}; }
constexpr Control optionColor(int i) { return {ControlName::optionColor, i}; }
constexpr Control optionMakeLine(int i) { return {ControlName::optionMakeLine, i}; }
constexpr Control labelSize(int i) { return {ControlName::labelSize, i}; }
constexpr Control textSize(int i) { return {ControlName::textSize, i}; }
constexpr Control labelOffset(int i) { return {ControlName::labelOffset, i}; }
constexpr Control textOffset(int i) { return {ControlName::textOffset, i}; }
inline constexpr Control cmdEnd{ControlName::cmdEnd};
inline constexpr Control cmdReadFile{ControlName::cmdReadFile};
inline constexpr Control labelBMPSize{ControlName::labelBMPSize};
inline constexpr Control frameColor{ControlName::frameColor};
inline constexpr Control frameMakeLine{ControlName::frameMakeLine};
inline constexpr Control labelLayer{ControlName::labelLayer};
inline constexpr Control textLayer{ControlName::textLayer};
inline constexpr Control labelPartial{ControlName::labelPartial};
inline constexpr Control textPartial{ControlName::textPartial};
inline constexpr Control cmdConvert{ControlName::cmdConvert};
inline constexpr Control pbarCount{ControlName::pbarCount};
inline constexpr Control labelPercent{ControlName::labelPercent};
inline constexpr Control imageOrig{ControlName::imageOrig};

enum class ControlKind { Label, TextField, Button, Frame, OptionButton, ProgressBar, Image };

// Twips from the top-left corner of the window's client area, or of the enclosing frame.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// One row of the window's design: everything a view needs to build the control and its initial state.
struct ControlDesign {
    Control control;
    ControlKind kind;
    std::string_view objectName;  // "textFile_0" for array members
    std::string_view caption;     // caption or initial text
    bool initiallyEnabled;
    bool initiallySelected;
    std::string_view toolTip;
    TwipsRect geometry;
    int helpTopic;  // 0: none
    int f1Topic;    // 0: none
    Control frame;  // the enclosing frame of an option button; the control itself otherwise
};

// Every control of the window, in the order of the design table.
std::span<const ControlDesign> controlDesigns();
const ControlDesign& designOf(Control control);

// Controls that can take the focus, in tab order; an option group counts once, by its first member.
std::span<const Control> tabOrder();

// The window's client area in twips.
constexpr int kClientWidthTwips = 9675;
constexpr int kClientHeightTwips = 8295;

}  // namespace kelvarin
