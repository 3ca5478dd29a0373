// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FakeView.h"

#include <gtest/gtest.h>

#include "common/TextFormat.h"

namespace kelvarin::test {

namespace {

// Every call of doEvents reaches processEvents, so tests can act "during" a loop.
constexpr EventPacing kEveryCall{1, std::chrono::nanoseconds(0)};

std::string numberText(float value) { return formatGeneral(value); }

}  // namespace

FakeView::FakeView() : View(kEveryCall) {}

std::vector<std::string> FakeView::of(Kind kind) const {
    std::vector<std::string> texts;
    for (const Event& event : log) {
        if (event.kind == kind) {
            texts.push_back(event.text);
        }
    }
    return texts;
}

std::vector<std::string> FakeView::messages() const {
    std::vector<std::string> texts;
    for (const Event& event : log) {
        if (event.kind == Kind::Message || event.kind == Kind::Question) {
            texts.push_back(event.text);
        }
    }
    return texts;
}

std::vector<std::string> FakeView::captions() const { return of(Kind::Caption); }

void FakeView::setSelection(Control control, int start, int length) {
    selectionField = control;
    selectionStart = start;
    selectionLength = length;
}

void FakeView::setImageSize(int width, int height) {
    imageWidth = width;
    imageHeight = height;
}

std::optional<std::string> FakeView::showOpenDialog(const FileDialogRequest& request) {
    dialogRequests.push_back(request);
    if (dialogAnswers.empty()) {
        ADD_FAILURE() << "unexpected file dialog: " << request.title;
        return std::nullopt;
    }
    auto answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}

void FakeView::setProgressMin(float value) { log.push_back({Kind::ProgressMin, numberText(value)}); }
void FakeView::setProgressMax(float value) { log.push_back({Kind::ProgressMax, numberText(value)}); }
void FakeView::setProgressValue(float value) { log.push_back({Kind::ProgressValue, numberText(value)}); }
void FakeView::setPercentCaption(std::string_view text) {
    log.push_back({Kind::Caption, std::string(text)});
    controls.state(labelPercent).text = text;
}
void FakeView::setPercentAlignment(Alignment alignment) {
    log.push_back({Kind::Alignment, alignment == Alignment::Left ? "left" : "right"});
}
void FakeView::showMessage(std::string_view text) { log.push_back({Kind::Message, std::string(text)}); }
void FakeView::showDetailedMessage(std::string_view text, std::string_view details) {
    showMessage(text);
    log.push_back({Kind::Details, std::string(details)});
}

bool FakeView::askYesNo(std::string_view text) {
    log.push_back({Kind::Question, std::string(text)});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeView::processEvents() {
    ++eventsProcessed;
    if (onEvents) {
        onEvents();
    }
}

}  // namespace kelvarin::test
