// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QWhatsThis>

#include <cerrno>
#include <deque>
#include <filesystem>
#include <functional>
#include <sstream>

#include "app/AppState.h"
#include "app/ConvertCommand.h"
#include "app/Startup.h"
#include "cli/CliRun.h"
#include "common/Error.h"
#include "common/TextFormat.h"
#include "gui/Application.h"
#include "gui/ElidedLabel.h"
#include "gui/ExtraControls.h"
#include "gui/HelpWindow.h"
#include "gui/MainWindow.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"
#include "gui/RecordingWindow.h"
#include "support/TestSupport.h"

using namespace kelvarin;

using test::find;
using test::RecordingWindow;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void initialState();
    void tabOrderFollowsTheDesign();
    void aConversionKeepsTheTabOrderAndTheFocus();
    void fullSession();
    void resizeRefitsThePreview();
    void dropsAndAutomaticName();
    void sizeFieldsKeepProportions();
    void readsScansOfOtherFormats();
    void focusByMouseSelectsAll();
    void colourOption();
    void controlsAreDisabledDuringAConversion();
    void closeDuringAConversionWaits();
    void helpViewerAndContextHelp();
    void messageBoxesAreTitledAndDefaultYes();
    void missingTemplateGivesNoWindow();
    void pictureNamedOnTheCommandLineIsRead();
    void failuresNameTheFileAndTheReason();
    void previewAveragesDots();
    void captionsKeepClearOfOtherControls();
    void largeFontKeepsTheLayoutClear();
    void conversionOptions();
    void screenshot();

private:
    void clickButton(const char* name);
    void typeInto(const char* name, const QString& text);
    void readExample();
    void checkLayout(bool wholeButtons);
    QStringList expectedTabCycle();
    QStringList tabCycle();
    // The height the rows under the preview add to the window.
    int extraRows() {
        return m_window->height() - static_cast<int>(std::lround(m_window->innerHeight() / m_window->twipsPerPixel()));
    }
    QLineEdit* field(const char* name) { return find<QLineEdit>(m_window.get(), name); }

    test::WindowSession m_session;
    std::unique_ptr<test::ProgramDir>& m_program = m_session.program;
    std::unique_ptr<test::TempDir>& m_work = m_session.work;
    std::unique_ptr<AppState>& m_state = m_session.state;
    std::unique_ptr<test::RecordingWindow>& m_window = m_session.window;
    std::string& m_example = m_session.example;
};

void MainWindowTest::init() { m_session.open(); }

void MainWindowTest::cleanup() { m_session.close(); }

void MainWindowTest::clickButton(const char* name) { m_session.clickButton(name); }

void MainWindowTest::typeInto(const char* name, const QString& text) { m_session.typeInto(name, text); }

void MainWindowTest::readExample() {
    typeInto("textFile_0", toQString(m_example));
    clickButton("cmdReadFile");
    QVERIFY(m_state->FileLoaded);
}

void MainWindowTest::initialState() {
    for (const ControlDesign& design : controlDesigns()) {
        QWidget* control = m_window->widget(design.control);
        QVERIFY(control != nullptr);
        QCOMPARE(control->objectName(), toQString(design.objectName));
        QCOMPARE(control->isEnabled(), design.initiallyEnabled);
        QCOMPARE(control->toolTip(), toQString(design.toolTip));
        if (design.kind == ControlKind::OptionButton) {
            QCOMPARE(static_cast<QRadioButton*>(control)->isChecked(), design.initiallySelected);
        }
        if (design.kind != ControlKind::Image && design.kind != ControlKind::ProgressBar) {
            QCOMPARE(toQString(m_window->text(design.control)), toQString(design.caption));
        }
    }
    QCOMPARE(m_window->windowTitle(), QStringLiteral("kelvarin Version 1.0.0 ") + toQString(m_state->LegalNoticeText));
    QCOMPARE(QApplication::focusWidget(), m_window->widget(textFile(0)));
    // At 96 dpi the client area is the design's 9675 x 8295 twips.
    QCOMPARE(m_window->twipsPerPixel(), 15.0);
    QCOMPARE(m_window->size(), QSize(645, 553 + extraRows()));
    QCOMPARE(m_window->widget(textFile(0))->geometry(), QRect(104, 16, 393, 18));
    QCOMPARE(m_window->widget(optionMakeLine(2))->parentWidget(), m_window->widget(frameMakeLine));
    QCOMPARE(m_window->font(), QApplication::font());  // the desktop's
}

// The design's order, then the controls beyond it; an option group is one stop, at its checked button.
QStringList MainWindowTest::expectedTabCycle() {
    QStringList expected;
    for (Control control : tabOrder()) {
        QWidget* stop = m_window->widget(control);
        if (qobject_cast<QRadioButton*>(stop) != nullptr) {
            for (auto* option : stop->parentWidget()->findChildren<QRadioButton*>()) {
                stop = option->isChecked() ? option : stop;
            }
        }
        expected << stop->objectName();
    }
    return expected << "menuOptions"
                    << "spinThreshold"
                    << "comboUnit"
                    << "spinDpi"
                    << "checkKeepProportions";
}

// The controls Tab visits once round, from the control with the focus.
QStringList MainWindowTest::tabCycle() {
    QStringList visited;
    for (qsizetype i = 0; i < expectedTabCycle().size(); ++i) {
        QWidget* focused = QApplication::focusWidget();
        visited << (focused != nullptr ? focused->objectName() : QStringLiteral("(none)"));
        QTest::keyClick(focused != nullptr ? focused : m_window.get(), Qt::Key_Tab);
    }
    return visited;
}

void MainWindowTest::tabOrderFollowsTheDesign() {
    readExample();  // every control enabled
    for (const char* choice :
         {"optionMakeLine_0", "optionMakeLine_2", "optionColor_1", "optionMakeLine_1", "optionColor_0"}) {
        QTest::mouseClick(find<QRadioButton>(m_window.get(), choice), Qt::LeftButton);
        const QStringList expected = expectedTabCycle();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.at(expected.indexOf(choice) + 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(choice));
        m_window->widget(textFile(0))->setFocus();
        QCOMPARE(tabCycle(), expected);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("textFile_0"));
    }
}

void MainWindowTest::aConversionKeepsTheTabOrderAndTheFocus() {
    readExample();
    typeInto("textFile_1", toQString(m_work->file("out.dxf")));
    m_window->widget(cmdConvert)->setFocus(Qt::TabFocusReason);
    const QStringList before = tabCycle();
    m_window->setPacing({1, std::chrono::nanoseconds(0)});
    int pumped = 0;
    bool busyCursor = false;
    m_window->duringEvents = [&] {
        if (pumped++ == 0) {
            busyCursor =
                QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        }
        QTest::qWait(1);  // a conversion of a while, with the window's events running
    };
    m_window->widget(cmdConvert)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(m_window->widget(cmdConvert), Qt::Key_Space);
    m_window->duringEvents = nullptr;
    QVERIFY(pumped > 10);
    QCOMPARE(m_window->messages, std::vector<std::string>{"変換終了して、ファイルに書き出しました"});
    QCOMPARE(QApplication::focusWidget(), m_window->widget(cmdConvert));
    QCOMPARE(tabCycle(), before);
    QVERIFY(busyCursor);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void MainWindowTest::fullSession() {
    readExample();
    QVERIFY(m_window->messages.empty());
    QCOMPARE(field("textSize_0")->text(), QStringLiteral("100"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("50"));
    // 9195 x 4455 twips free; a 2:1 bitmap fills the height: 8910 x 4455 twips = 594 x 297 pixels.
    auto* preview = find<PreviewWidget>(m_window.get(), "imageOrig");
    QVERIFY(preview->hasPicture());
    QVERIFY(preview->stretch());
    QCOMPARE(preview->size(), QSize(594, 297));
    QCOMPARE(find<QLabel>(m_window.get(), "labelBMPSize")->text(), QStringLiteral("100dots × 50dots : 表示 594%"));
    for (const ControlDesign& design : controlDesigns()) {
        QVERIFY2(m_window->widget(design.control)->isEnabled(), design.objectName.data());
    }

    const std::string output = m_work->file("window.dxf");
    typeInto("textFile_1", toQString(output));
    typeInto("textOffset_0", QStringLiteral("10"));
    clickButton("cmdConvert");
    QCOMPARE(m_window->messages, std::vector<std::string>{"変換終了して、ファイルに書き出しました"});
    QCOMPARE(test::readBytes(output), test::readBytes(test::dataPath("cases/example-100x50.dxf")));

    // The command line writes the same file.
    std::istringstream in;
    std::ostringstream out, err;
    const std::string cliOutput = m_work->file("cli.dxf");
    QCOMPARE(runCli({"--offset-x", "10", "-o", cliOutput, m_example}, {m_program->file("kelvarin-cli"), in, out, err}),
             kExitConverted);
    QCOMPARE(test::readBytes(cliOutput), test::readBytes(output));

    // Declining the question keeps the file; accepting replaces it.
    test::writeBytes(output, "old");
    m_window->messages.clear();
    m_window->answers = {false};
    clickButton("cmdConvert");
    QCOMPARE(m_window->messages, std::vector<std::string>{"既にファイルがありますが、上書きしてもよろしいですか？"});
    QCOMPARE(test::readBytes(output), std::string("old"));
    m_window->answers = {true};
    clickButton("cmdConvert");
    QCOMPARE(test::readBytes(output), test::readBytes(cliOutput));
    QCOMPARE(find<QLabel>(m_window.get(), "labelPercent")->text().left(4), QStringLiteral("書出: "));
    test::keepForReaderCheck(output, "main_window-session");
}

void MainWindowTest::resizeRefitsThePreview() {
    auto* preview = find<PreviewWidget>(m_window.get(), "imageOrig");
    auto* sizeLabel = find<QLabel>(m_window.get(), "labelBMPSize");
    const QSize designSize = preview->size();
    m_window->resize(800, 700);
    QCOMPARE(preview->size(), designSize);  // nothing read yet
    QCOMPARE(sizeLabel->text(), QStringLiteral("サイズ"));

    readExample();
    m_window->resize(645, 553 + extraRows());
    QCOMPARE(preview->size(), QSize(594, 297));
    m_window->resize(900, 553 + extraRows());
    QCOMPARE(preview->size(), QSize(594, 297));  // the height still limits it
    m_window->resize(645, 400 + extraRows());    // 6000 - 3600 - 240 twips high
    QCOMPARE(preview->size(), QSize(288, 144));
    QCOMPARE(sizeLabel->text(), QStringLiteral("100dots × 50dots : 表示 288%"));
    m_window->resize(20, 20);  // the smallest window keeps a strip for the preview, above the rows under it
    QCOMPARE(preview->size(), QSize(80, 40));
    QVERIFY(preview->geometry().bottom() < m_window->extraControls()->y());
    QVERIFY(m_window->messages.empty());

    m_window->resize(645, 553 + extraRows());
    m_window->setWindowState(Qt::WindowMinimized);
    QResizeEvent whileMinimised(QSize(300, 300), m_window->size());
    QApplication::sendEvent(m_window.get(), &whileMinimised);
    QCOMPARE(preview->size(), QSize(594, 297));
    m_window->setWindowState(Qt::WindowNoState);
}

void MainWindowTest::dropsAndAutomaticName() {
    auto drop = [this](const char* name, QMimeData* data) {
        QWidget* target = field(name);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        return enter.isAccepted();
    };
    QMimeData files;
    files.setUrls(
        {QUrl::fromLocalFile("/x/First.BMP"), QUrl::fromLocalFile("/x/b.bmp"), QUrl::fromLocalFile("/x/c.bmp")});
    QVERIFY(drop("textFile_0", &files));
    QCOMPARE(field("textFile_0")->text(), QStringLiteral("/x/First.BMP"));
    QCOMPARE(field("textFile_0")->toolTip(), QStringLiteral("変換元BMP：[/x/First.BMP]"));
    // A dropped picture is read at once.
    QCOMPARE(m_window->messages, std::vector<std::string>{"ファイルが見つかりません"});
    m_window->messages.clear();

    QMimeData text;
    text.setText(QStringLiteral("/y/other.bmp"));
    QVERIFY(!drop("textFile_0", &text));
    QCOMPARE(field("textFile_0")->text(), QStringLiteral("/x/First.BMP"));

    clickButton("cmdRefer_2");
    QCOMPARE(field("textFile_1")->text(), QStringLiteral("/x/First.dxf"));
    QCOMPARE(field("textFile_1")->toolTip(), QStringLiteral("変換先DXF：[/x/First.dxf]"));
    typeInto("textFile_0", QStringLiteral("photo.jpg"));
    clickButton("cmdRefer_2");
    QCOMPARE(m_window->messages, std::vector<std::string>{"BMPファイルが指定されていません"});

    m_window->dialogAnswers = {std::nullopt, m_work->file("out.dxf")};
    clickButton("cmdRefer_1");
    QCOMPARE(field("textFile_1")->text(), QStringLiteral("/x/First.dxf"));
    clickButton("cmdRefer_1");
    QCOMPARE(field("textFile_1")->text(), toQString(m_work->file("out.dxf")));

    m_window->messages.clear();
    QMimeData example;
    example.setUrls({QUrl::fromLocalFile(toQString(m_example))});
    QVERIFY(drop("textFile_0", &example));
    QVERIFY(m_state->FileLoaded);
    QCOMPARE(m_state->PicturePath, m_example);
    QVERIFY(m_window->messages.empty());
}

void MainWindowTest::readsScansOfOtherFormats() {
    const std::string samples = m_work->file("samples");
    QVERIFY(test::makeTestData("make-format-samples.py", samples));
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    const std::string expected = m_work->file("expected.dxf");
    QCOMPARE(runCli({"--lines", "both", "-o", expected, samples + "/picture.bmp"},
                    {m_program->file("kelvarin-cli"), in, out, err}),
             0);

    for (const char* name : {"/pillow-g4.tif", "/pillow-1bit.png"}) {
        typeInto("textFile_0", toQString(samples + name));
        clickButton("cmdReadFile");
        QVERIFY2(m_state->FileLoaded, name);
        QVERIFY(find<PreviewWidget>(m_window.get(), "imageOrig")->hasPicture());
        QVERIFY(find<QLabel>(m_window.get(), "labelBMPSize")->text().startsWith("203dots × 77dots"));
        clickButton("cmdRefer_2");  // 自動
        const QString output = field("textFile_1")->text();
        QVERIFY(output.endsWith(".dxf"));
        QTest::mouseClick(find<QRadioButton>(m_window.get(), "optionMakeLine_2"), Qt::LeftButton);
        clickButton("cmdConvert");
        QCOMPARE(test::readBytes(toStdString(output)), test::readBytes(expected));
    }
    // The PNG stores 23622 dots per metre: the size fields' menu fills in millimetres.
    auto* realSize = field("textSize_0")->findChild<QAction*>("realSizeMillimetres");
    QVERIFY(realSize != nullptr);
    realSize->trigger();
    // The fields show 6 digits; while left as shown, the conversion uses the whole number.
    const double dotsPerInch = 23622 * 0.0254;
    QCOMPARE(field("textSize_0")->text(), QStringLiteral("8.59368"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("3.25967"));
    QCOMPARE(m_window->text(textSize(0)), formatGeneral(203 / dotsPerInch * 25.4));
    QCOMPARE(m_window->text(textSize(1)), formatGeneral(77 / dotsPerInch * 25.4));
    typeInto("textSize_1", QStringLiteral("3.25967"));
    QCOMPARE(m_window->text(textSize(1)), std::string("3.25967"));
}

void MainWindowTest::sizeFieldsKeepProportions() {
    readExample();  // 100 x 50, and the size fields enabled
    const auto setDots = [this](std::uint32_t width, std::uint32_t height) {
        for (std::size_t i = 0; i < 4; ++i) {
            m_state->BmpHeader[18 + i] = static_cast<std::uint8_t>(width >> (8 * i));
            m_state->BmpHeader[22 + i] = static_cast<std::uint8_t>(height >> (8 * i));
        }
    };
    setDots(640, 480);
    typeInto("textSize_0", QStringLiteral("100"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("75"));
    typeInto("textSize_0", QStringLiteral("10"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("7.5"));
    QTest::keyClick(field("textSize_0"), Qt::Key_Backspace);
    QTest::keyClick(field("textSize_0"), Qt::Key_Backspace);
    QCOMPARE(field("textSize_1")->text(), QString());
    setDots(300, 100);
    typeInto("textSize_1", QStringLiteral("1"));
    QCOMPARE(field("textSize_0")->text(), QStringLiteral("3"));
    typeInto("textSize_0", QStringLiteral("1"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("0.333333"));
    QCOMPARE(m_window->text(textSize(1)), std::string("0.333333333333333"));
    setDots(100, 50);

    typeInto("textSize_0", QStringLiteral("10"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("5"));
    typeInto("textSize_0", QStringLiteral("1"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("0.5"));
    typeInto("textSize_1", QStringLiteral("7"));
    QCOMPARE(field("textSize_0")->text(), QStringLiteral("14"));
    QCOMPARE(field("textSize_1")->text(), QStringLiteral("7"));
    QTest::keyClicks(field("textSize_1"), QStringLiteral("x"));
    QCOMPARE(field("textSize_0")->text(), QStringLiteral("14"));
}

void MainWindowTest::focusByMouseSelectsAll() {
    QLineEdit* layer = field("textLayer");
    QTest::mouseClick(layer, Qt::LeftButton, Qt::NoModifier, QPoint(layer->width() - 4, layer->height() / 2));
    QTRY_COMPARE(layer->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(layer, QStringLiteral("L1"));
    QCOMPARE(layer->text(), QStringLiteral("L1"));
    // The thinning field has no such behaviour.
    QLineEdit* thinning = field("textPartial");
    QTest::mouseClick(thinning, Qt::LeftButton, Qt::NoModifier, QPoint(thinning->width() - 4, thinning->height() / 2));
    QTest::qWait(20);
    QCOMPARE(thinning->selectedText(), QString());
}

void MainWindowTest::colourOption() {
    clickButton("optionColor_1");
    QVERIFY(m_state->LineColorWhite);
    clickButton("optionColor_0");
    QVERIFY(!m_state->LineColorWhite);
    QVERIFY(!find<QRadioButton>(m_window.get(), "optionColor_1")->isChecked());
}

void MainWindowTest::controlsAreDisabledDuringAConversion() {
    readExample();
    m_window->setPacing({1, std::chrono::nanoseconds(0)});
    typeInto("textFile_1", toQString(m_work->file("out.dxf")));
    int checked = 0;
    m_window->duringEvents = [&] {
        if (checked++ > 0) {
            return;
        }
        for (const ControlDesign& design : controlDesigns()) {
            const bool staysEnabled = design.control == labelBMPSize || design.control == labelPercent ||
                                      design.control == pbarCount || design.control == imageOrig;
            QCOMPARE(m_window->widget(design.control)->isEnabled(), staysEnabled);
        }
        QVERIFY(!find<QPushButton>(m_window.get(), "menuOptions")->isEnabled());
        // A click on a disabled button does nothing.
        QTest::mouseClick(m_window->widget(cmdReadFile), Qt::LeftButton);
    };
    clickButton("cmdConvert");
    QVERIFY(checked > 0);
    QCOMPARE(m_window->messages, std::vector<std::string>{"変換終了して、ファイルに書き出しました"});
    QVERIFY(m_window->widget(cmdEnd)->isEnabled());
}

void MainWindowTest::closeDuringAConversionWaits() {
    readExample();
    m_window->setPacing({1, std::chrono::nanoseconds(0)});
    typeInto("textFile_1", toQString(m_work->file("out.dxf")));
    bool closeAsked = false;
    m_window->duringEvents = [&] {
        if (!closeAsked) {
            closeAsked = true;
            m_window->close();
            QVERIFY(m_window->isVisible());  // still converting
        }
    };
    clickButton("cmdConvert");
    QVERIFY(closeAsked);
    QVERIFY(test::fileExists(m_work->file("out.dxf")));
    QVERIFY(!m_window->isVisible());
}

void MainWindowTest::helpViewerAndContextHelp() {
    clickButton("cmdHelp_1");
    HelpWindow* help = m_window->helpWindow();
    QVERIFY(help->isVisible());
    QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("KELVARIN ヘルプ")));

    const int contentsPosition = help->browser()->verticalScrollBar()->value();
    field("textLayer")->setFocus();
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    // At the layer topic, far below the contents.
    QTRY_VERIFY(help->browser()->verticalScrollBar()->value() > contentsPosition + 200);

    clickButton("cmdHelp_0");
    QVERIFY(QWhatsThis::inWhatsThisMode());
    // The next click shows the control's topic instead of operating it: "自動" would complain here.
    QTest::mouseClick(m_window->widget(cmdRefer(2)), Qt::LeftButton);
    QVERIFY(m_window->messages.empty());
    QVERIFY(!QWhatsThis::inWhatsThisMode());
    clickButton("cmdHelp_0");
    QVERIFY(field("textPartial")->whatsThis().contains(QStringLiteral("間引き数")));
    QVERIFY(m_window->widget(imageOrig)->whatsThis().contains(QStringLiteral("<a name=\"13\">")));
    QVERIFY(m_window->widget(labelLayer)->whatsThis().isEmpty());  // a control without a topic
    QWhatsThis::leaveWhatsThisMode();

    std::filesystem::remove(m_program->file("KELVARIN.hlp"));
    clickButton("cmdHelp_1");
    QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("ヘルプファイルを開けません")));
    QVERIFY(m_window->messages.empty());
}

void MainWindowTest::messageBoxesAreTitledAndDefaultYes() {
    // The real boxes of the window, closed by the test once they are up.
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("KELVARIN"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
        seen = true;
        box->button(QMessageBox::No)->click();
    });
    QVERIFY(!m_window->realQuestionBox("既にファイルがありますが、上書きしてもよろしいですか？"));
    QVERIFY(seen);
}

void MainWindowTest::missingTemplateGivesNoWindow() {
    std::filesystem::remove(m_program->file("header.txt"));
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QVERIFY(box->text().startsWith(QStringLiteral("「header.txt」がありません。")));
        seen = true;
        box->accept();
    });
    AppState state;
    QVERIFY(startWindow(state, m_program->file("kelvarin")) == nullptr);
    QVERIFY(seen);

    test::writeBytes(m_program->file("header.txt"), "");
    const auto window = startWindow(state, m_program->file("kelvarin"));
    QVERIFY(window != nullptr);
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("kelvarin Version ")));
}

void MainWindowTest::failuresNameTheFileAndTheReason() {
    // The boxes keep their texts; the path and the system's reason are the details.
    const std::string folder = m_work->file("folder.bmp");
    std::filesystem::create_directory(folder);
    readPicture(*m_window, folder);
    QCOMPARE(m_window->messages,
             (std::vector<std::string>{"ファイル読み込みエラー in ReadFile", "ファイル読み込みエラー"}));
    QCOMPARE(m_window->details, std::vector<std::string>{folder + ": " + systemReason(EISDIR)});

    m_window->messages.clear();
    const std::string jpeg = m_work->file("scan.jpg");
    QCOMPARE(std::system(("convert " + m_example + " " + jpeg).c_str()), 0);
    readPicture(*m_window, jpeg);
    QCOMPARE(m_window->messages,
             std::vector<std::string>{
                 "この画像は JPEG 形式です。読めるのは BMP（1 ビット）、TIFF、PNG、PBM/PGM/PPM/PAM、PDF の画像です"});

    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QCOMPARE(box->text(), QStringLiteral("ファイル読み込みエラー in ReadFile"));
        QCOMPARE(box->detailedText(), toQString(m_window->details.front()));
        seen = true;
        box->accept();
    });
    m_window->realMessageBox("ファイル読み込みエラー in ReadFile", m_window->details.front());
    QVERIFY(seen);
}

void MainWindowTest::pictureNamedOnTheCommandLineIsRead() {
    readPicture(*m_window, m_work->file("missing.bmp"));
    QCOMPARE(field("textFile_0")->text(), toQString(m_work->file("missing.bmp")));
    QVERIFY(!m_state->FileLoaded);
    QCOMPARE(m_window->messages.size(), std::size_t{1});

    readPicture(*m_window, m_example);
    QCOMPARE(field("textFile_0")->text(), toQString(m_example));
    QCOMPARE(field("textFile_0")->toolTip(), QStringLiteral("変換元BMP：[") + toQString(m_example) + "]");
    QVERIFY(m_state->FileLoaded);
    QCOMPARE(m_window->messages.size(), std::size_t{1});
}

void MainWindowTest::previewAveragesDots() {
    PreviewPicture picture;
    picture.width = 4;
    picture.height = 2;
    picture.stride = 4;
    picture.rows = {0b10100000, 0, 0, 0, 0b11110000, 0, 0, 0};  // top row half white, bottom row white
    const QImage image = renderPreview(picture, QSize(4, 2), QSize(2, 1));
    QCOMPARE(qGray(image.pixel(0, 0)), 255 * 3 / 4);
    QCOMPARE(qGray(image.pixel(1, 0)), 255 * 3 / 4);
    const QImage same = renderPreview(picture, QSize(4, 2), QSize(4, 2));
    QCOMPARE(qGray(same.pixel(1, 0)), 0);
    QCOMPARE(qGray(same.pixel(2, 0)), 255);
}

// The captions clear of other controls at the scale the test runs at (also run with QT_SCALE_FACTOR=2): a
// label's text within the label and a space's width from the controls beside it, the option buttons
// inside their frame's content area (below its title and border), and at the smallest window size every
// control inside the window.
// Option buttons inside their frames and tall enough, label texts clear of their neighbours by half a line, frames
// clear of the controls around them.
void MainWindowTest::checkLayout(bool wholeButtons) {
    for (const ControlDesign& design : controlDesigns()) {
        QWidget* control = m_window->widget(design.control);
        if (design.kind == ControlKind::OptionButton) {
            const QWidget* frame = control->parentWidget();
            QVERIFY2(frame->contentsRect().contains(control->geometry()), design.objectName.data());
            // As tall as the style asks; with a font too large for that, at least a line of text.
            const int least = wholeButtons ? control->sizeHint().height() : control->fontMetrics().height();
            QVERIFY2(control->height() >= least, design.objectName.data());
        }
        if (design.kind != ControlKind::Label || design.control == labelPercent || design.control == labelBMPSize) {
            continue;
        }
        auto* label = static_cast<QLabel*>(control);
        const QFontMetricsF metrics(label->font());
        const QRectF text(label->x() + label->contentsRect().left(), label->y(),
                          metrics.horizontalAdvance(label->text()), label->height());
        QVERIFY2(text.right() <= label->geometry().right() + 1, design.objectName.data());
        // Half a line of the window's font: a label drawn smaller keeps at least that from its neighbours.
        const qreal gap = QFontMetricsF(m_window->font()).height() / 2 - 1;
        for (const ControlDesign& other : controlDesigns()) {
            const QRect beside = m_window->widget(other.control)->geometry();
            if (other.frame == other.control && other.control != design.control) {
                QVERIFY2(
                    !text.adjusted(-gap + 0.5, 0, gap - 0.5, 0).intersects(beside),
                    qPrintable(QStringLiteral("%1 touches %2").arg(label->objectName(), toQString(other.objectName))));
            }
        }
    }
    // The frames, grown to hold their buttons, keep clear of the controls around them.
    for (const ControlDesign& frame : controlDesigns()) {
        if (frame.kind != ControlKind::Frame) {
            continue;
        }
        for (const ControlDesign& other : controlDesigns()) {
            if (other.frame == other.control && other.control != frame.control) {
                QVERIFY2(!m_window->widget(frame.control)
                              ->geometry()
                              .intersects(m_window->widget(other.control)->geometry()),
                         qPrintable(toQString(frame.objectName) + " overlaps " + toQString(other.objectName)));
            }
        }
    }
}

// A desktop font larger than the design's: the frames and labels still keep clear of the other controls.
void MainWindowTest::largeFontKeepsTheLayoutClear() {
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSizeF(original.pointSizeF() * 1.4);
    QApplication::setFont(large);
    m_session.close();
    m_session.open();
    checkLayout(false);
    QApplication::setFont(original);
}

void MainWindowTest::captionsKeepClearOfOtherControls() {
    checkLayout(true);
    if (QTest::currentTestFailed()) {
        return;
    }
    // The options in force are named whole.
    m_state->conversionOptions.DespeckleSize = 4;
    find<QAction>(m_window.get(), "actionStrokes")->trigger();
    auto* options = find<ElidedLabel>(m_window.get(), "labelOptions");
    QCOMPARE(options->text(), QStringLiteral("オプション: ストローク、ゴミ取り: 4 ドット以下"));
    QVERIFY(options->fontMetrics().horizontalAdvance(options->text()) <= options->contentsRect().width());
    m_window->resize(1, 1);
    QCOMPARE(options->text(), options->fullText());
    for (const ControlDesign& design : controlDesigns()) {
        if (design.frame == design.control && design.control != imageOrig) {
            QVERIFY2(m_window->rect().contains(m_window->widget(design.control)->geometry()), design.objectName.data());
        }
    }
}

// Saves a picture of the window with the sample drawing read, for the documentation; only when
// KELVARIN_SCREENSHOT names the file to write.
void MainWindowTest::conversionOptions() {
    auto* menuButton = find<QPushButton>(m_window.get(), "menuOptions");
    auto* strokes = find<QAction>(m_window.get(), "actionStrokes");
    auto* despeckle = find<QAction>(m_window.get(), "actionDespeckle");
    auto* label = find<QLabel>(m_window.get(), "labelOptions");
    QCOMPARE(menuButton->text(), QStringLiteral("オプション"));
    QVERIFY(menuButton->isVisible());
    QCOMPARE(label->text(), QString());
    QVERIFY(!strokes->isChecked() && !despeckle->isChecked());
    // The threshold methods exclude each other; unchecking both goes back to the fixed threshold.
    auto* histogram = find<QAction>(m_window.get(), "actionThresholdAuto");
    auto* adaptive = find<QAction>(m_window.get(), "actionAdaptive");
    for (const auto& [action, method] :
         {std::pair{histogram, ThresholdMethod::Histogram}, std::pair{adaptive, ThresholdMethod::Adaptive},
          std::pair{adaptive, ThresholdMethod::Fixed}}) {
        action->trigger();
        QCOMPARE(m_state->readOptions.method, method);
        QVERIFY(!histogram->isChecked() || !adaptive->isChecked());
    }
    // Beside the layer and thinning fields, clear of every control of the design.
    for (const ControlDesign& design : controlDesigns()) {
        QWidget* control = m_window->widget(design.control);
        if (control->parentWidget() == m_window.get()) {
            QVERIFY2(!control->geometry().intersects(menuButton->geometry()), design.objectName.data());
        }
    }

    m_example = std::string(KELVARIN_SOURCE_DIR) + "/examples/drawing.bmp";  // thick strokes, unlike the small one
    readExample();
    strokes->trigger();
    // The size is asked in a real input dialog, answered once it is open.
    const auto answer = [](int value, bool accept) {
        QTimer::singleShot(0, [value, accept] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            QVERIFY(dialog->labelText().contains(QStringLiteral("ベクトル化では 0 で自動")));
            dialog->setIntValue(value);
            accept ? dialog->accept() : dialog->reject();
        });
    };
    answer(4, true);
    despeckle->trigger();
    QCOMPARE(m_state->conversionOptions.DespeckleSize, std::int64_t{4});
    QVERIFY(m_state->conversionOptions.Strokes);
    QCOMPARE(label->text(), QStringLiteral("オプション: ストローク、ゴミ取り: 4 ドット以下"));
    QCOMPARE(despeckle->text(), QStringLiteral("ゴミ取り: 4 ドット以下..."));
    QVERIFY(strokes->isChecked() && despeckle->isChecked());
    answer(9, false);  // cancelled: the size stays
    despeckle->trigger();
    QCOMPARE(m_state->conversionOptions.DespeckleSize, std::int64_t{4});
    QVERIFY(despeckle->isChecked());

    const std::string output = m_work->file("window.dxf");
    typeInto("textFile_1", toQString(output));
    typeInto("textPartial", QStringLiteral("2"));
    clickButton("cmdConvert");
    // The window names its own menu entries, not the command line's options.
    QCOMPARE(m_window->messages, std::vector<std::string>{"ストロークは間引き数 1 のときだけ使えます"});
    typeInto("textPartial", QStringLiteral("1"));
    m_window->messages.clear();
    clickButton("cmdConvert");
    QCOMPARE(m_window->messages, std::vector<std::string>{"変換終了して、ファイルに書き出しました"});
    // Deskewing too: the label then shows the angle found, every line of it.
    auto* deskew = find<QAction>(m_window.get(), "actionDeskew");
    deskew->trigger();
    QCOMPARE(label->text(), QStringLiteral("オプション: ストローク、ゴミ取り: 4 ドット以下、傾き補正"));
    std::filesystem::remove(output);
    clickButton("cmdConvert");
    QCOMPARE(label->text(), QString::fromStdString("オプション: ストローク、ゴミ取り: 4 ドット以下、" +
                                                   SkewNote(m_state->SkewDegrees)));

    // The command line with the same options writes the same file; without them another one.
    std::istringstream in;
    std::ostringstream out, err;
    const std::string cliOutput = m_work->file("cli.dxf");
    const std::string plainOutput = m_work->file("plain.dxf");
    QCOMPARE(runCli({"--strokes", "--despeckle", "4", "--deskew", "-o", cliOutput, m_example},
                    {m_program->file("kelvarin-cli"), in, out, err}),
             kExitConverted);
    QCOMPARE(runCli({"-o", plainOutput, m_example}, {m_program->file("kelvarin-cli"), in, out, err}), kExitConverted);
    QCOMPARE(test::readBytes(output), test::readBytes(cliOutput));
    QVERIFY(test::readBytes(output) != test::readBytes(plainOutput));
    test::keepForReaderCheck(output, "main_window-options");

    // Turned off again, the next conversion is the plain one.
    strokes->trigger();
    deskew->trigger();
    answer(0, true);
    despeckle->trigger();
    QCOMPARE(label->text(), QString());
    QCOMPARE(despeckle->text(), QStringLiteral("ゴミ取り..."));
    m_window->answers = {true};
    clickButton("cmdConvert");
    QCOMPARE(test::readBytes(output), test::readBytes(plainOutput));

    // The vector mode writes what the command line's does, and excludes the strokes.
    auto* vectorize = find<QAction>(m_window.get(), "actionVectorize");
    vectorize->trigger();
    QCOMPARE(label->text(), QStringLiteral("オプション: ベクトル化"));
    m_window->answers = {true};
    clickButton("cmdConvert");
    QCOMPARE(
        runCli({"--vectorize", "--yes", "-o", cliOutput, m_example}, {m_program->file("kelvarin-cli"), in, out, err}),
        kExitConverted);
    QCOMPARE(test::readBytes(output), test::readBytes(cliOutput));
    QVERIFY(!m_state->vectorDrawing.lines.empty());
    strokes->trigger();
    QVERIFY(strokes->isChecked() && !vectorize->isChecked());
    strokes->trigger();
}

void MainWindowTest::screenshot() {
    const QByteArray target = qgetenv("KELVARIN_SCREENSHOT");
    if (target.isEmpty()) {
        QSKIP("KELVARIN_SCREENSHOT is not set");
    }
    m_example = std::string(KELVARIN_SOURCE_DIR) + "/examples/drawing.bmp";
    readExample();
    m_state->conversionOptions.DespeckleSize = 4;
    find<QAction>(m_window.get(), "actionDeskew")->trigger();
    // The paths a user would see, not the build machine's.
    field("textFile_0")->setText(QStringLiteral("/home/user/図面/drawing.bmp"));
    field("textFile_1")->setText(QStringLiteral("/home/user/図面/drawing.dxf"));
    m_window->widget(cmdConvert)->setFocus();
    QVERIFY(m_window->grab().save(QString::fromLocal8Bit(target)));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
