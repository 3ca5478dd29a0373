// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "app/View.h"

class QWidget;

namespace kelvarin {

// The file dialog as the request sets it up: "開く" for a picture, or "保存" for an output, which adds the
// filter's extension to a bare name and leaves the question about an existing file to the conversion.
// The chosen path, or nothing when cancelled.
std::optional<std::string> runFileDialog(QWidget* parent, const FileDialogRequest& request);

}  // namespace kelvarin
