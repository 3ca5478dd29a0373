// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

struct Form;

// Fits imageOrig into the window's free area with the bitmap's proportions and writes the size and zoom
// into labelBMPSize ("640dots × 480dots : 表示 50%"). Throws the program's error, with nothing changed,
// when the bitmap has no usable size or the area is empty.
void ShowBitmapSize(Form& form);

// The window's resize event: re-fits the preview while a bitmap is loaded and the window is not
// minimised. A preview that cannot be fitted stays as it was.
void Form_Resize(Form& form);

}  // namespace kelvarin
