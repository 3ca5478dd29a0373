// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <functional>
#include <string>
#include <vector>

class QMimeData;

namespace kelvarin {

// A file-name field that takes files dropped from the desktop: the dropped local paths go to
// onFilesDropped. Dropped text is refused, so a drop never edits the field by itself.
class FileField : public QLineEdit {
public:
    explicit FileField(QWidget* parent);

    std::function<void(const std::vector<std::string>&)> onFilesDropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The local file paths of dropped data, in the order the desktop lists them; empty for other data.
std::vector<std::string> droppedFiles(const QMimeData* data);

}  // namespace kelvarin
