// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/Controls.h"
#include "common/Toolkit.h"

namespace kelvarin {

struct PreviewPicture;

// What the open-file dialog is set up with.
struct FileDialogRequest {
    std::string title;
    std::string filter;       // a bare pattern such as "*.bmp"
    std::string initialFile;  // where the dialog starts
    bool save = false;        // a name to write: the dialog adds the filter's extension to a bare name
};

// The main window as the commands see it: its controls by name and the toolkit operations. The Qt
// window, the command line and the test fake each implement it, so the same commands run in all three.
class View : public Toolkit {
public:
    virtual std::string text(Control control) const = 0;
    virtual void setText(Control control, std::string_view text) = 0;
    virtual void setToolTip(Control control, std::string_view text) = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual bool isSelected(Control optionButton) const = 0;
    // Selects length characters of a text field from start.
    virtual void setSelection(Control textField, int start, int length) = 0;

    // imageOrig: replaces the picture, switches stretching, sets the size (twips); left and top in twips.
    virtual void setPicture(std::shared_ptr<const PreviewPicture> picture) = 0;
    // False for a view that never shows the picture, which then is not made.
    virtual bool showsPictures() const { return true; }
    // True where the user has agreed beforehand to replace any existing output (kelvarin-cli --yes).
    virtual bool replacesWithoutAsking() const { return false; }
    virtual void setImageStretch(bool stretch) = 0;
    virtual void setImageSize(int widthTwips, int heightTwips) = 0;
    virtual double imageLeft() const = 0;
    virtual double imageTop() const = 0;

    // The window: client area in twips, the screen's twips per pixel along x.
    virtual void setTitle(std::string_view title) = 0;
    virtual bool isMinimized() const = 0;
    virtual double innerWidth() const = 0;
    virtual double innerHeight() const = 0;
    virtual double twipsPerPixelX() const = 0;
    virtual void closeWindow() = 0;

    // The chosen file, or nothing when the user cancelled or the dialog failed.
    virtual std::optional<std::string> showOpenDialog(const FileDialogRequest& request) = 0;
    // The help file at its contents; and context-help mode, in which the next control clicked shows its
    // topic instead of being operated.
    virtual void showHelpContents(const std::string& helpFile) = 0;
    virtual void enterContextHelp(const std::string& helpFile) = 0;

protected:
    using Toolkit::Toolkit;
};

}  // namespace kelvarin
