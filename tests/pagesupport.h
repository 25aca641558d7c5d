#pragma once

// The page suites find widgets as the user does, by label or button text,
// and lay records out field by field.

#include <QByteArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// `text` cut or padded with NULs to the field's width.
inline QByteArray field(const QByteArray& text, int width)
{
    return text.leftJustified(width, '\0', true);
}

inline QLineEdit* fieldOf(const QWidget& page, const QString& labelText)
{
    for (QLabel* label : page.findChildren<QLabel*>()) {
        if (label->text() == labelText)
            return qobject_cast<QLineEdit*>(label->buddy());
    }
    return nullptr;
}

inline QPushButton* buttonOf(const QWidget& page, const QString& text)
{
    for (QPushButton* button : page.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// The test pages' ESC/POS framing: GS ( E fn 6 start and end, and ESC a n
// with GS ! n for the heading and body styles.
inline const QByteArray kStart = QByteArray::fromHex("1d28450300060301");
inline const QByteArray kEnd = QByteArray::fromHex("1d284503000603ff");
inline const QByteArray kHeading = QByteArray::fromHex("1b61011d2101");
inline const QByteArray kBody = QByteArray::fromHex("1b61001d2100");
inline const char kTime[] = "2026/03/04 05:06:07";
