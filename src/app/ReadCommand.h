// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

struct Form;

// "読み込み": reads, checks and previews the bitmap named in textFile(0), fills the size fields, opens
// the settings for editing and unpacks the pixels into the grid. Every refusal or failure is shown in a
// message box; FileLoaded tells whether the bitmap was accepted, which it stays when a later step fails.
// True only when every step completed. Does nothing (and gives false) while a command runs.
bool cmdReadFile_Click(Form& form);

}  // namespace kelvarin
