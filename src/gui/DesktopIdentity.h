// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QGuiApplication;

namespace kelvarin {

// Ties the program's windows to its desktop entry: the application name "kelvarin" is the X11 window
// class (the entry's StartupWMClass), the entry's file name is the Wayland app id, and every window
// carries the program's icon (the desktop theme's "kelvarin" when installed, else the built-in PNGs).
void applyDesktopIdentity(QGuiApplication& application);

}  // namespace kelvarin
