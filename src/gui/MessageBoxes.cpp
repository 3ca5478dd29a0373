// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/MessageBoxes.h"

#include <QMessageBox>

#include "gui/QtText.h"

namespace kelvarin {

namespace {

const QString kTitle = QStringLiteral("KELVARIN");

}  // namespace

void showMessageBox(QWidget* parent, std::string_view text, std::string_view details) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, toQString(text), QMessageBox::Ok, parent);
    box.setObjectName("messageBox");
    if (!details.empty()) {
        box.setDetailedText(toQString(details));
    }
    box.exec();
}

bool askYesNoBox(QWidget* parent, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, toQString(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName("questionBox");
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::string windowWording(std::string_view text) {
    static constexpr std::string_view kOpen = "（--";
    static constexpr std::string_view kClose = "）";
    std::string worded;
    std::size_t from = 0;
    for (std::size_t open = text.find(kOpen); open != std::string_view::npos; open = text.find(kOpen, from)) {
        const std::size_t close = text.find(kClose, open + kOpen.size());
        if (close == std::string_view::npos) {
            break;
        }
        worded.append(text.substr(from, open - from));
        from = close + kClose.size();
    }
    worded.append(text.substr(from));
    return worded;
}

}  // namespace kelvarin
