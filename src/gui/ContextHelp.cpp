#include "gui/ContextHelp.h"

#include <QWidget>

#include "app/HelpFile.h"
#include "gui/DesignControls.h"
#include "gui/HelpWindow.h"
#include "gui/QtText.h"

namespace kelvarin {

void setWhatsThisTopics(const DesignWidgets& widgets, const std::string& helpFile) {
    std::string document;
    const bool readable = readHelpFile(helpFile, document);
    for (const ControlDesign& design : controlDesigns()) {
        if (design.helpTopic == 0) {
            continue;
        }
        const std::string topic = readable ? helpTopicHtml(document, design.helpTopic) : std::string();
        widgets.widget(design.control)->setWhatsThis(readable ? toQString(topic) : missingHelpHtml(helpFile));
    }
}

int f1TopicOf(const DesignWidgets& widgets, const QWidget* control) {
    for (const ControlDesign& design : controlDesigns()) {
        if (widgets.widget(design.control) == control && design.f1Topic != 0) {
            return design.f1Topic;
        }
    }
    return 0;
}

}  // namespace kelvarin
