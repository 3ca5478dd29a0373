// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

struct Form;

// Selects the whole text of the field that received the focus, so typing replaces it.
void textFile_GotFocus(Form& form, int index);
void textLayer_GotFocus(Form& form);
void textOffset_GotFocus(Form& form, int index);
void textSize_GotFocus(Form& form, int index);

// After any key in textSize(index): sets the other size field so that the two keep the bitmap's
// proportions. Text that is not a number, or a bitmap without a usable size, leaves it unchanged.
void textSize_KeyUp(Form& form, int index);

// Keeps LineColorWhite in step with the colour option buttons.
void optionColor_Click(Form& form, int index);

// "？" (0) enters context help; "ヘルプ" (1) opens the help file at its contents.
void cmdHelp_Click(Form& form, int index);

// Closes the window, which ends the program.
void cmdEnd_Click(Form& form);

}  // namespace kelvarin
