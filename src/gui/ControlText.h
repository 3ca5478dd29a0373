// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

class QLineEdit;
class QWidget;

namespace kelvarin {

// The text a control shows: a field's content, a label's, button's or frame's caption; empty for others.
std::string controlText(const QWidget* control);
// Sets it for a field, label or button; other controls have none to set.
void setControlText(QWidget* control, std::string_view text);
// A number field shows a long number to 6 significant digits, and gives back the whole number for as
// long as the user has not edited it; other text it shows as given.
void setNumberText(QLineEdit* field, std::string_view text);
std::string numberText(const QLineEdit* field);
// Selects the given characters (not UTF-16 units) once the event that gave the field the focus is
// done: a mouse press would otherwise move the caret over the selection.
void selectCharactersLater(QLineEdit* field, int start, int length);

}  // namespace kelvarin
