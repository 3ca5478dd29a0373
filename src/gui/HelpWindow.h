// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <string>

class QTextBrowser;

namespace kelvarin {

// The program's help viewer: the help file at its contents or at a topic. A help file that cannot be
// read is reported inside the viewer.
class HelpWindow : public QDialog {
public:
    explicit HelpWindow(QWidget* parent);

    void showContents(const std::string& helpFile);
    void showTopic(const std::string& helpFile, int topic);
    QTextBrowser* browser() const { return m_browser; }

private:
    void load(const std::string& helpFile, const QString& anchor);

    QTextBrowser* m_browser;
};

// The text of a help file, or nothing when it cannot be read.
bool readHelpFile(const std::string& helpFile, std::string& document);

// What the viewer shows in place of a missing help file.
QString missingHelpHtml(const std::string& helpFile);

}  // namespace kelvarin
