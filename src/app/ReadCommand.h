// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

struct Form;

// "読み込み": reads, checks and previews the bitmap named in textFile(0), fills the size fields, opens
// the settings for editing and unpacks the pixels into the grid. Every refusal or failure is shown in a
// message box. True only when every step completed; otherwise nothing is loaded, the size caption and
// the preview are cleared and "変換実行" is disabled. Does nothing (and gives false) while a command runs.
bool cmdReadFile_Click(Form& form);

}  // namespace kelvarin
