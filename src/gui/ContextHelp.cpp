// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ContextHelp.h"

#include <QWidget>

#include "app/HelpFile.h"
#include "gui/DesignControls.h"
#include "gui/HelpWindow.h"
#include "gui/QtText.h"

namespace kelvarin {

void setWhatsThisTopics(const DesignWidgets& widgets, const HelpTopics& others, const std::string& helpFile) {
    std::string document;
    const bool readable = readHelpFile(helpFile, document);
    const auto setTopic = [&](QWidget* control, int number) {
        const std::string topic = readable ? helpTopicHtml(document, number) : std::string();
        control->setWhatsThis(readable ? toQString(topic) : missingHelpHtml(helpFile));
    };
    for (const ControlDesign& design : controlDesigns()) {
        if (design.helpTopic != 0) {
            setTopic(widgets.widget(design.control), design.helpTopic);
        }
    }
    for (const auto& [control, number] : others) {
        setTopic(control, number);
    }
}

int f1TopicOf(const DesignWidgets& widgets, const HelpTopics& others, const QWidget* control) {
    for (; control != nullptr && !control->isWindow(); control = control->parentWidget()) {
        for (const ControlDesign& design : controlDesigns()) {
            if (widgets.widget(design.control) == control && design.f1Topic != 0) {
                return design.f1Topic;
            }
        }
        for (const auto& [other, number] : others) {
            if (other == control) {
                return number;
            }
        }
    }
    return 0;
}

}  // namespace kelvarin
