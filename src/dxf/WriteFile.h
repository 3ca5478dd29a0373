// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kelvarin {

struct DxfContent;
class Toolkit;

// Writes the document line by line, each line followed by CR LF, showing the progress of the lines
// written. The entities are formatted as they are written. The old file at path is replaced only once
// the whole document is on disk, so a failure leaves it as it was; without replaceExisting, a file that
// exists at path (one made meanwhile by someone else) is never replaced. Every failure is shown as
// "ファイル書き込みエラー in WriteFile" with the path and the reason as details and gives false; it never
// throws.
bool WriteFile(const std::string& path, bool replaceExisting, const DxfContent& content, Toolkit& toolkit);

}  // namespace kelvarin
