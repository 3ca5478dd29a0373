#pragma once

#include <string_view>

class QWidget;

namespace kelvarin {

// Modal message boxes titled "KELVARIN": OK only, and Yes/No with Yes the default and no icon. Details,
// when given, are behind the box's details button.
void showMessageBox(QWidget* parent, std::string_view text, std::string_view details = {});
bool askYesNoBox(QWidget* parent, std::string_view text);

}  // namespace kelvarin
