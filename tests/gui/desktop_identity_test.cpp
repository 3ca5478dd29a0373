// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include "gui/DesktopIdentity.h"

// The window program and its desktop entry describe each other: the desktop matches a window to the entry
// by its X11 class (the application name) or its Wayland app id (the entry's file name).
class DesktopIdentityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { kelvarin::applyDesktopIdentity(*qApp); }

    void matchesTheDesktopEntry() {
        const QString entryPath = QStringLiteral(KELVARIN_DESKTOP_ENTRY);
        QSettings entry(entryPath, QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(QCoreApplication::applicationName(), entry.value("StartupWMClass").toString());
        QCOMPARE(QCoreApplication::applicationName(), entry.value("TryExec").toString());
        QCOMPARE(QGuiApplication::desktopFileName() + ".desktop", entryPath.section('/', -1));
        QCOMPARE(entry.value("Icon").toString(), QStringLiteral("kelvarin"));
    }

    void windowsCarryTheIconAtEverySize() {
        QWidget window;
        const QIcon icon = window.windowIcon();
        QVERIFY(!icon.isNull());
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            QCOMPARE(icon.pixmap(size).size(), QSize(size, size));
        }
    }
};

QTEST_MAIN(DesktopIdentityTest)
#include "desktop_identity_test.moc"
