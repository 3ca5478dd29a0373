// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kelvarin {

bool installQtTranslations(QCoreApplication& application) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&application);
    // "qtbase" holds the widgets' texts; "qt" is the catalogue older installations ship instead.
    for (const char* catalogue : {"qtbase", "qt"}) {
        if (translator->load(QLocale(), QString::fromLatin1(catalogue), QStringLiteral("_"), folder)) {
            return QCoreApplication::installTranslator(translator);
        }
    }
    delete translator;
    return false;
}

}  // namespace kelvarin
