// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FieldBehaviour.h"

#include "app/Form.h"
#include "bitmap/BmpHeader.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// Characters, not bytes, of UTF-8 text.
int characterCount(const std::string& text) {
    int count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

void selectAll(Form& form, Control field) { form.view.setSelection(field, 0, characterCount(form.view.text(field))); }

}  // namespace

void textFile_GotFocus(Form& form, int index) { selectAll(form, textFile(index)); }
void textLayer_GotFocus(Form& form) { selectAll(form, textLayer); }
void textOffset_GotFocus(Form& form, int index) { selectAll(form, textOffset(index)); }
void textSize_GotFocus(Form& form, int index) { selectAll(form, textSize(index)); }

void textSize_KeyUp(Form& form, int index) {
    const std::int32_t width = bitmapWidth(form.state.BmpHeader);
    const std::int32_t height = bitmapHeight(form.state.BmpHeader);
    const std::int32_t own = index == 0 ? width : height;
    const std::int32_t other = index == 0 ? height : width;
    if (!form.state.KeepProportions) {
        return;
    }
    const Control otherField = textSize(1 - index);
    const std::string text = trimBlanks(form.view.text(textSize(index)));
    if (text.empty()) {
        form.view.setText(otherField, "");
        return;
    }
    if (own <= 0 || other <= 0) {
        return;
    }
    try {
        const double ratio = parseNumber(text) / own;
        form.view.setText(otherField, formatGeneral(other * ratio));
    } catch (const KelvarinError&) {
        // Half-typed text is normal while typing: the other field waits for a number.
    }
}

void optionColor_Click(Form& form, int /*index*/) {
    form.state.LineColorWhite = !form.view.isSelected(optionColor(0)) && form.view.isSelected(optionColor(1));
}

void cmdHelp_Click(Form& form, int index) {
    if (index == 0) {
        form.view.enterContextHelp(form.state.HelpFilePath);
    } else {
        form.view.showHelpContents(form.state.HelpFilePath);
    }
}

void cmdEnd_Click(Form& form) { form.view.closeWindow(); }

}  // namespace kelvarin
