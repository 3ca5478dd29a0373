#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <sstream>

#include "app/AppState.h"
#include "app/Startup.h"
#include "cli/CliRun.h"
#include "gui/Application.h"
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

private:
    void read(const std::string& path);
    std::string convertTo(const std::string& output);
    std::string cliDrawing(std::vector<std::string> arguments, const std::string& input);
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

std::string WindowControlsTest::cliDrawing(std::vector<std::string> arguments, const std::string& input) {
    const std::string output = work->file("cli.dxf");
    std::filesystem::remove(output);
    std::istringstream in;
    std::ostringstream out, err;
    arguments.insert(arguments.end(), {"-o", output, input});
    if (runCli(arguments, {program->file("kelvarin-cli"), in, out, err}) != kExitConverted) {
        qWarning("%s", err.str().c_str());
    }
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
    read(sample("truncated.png"));
    QVERIFY(!state->FileLoaded);
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
    {
        AppState firstState;
        const auto first = startWindow(firstState, program->file("kelvarin"));
        QVERIFY(first != nullptr);
        find<QSpinBox>(first.get(), "spinThreshold")->setValue(90);
        find<QComboBox>(first.get(), "comboUnit")->setCurrentIndex(2);
        find<QCheckBox>(first.get(), "checkKeepProportions")->setChecked(false);
        find<QRadioButton>(first.get(), "optionMakeLine_2")->click();
        find<QAction>(first.get(), "actionStrokes")->trigger();
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
    QVERIFY(nextState.conversionOptions.Strokes);
    QCOMPARE(nextState.DialogDirectory, work->path());
}

QTEST_MAIN(WindowControlsTest)
#include "window_controls_test.moc"
