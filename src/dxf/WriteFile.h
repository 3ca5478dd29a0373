#pragma once

#include <string>

namespace kelvarin {

class OutputLineBuffer;
class Toolkit;

// Writes every line followed by CR LF, in code page 932, showing the progress. The old file at path is
// replaced only once the whole document is on disk, so a failure leaves it as it was. Every failure is
// shown as "ファイル書き込みエラー in WriteFile" and gives false; it never throws.
bool WriteFile(const std::string& path, const OutputLineBuffer& lines, Toolkit& toolkit);

}  // namespace kelvarin
