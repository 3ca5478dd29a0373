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

}  // namespace kelvarin
