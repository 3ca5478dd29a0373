// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ControlGroups.h"

#include <initializer_list>

#include "app/View.h"

namespace kelvarin {

namespace {

void setGroupEnabled(View& view, std::initializer_list<Control> members, bool enabled) {
    for (const Control& member : members) {
        view.setEnabled(member, enabled);
    }
}

}  // namespace

void SetCommandButtonsEnabled(View& view, bool enabled) {
    setGroupEnabled(view,
                    {cmdConvert, cmdEnd, cmdHelp(0), cmdHelp(1), cmdReadFile, cmdRefer(0), cmdRefer(1), cmdRefer(2)},
                    enabled);
}

void SetFileAndSettingFieldsEnabled(View& view, bool enabled) {
    setGroupEnabled(
        view,
        {labelFile(0), labelFile(1), textFile(0), textFile(1), labelLayer, textLayer, labelOffset(0), labelOffset(1),
         textOffset(0), textOffset(1), labelSize(0), labelSize(1), textSize(0), textSize(1), labelPartial, textPartial},
        enabled);
}

void SetColorChoiceEnabled(View& view, bool enabled) {
    setGroupEnabled(view, {frameColor, optionColor(0), optionColor(1)}, enabled);
}

void SetLineKindChoiceEnabled(View& view, bool enabled) {
    setGroupEnabled(view, {frameMakeLine, optionMakeLine(0), optionMakeLine(1), optionMakeLine(2)}, enabled);
}

void SetSizeOffsetEnabled(View& view, bool enabled) {
    setGroupEnabled(view,
                    {labelSize(0), textSize(0), labelSize(1), textSize(1), labelOffset(0), textOffset(0),
                     labelOffset(1), textOffset(1)},
                    enabled);
}

void SetAllEnabled(View& view, bool enabled) {
    SetCommandButtonsEnabled(view, enabled);
    SetFileAndSettingFieldsEnabled(view, enabled);
    SetColorChoiceEnabled(view, enabled);
    SetLineKindChoiceEnabled(view, enabled);
    SetSizeOffsetEnabled(view, enabled);
}

}  // namespace kelvarin
