// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/Form.h"
#include "bitmap/BitmapData.h"

class QActionGroup;
class QMenu;
class QWidget;

namespace kelvarin {

class ExtraControls;
class OptionsMenu;
struct WindowSettings;

// The settings beyond the window's design, wired to the program's state: the options menu in the free
// space beside the layer and thinning fields (with the threshold methods and the preview command), and
// the extra controls in rows under the preview.
class ExtraSettings {
public:
    // What the settings ask of the main window.
    struct Hooks {
        std::function<void(const std::function<void()>&)> run;  // an event procedure, as the window runs one
        std::function<void(bool sameFile)> readPicture;
        std::function<void()> showPreview;
        std::function<void()> requestStop;
        std::function<void()> optionsChanged;  // the conversion options, from the menu
    };

    ExtraSettings(QWidget* window, Form& form, double twipsPerPixel, Hooks hooks);
    ~ExtraSettings();
    ExtraSettings(const ExtraSettings&) = delete;
    ExtraSettings& operator=(const ExtraSettings&) = delete;

    ExtraControls* controls() const { return m_controls; }
    QWidget* optionsButton() const;
    // The controls that follow the design's in tab order.
    std::vector<QWidget*> tabChain() const;
    // While a command (a read or a conversion) runs the settings wait and the stop button works.
    void setCommandRunning(bool running);
    // After a read: the page choice, the size fields in the chosen unit unless the read kept them, and
    // for another picture, no findings of the previous one's conversion.
    void pictureRead(bool samePicture);
    // After a conversion: what it found, when it wrote the file.
    void conversionDone(bool written);
    void restore(const WindowSettings& settings);
    void store(WindowSettings& settings) const;
    // The help topic of each control beyond the design.
    std::vector<std::pair<QWidget*, int>> helpTopics() const;

private:
    void addThresholdMethods(QMenu* menu);
    void setThresholdMethod(ThresholdMethod method);
    // The threshold box names the method that finds the threshold, and is then disabled.
    void showThresholdMethod();
    // The tolerance shows in the vector mode only.
    void followOptions();
    // A new threshold shows at once in a grey or colour picture; a 1-bit BMP does not use it.
    void rereadGreyPicture();
    // The size fields in the chosen unit, from the picture's (or the given) resolution.
    void applySizeUnit();
    void setDotsPerInch(int dotsPerInch);
    void connectControls();

    Form& m_form;
    Hooks m_hooks;
    std::unique_ptr<OptionsMenu> m_options;
    QActionGroup* m_thresholdMethods = nullptr;
    ExtraControls* m_controls = nullptr;
    bool m_commandRunning = false;
};

}  // namespace kelvarin
