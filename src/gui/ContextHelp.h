// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace kelvarin {

class DesignWidgets;

// Controls beyond the design with their help topics.
using HelpTopics = std::vector<std::pair<QWidget*, int>>;

// Gives each control with a help topic its topic as "What's This" text (or the missing file's notice),
// for the context help mode.
void setWhatsThisTopics(const DesignWidgets& widgets, const HelpTopics& others, const std::string& helpFile);
// The F1 topic of the given control, or of the control it is part of; 0 for none.
int f1TopicOf(const DesignWidgets& widgets, const HelpTopics& others, const QWidget* control);

}  // namespace kelvarin
