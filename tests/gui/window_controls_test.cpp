// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWhatsThis>

#include <filesystem>
#include <sstream>

#include "app/AppState.h"
#include "app/ConvertCommand.h"
#include "app/Startup.h"
#include "bitmap/BmpHeader.h"
#include "cli/CliRun.h"
#include "common/TextFormat.h"
#include "gui/Application.h"
#include "gui/HelpWindow.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"
#include "gui/RecordingWindow.h"
#include "support/TestSupport.h"

using namespace kelvarin;
using test::find;

// The window's safety, keys, dialogs, stop button and the controls beyond the design, each checked
// through the real widgets and, where a file is written, against the command line's file.
class WindowControlsTest : public QObject, test::WindowSession {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void neverWritesOverTheScan();
    void failedReadClearsThePreview();
    void enterPressesButtonsAndTheOutputIsSaved();
    void stopLeavesTheOldDrawing();
    void pageThresholdAndUnitsWriteWhatTheCommandLineWrites();
    void settingsAreRememberedBetweenRuns();
    void convertsOnlyThePictureTheFieldNames();
    void reReadKeepsTypedSizesAndANewPictureStartsAfresh();
    void thresholdBoxNamesTheMethodInForce();
    void toleranceAndLineKindFollowTheVectorMode();
    void everyNewerControlHasHelp();
    void widerWindowStretchesTheFields();

private:
    void read(const std::string& path);
    std::string convertTo(const std::string& output);
    std::string sample(const char* name) const { return m_samples->file(name); }

    std::unique_ptr<test::TempDir> m_samples;
};

void WindowControlsTest::initTestCase() {
    m_samples = std::make_unique<test::TempDir>();
    QVERIFY(test::makeTestData("make-format-samples.py", m_samples->path()));
}

void WindowControlsTest::init() { open(); }

void WindowControlsTest::cleanup() { close(); }

void WindowControlsTest::read(const std::string& path) {
    typeInto("textFile_0", toQString(path));
    clickButton("cmdReadFile");
}

// Converts with the window's settings, replacing the output when it exists; the file's bytes.
std::string WindowControlsTest::convertTo(const std::string& output) {
    typeInto("textFile_1", toQString(output));
    window->answers = {true};
    window->messages.clear();
    clickButton("cmdConvert");
    return test::readBytes(output);
}

void WindowControlsTest::neverWritesOverTheScan() {
    read(example);
    const std::string scan = test::readBytes(example);
    std::filesystem::create_symlink(example, work->file("link.dxf"));
    convertTo(work->file("link.dxf"));
    QCOMPARE(window->messages, std::vector<std::string>{"出力ファイルが入力ファイルと同じです。変換しません"});
    QCOMPARE(test::readBytes(example), scan);
}

void WindowControlsTest::failedReadClearsThePreview() {
    auto* preview = find<PreviewWidget>(window.get(), "imageOrig");
    read(example);
    QVERIFY(preview->hasPicture());
    window->details.clear();
    read(sample("truncated.png"));
    QVERIFY(!state->FileLoaded);
    // The details name the file and say what is wrong in Japanese.
    QCOMPARE(window->details.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(window->details.front())
                .startsWith(toQString(sample("truncated.png") + ": 画像データがそろう前にファイルが終わっています")));
    QVERIFY(!preview->hasPicture());
}

void WindowControlsTest::enterPressesButtonsAndTheOutputIsSaved() {
    typeInto("textFile_0", toQString(example));
    for (const char* name : {"cmdRefer_2", "cmdReadFile"}) {
        window->findChild<QWidget*>(name)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(find<QLineEdit>(window.get(), "textFile_1")->text(), toQString(work->file("example.dxf")));
    QVERIFY(state->FileLoaded);
    QCOMPARE(state->DialogDirectory, work->path());  // the picture dialog starts there next

    // The output's dialog saves, starts in the picture's folder and adds ".dxf" to a bare name.
    clickButton("cmdRefer_1");
    QCOMPARE(window->dialogRequests.size(), std::size_t{1});
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->labelText(QFileDialog::Accept), QStringLiteral("保存"));
        QCOMPARE(dialog->directory().absolutePath(), toQString(work->path()));
        dialog->selectFile(QStringLiteral("plan"));
        seen = true;
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = window->MainWindow::showOpenDialog(window->dialogRequests.front());
    QVERIFY(seen);
    QCOMPARE(chosen.value_or(""), work->file("plan.dxf"));
}

void WindowControlsTest::stopLeavesTheOldDrawing() {
    read(example);
    const std::string output = work->file("out.dxf");
    test::writeBytes(output, "old");
    window->setPacing({1, std::chrono::nanoseconds(0)});
    auto* options = find<QPushButton>(window.get(), "menuOptions");
    auto* stop = find<QPushButton>(window.get(), "cmdStop");
    QVERIFY(!stop->isEnabled());
    const std::function<void()> stops[] = {[&] { QTest::mouseClick(stop, Qt::LeftButton); },
                                           [&] { QTest::keyClick(window.get(), Qt::Key_Escape); }};
    for (const auto& stopNow : stops) {
        int pumped = 0;
        window->duringEvents = [&] {
            if (pumped++ == 3) {
                QVERIFY(!options->isEnabled());
                QVERIFY(stop->isEnabled());
                stopNow();
            }
        };
        QCOMPARE(convertTo(output), std::string("old"));
        window->duringEvents = nullptr;
        QCOMPARE(window->messages, (std::vector<std::string>{"既にファイルがありますが、上書きしてもよろしいですか？",
                                                             "処理が中断されました。"}));
        QCOMPARE(QDir(toQString(work->path())).entryList(QDir::Files),
                 (QStringList{"example.bmp", "out.dxf"}));  // no temporary file
        QVERIFY(options->isEnabled() && !stop->isEnabled());
        QVERIFY(window->widget(cmdConvert)->isEnabled());
    }
}

void WindowControlsTest::pageThresholdAndUnitsWriteWhatTheCommandLineWrites() {
    auto* page = find<QSpinBox>(window.get(), "spinPage");
    auto* threshold = find<QSpinBox>(window.get(), "spinThreshold");
    auto* unit = find<QComboBox>(window.get(), "comboUnit");
    auto* dpi = find<QSpinBox>(window.get(), "spinDpi");
    const std::string output = work->file("window.dxf");

    read(sample("two-pages.tif"));
    QVERIFY(page->isVisible());
    QCOMPARE(page->maximum(), 2);
    page->setFocus();
    QTest::keyClick(page, Qt::Key_Up);
    QCOMPARE(state->readOptions.page, 2);
    QCOMPARE(convertTo(output), cliDrawing({"--page", "2"}, sample("two-pages.tif")));
    read(sample("picture.bmp"));
    QVERIFY(!page->isVisible());
    QCOMPARE(state->readOptions.page, 1);

    read(sample("threshold.pgm"));
    threshold->setFocus();
    threshold->selectAll();
    QTest::keyClicks(threshold, QStringLiteral("50"));
    QTest::keyClick(threshold, Qt::Key_Return);
    QCOMPARE(convertTo(output), cliDrawing({"--threshold", "50"}, sample("threshold.pgm")));
    QVERIFY(test::readBytes(output) != cliDrawing({}, sample("threshold.pgm")));
    threshold->setValue(128);

    read(sample("pillow-1bit.png"));
    unit->setCurrentIndex(1);
    emit unit->activated(1);  // as chosen by the user
    QCOMPARE(convertTo(output), cliDrawing({"--units", "mm"}, sample("pillow-1bit.png")));
    dpi->setValue(100);
    QCOMPARE(convertTo(output), cliDrawing({"--units", "mm", "--dpi", "100"}, sample("pillow-1bit.png")));

    // Unlocked, one size no longer sets the other.
    find<QCheckBox>(window.get(), "checkKeepProportions")->setChecked(false);
    const QString height = find<QLineEdit>(window.get(), "textSize_1")->text();
    typeInto("textSize_0", QStringLiteral("10"));
    QCOMPARE(find<QLineEdit>(window.get(), "textSize_1")->text(), height);
}

void WindowControlsTest::settingsAreRememberedBetweenRuns() {
    const test::TempDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toQString(config.path()));
    QSize firstSize;
    {
        AppState firstState;
        const auto first = startWindow(firstState, program->file("kelvarin"));
        QVERIFY(first != nullptr);
        find<QSpinBox>(first.get(), "spinThreshold")->setValue(90);
        find<QComboBox>(first.get(), "comboUnit")->setCurrentIndex(2);
        find<QCheckBox>(first.get(), "checkKeepProportions")->setChecked(false);
        find<QRadioButton>(first.get(), "optionMakeLine_2")->click();
        find<QAction>(first.get(), "actionVectorize")->trigger();
        find<QDoubleSpinBox>(first.get(), "spinTolerance")->setValue(0.5);
        first->resize(first->width() + 120, first->height() + 40);
        first->move(30, 20);
        firstSize = first->size();
        firstState.DialogDirectory = work->path();
        first->close();
    }
    QVERIFY(test::fileExists(config.file("kelvarin/kelvarin.conf")));
    AppState nextState;
    const auto next = startWindow(nextState, program->file("kelvarin"));
    QCOMPARE(find<QSpinBox>(next.get(), "spinThreshold")->value(), 90);
    QCOMPARE(nextState.readOptions.threshold, 90);
    QCOMPARE(find<QComboBox>(next.get(), "comboUnit")->currentIndex(), 2);
    QVERIFY(!nextState.KeepProportions);
    QVERIFY(find<QRadioButton>(next.get(), "optionMakeLine_2")->isChecked());
    QVERIFY(nextState.conversionOptions.Vectorize);
    QCOMPARE(nextState.conversionOptions.Tolerance, 0.5);
    QCOMPARE(find<QDoubleSpinBox>(next.get(), "spinTolerance")->value(), 0.5);
    QCOMPARE(next->size(), firstSize);
    QCOMPARE(next->pos(), QPoint(30, 20));
    QCOMPARE(nextState.DialogDirectory, work->path());
}

// Typed, dropped or chosen after a read, a path names a picture that was not read: the conversion refuses
// rather than write the other picture's drawing under its name. Enter in the field reads it.
void WindowControlsTest::convertsOnlyThePictureTheFieldNames() {
    read(example);
    typeInto("textFile_0", toQString(sample("picture.bmp")));
    clickButton("cmdRefer_2");
    window->messages.clear();
    clickButton("cmdConvert");
    QCOMPARE(window->messages, std::vector<std::string>{kPictureNotReadRefusal});
    QVERIFY(!test::fileExists(m_samples->file("picture.dxf")));

    QTest::keyClick(window->widget(textFile(0)), Qt::Key_Return);
    QCOMPARE(state->PicturePath, sample("picture.bmp"));
    QCOMPARE(convertTo(work->file("picture.dxf")), cliDrawing({}, sample("picture.bmp")));
}

// A new threshold reads the picture again: sizes typed, in dots or mm, stay. Another picture starts from
// its own dots, without the previous output name or skew.
void WindowControlsTest::reReadKeepsTypedSizesAndANewPictureStartsAfresh() {
    auto* threshold = find<QSpinBox>(window.get(), "spinThreshold");
    auto* unit = find<QComboBox>(window.get(), "comboUnit");
    auto* options = find<QLabel>(window.get(), "labelOptions");
    read(sample("threshold.pgm"));
    for (const int chosenUnit : {0, 1}) {
        unit->setCurrentIndex(chosenUnit);
        emit unit->activated(chosenUnit);
        typeInto("textSize_0", QStringLiteral("100"));
        const QString height = find<QLineEdit>(window.get(), "textSize_1")->text();
        threshold->setValue(threshold->value() + 10);
        QCOMPARE(find<QLineEdit>(window.get(), "textSize_0")->text(), QStringLiteral("100"));
        QCOMPARE(find<QLineEdit>(window.get(), "textSize_1")->text(), height);
    }
    unit->setCurrentIndex(0);
    emit unit->activated(0);

    find<QAction>(window.get(), "actionDeskew")->trigger();
    read(example);
    convertTo(work->file("example.dxf"));
    QVERIFY(options->text().contains(QStringLiteral("傾き補正: ")));
    read(sample("picture.bmp"));
    QCOMPARE(options->text(), QStringLiteral("オプション: 傾き補正"));
    QCOMPARE(window->text(textFile(1)), std::string());
    QCOMPARE(window->text(textSize(0)), formatInteger(bitmapWidth(state->BmpHeader)));
}

void WindowControlsTest::thresholdBoxNamesTheMethodInForce() {
    auto* threshold = find<QSpinBox>(window.get(), "spinThreshold");
    const struct {
        const char* action;
        QString shown;
    } methods[] = {{"actionThresholdAuto", QStringLiteral("自動（大津）")},
                   {"actionAdaptive", QStringLiteral("自動（Sauvola）")}};
    for (const auto& method : methods) {
        find<QAction>(window.get(), method.action)->trigger();
        QCOMPARE(threshold->text(), method.shown);
        QVERIFY(!threshold->isEnabled());
        read(sample("threshold.pgm"));  // a command enables the settings again, but not this one
        QVERIFY(!threshold->isEnabled());
        find<QAction>(window.get(), method.action)->trigger();  // off: the fixed threshold again
        QCOMPARE(threshold->text(), QStringLiteral("128"));
        QVERIFY(threshold->isEnabled());
    }
}

void WindowControlsTest::toleranceAndLineKindFollowTheVectorMode() {
    auto* tolerance = find<QDoubleSpinBox>(window.get(), "spinTolerance");
    auto* lineKind = find<QGroupBox>(window.get(), "frameMakeLine");
    auto* vectorize = find<QAction>(window.get(), "actionVectorize");
    QVERIFY(!tolerance->isVisible() && lineKind->isEnabled());
    vectorize->trigger();
    QVERIFY(tolerance->isVisible() && !lineKind->isEnabled());
    QCOMPARE(tolerance->value(), ConversionOptions::kDefaultTolerance);
    const std::string drawing = std::string(KELVARIN_SOURCE_DIR) + "/examples/drawing.bmp";
    read(drawing);
    tolerance->setValue(0.5);
    QVERIFY(!lineKind->isEnabled());  // nor after a command
    QCOMPARE(convertTo(work->file("drawing.dxf")), cliDrawing({"--vectorize", "--tolerance", "0.5"}, drawing));
    QVERIFY(!lineKind->isEnabled());
    vectorize->trigger();
    QVERIFY(!tolerance->isVisible() && lineKind->isEnabled());
    find<QAction>(window.get(), "actionStrokes")->trigger();
    QVERIFY(!lineKind->isEnabled());
}

// ？ then a click, or F1 on the focused control, shows each newer control's own topic.
void WindowControlsTest::everyNewerControlHasHelp() {
    find<QAction>(window.get(), "actionVectorize")->trigger();  // the tolerance shows
    clickButton("cmdHelp_0");
    const struct {
        const char* name;
        int topic;
    } controls[] = {{"menuOptions", 18}, {"spinPage", 19}, {"spinThreshold", 20},        {"comboUnit", 21},
                    {"spinDpi", 21},     {"cmdStop", 23},  {"checkKeepProportions", 22}, {"spinTolerance", 24}};
    for (const auto& control : controls) {
        const QString topic = find<QWidget>(window.get(), control.name)->whatsThis();
        QVERIFY2(topic.contains(QStringLiteral("<a name=\"%1\">").arg(control.topic)), control.name);
    }
    QWhatsThis::leaveWhatsThisMode();
    HelpWindow* help = window->helpWindow();
    for (const auto& control : controls) {
        auto* widget = find<QWidget>(window.get(), control.name);
        if (!widget->isVisible() || !widget->isEnabled()) {
            continue;
        }
        help->showContents(state->HelpFilePath);
        const int contents = help->browser()->verticalScrollBar()->value();
        widget->setFocus();
        QTest::keyClick(window.get(), Qt::Key_F1);
        QTRY_VERIFY2(help->browser()->verticalScrollBar()->value() > contents + 200, control.name);
    }
}

// A wider window gives the width to the path fields, the size caption and the progress bar; the
// controls right of them move along. At the design's width all are where the design puts them.
void WindowControlsTest::widerWindowStretchesTheFields() {
    QWidget* picture = window->widget(textFile(0));
    QWidget* refer = window->widget(cmdRefer(0));
    QWidget* bar = window->widget(pbarCount);
    const QRect pictureBefore = picture->geometry();
    const QRect referBefore = refer->geometry();
    const int barBefore = bar->width();
    window->resize(window->width() + 200, window->height());
    QTRY_COMPARE(picture->width(), pictureBefore.width() + 200);
    QCOMPARE(refer->geometry(), referBefore.translated(200, 0));
    QCOMPARE(bar->width(), barBefore + 200);
    QVERIFY(window->widget(cmdConvert)->geometry().right() < window->width());
    window->resize(window->width() - 200, window->height());
    QTRY_COMPARE(picture->geometry(), pictureBefore);
    QCOMPARE(refer->geometry(), referBefore);
}

QTEST_MAIN(WindowControlsTest)
#include "window_controls_test.moc"
