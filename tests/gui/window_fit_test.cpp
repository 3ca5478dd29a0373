// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <filesystem>

#include "app/AppState.h"
#include "gui/ExtraControls.h"
#include "gui/MainWindow.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"
#include "gui/RecordingWindow.h"
#include "gui/ResultWindow.h"
#include "support/TestSupport.h"

using namespace kelvarin;

using test::find;
using test::RecordingWindow;

// The window as a new user meets it with a multi-page grey scan: what it takes, what it refuses, and where
// its controls lie. Run at the default scale, at 1.4 times the scale and with a 1.4 times larger font.
class WindowFitTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aPictureDroppedOnTheOutputIsReadAsThePicture();
    void aFailedReadLeavesNothingToConvert();
    void numberFieldsNameTheFieldAndTakeNoDrops();
    void pagesAreCountedNamedAndChecked();
    void titlesNameThePictureAndTheResultFollowsIt();
    void rowsUnderThePreviewKeepClear();
    void theWindowFitsTheScreen();

private:
    bool drop(const char* field, const std::string& path);
    void readPages();
    QLineEdit* field(const char* name) { return find<QLineEdit>(m_session.window.get(), name); }
    ExtraControls* extras() { return m_session.window->extraControls(); }

    test::WindowSession m_session;
    std::string m_pages;  // a three-page grey TIFF
};

void WindowFitTest::init() {
    m_session.open();
    m_pages = m_session.work->file("pages.tif");
    const std::string command =
        "convert -size 400x300 xc:white -fill black -draw 'line 10,10 390,290' -depth 8 "
        "-colorspace gray -duplicate 2 " +
        m_pages;
    QCOMPARE(std::system(command.c_str()), 0);
}

void WindowFitTest::cleanup() { m_session.close(); }

bool WindowFitTest::drop(const char* name, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(toQString(path))});
    QWidget* target = field(name);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return true;
}

// The pages, read with the histogram's threshold and sizes in millimetres.
void WindowFitTest::readPages() {
    find<QAction>(m_session.window.get(), "actionThresholdAuto")->trigger();
    extras()->unit->setCurrentIndex(1);
    QVERIFY(drop("textFile_0", m_pages));
    QVERIFY(m_session.state->FileLoaded);
    m_session.window->messages.clear();  // no resolution in the file: said once
}

void WindowFitTest::aPictureDroppedOnTheOutputIsReadAsThePicture() {
    RecordingWindow& window = *m_session.window;
    window.setText(textFile(1), "/keep/this.dxf");
    QVERIFY(drop("textFile_1", m_session.example));
    QCOMPARE(field("textFile_0")->text(), toQString(m_session.example));
    QCOMPARE(field("textFile_1")->text(), QStringLiteral("/keep/this.dxf"));
    QVERIFY(m_session.state->FileLoaded);
    QCOMPARE(m_session.state->PicturePath, m_session.example);
    // A drawing's name, or a file that does not exist yet, stays an output name.
    QVERIFY(drop("textFile_1", m_session.work->file("new.dxf")));
    QCOMPARE(field("textFile_1")->text(), toQString(m_session.work->file("new.dxf")));
    QCOMPARE(field("textFile_0")->text(), toQString(m_session.example));
}

void WindowFitTest::aFailedReadLeavesNothingToConvert() {
    RecordingWindow& window = *m_session.window;
    QVERIFY(drop("textFile_0", m_session.example));
    auto* preview = find<PreviewWidget>(&window, "imageOrig");
    const std::string broken = m_session.work->file("broken.bmp");
    std::filesystem::copy_file(test::dataPath("bitmaps/huge-dimensions.bmp"), broken);  // rows missing
    QVERIFY(drop("textFile_0", broken));
    QVERIFY(!window.messages.empty());
    QVERIFY(!m_session.state->FileLoaded);
    QCOMPARE(find<QLabel>(&window, "labelBMPSize")->text(), QStringLiteral("サイズ"));
    QVERIFY(!window.widget(cmdConvert)->isEnabled());
    QCOMPARE(field("textSize_0")->text(), QStringLiteral("100"));  // the example's, as before the read
    QVERIFY(preview->grab().toImage().pixelColor(5, 5) != QColor(Qt::black));
}

void WindowFitTest::numberFieldsNameTheFieldAndTakeNoDrops() {
    RecordingWindow& window = *m_session.window;
    QVERIFY(drop("textFile_0", m_session.example));
    window.setText(textFile(1), m_session.work->file("out.dxf"));
    for (const char* name : {"textSize_0", "textSize_1", "textOffset_0", "textOffset_1", "textPartial"}) {
        QVERIFY2(!drop(name, m_session.example), name);
    }
    m_session.typeInto("textSize_0", QStringLiteral("5mm"));
    window.messages.clear();
    window.details.clear();
    m_session.clickButton("cmdConvert");
    QCOMPARE(window.messages.size(), std::size_t{1});
    QVERIFY(window.messages.front().starts_with("No.13[型が一致しません。]"));
    QCOMPARE(window.details, std::vector<std::string>{"変換後横サイズ: 「5mm」は数値として読めません"});
    QVERIFY(!test::fileExists(m_session.work->file("out.dxf")));
}

void WindowFitTest::pagesAreCountedNamedAndChecked() {
    RecordingWindow& window = *m_session.window;
    readPages();
    QSpinBox* page = extras()->page;
    QVERIFY(page->isVisible());
    QCOMPARE(page->text(), QStringLiteral("1 / 3"));
    m_session.clickButton("cmdRefer_2");
    QCOMPARE(field("textFile_1")->text(), toQString(m_session.work->file("pages.dxf")));
    page->setValue(2);
    QCOMPARE(m_session.state->readOptions.page, 2);
    m_session.clickButton("cmdRefer_2");
    QCOMPARE(field("textFile_1")->text(), toQString(m_session.work->file("pages-p2.dxf")));

    // A page beyond the count is refused aloud, the page read staying.
    window.messages.clear();
    page->setFocus();
    page->selectAll();
    QTest::keyClicks(page, QStringLiteral("9"));
    QTest::keyClick(page, Qt::Key_Return);
    QTRY_COMPARE(window.messages, std::vector<std::string>{"ページ 9 はありません（このファイルは 3 ページです）"});
    QCOMPARE(page->value(), 2);
    QCOMPARE(m_session.state->readOptions.page, 2);
    QVERIFY(m_session.state->FileLoaded);
}

void WindowFitTest::titlesNameThePictureAndTheResultFollowsIt() {
    RecordingWindow& window = *m_session.window;
    const QString title = window.windowTitle();
    QVERIFY(drop("textFile_0", m_session.example));
    QCOMPARE(window.windowTitle(), QStringLiteral("example.bmp - ") + title);
    window.setText(textFile(1), m_session.work->file("out.dxf"));
    m_session.clickButton("cmdConvert");
    ResultWindow* result = window.resultWindow();
    QVERIFY(result->isVisible());
    QCOMPARE(result->windowTitle(), QStringLiteral("変換結果 - example.bmp"));
    // Read again (a threshold, the same page): the result stays; another picture: it goes.
    m_session.clickButton("cmdReadFile");
    QVERIFY(result->isVisible());
    readPages();
    QVERIFY(!result->isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("pages.tif - ") + title);
    const std::string broken = m_session.work->file("empty.bmp");
    std::filesystem::copy_file(test::dataPath("bitmaps/empty.bmp"), broken);
    QVERIFY(drop("textFile_0", broken));
    QCOMPARE(window.windowTitle(), title);
}

// With the page box, the histogram's method and millimetres shown: every control of the rows whole, none
// over another, and the preview above them even in the smallest window.
void WindowFitTest::rowsUnderThePreviewKeepClear() {
    RecordingWindow& window = *m_session.window;
    readPages();
    const auto checkRows = [&](const char* where) {
        const QList<QWidget*> shown = {extras()->pageLabel, extras()->page,        extras()->threshold,
                                       extras()->unit,      extras()->dotsPerInch, extras()->keepProportions,
                                       extras()->stop};
        for (QWidget* control : shown) {
            QVERIFY2(control->isVisible(), qPrintable(control->objectName()));
            QVERIFY2(control->width() >= control->sizeHint().width(),
                     qPrintable(QStringLiteral("%1 cut %2").arg(control->objectName(), where)));
            QVERIFY2(window.rect().contains(control->geometry().translated(extras()->pos())),
                     qPrintable(QStringLiteral("%1 outside %2").arg(control->objectName(), where)));
            for (QWidget* other : shown) {
                QVERIFY2(
                    control == other || !control->geometry().intersects(other->geometry()),
                    qPrintable(QStringLiteral("%1 over %2 %3").arg(control->objectName(), other->objectName(), where)));
            }
        }
        QVERIFY2(window.widget(imageOrig)->geometry().bottom() < extras()->y(), where);
    };
    checkRows("at the opening size");
    window.resize(window.minimumSize());
    QApplication::processEvents();
    checkRows("at the smallest size");
}

void WindowFitTest::theWindowFitsTheScreen() {
    RecordingWindow& window = *m_session.window;
    const QRect available = window.screen()->availableGeometry();
    // The frame's size: where a frame lands is the window system's (the offscreen one shifts it by its width).
    QVERIFY2(available.size().boundedTo(window.frameGeometry().size()) == window.frameGeometry().size(),
             qPrintable(QStringLiteral("%1,%2 %3x%4 on %5,%6 %7x%8")
                            .arg(window.frameGeometry().x())
                            .arg(window.frameGeometry().y())
                            .arg(window.frameGeometry().width())
                            .arg(window.frameGeometry().height())
                            .arg(available.x())
                            .arg(available.y())
                            .arg(available.width())
                            .arg(available.height())));
    QVERIFY(window.minimumSize().height() <= available.height());
}

QTEST_MAIN(WindowFitTest)
#include "window_fit_test.moc"
