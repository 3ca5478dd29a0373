// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ControlModel.h"
#include "app/View.h"

namespace kelvarin::test {

// A view without widgets that records, in order, everything the program shows: message boxes, progress
// settings and captions. Yes/No questions and file dialogs are answered from queues the test fills.
class FakeView : public View {
public:
    enum class Kind { Message, Details, Question, ProgressMin, ProgressMax, ProgressValue, Caption, Alignment };
    struct Event {
        Kind kind;
        std::string text;  // message, question or caption; the number for progress settings
    };

    FakeView();

    // Recorded events of one kind, in order.
    std::vector<std::string> messages() const;  // message boxes and questions
    std::vector<std::string> captions() const;
    std::vector<std::string> of(Kind kind) const;
    void clearLog() { log.clear(); }

    bool isEnabled(Control control) const { return controls.state(control).enabled; }
    std::string toolTip(Control control) const { return controls.state(control).toolTip; }
    void select(Control optionButton) { controls.select(optionButton); }

    // View
    std::string text(Control control) const override { return controls.state(control).text; }
    void setText(Control control, std::string_view text) override { controls.state(control).text = text; }
    void setToolTip(Control control, std::string_view text) override { controls.state(control).toolTip = text; }
    void setEnabled(Control control, bool enabled) override { controls.state(control).enabled = enabled; }
    bool isSelected(Control control) const override { return controls.state(control).selected; }
    void setSelection(Control control, int start, int length) override;
    void setPicture(std::shared_ptr<const PreviewPicture> newPicture) override { picture = std::move(newPicture); }
    bool replacesWithoutAsking() const override { return replacesAll; }
    void setImageStretch(bool value) override { stretch = value; }
    void setImageSize(int width, int height) override;
    double imageLeft() const override { return left; }
    double imageTop() const override { return top; }
    void setTitle(std::string_view text) override { title = text; }
    bool isMinimized() const override { return minimized; }
    double innerWidth() const override { return clientWidth; }
    double innerHeight() const override { return clientHeight; }
    double twipsPerPixelX() const override { return twipsPerPixel; }
    void closeWindow() override { closed = true; }
    std::optional<std::string> showOpenDialog(const FileDialogRequest& request) override;
    void showHelpContents(const std::string& helpFile) override { helpContents.push_back(helpFile); }
    void enterContextHelp(const std::string& helpFile) override { contextHelp.push_back(helpFile); }

    // Toolkit
    void setProgressMin(float value) override;
    void setProgressMax(float value) override;
    void setProgressValue(float value) override;
    void setPercentCaption(std::string_view text) override;
    void setPercentAlignment(Alignment alignment) override;
    void showMessage(std::string_view text) override;
    void showDetailedMessage(std::string_view text, std::string_view details) override;
    bool askYesNo(std::string_view text) override;

    ControlModel controls;
    std::vector<Event> log;
    std::deque<bool> answers;  // for askYesNo; an empty queue fails the test
    bool replacesAll = false;  // as kelvarin-cli --yes
    std::deque<std::optional<std::string>> dialogAnswers;
    std::vector<FileDialogRequest> dialogRequests;
    std::function<void()> onEvents;  // runs whenever the program lets events run
    int eventsProcessed = 0;

    std::shared_ptr<const PreviewPicture> picture;
    bool stretch = false;
    int imageWidth = 9255;
    int imageHeight = 4575;
    double left = 240;
    double top = 3600;
    double clientWidth = kClientWidthTwips;
    double clientHeight = kClientHeightTwips;
    double twipsPerPixel = 15;
    bool minimized = false;
    bool closed = false;
    std::string title;
    std::vector<std::string> helpContents;
    std::vector<std::string> contextHelp;
    int selectionStart = -1;
    int selectionLength = -1;
    std::optional<Control> selectionField;

protected:
    void processEvents() override;
};

}  // namespace kelvarin::test
