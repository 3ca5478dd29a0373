// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "gui/QtTranslations.h"

// Run with a Japanese locale: Qt's own buttons and the file dialog speak Japanese.
class QtTranslationsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(kelvarin::installQtTranslations(*QCoreApplication::instance())); }

    void messageBoxButtons() {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        const std::pair<QMessageBox::StandardButton, QString> expected[] = {
            {QMessageBox::Yes, QStringLiteral("はい")},
            {QMessageBox::No, QStringLiteral("いいえ")},
            {QMessageBox::Cancel, QStringLiteral("キャンセル")},
        };
        for (const auto& [button, text] : expected) {
            QVERIFY2(box.button(button)->text().startsWith(text), qPrintable(box.button(button)->text()));
        }
    }

    void fileDialogLabels() {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::AnyFile);
        const QString lookIn = dialog.labelText(QFileDialog::LookIn);
        QVERIFY2(lookIn != QStringLiteral("Look in:") && !lookIn.isEmpty(), qPrintable(lookIn));
    }
};

QTEST_MAIN(QtTranslationsTest)
#include "qt_translations_test.moc"
