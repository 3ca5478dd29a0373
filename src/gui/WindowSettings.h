// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <string>

#include "bitmap/BitmapData.h"
#include "convert/ConversionSettings.h"

namespace kelvarin {

// What the window remembers between runs, kept with QSettings in the user's configuration folder
// ($XDG_CONFIG_HOME/kelvarin/kelvarin.conf).
struct WindowSettings {
    int threshold = 128;
    ThresholdMethod thresholdMethod = ThresholdMethod::Fixed;
    int unit = 0;  // index of the unit choice
    int dotsPerInch = 0;
    bool keepProportions = true;
    int color = 0;  // index of the colour option
    int lines = 0;  // index of the line option
    ConversionOptions options;
    std::string pictureFolder;  // empty: not known
    std::string outputFolder;
    QByteArray geometry;  // the main window's size and place; empty: not known
};

// The stored settings, each one missing or out of range taken from defaults.
WindowSettings loadWindowSettings(const WindowSettings& defaults);
void saveWindowSettings(const WindowSettings& settings);

}  // namespace kelvarin
