// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ControlText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

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

const char* const kExactText = "exactText";

// 6 significant digits of a number written with more, in plain notation; nothing for other text.
std::optional<std::string> shortened(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    const std::string shown(buffer, written.ptr);
    if (written.ec != std::errc() || shown.find('e') != std::string::npos || shown.size() >= text.size()) {
        return std::nullopt;
    }
    return shown;
}

}  // namespace

void setNumberText(QLineEdit* field, std::string_view text) {
    if (!field->property(kExactText).isValid()) {  // the first time: an edit forgets the whole number
        QObject::connect(field, &QLineEdit::textEdited, field, [field] { field->setProperty(kExactText, QString()); });
    }
    const std::optional<std::string> shown = shortened(text);
    field->setText(toQString(shown.value_or(std::string(text))));
    field->setProperty(kExactText, toQString(shown ? text : std::string_view()));
}

std::string numberText(const QLineEdit* field) {
    const QString exact = field->property(kExactText).toString();
    if (!exact.isEmpty()) {
        return toStdString(exact);
    }
    return toStdString(field->text());
}

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
