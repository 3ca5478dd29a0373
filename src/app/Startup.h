#pragma once

#include <string>

namespace kelvarin {

class Toolkit;
struct AppState;
struct Form;

// Prepares the program before any window exists: the version and legal-notice texts, the program
// directory (that of executablePath) and help file path, the emptied shared data, and the check that
// "header.txt" and "footer.txt" are in the program directory. The first missing template is named in a
// message box and false is returned: the program then ends without a window.
bool Main(AppState& state, Toolkit& toolkit, const std::string& executablePath);

// While the window loads: its title (executable base name, " Version ", version, " ", legal notice).
void Form_Load(Form& form, const std::string& executablePath);

}  // namespace kelvarin
