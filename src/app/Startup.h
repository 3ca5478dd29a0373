// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kelvarin {

class Toolkit;
struct AppState;
struct Form;

// Prepares the program before any window exists: the version and legal-notice texts, the directory of
// the templates (the first of resourceDirectories holding both, from the folder of executablePath), the
// help file path (looked up the same way), where the file dialogs start (the executable's folder when the
// templates are beside it, else the home folder), the emptied shared data, and the check that
// "header.txt" and "footer.txt" are in the templates' directory. The first missing template is named in a
// message box and false is returned: the program then ends without a window.
bool Main(AppState& state, Toolkit& toolkit, const std::string& executablePath);

// While the window loads: its title (executable base name, " Version ", version, " ", legal notice).
void Form_Load(Form& form, const std::string& executablePath);

}  // namespace kelvarin
