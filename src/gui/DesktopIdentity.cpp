// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/DesktopIdentity.h"

#include <QGuiApplication>
#include <QIcon>

namespace kelvarin {

namespace {

QIcon builtInIcon() {
    QIcon icon;
    for (const int size : {KELVARIN_ICON_SIZES}) {
        icon.addFile(QStringLiteral(":/icons/kelvarin-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

void applyDesktopIdentity(QGuiApplication& application) {
    QCoreApplication::setApplicationName(QStringLiteral("kelvarin"));
    QGuiApplication::setDesktopFileName(QStringLiteral(KELVARIN_APP_ID));
    application.setWindowIcon(QIcon::fromTheme(QStringLiteral("kelvarin"), builtInIcon()));
}

}  // namespace kelvarin
