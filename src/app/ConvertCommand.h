#pragma once

#include <string>

namespace kelvarin {

struct Form;

// "変換実行": reads and checks the settings (the first failing check is shown and ends the command),
// asks before replacing an existing output file, disables the window, runs the numbered passes and
// writes the DXF file. Unexpected failures are reported with the pass and step in progress. Every way
// out sets PassNumber to 0 and enables all controls. True when the DXF file was written.
bool cmdConvert_Click(Form& form);

// The turn a deskewing conversion found and took back, as the user is told it: "傾き補正: -0.6°",
// counter-clockwise positive, to a hundredth of a degree.
std::string SkewNote(double degrees);

}  // namespace kelvarin
