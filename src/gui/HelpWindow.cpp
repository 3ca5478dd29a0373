// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/HelpWindow.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include <fstream>
#include <iterator>

#include "gui/QtText.h"

namespace kelvarin {

bool readHelpFile(const std::string& helpFile, std::string& document) {
    std::ifstream stream(helpFile, std::ios::binary);
    if (!stream) {
        return false;
    }
    document.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return !stream.bad();
}

QString missingHelpHtml(const std::string& helpFile) {
    return QStringLiteral(
               "<h2>ヘルプファイルを開けません</h2><p>%1</p><p>プログラムと同じフォルダに "
               "KELVARIN.hlp があるか確かめてください。</p>")
        .arg(toQString(helpFile).toHtmlEscaped());
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setObjectName("helpWindow");
    setWindowTitle(QStringLiteral("KELVARIN ヘルプ"));
    setModal(false);
    m_browser->setObjectName("helpBrowser");
    m_browser->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(620, 560);
}

void HelpWindow::showContents(const std::string& helpFile) { load(helpFile, QStringLiteral("contents")); }

void HelpWindow::showTopic(const std::string& helpFile, int topic) { load(helpFile, QString::number(topic)); }

void HelpWindow::load(const std::string& helpFile, const QString& anchor) {
    std::string document;
    if (readHelpFile(helpFile, document)) {
        m_browser->setHtml(toQString(document));
        m_browser->scrollToAnchor(anchor);
    } else {
        m_browser->setHtml(missingHelpHtml(helpFile));
    }
    show();
    raise();
    activateWindow();
}

}  // namespace kelvarin
