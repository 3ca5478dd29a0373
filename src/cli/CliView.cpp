// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliView.h"

#include <istream>
#include <ostream>

#include "common/Error.h"
#include "dxf/DxfDocument.h"

namespace kelvarin {

namespace {

// Message boxes break lines with CR LF; a terminal wants LF.
std::string withUnixLineBreaks(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

// A failed write shows two boxes in the window, the first naming the routine; here they make one line.
constexpr std::string_view kWriteFailureBox = "ファイル書き込みエラー in WriteFile";
constexpr std::string_view kWriteFailure = "ファイル書き込みエラー";

}  // namespace

CliView::CliView(std::istream& in, std::ostream& err, Settings settings) : m_in(in), m_err(err), m_settings(settings) {}

double CliView::imageLeft() const { return designOf(imageOrig).geometry.left; }
double CliView::imageTop() const { return designOf(imageOrig).geometry.top; }

void CliView::endProgressLine() {
    if (m_progressLineOpen) {
        m_err << "\r\033[K" << std::flush;
        m_progressLineOpen = false;
        m_shownCaption.clear();
    }
}

std::string CliView::aboutSubject(std::string_view text) const {
    return (m_subject.empty() ? std::string() : m_subject + ": ") + withUnixLineBreaks(text);
}

void CliView::remember(std::string_view text) {
    if (!m_messages.empty()) {
        m_messages += '\n';
    }
    m_messages += withUnixLineBreaks(text);
}

void CliView::printLine(std::string_view text) {
    endProgressLine();
    m_err << aboutSubject(text) << '\n' << std::flush;
}

void CliView::showMessage(std::string_view text) {
    if (stopRequested() && text != kConversionDoneMessage) {
        return;
    }
    if (std::exchange(m_writeFailureShown, false) && text == kWriteFailure) {
        return;
    }
    remember(text);
    if (m_settings.quiet && text == kConversionDoneMessage) {
        return;
    }
    printLine(text);
}

void CliView::printText(std::string_view text) {
    endProgressLine();
    m_err << text << std::flush;
}

void CliView::showProgressLine(std::string_view text) {
    if (m_settings.showProgress && !m_settings.quiet && !(m_progressLineOpen && text == m_shownCaption)) {
        m_err << "\r\033[K" << text << std::flush;
        m_shownCaption = text;
        m_progressLineOpen = true;
    }
}

void CliView::showDetailedMessage(std::string_view text, std::string_view details) {
    if (text == kWriteFailureBox) {
        showDetailedMessage(kWriteFailure, details);
        m_writeFailureShown = true;
        return;
    }
    showMessage(details.empty() ? std::string(text) : std::string(text) + "（" + std::string(details) + "）");
}

void CliView::reportInterruption() {
    m_err.clear();  // a write the signal interrupted may have failed the stream
    remember(describe(ErrorCode::Interrupted));
    printLine(describe(ErrorCode::Interrupted));
}

bool CliView::askYesNo(std::string_view text) {
    if (m_settings.assumeYes) {
        return true;
    }
    endProgressLine();
    if (!m_settings.interactive) {
        printLine(std::string(text) + " → いいえ（確認できないため上書きしません。--yes で上書きします）");
        return false;
    }
    m_err << aboutSubject(text) << " [y/N] " << std::flush;
    std::string answer;
    std::getline(m_in, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer.rfind("はい", 0) == 0);
}

void CliView::processEvents() {
    if (stopRequested()) {
        throw KelvarinError(ErrorCode::Interrupted);
    }
    if (m_settings.showProgress && !m_settings.quiet && m_caption != m_shownCaption) {
        m_err << "\r\033[K" << m_progressPrefix << m_caption << std::flush;
        m_shownCaption = m_caption;
        m_progressLineOpen = true;
    }
}

}  // namespace kelvarin
