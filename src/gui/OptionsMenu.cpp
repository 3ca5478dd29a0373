// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/OptionsMenu.h"

#include <QAction>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <climits>
#include <utility>

#include "app/ConvertCommand.h"
#include "common/TextFormat.h"
#include "gui/ElidedLabel.h"
#include "gui/QtText.h"
#include "text/LineReader.h"

namespace kelvarin {

namespace {

std::string despeckleSummary(const ConversionOptions& options, const OptionFindings& = {}) {
    return options.DespeckleSize > 0 ? "ゴミ取り: " + formatInteger(options.DespeckleSize) + " ドット以下" : "";
}

void askDespeckleSize(ConversionOptions& options, QWidget* parent) {
    bool accepted = false;
    const int size = QInputDialog::getInt(parent, QStringLiteral("ゴミ取り"),
                                          QStringLiteral("変換の前に取り除く、つながった点のかたまりの最大ドット数\n"
                                                         "（0 で取り除きません。ベクトル化では 0 で自動の大きさです）"),
                                          static_cast<int>(std::min<std::int64_t>(options.DespeckleSize, INT_MAX)), 0,
                                          INT_MAX, 1, &accepted);
    if (accepted) {
        options.DespeckleSize = size;
    }
}

std::string noTextSummary(const ConversionOptions& options, const OptionFindings& = {}) {
    return options.Vectorize && !options.Text ? "文字認識なし" : "";
}

std::string languageSummary(const ConversionOptions& options, const OptionFindings& = {}) {
    return options.OcrLanguage != kDefaultOcrLanguage ? "文字認識の言語: " + options.OcrLanguage : "";
}

void askLanguages(ConversionOptions& options, QWidget* parent) {
    bool accepted = false;
    const QString languages = QInputDialog::getText(
        parent, QStringLiteral("文字認識の言語"),
        QStringLiteral("文字を読む言語（Tesseract の言語データ名を + でつなぎます。既定: jpn+eng）"), QLineEdit::Normal,
        toQString(options.OcrLanguage), &accepted);
    if (accepted) {
        options.OcrLanguage = languages.trimmed().isEmpty() ? kDefaultOcrLanguage : languages.trimmed().toStdString();
    }
}

}  // namespace

std::vector<OptionEntry> optionEntries() {
    return {
        {"actionStrokes", [](const ConversionOptions&) { return std::string("ストローク（1 本の線にまとめる）"); },
         [](const ConversionOptions& options, const OptionFindings&) {
             return std::string(options.Strokes ? "ストローク" : "");
         },
         [](ConversionOptions& options, QWidget*) {
             options.Strokes = !options.Strokes;
             options.Vectorize = options.Vectorize && !options.Strokes;  // two ways of drawing the strokes
         }},
        {"actionVectorize", [](const ConversionOptions&) { return std::string("ベクトル化（中心線・円・円弧）"); },
         [](const ConversionOptions& options, const OptionFindings&) {
             return std::string(options.Vectorize ? "ベクトル化" : "");
         },
         [](ConversionOptions& options, QWidget*) {
             options.Vectorize = !options.Vectorize;
             options.Strokes = options.Strokes && !options.Vectorize;
         }},
        {"actionDespeckle",
         [](const ConversionOptions& options) {
             const std::string summary = despeckleSummary(options);
             return (summary.empty() ? std::string("ゴミ取り") : summary) + "...";
         },
         despeckleSummary, askDespeckleSize},
        {"actionDeskew", [](const ConversionOptions&) { return std::string("傾き補正（長い線から傾きを求めて直す）"); },
         [](const ConversionOptions& options, const OptionFindings& findings) {
             if (!options.Deskew) {
                 return std::string();
             }
             return findings.skewDegrees ? SkewNote(*findings.skewDegrees) : std::string("傾き補正");
         },
         [](ConversionOptions& options, QWidget*) { options.Deskew = !options.Deskew; }},
        {"actionNoText", [](const ConversionOptions&) { return std::string("文字を読まない（文字も図形にする）"); },
         noTextSummary, [](ConversionOptions& options, QWidget*) { options.Text = !options.Text; },
         "ベクトル化では、図面の文字を読み取って TEXT（レイヤー TEXT）として書き出し、その線は図形から除きます。"
         "これを選ぶと文字を読まず、文字の線も LINE・ARC・CIRCLE として書き出します（--no-text）。"},
        {"actionOcrLanguage",
         [](const ConversionOptions& options) {
             const std::string summary = languageSummary(options);
             return (summary.empty() ? std::string("文字認識の言語") : summary) + "...";
         },
         languageSummary, askLanguages,
         "ベクトル化で文字を読む言語です。Tesseract の言語データ名を + でつなぎます（既定: jpn+eng。--ocr-lang）。"},
    };
}

OptionsMenu::OptionsMenu(QWidget* window, ConversionOptions& options)
    : m_options(options),
      m_entries(optionEntries()),
      m_button(new QPushButton(QStringLiteral("オプション"), window)),
      m_menu(new QMenu(m_button)),
      m_summary(new ElidedLabel(window)) {
    m_button->setObjectName("menuOptions");
    m_button->setMenu(m_menu);
    m_summary->setObjectName("labelOptions");
    for (const OptionEntry& entry : m_entries) {
        QAction* action = m_menu->addAction(QString());
        action->setObjectName(QString::fromLatin1(entry.objectName));
        action->setCheckable(true);
        if (*entry.help != '\0') {
            action->setWhatsThis(QString::fromUtf8(entry.help));
            action->setToolTip(QString::fromUtf8(entry.help));
        }
        QObject::connect(action, &QAction::triggered, m_button, [this, &entry, window] {
            entry.choose(m_options, window);
            m_findings = {};
            refresh();
            if (onChanged) {
                onChanged();
            }
        });
        m_actions.push_back(action);
    }
    refresh();
}

void OptionsMenu::refresh() {
    std::string summary;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const std::string line = m_entries[i].summary(m_options, m_findings);
        m_actions[i]->setText(toQString(m_entries[i].text(m_options)));
        m_actions[i]->setChecked(!line.empty());
        if (!line.empty()) {
            summary += (summary.empty() ? "" : "、") + line;
        }
    }
    m_summary->setFullText(summary.empty() ? QString() : QStringLiteral("オプション: ") + toQString(summary));
}

}  // namespace kelvarin

namespace kelvarin {

void OptionsMenu::addCommand(const char* objectName, const char* text, std::function<void()> command) {
    if (m_menu->actions().size() == static_cast<qsizetype>(m_entries.size())) {
        m_menu->addSeparator();
    }
    QAction* action = m_menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QString::fromLatin1(objectName));
    QObject::connect(action, &QAction::triggered, m_button, std::move(command));
}

void OptionsMenu::showFindings(const OptionFindings& findings) {
    m_findings = findings;
    refresh();
}

}  // namespace kelvarin
