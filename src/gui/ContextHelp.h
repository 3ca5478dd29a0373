#pragma once

#include <string>

class QWidget;

namespace kelvarin {

class DesignWidgets;

// Gives each control with a help topic its topic as "What's This" text (or the missing file's notice),
// for the context help mode.
void setWhatsThisTopics(const DesignWidgets& widgets, const std::string& helpFile);
// The F1 topic of the given control; 0 for none.
int f1TopicOf(const DesignWidgets& widgets, const QWidget* control);

}  // namespace kelvarin
