// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "convert/ConversionSettings.h"

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace kelvarin {

class ElidedLabel;

// What the last conversion found that the summary shows: the page's skew, when it deskewed.
struct OptionFindings {
    std::optional<double> skewDegrees;
};

// One entry of the options menu. Its summary line names the option when it is in force (empty when not),
// which also checks the entry.
struct OptionEntry {
    const char* objectName;
    std::function<std::string(const ConversionOptions&)> text;
    std::function<std::string(const ConversionOptions&, const OptionFindings&)> summary;
    // Changes the options when the entry is chosen; dialogs it asks open over parent.
    std::function<void(ConversionOptions&, QWidget* parent)> choose;
    // What the entry does, shown by the window's ？ help and as the entry's tip; empty for none.
    const char* help = "";
};

// The treatments the menu offers, in menu order; a new treatment is one more row.
std::vector<OptionEntry> optionEntries();

// "オプション": a button opening the menu (a tab stop, so the keyboard reaches it, too) and a label naming
// the options the next conversion uses.
class OptionsMenu {
public:
    OptionsMenu(QWidget* window, ConversionOptions& options);

    QPushButton* button() const { return m_button; }
    QMenu* menu() const { return m_menu; }
    ElidedLabel* summaryLabel() const { return m_summary; }
    // The marks, texts and summary follow the options, after they were changed elsewhere.
    void refresh();
    // A command at the menu's end, under the treatments.
    void addCommand(const char* objectName, const char* text, std::function<void()> command);
    // What the last conversion found, shown from now on; cleared when an option changes.
    void showFindings(const OptionFindings& findings);
    // Called after the user changed an option through the menu.
    std::function<void()> onChanged;

private:
    ConversionOptions& m_options;
    std::vector<OptionEntry> m_entries;
    OptionFindings m_findings;
    std::vector<QAction*> m_actions;
    QPushButton* m_button;
    QMenu* m_menu;
    ElidedLabel* m_summary;
};

}  // namespace kelvarin
