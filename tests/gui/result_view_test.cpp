// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

#include <filesystem>

#include "app/AppState.h"
#include "app/ConvertCommand.h"
#include "app/Startup.h"
#include "convert/ResultLayers.h"
#include "dxf/DxfDocument.h"
#include "gui/MainWindow.h"
#include "gui/QtText.h"
#include "gui/ResultView.h"
#include "gui/ResultWindow.h"
#include "support/TestSupport.h"

using namespace kelvarin;

namespace {

class QuietWindow : public MainWindow {
public:
    using MainWindow::MainWindow;
    void messageBox(std::string_view text, std::string_view) override { messages.emplace_back(text); }
    bool questionBox(std::string_view) override { return true; }
    std::vector<std::string> messages;
};

// The known picture: a horizontal run of columns 5 to 44 on picture row 11 from the top, and a vertical
// bar in column 50 over rows 5 to 34 from the top.
constexpr int kWidth = 60;
constexpr int kHeight = 40;

}  // namespace

class ResultViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runsOverTheScanAtFitAndActualSize();
    void wheelZoomKeepsThePointUnderTheCursor();
    void previewCountsWhatAConversionWrites();
    void vectorsAreDrawnAsSuch();
    void textsAreDrawnWhereTheyStand();
    void opensBesideTheMainWindowNeverOverIt();
    void screenshot();

private:
    void convert(const char* lineKind, const char* thinning);
    QRgb pixelOfCell(const QImage& grab, QPointF cell) const;
    ResultView& view() const { return *m_window->resultWindow()->view(); }

    std::unique_ptr<test::ProgramDir> m_program;
    std::unique_ptr<test::TempDir> m_work;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<QuietWindow> m_window;
};

void ResultViewTest::init() {
    m_program = std::make_unique<test::ProgramDir>();
    m_work = std::make_unique<test::TempDir>();
    m_state = std::make_unique<AppState>();
    m_window = std::make_unique<QuietWindow>(*m_state);
    QVERIFY(Main(*m_state, *m_window, m_program->file("kelvarin")));
    Form_Load(m_window->form(), m_program->file("kelvarin"));
    m_window->show();
    m_window->setText(textFile(0), test::dataPath("cases/result-60x40.bmp"));
    m_window->findChild<QPushButton*>("cmdReadFile")->click();
    QVERIFY(m_state->FileLoaded);
    m_window->resultWindow()->resize(640, 480);
}

void ResultViewTest::cleanup() {
    m_window.reset();
    m_state.reset();
    m_work.reset();
    m_program.reset();
}

void ResultViewTest::convert(const char* lineKind, const char* thinning) {
    m_window->setText(textFile(1), m_work->file("result.dxf"));
    m_window->setText(textPartial, thinning);
    m_window->findChild<QRadioButton*>(lineKind)->setChecked(true);
    m_window->findChild<QPushButton*>("cmdConvert")->click();
    QCOMPARE(m_window->messages.back(), std::string(kConversionDoneMessage));
    QVERIFY(m_window->resultWindow()->isVisible());
}

// The screen pixel at a position in cells from the picture's top-left corner.
QRgb ResultViewTest::pixelOfCell(const QImage& grab, QPointF cell) const {
    const QPointF origin = -view().cellAt(QPointF(0, 0)) * view().zoom();
    const QPointF at = origin + cell * view().zoom();
    return grab.pixel(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
}

// Horizontal runs of every second stored row: the run in stored row 28 (from the top 11) is a LINE; the
// vertical bar is a LINE of no length in its even stored rows and only scan in the odd ones. The counts
// name what the file holds.
void ResultViewTest::runsOverTheScanAtFitAndActualSize() {
    convert("optionMakeLine_0", "2");
    const std::string dxf = test::readBytes(m_work->file("result.dxf"));
    std::int64_t lines = 0;
    for (std::size_t at = dxf.find("\r\nLINE\r\n"); at != std::string::npos; at = dxf.find("\r\nLINE\r\n", at + 1)) {
        ++lines;
    }
    QCOMPARE(lines, 16);  // the run and 15 even rows of the bar
    QCOMPARE(m_window->resultWindow()->countsText(),
             QStringLiteral("LINE %1  ARC 0  CIRCLE 0  DXF %2 バイト").arg(lines).arg(dxf.size()));

    struct Expected {
        QPointF cell;  // where in the cell: +0.5 is its middle pixel at 1:1 and larger
        QRgb colour;
    };
    const std::vector<Expected> expected = {
        {{20.5, 11.5}, ResultView::kLineColour}, {{5.5, 11.5}, ResultView::kLineColour},
        {{44.5, 11.5}, ResultView::kLineColour}, {{50.5, 6.5}, ResultView::kScanColour},  // stored row 33
        {{50.5, 5.5}, ResultView::kLineColour},  {{30.5, 20.5}, ResultView::kPaperColour},
        {{4.5, 11.5}, ResultView::kPaperColour}, {{45.5, 11.5}, ResultView::kPaperColour},
    };
    QVERIFY(view().zoom() > 1);  // fitted: 640 x 480 shows the 60 x 40 dots magnified
    for (const bool fitted : {true, false}) {
        if (!fitted) {
            QTest::keyClick(&view(), Qt::Key_1);
            QCOMPARE(view().zoom(), 1.0);
            QCOMPARE(m_window->resultWindow()->findChild<QLabel*>("labelZoom")->text(), QStringLiteral("100%"));
        }
        const QImage grab = view().grab().toImage();
        for (const Expected& check : expected) {
            QCOMPARE(pixelOfCell(grab, check.cell), check.colour);
        }
        // Away from the middle pixel of a cell the LINE of no length leaves the scan.
        if (fitted) {
            QCOMPARE(pixelOfCell(grab, {50.1, 5.1}), ResultView::kScanColour);
        }
    }
    // Reading the picture again (as a new threshold does) leaves the result as it was, on its own copy.
    m_window->findChild<QPushButton*>("cmdReadFile")->click();
    QCOMPARE(pixelOfCell(view().grab().toImage(), {50.5, 6.5}), ResultView::kScanColour);
    m_window->resultWindow()->findChild<QRadioButton*>("optionLayers_2")->setChecked(true);
    QCOMPARE(pixelOfCell(view().grab().toImage(), {50.5, 6.5}), ResultView::kPaperColour);
    QCOMPARE(pixelOfCell(view().grab().toImage(), {50.5, 5.5}), ResultView::kLineColour);
    // Another picture's result is not this one: the window lets it go.
    m_window->setText(textFile(0), test::dataPath("cases/example-100x50.bmp"));
    m_window->findChild<QPushButton*>("cmdReadFile")->click();
    QVERIFY(!m_window->resultWindow()->isVisible());
    QVERIFY(view().layers() == nullptr);
}

void ResultViewTest::wheelZoomKeepsThePointUnderTheCursor() {
    convert("optionMakeLine_2", "1");
    for (const auto& [point, notches] :
         {std::pair{QPointF(100, 80), 3}, std::pair{QPointF(500, 300), -5}, std::pair{QPointF(13, 411), 9}}) {
        const QPointF before = view().cellAt(point);
        const double zoomBefore = view().zoom();
        QWheelEvent wheel(point, view().mapToGlobal(point), {}, {0, 120 * notches}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view(), &wheel);
        QVERIFY(notches > 0 ? view().zoom() > zoomBefore : view().zoom() < zoomBefore);
        // The origin is kept on whole pixels: the point moves by less than one.
        const QPointF moved = (view().cellAt(point) - before) * view().zoom();
        QVERIFY2(std::abs(moved.x()) <= 0.5 && std::abs(moved.y()) <= 0.5, qPrintable(QString::number(moved.x())));
    }
    // Dragging moves the picture with the pointer.
    const QPointF before = view().cellAt(QPointF(300, 200));
    QTest::mousePress(&view(), Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseMove(&view(), QPoint(340, 170));
    QTest::mouseRelease(&view(), Qt::LeftButton, {}, QPoint(340, 170));
    QCOMPARE(view().cellAt(QPointF(340, 170)), before);
}

// Before a conversion the preview counts the LINEs that the conversion then writes, with strokes and with
// runs in both directions; a thinning the conversion refuses is refused with the conversion's message.
void ResultViewTest::previewCountsWhatAConversionWrites() {
    auto* preview = m_window->findChild<QAction*>("actionPreview");
    m_window->setText(textPartial, "0");
    preview->trigger();
    QCOMPARE(m_window->messages.back(), std::string(kThinningRefusal));
    QVERIFY(!m_window->resultWindow()->isVisible());
    for (const bool strokes : {true, false}) {
        if (auto* action = m_window->findChild<QAction*>("actionStrokes"); action->isChecked() != strokes) {
            action->trigger();
        }
        m_window->setText(textPartial, "1");
        m_window->findChild<QRadioButton*>("optionMakeLine_2")->setChecked(true);
        preview->trigger();
        QCOMPARE(m_window->resultWindow()->windowTitle(), QStringLiteral("プレビュー - result-60x40.bmp"));
        const QString previewed = m_window->resultWindow()->countsText();
        convert("optionMakeLine_2", "1");
        const QString written = m_window->resultWindow()->countsText();
        QCOMPARE(previewed, QStringLiteral("LINE %1  ARC 0  CIRCLE 0  （プレビュー、未保存）").arg(strokes ? 2 : 72));
        QVERIFY2(written.startsWith(previewed.left(previewed.indexOf("  （"))), qPrintable(written));
    }
    // The vector mode previews the vectors it then writes.
    m_window->findChild<QAction*>("actionVectorize")->trigger();
    preview->trigger();
    const QString previewed = m_window->resultWindow()->countsText();
    convert("optionMakeLine_2", "1");
    QVERIFY2(previewed.startsWith(QStringLiteral("LINE 2  ARC 0  CIRCLE 0  （")), qPrintable(previewed));
    QVERIFY(m_window->resultWindow()->countsText().startsWith(previewed.left(previewed.indexOf("  （"))));
}

// A line, a circle and the upper half of a circle as an arc, drawn over the scan at 1:1: each lies where its
// points are, and the arc leaves its lower half empty.
void ResultViewTest::vectorsAreDrawnAsSuch() {
    ConversionSettings noRuns;
    noRuns.MakeHorizontal = noRuns.MakeVertical = false;
    auto vectors = std::make_shared<VectorDrawing>();
    vectors->lines.push_back({{2, 2}, {2, 30}});
    vectors->circles.push_back({{20, 20}, 8});
    vectors->arcs.push_back({{45, 20}, 6, 0, 180});
    ConversionResult result{std::make_shared<const ResultLayers>(*m_state, noRuns), vectors, {3, 1, 1, 1234, 0.35}};
    m_window->resultWindow()->showResult(result, false, QString());
    QCOMPARE(m_window->resultWindow()->countsText(),
             QStringLiteral("LINE 3  ARC 1  CIRCLE 1  DXF 1234 バイト  傾き補正: 0.35°"));
    view().showActualSize();
    const QImage grab = view().grab().toImage();
    // y counts from the bottom row: dot (x, y) is cell (x, 39 - y) from the top.
    const auto at = [&](double x, double y) { return pixelOfCell(grab, {x + 0.5, kHeight - 0.5 - y}); };
    QCOMPARE(at(2, 16), ResultView::kLineColour);
    QCOMPARE(at(28, 20), ResultView::kLineColour);
    QCOMPARE(at(20, 12), ResultView::kLineColour);
    QCOMPARE(at(45, 26), ResultView::kLineColour);
    QCOMPARE(at(45, 14), ResultView::kPaperColour);
    QCOMPARE(at(20, 20), ResultView::kPaperColour);
    QCOMPARE(at(50, 28), ResultView::kScanColour);  // the bar, scan only
}

// Texts read from the scan lie over it in their own colour, from their insertion point along their turn and
// up to their height: one across and one turned 90°.
void ResultViewTest::textsAreDrawnWhereTheyStand() {
    ConversionSettings noRuns;
    noRuns.MakeHorizontal = noRuns.MakeVertical = false;
    auto vectors = std::make_shared<VectorDrawing>();
    vectors->texts.push_back({{4, 4}, 12, 0, "HH", 95});
    vectors->texts.push_back({{54, 10}, 12, 90, "HH", 95});
    ConversionResult result{std::make_shared<const ResultLayers>(*m_state, noRuns), vectors, {0, 0, 0, 1234, {}, 2}};
    m_window->resultWindow()->showResult(result, false, QString());
    view().showActualSize();
    // The pixels of the texts' colour (or its edges, smoothed over paper) within a box in dots, y up.
    const auto bluePixels = [&](double left, double bottom, double right, double top) {
        const QImage shown = view().grab().toImage();
        int count = 0;
        for (double y = bottom; y < top; y += 0.5) {
            for (double x = left; x < right; x += 0.5) {
                const QRgb pixel = pixelOfCell(shown, {x, kHeight - y});
                count += qBlue(pixel) > 150 && qRed(pixel) < 100 ? 1 : 0;
            }
        }
        return count;
    };
    QVERIFY(bluePixels(4, 4, 24, 16) > 40);    // across: right of and above its insertion point
    QVERIFY(bluePixels(42, 10, 54, 30) > 40);  // turned 90°: above and left of it
    QCOMPARE(bluePixels(2, 18, 38, 38), 0);
    QCOMPARE(bluePixels(56, 0, 60, 38), 0);
    view().setLayers(ResultView::Layers::Scan);
    QCOMPARE(bluePixels(4, 4, 24, 16), 0);
}

// With KELVARIN_RESULT_SCREENSHOT set to a file, on an X display: the README's picture of the screen, the
// window and the result of the sample drawing beside it, zoomed into a corner.
// Screens of 1600 and 1280 dots with the main window in several places: the result window keeps clear of it
// whenever one side has room for a usable window.
void ResultViewTest::opensBesideTheMainWindowNeverOverIt() {
    struct Case {
        QRect main;
        QRect available;
        QRect expected;
        bool clear;  // of the main window
    };
    const QSize wanted(900, 700);
    const Case cases[] = {
        {{0, 0, 660, 600}, {0, 0, 1600, 900}, {668, 0, 900, 700}, true},         // room on the right
        {{700, 0, 660, 600}, {0, 0, 1600, 900}, {0, 0, 692, 700}, true},         // more on the left, narrowed
        {{920, 50, 660, 600}, {0, 0, 1600, 900}, {12, 50, 900, 700}, true},      // all of it on the left
        {{300, 0, 660, 600}, {0, 0, 1600, 900}, {968, 0, 632, 700}, true},       // right, narrowed
        {{0, 0, 660, 600}, {0, 0, 1600, 500}, {668, 0, 900, 500}, true},         // no taller than the screen
        {{300, 400, 660, 600}, {0, 0, 1280, 800}, {380, 100, 900, 700}, false},  // too narrow either side
    };
    for (const Case& c : cases) {
        const QRect place = besideMainWindow(c.main, wanted, c.available, 320);
        QCOMPARE(place, c.expected);
        QCOMPARE(!place.intersects(c.main), c.clear);
        QVERIFY(c.available.contains(place));
    }
    // A 1280 x 800 screen at 1.4 times: a window whose tool bar stacks fits beside, however narrow.
    const QRect main(0, 0, 647, 571);
    const QRect place = besideMainWindow(main, wanted, {0, 0, 914, 571}, 250);
    QCOMPARE(place, QRect(655, 0, 259, 571));
    QVERIFY(!place.intersects(main));
    // The window's own narrowest width is what it asks for: its tool bar and counts, stacked.
    ResultWindow& result = *m_window->resultWindow();
    result.resize(result.minimumWidth(), 600);
    QCOMPARE(result.width(), result.minimumWidth());
    QVERIFY2(result.minimumWidth() <= 259, qPrintable(QString::number(result.minimumWidth())));
    for (QWidget* control : result.findChildren<QAbstractButton*>()) {
        QVERIFY2(control->width() >= control->minimumSizeHint().width(), qPrintable(control->objectName()));
    }
}

void ResultViewTest::screenshot() {
    const QString target = QString::fromLocal8Bit(qgetenv("KELVARIN_RESULT_SCREENSHOT"));
    if (target.isEmpty()) {
        QSKIP("KELVARIN_RESULT_SCREENSHOT is not set");
    }
    m_window->move(0, 0);
    m_window->setText(textFile(0), KELVARIN_SOURCE_DIR "/examples/drawing.bmp");
    m_window->findChild<QPushButton*>("cmdReadFile")->click();
    m_window->resultWindow()->resize(760, 600);
    m_window->findChild<QAction*>("actionVectorize")->trigger();
    convert("optionMakeLine_2", "1");
    m_window->setText(textFile(0), "/home/user/drawing.bmp");
    m_window->setText(textFile(1), "/home/user/drawing.dxf");
    view().zoomAbout(QPointF(view().width() * 0.2, view().height() * 0.35), 2.5);
    QTest::qWait(300);
    QCOMPARE(QProcess::execute("import", {"-window", "root", target}), 0);
}

QTEST_MAIN(ResultViewTest)
#include "result_view_test.moc"
