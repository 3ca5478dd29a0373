// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

class QWidget;

namespace kelvarin {

// Modal message boxes titled "KELVARIN": OK only, and Yes/No with Yes the default and no icon. Details,
// when given, are behind the box's details button.
void showMessageBox(QWidget* parent, std::string_view text, std::string_view details = {});
bool askYesNoBox(QWidget* parent, std::string_view text);

// A message as the window says it: the command line's option names the shared texts give in brackets,
// as in "ベクトル化（--vectorize）", are left out; the window's user knows the menu's names only.
std::string windowWording(std::string_view text);

}  // namespace kelvarin
