#include "gui/ControlText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

#include "gui/QtText.h"

namespace kelvarin {

namespace {

// The UTF-16 position of the given number of characters of text.
int utf16Position(const QString& text, int characters) {
    int position = 0;
    for (int counted = 0; counted < characters && position < text.size(); ++counted) {
        position += text.at(position).isHighSurrogate() ? 2 : 1;
    }
    return std::min(position, static_cast<int>(text.size()));
}

}  // namespace

std::string controlText(const QWidget* control) {
    if (const auto* field = qobject_cast<const QLineEdit*>(control)) {
        return toStdString(field->text());
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return toStdString(label->text());
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return toStdString(button->text());
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
        return toStdString(frame->title());
    }
    return {};
}

void setControlText(QWidget* control, std::string_view text) {
    if (auto* field = qobject_cast<QLineEdit*>(control)) {
        field->setText(toQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(toQString(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(toQString(text));
    }
}

void selectCharactersLater(QLineEdit* field, int start, int length) {
    QTimer::singleShot(0, field, [field, start, length] {
        const QString text = field->text();
        const int first = utf16Position(text, start);
        field->setSelection(first, utf16Position(text, start + length) - first);
    });
}

}  // namespace kelvarin
