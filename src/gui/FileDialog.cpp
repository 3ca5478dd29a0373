// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/FileDialog.h"

#include <QFileDialog>

#include "fileutil/Path.h"
#include "gui/QtText.h"

namespace kelvarin {

std::optional<std::string> runFileDialog(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, toQString(request.title), toQString(GetDirectoryPart(request.initialFile)),
                       toQString(request.filter));
    dialog.setObjectName("commonDialog");
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.save) {
        // The conversion asks before it replaces a file.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
        const std::string& filter = request.filter;
        dialog.setDefaultSuffix(toQString(filter.substr(std::min(filter.size(), filter.find('.') + 1))));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("開く"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return toStdString(dialog.selectedFiles().constFirst());
}

}  // namespace kelvarin
