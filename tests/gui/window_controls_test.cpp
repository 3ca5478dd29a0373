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
class WindowControlsTest : public QObject {
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
    void clickButton(const char* name);
    void typeInto(const char* name, const QString& text);
    void read(const std::string& path);
    std::string convertTo(const std::string& output);
    std::string cliDrawing(std::vector<std::string> arguments, const std::string& input);
    std::string sample(const char* name) const { return m_samples->file(name); }

    std::unique_ptr<test::TempDir> m_samples;
    std::unique_ptr<test::ProgramDir> m_program;
    std::unique_ptr<test::TempDir> m_work;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<test::RecordingWindow> m_window;
    std::string m_example;
};

void WindowControlsTest::initTestCase() {
    m_samples = std::make_unique<test::TempDir>();
    const std::string command = "/usr/bin/python3 " + std::string(KELVARIN_SOURCE_DIR) +
                                "/tests/data/make-format-samples.py " + m_samples->path();
    QCOMPARE(std::system(command.c_str()), 0);
}

void WindowControlsTest::init() {
    m_program = std::make_unique<test::ProgramDir>();
    m_work = std::make_unique<test::TempDir>();
    m_example = m_work->file("example.bmp");
    std::filesystem::copy_file(test::dataPath("cases/example-100x50.bmp"), m_example);
    m_state = std::make_unique<AppState>();
    m_window = std::make_unique<test::RecordingWindow>(*m_state);
    QVERIFY(Main(*m_state, *m_window, m_program->file("kelvarin")));
    Form_Load(m_window->form(), m_program->file("kelvarin"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void WindowControlsTest::cleanup() {
    m_window.reset();
    m_state.reset();
    m_work.reset();
    m_program.reset();
}

void WindowControlsTest::clickButton(const char* name) {
    auto* button = find<QAbstractButton>(m_window.get(), name);
    QVERIFY2(button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void WindowControlsTest::typeInto(const char* name, const QString& text) {
    auto* edit = find<QLineEdit>(m_window.get(), name);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void WindowControlsTest::read(const std::string& path) {
    typeInto("textFile_0", toQString(path));
    clickButton("cmdReadFile");
}

// Converts with the window's settings, replacing the output when it exists; the file's bytes.
std::string WindowControlsTest::convertTo(const std::string& output) {
    typeInto("textFile_1", toQString(output));
    m_window->answers = {true};
    m_window->messages.clear();
    clickButton("cmdConvert");
    return test::readBytes(output);
}

std::string WindowControlsTest::cliDrawing(std::vector<std::string> arguments, const std::string& input) {
    const std::string output = m_work->file("cli.dxf");
    std::filesystem::remove(output);
    std::istringstream in;
    std::ostringstream out, err;
    arguments.insert(arguments.end(), {"-o", output, input});
    if (runCli(arguments, {m_program->file("kelvarin-cli"), in, out, err}) != kExitConverted) {
        qWarning("%s", err.str().c_str());
    }
    return test::readBytes(output);
}

void WindowControlsTest::neverWritesOverTheScan() {
    read(m_example);
    const std::string scan = test::readBytes(m_example);
    std::filesystem::create_symlink(m_example, m_work->file("link.dxf"));
    convertTo(m_work->file("link.dxf"));
    QCOMPARE(m_window->messages, std::vector<std::string>{"出力ファイルが入力ファイルと同じです。変換しません"});
    QCOMPARE(test::readBytes(m_example), scan);
}

void WindowControlsTest::failedReadClearsThePreview() {
    auto* preview = find<PreviewWidget>(m_window.get(), "imageOrig");
    read(m_example);
    QVERIFY(preview->hasPicture());
    read(sample("truncated.png"));
    QVERIFY(!m_state->FileLoaded);
    QVERIFY(!preview->hasPicture());
}

void WindowControlsTest::enterPressesButtonsAndTheOutputIsSaved() {
    typeInto("textFile_0", toQString(m_example));
    for (const char* name : {"cmdRefer_2", "cmdReadFile"}) {
        m_window->findChild<QWidget*>(name)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QCOMPARE(find<QLineEdit>(m_window.get(), "textFile_1")->text(), toQString(m_work->file("example.dxf")));
    QVERIFY(m_state->FileLoaded);

    // The output's dialog saves, starts in the picture's folder and adds ".dxf" to a bare name.
    clickButton("cmdRefer_1");
    QCOMPARE(m_window->dialogRequests.size(), std::size_t{1});
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->labelText(QFileDialog::Accept), QStringLiteral("保存"));
        QCOMPARE(dialog->directory().absolutePath(), toQString(m_work->path()));
        dialog->selectFile(QStringLiteral("plan"));
        seen = true;
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen = m_window->MainWindow::showOpenDialog(m_window->dialogRequests.front());
    QVERIFY(seen);
    QCOMPARE(chosen.value_or(""), m_work->file("plan.dxf"));
}

void WindowControlsTest::stopLeavesTheOldDrawing() {
    read(m_example);
    const std::string output = m_work->file("out.dxf");
    test::writeBytes(output, "old");
    m_window->setPacing({1, std::chrono::nanoseconds(0)});
    auto* options = find<QPushButton>(m_window.get(), "menuOptions");
    auto* stop = find<QPushButton>(m_window.get(), "cmdStop");
    QVERIFY(!stop->isEnabled());
    const std::function<void()> stops[] = {[&] { QTest::mouseClick(stop, Qt::LeftButton); },
                                           [&] { QTest::keyClick(m_window.get(), Qt::Key_Escape); }};
    for (const auto& stopNow : stops) {
        int pumped = 0;
        m_window->duringEvents = [&] {
            if (pumped++ == 3) {
                QVERIFY(!options->isEnabled());
                QVERIFY(stop->isEnabled());
                stopNow();
            }
        };
        QCOMPARE(convertTo(output), std::string("old"));
        m_window->duringEvents = nullptr;
        QCOMPARE(m_window->messages, (std::vector<std::string>{"既にファイルがありますが、上書きしてもよろしいですか？",
                                                               "処理が中断されました。"}));
        QCOMPARE(QDir(toQString(m_work->path())).entryList(QDir::Files),
                 (QStringList{"example.bmp", "out.dxf"}));  // no temporary file
        QVERIFY(options->isEnabled() && !stop->isEnabled());
        QVERIFY(m_window->widget(cmdConvert)->isEnabled());
    }
}

void WindowControlsTest::pageThresholdAndUnitsWriteWhatTheCommandLineWrites() {
    auto* page = find<QSpinBox>(m_window.get(), "spinPage");
    auto* threshold = find<QSpinBox>(m_window.get(), "spinThreshold");
    auto* unit = find<QComboBox>(m_window.get(), "comboUnit");
    auto* dpi = find<QSpinBox>(m_window.get(), "spinDpi");
    const std::string output = m_work->file("window.dxf");

    read(sample("two-pages.tif"));
    QVERIFY(page->isVisible());
    QCOMPARE(page->maximum(), 2);
    page->setFocus();
    QTest::keyClick(page, Qt::Key_Up);
    QCOMPARE(m_state->readOptions.page, 2);
    QCOMPARE(convertTo(output), cliDrawing({"--page", "2"}, sample("two-pages.tif")));
    read(sample("picture.bmp"));
    QVERIFY(!page->isVisible());
    QCOMPARE(m_state->readOptions.page, 1);

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
    find<QCheckBox>(m_window.get(), "checkKeepProportions")->setChecked(false);
    const QString height = find<QLineEdit>(m_window.get(), "textSize_1")->text();
    typeInto("textSize_0", QStringLiteral("10"));
    QCOMPARE(find<QLineEdit>(m_window.get(), "textSize_1")->text(), height);
}

void WindowControlsTest::settingsAreRememberedBetweenRuns() {
    const test::TempDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toQString(config.path()));
    {
        AppState state;
        const auto window = startWindow(state, m_program->file("kelvarin"));
        QVERIFY(window != nullptr);
        find<QSpinBox>(window.get(), "spinThreshold")->setValue(90);
        find<QComboBox>(window.get(), "comboUnit")->setCurrentIndex(2);
        find<QCheckBox>(window.get(), "checkKeepProportions")->setChecked(false);
        find<QRadioButton>(window.get(), "optionMakeLine_2")->click();
        find<QAction>(window.get(), "actionStrokes")->trigger();
        state.DialogDirectory = m_work->path();
        window->close();
    }
    QVERIFY(test::fileExists(config.file("kelvarin/kelvarin.conf")));
    AppState state;
    const auto window = startWindow(state, m_program->file("kelvarin"));
    QCOMPARE(find<QSpinBox>(window.get(), "spinThreshold")->value(), 90);
    QCOMPARE(state.readOptions.threshold, 90);
    QCOMPARE(find<QComboBox>(window.get(), "comboUnit")->currentIndex(), 2);
    QVERIFY(!state.KeepProportions);
    QVERIFY(find<QRadioButton>(window.get(), "optionMakeLine_2")->isChecked());
    QVERIFY(state.conversionOptions.Strokes);
    QCOMPARE(state.DialogDirectory, m_work->path());
}

QTEST_MAIN(WindowControlsTest)
#include "window_controls_test.moc"
