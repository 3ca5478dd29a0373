// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ResultWindow.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "common/TextFormat.h"
#include "gui/QtText.h"
#include "gui/ResultView.h"

namespace kelvarin {

namespace {

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* created = new QPushButton(caption, parent);
    created->setObjectName(name);
    created->setFocusPolicy(Qt::TabFocus);
    return created;
}

}  // namespace

ResultWindow::ResultWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window),
      m_view(new ResultView(this)),
      m_counts(new QLabel(this)),
      m_zoom(new QLabel(this)) {
    setObjectName("frmResult");
    setWindowTitle(QStringLiteral("変換結果"));
    m_view->setObjectName("resultView");
    m_counts->setObjectName("labelCounts");
    m_counts->setTextFormat(Qt::PlainText);
    m_counts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_zoom->setObjectName("labelZoom");
    m_zoom->setMinimumWidth(m_zoom->fontMetrics().horizontalAdvance(QStringLiteral("6400.0%")));

    // Three groups side by side, stacked when the window is too narrow for them in one row.
    auto* layersRow = new QHBoxLayout;
    auto* zoomRow = new QHBoxLayout;
    auto* previewRow = new QHBoxLayout;
    auto* layers = new QButtonGroup(this);
    const std::pair<const char*, ResultView::Layers> choices[] = {{"両方", ResultView::Layers::Both},
                                                                  {"スキャン", ResultView::Layers::Scan},
                                                                  {"ライン", ResultView::Layers::Lines}};
    for (const auto& [caption, shown] : choices) {
        auto* choice = new QRadioButton(QString::fromUtf8(caption), this);
        choice->setObjectName(QStringLiteral("optionLayers_%1").arg(layers->buttons().size()));
        choice->setChecked(shown == ResultView::Layers::Both);
        choice->setFocusPolicy(Qt::TabFocus);  // a click leaves the keys with the view
        layers->addButton(choice);
        layersRow->addWidget(choice);
        connect(choice, &QRadioButton::toggled, this, [this, shown](bool checked) {
            if (checked) {
                m_view->setLayers(shown);
            }
        });
    }
    layersRow->addStretch();
    QPushButton* fit = button(QStringLiteral("全体 (F)"), "cmdFit", this);
    QPushButton* actual = button(QStringLiteral("1:1 (1)"), "cmdActualSize", this);
    QPushButton* preview = button(QStringLiteral("プレビュー更新"), "cmdPreview", this);
    zoomRow->addSpacing(12);
    zoomRow->addWidget(fit);
    zoomRow->addWidget(actual);
    zoomRow->addWidget(m_zoom);
    zoomRow->addStretch();
    previewRow->addStretch();
    previewRow->addWidget(preview);
    m_bar = new QBoxLayout(QBoxLayout::LeftToRight);
    for (QLayout* row : {layersRow, zoomRow, previewRow}) {
        m_bar->addLayout(row);
        m_rows.push_back(row);
    }
    connect(fit, &QPushButton::clicked, m_view, &ResultView::fit);
    connect(actual, &QPushButton::clicked, m_view, &ResultView::showActualSize);
    connect(preview, &QPushButton::clicked, this, [this] {
        if (onPreviewRequested) {
            onPreviewRequested();
        }
    });
    m_view->onZoomChanged = [this] { showZoom(); };

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_bar);
    layout->addWidget(m_counts);
    layout->addWidget(m_view, 1);
    m_counts->setWordWrap(true);
    setMinimumSize(narrowestWidth(), minimumHeight());
    resize(900, 700);
}

int ResultWindow::narrowestWidth() const {
    int widest = 0;
    for (const QLayout* row : m_rows) {
        widest = std::max(widest, row->minimumSize().width());
    }
    const QMargins margins = layout() != nullptr ? layout()->contentsMargins() : QMargins();
    return widest + margins.left() + margins.right();
}

int ResultWindow::minimumHeight() const { return 12 * fontMetrics().height(); }

void ResultWindow::resizeEvent(QResizeEvent* event) {
    int oneRow = 0;
    for (const QLayout* row : m_rows) {
        oneRow += row->sizeHint().width() + m_bar->spacing();
    }
    const QMargins margins = layout()->contentsMargins();
    m_bar->setDirection(width() >= oneRow + margins.left() + margins.right() ? QBoxLayout::LeftToRight
                                                                             : QBoxLayout::TopToBottom);
    QWidget::resizeEvent(event);
}

void ResultWindow::showResult(const ConversionResult& result, bool preview, const QString& pictureName) {
    setWindowTitle((preview ? QStringLiteral("プレビュー") : QStringLiteral("変換結果")) +
                   (pictureName.isEmpty() ? QString() : QStringLiteral(" - ") + pictureName));
    m_counts->setText(toQString(describeCounts(result.counts)));
    placeBesideMainWindow();
    show();
    raise();
    m_view->setResult(result.layers, result.vectors);
    m_view->setFocus(Qt::OtherFocusReason);
    showZoom();
}

void ResultWindow::clear() {
    m_counts->clear();
    m_view->setResult(nullptr, nullptr);
}

void ResultWindow::keepOwnPicture() {
    if (m_view->layers()) {
        m_view->layers()->ownRows();
    }
}

QString ResultWindow::countsText() const { return m_counts->text(); }

void ResultWindow::showZoom() {
    m_zoom->setText(toQString(formatGeneral(std::round(m_view->zoom() * 1000) / 10) + "%"));
}

QRect besideMainWindow(const QRect& main, const QSize& wanted, const QRect& available, int narrowest) {
    constexpr int kGap = 8;
    const int right = available.right() - (main.right() + kGap);  // widths free of the main window
    const int left = (main.left() - kGap) - available.left();
    const int height = std::min(wanted.height(), available.height());
    const int top = std::clamp(main.top(), available.top(), available.bottom() + 1 - height);
    const bool toTheRight = right >= wanted.width() || (left < wanted.width() && right >= left);
    const int width = std::min(wanted.width(), toTheRight ? right : left);
    if (width >= narrowest) {
        return {toTheRight ? main.right() + kGap + 1 : main.left() - kGap - width, top, width, height};
    }
    const int overWidth = std::min(wanted.width(), available.width());
    return {available.right() + 1 - overWidth, top, overWidth, height};
}

// The first time only: later the window stays where the user put it.
void ResultWindow::placeBesideMainWindow() {
    if (m_placed || parentWidget() == nullptr) {
        return;
    }
    m_placed = true;
    const QRect main = parentWidget()->frameGeometry();
    const QScreen* screen = parentWidget()->screen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(main.topRight(), size());
    // The frame the window manager adds, as the main window has it.
    const QSize frame = main.size() - parentWidget()->size();
    const QRect place = besideMainWindow(main, size() + frame, available, narrowestWidth() + frame.width());
    resize(place.size() - frame);
    move(place.topLeft());
}

}  // namespace kelvarin
