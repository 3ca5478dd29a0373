// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/ElidedLabel.h"
#include "gui/OptionsMenu.h"

using namespace kelvarin;

// The options menu on its own: each entry changes the options, and its mark and the summary follow them.
class OptionsMenuTest : public QObject {
    Q_OBJECT

private slots:
    void entriesChangeAndShowTheOptions();
    void summaryIsElidedOnlyWhenItDoesNotFit();
    void textEntriesTurnRecognitionOffAndChooseItsLanguages();
};

void OptionsMenuTest::entriesChangeAndShowTheOptions() {
    QWidget window;
    ConversionOptions options;
    OptionsMenu menu(&window, options);
    const QList<QAction*> actions = menu.button()->menu()->actions();
    QCOMPARE(actions.size(), static_cast<qsizetype>(optionEntries().size()));
    QCOMPARE(menu.summaryLabel()->text(), QString());
    const auto action = [&menu](const char* name) { return menu.button()->menu()->findChild<QAction*>(name); };
    QAction* strokes = action("actionStrokes");
    QAction* despeckle = action("actionDespeckle");
    QAction* vectorize = action("actionVectorize");

    strokes->trigger();
    QVERIFY(options.Strokes && strokes->isChecked());
    QTimer::singleShot(0, [] { qobject_cast<QInputDialog*>(QApplication::activeModalWidget())->setIntValue(12); });
    QTimer::singleShot(0, [] { QMetaObject::invokeMethod(QApplication::activeModalWidget(), "accept"); });
    despeckle->trigger();
    QCOMPARE(options.DespeckleSize, std::int64_t{12});
    QVERIFY(despeckle->isChecked());
    QCOMPARE(despeckle->text(), QStringLiteral("ゴミ取り: 12 ドット以下..."));
    QCOMPARE(menu.summaryLabel()->fullText(), QStringLiteral("オプション: ストローク、ゴミ取り: 12 ドット以下"));
    // The two ways of drawing the strokes exclude each other.
    vectorize->trigger();
    QVERIFY(options.Vectorize && !options.Strokes && vectorize->isChecked() && !strokes->isChecked());
    QCOMPARE(menu.summaryLabel()->fullText(), QStringLiteral("オプション: ベクトル化、ゴミ取り: 12 ドット以下"));

    options = {};
    menu.refresh();
    QVERIFY(!strokes->isChecked() && !despeckle->isChecked() && !vectorize->isChecked());
    QCOMPARE(despeckle->text(), QStringLiteral("ゴミ取り..."));
}

// Text recognition is on by default and says nothing; turned off, or read in other languages, the entries
// are marked and the summary says so; both explain themselves to the ？ help.
void OptionsMenuTest::textEntriesTurnRecognitionOffAndChooseItsLanguages() {
    QWidget window;
    ConversionOptions options;
    options.Vectorize = true;
    OptionsMenu menu(&window, options);
    const auto action = [&menu](const char* name) { return menu.button()->menu()->findChild<QAction*>(name); };
    QAction* noText = action("actionNoText");
    QAction* language = action("actionOcrLanguage");
    QVERIFY(!noText->isChecked() && !language->isChecked());
    QVERIFY(noText->whatsThis().contains(QStringLiteral("--no-text")));
    QVERIFY(language->whatsThis().contains(QStringLiteral("jpn+eng")));
    QCOMPARE(menu.summaryLabel()->fullText(), QStringLiteral("オプション: ベクトル化"));

    noText->trigger();
    QVERIFY(!options.Text && noText->isChecked());
    QCOMPARE(menu.summaryLabel()->fullText(), QStringLiteral("オプション: ベクトル化、文字認識なし"));
    QTimer::singleShot(0,
                       [] { qobject_cast<QInputDialog*>(QApplication::activeModalWidget())->setTextValue(" eng "); });
    QTimer::singleShot(0, [] { QMetaObject::invokeMethod(QApplication::activeModalWidget(), "accept"); });
    language->trigger();
    QCOMPARE(options.OcrLanguage, std::string("eng"));
    QCOMPARE(language->text(), QStringLiteral("文字認識の言語: eng..."));
    noText->trigger();
    QCOMPARE(menu.summaryLabel()->fullText(), QStringLiteral("オプション: ベクトル化、文字認識の言語: eng"));
}

void OptionsMenuTest::summaryIsElidedOnlyWhenItDoesNotFit() {
    ElidedLabel label(nullptr);
    label.show();
    const QString text = QStringLiteral("オプション: ストローク、ゴミ取り: 4 ドット以下");
    label.setFullText(text);
    label.resize(label.fontMetrics().horizontalAdvance(text) + 2, 20);
    QCOMPARE(label.text(), text);
    QCOMPARE(label.toolTip(), QString());
    label.resize(label.width() / 2, 20);
    QVERIFY(label.isElided() && label.text().endsWith(QChar(0x2026)));
    QCOMPARE(label.toolTip(), text);
}

QTEST_MAIN(OptionsMenuTest)
#include "options_menu_test.moc"
