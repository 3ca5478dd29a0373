// SPDX-License-Identifier: GPL-3.0-or-later
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/AppState.h"
#include "bitmap/BmpHeader.h"
#include "cli/CliRun.h"
#include "gui/QtText.h"
#include "gui/RecordingWindow.h"
#include "support/TestSupport.h"

using namespace kelvarin;
using test::find;

// PDF files in the window: a drawn page at the window's resolution, as the command line draws it, and a
// read that shows its progress and that the stop button ends.
class PdfWindowTest : public QObject, test::WindowSession {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { open(); }
    void cleanup() { close(); }

    void drawnPageWritesWhatTheCommandLineWrites();
    void stopButtonEndsTheDrawingOfAPage();

private:
    void read(const std::string& path);
    std::string pdfCase(const char* name) const { return m_cases->file(name); }

    std::unique_ptr<test::TempDir> m_cases;
};

void PdfWindowTest::initTestCase() {
    m_cases = std::make_unique<test::TempDir>();
    QVERIFY(test::makeTestData("make-pdf-cases.py", m_cases->path()));
}

void PdfWindowTest::read(const std::string& path) {
    typeInto("textFile_0", toQString(path));
    clickButton("cmdReadFile");
}

// The page is drawn again whenever the resolution changes, and sized in millimetres from the resolution it
// was drawn at: an A4 page stays 210 x 297 mm at any resolution.
void PdfWindowTest::drawnPageWritesWhatTheCommandLineWrites() {
    auto* unit = find<QComboBox>(window.get(), "comboUnit");
    auto* dpi = find<QSpinBox>(window.get(), "spinDpi");
    const std::string drawing = pdfCase("a4-drawing.pdf");
    const std::string output = work->file("window.dxf");
    unit->setCurrentIndex(1);
    emit unit->activated(1);  // as chosen by the user
    read(drawing);
    // The page's 595.276 points at the resolution, within a dot.
    const auto drawnAt = [&](int dotsPerInch) {
        return std::abs(bitmapWidth(state->BmpHeader) - 595.276 / 72 * dotsPerInch) < 1;
    };
    QVERIFY(drawnAt(300));  // the file's value
    for (const int dotsPerInch : {150, 200, 300, 600}) {
        dpi->setValue(dotsPerInch);
        QVERIFY2(drawnAt(dotsPerInch), std::to_string(bitmapWidth(state->BmpHeader)).c_str());
        const double millimetres = find<QLineEdit>(window.get(), "textSize_0")->text().toDouble();
        QVERIFY2(std::abs(millimetres - 210.0) < 25.4 / dotsPerInch, std::to_string(millimetres).c_str());
        typeInto("textFile_1", toQString(output));
        window->answers = {true};
        window->messages.clear();
        clickButton("cmdConvert");
        const std::string cli = cliDrawing({"--units", "mm", "--dpi", std::to_string(dotsPerInch)}, drawing);
        QVERIFY2(!cli.empty(), "the command line wrote no drawing");
        QVERIFY2(test::readBytes(output) == cli, std::to_string(dotsPerInch).c_str());
    }
}

// The stop button works during a read: it ends the drawing of a page at once and says so.
void PdfWindowTest::stopButtonEndsTheDrawingOfAPage() {
    window->setPacing({1, std::chrono::nanoseconds(0)});
    auto* stop = find<QPushButton>(window.get(), "cmdStop");
    auto* caption = static_cast<QLabel*>(window->widget(labelPercent));
    QVERIFY(!stop->isEnabled());
    int pumped = 0;
    bool wasEnabled = false;
    std::set<QString> captions;
    window->duringEvents = [&] {
        captions.insert(caption->text());
        if (++pumped == 40) {
            wasEnabled = stop->isEnabled();
            QTest::mouseClick(stop, Qt::LeftButton);
        }
    };
    QElapsedTimer clock;
    clock.start();
    read(pdfCase("forms.pdf"));  // 2^40 rectangles: seconds of drawing before its time runs out
    window->duringEvents = nullptr;
    QVERIFY(wasEnabled);
    QVERIFY2(clock.elapsed() < 3000, std::to_string(clock.elapsed()).c_str());
    QCOMPARE(window->messages, std::vector<std::string>{"処理が中断されました。"});
    QVERIFY(!state->FileLoaded);
    QVERIFY(!stop->isEnabled());
    // The file's bytes, then the drawing's share of its time moving on.
    QVERIFY2(captions.size() >= 3, std::to_string(captions.size()).c_str());
}

QTEST_MAIN(PdfWindowTest)
#include "pdf_window_test.moc"
