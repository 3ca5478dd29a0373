// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/SizeFieldMenu.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include <memory>

namespace kelvarin {

QAction* addRealSizeItem(QLineEdit* field, std::function<bool()> available, std::function<void()> fill) {
    auto* action = new QAction(QStringLiteral("解像度から実寸（mm）を入れる"), field);
    action->setObjectName("realSizeMillimetres");
    QObject::connect(action, &QAction::triggered, field, [fill = std::move(fill)] { fill(); });
    field->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(field, &QLineEdit::customContextMenuRequested, field,
                     [field, action, available = std::move(available)](const QPoint& position) {
                         const std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
                         menu->addSeparator();
                         action->setEnabled(available());
                         menu->addAction(action);
                         menu->exec(field->mapToGlobal(position));
                     });
    return action;
}

}  // namespace kelvarin
