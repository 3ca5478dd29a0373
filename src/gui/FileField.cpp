// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/FileField.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "gui/QtText.h"

namespace kelvarin {

std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (data == nullptr || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            files.push_back(toStdString(url.toLocalFile()));
        }
    }
    return files;
}

FileField::FileField(QWidget* parent) : QLineEdit(parent) { setAcceptDrops(true); }

void FileField::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFiles(event->mimeData()).empty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void FileField::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedFiles(event->mimeData()).empty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void FileField::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = droppedFiles(event->mimeData());
    if (files.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (onFilesDropped) {
        onFilesDropped(files);
    }
}

}  // namespace kelvarin
