// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>
#include <iosfwd>
#include <string>
#include <utility>

#include "app/ControlModel.h"
#include "app/View.h"

namespace kelvarin {

// The window as a batch tool sees it: controls kept in memory, message boxes written to the error
// stream, the progress caption as one updating line on a terminal, questions asked on a terminal or
// answered by the options.
class CliView : public View {
public:
    struct Settings {
        bool interactive = false;                                 // questions can be asked on the input stream
        bool showProgress = false;                                // the error stream is a terminal
        bool quiet = false;                                       // no progress, no completion message
        bool assumeYes = false;                                   // overwrite without asking
        const volatile std::sig_atomic_t* interrupted = nullptr;  // set by a signal: the command stops
    };

    CliView(std::istream& in, std::ostream& err, Settings settings);

    ControlModel& controls() { return m_controls; }
    // The input the next messages are about: each then starts with "subject: ". Empty for none.
    void setSubject(std::string subject) { m_subject = std::move(subject); }
    bool stopRequested() const { return m_settings.interrupted != nullptr && *m_settings.interrupted; }
    // Says that the work stopped on request. The failure messages a stop causes in the commands (a read
    // or write error) are left out, so this is the one report of it.
    void reportInterruption();
    // Ends the progress line, so the next output starts on a line of its own.
    void endProgressLine();
    // The messages shown (or left out by quiet) since the last call, one a line, without their subject.
    std::string takeMessages() { return std::exchange(m_messages, {}); }
    // Text shown before the conversion's caption on the progress line: the batch's own progress.
    void setProgressPrefix(std::string prefix) { m_progressPrefix = std::move(prefix); }
    // Writes whole lines to the error stream, below the progress line.
    void printText(std::string_view text);
    // Shows text as the progress line, on a terminal and unless quiet.
    void showProgressLine(std::string_view text);

    std::string text(Control control) const override { return m_controls.state(control).text; }
    void setText(Control control, std::string_view text) override { m_controls.state(control).text = text; }
    void setToolTip(Control control, std::string_view text) override { m_controls.state(control).toolTip = text; }
    void setEnabled(Control control, bool enabled) override { m_controls.state(control).enabled = enabled; }
    bool isSelected(Control control) const override { return m_controls.state(control).selected; }
    void setSelection(Control, int, int) override {}
    void setPicture(std::shared_ptr<const PreviewPicture>) override {}
    bool showsPictures() const override { return false; }
    bool replacesWithoutAsking() const override { return m_settings.assumeYes; }
    void setImageStretch(bool) override {}
    void setImageSize(int, int) override {}
    double imageLeft() const override;
    double imageTop() const override;
    void setTitle(std::string_view) override {}
    bool isMinimized() const override { return false; }
    double innerWidth() const override { return kClientWidthTwips; }
    double innerHeight() const override { return kClientHeightTwips; }
    double twipsPerPixelX() const override { return 15; }
    void closeWindow() override {}
    std::optional<std::string> showOpenDialog(const FileDialogRequest&) override { return std::nullopt; }
    void showHelpContents(const std::string&) override {}
    void enterContextHelp(const std::string&) override {}

    void setProgressMin(float) override {}
    void setProgressMax(float) override {}
    void setProgressValue(float) override {}
    void setPercentCaption(std::string_view text) override { m_caption = text; }
    void setPercentAlignment(Alignment) override {}
    void showMessage(std::string_view text) override;
    // The details follow the text on its line, in brackets.
    void showDetailedMessage(std::string_view text, std::string_view details) override;
    bool askYesNo(std::string_view text) override;

protected:
    void processEvents() override;

private:
    std::string aboutSubject(std::string_view text) const;
    void printLine(std::string_view text);
    void remember(std::string_view text);

    std::istream& m_in;
    std::ostream& m_err;
    Settings m_settings;
    ControlModel m_controls;
    std::string m_subject;
    bool m_writeFailureShown = false;  // the next plain write failure message repeats it
    std::string m_caption;
    std::string m_shownCaption;
    std::string m_progressPrefix;
    std::string m_messages;
    bool m_progressLineOpen = false;
};

}  // namespace kelvarin
