#pragma once

// The page suites find widgets as the user does, by the text on them or on
// their label (a group box by its title), and lay records out field by field.

#include "settings/settings.h"
#include "testsupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <type_traits>

template <typename T> T* byText(const QWidget* root, const QString& text)
{
    for (T* candidate : root->findChildren<T*>()) {
        if constexpr (std::is_base_of_v<QGroupBox, T>) {
            if (candidate->title() == text)
                return candidate;
        } else if (candidate->text() == text) {
            return candidate;
        }
    }
    return nullptr;
}

inline QPushButton* buttonOf(const QWidget& page, const QString& text)
{
    return byText<QPushButton>(&page, text);
}

inline QLineEdit* fieldOf(const QWidget& page, const QString& labelText)
{
    for (QLabel* label : page.findChildren<QLabel*>()) {
        if (label->text() == labelText)
            return qobject_cast<QLineEdit*>(label->buddy());
    }
    return nullptr;
}

// Ethernet DHCP 127.77.0.10 / 255.255.0.0, static 127.77.0.20 / 255.255.255.0,
// MAC ...:f5; Wi-Fi the same in 127.77.1.x, MAC ...:f6, named "Café 東京".
inline settings::NetworkInfo networkInfo()
{
    using N = settings::NetworkInfo;
    N info;
    for (const int wifi : {0, 1}) {
        const QString net = QStringLiteral("127.77.%1.").arg(wifi);
        const QStringList values {
            "a0:b1:c2:d3:e4:f" + QString::number(5 + wifi), net + "10", "255.255.0.0", net + "20", "255.255.255.0"};
        for (int i = 0; i < values.size(); ++i)
            info.setText((wifi ? N::WifiMac : N::EthernetMac) + i, values[i]);
    }
    info.setText(N::WifiSsid, QString::fromUtf8("Café 東京"));
    return info;
}

// The test pages' ESC/POS framing: GS ( E fn 6 start and end, and ESC a n
// with GS ! n for the heading and body styles.
inline const QByteArray kStart = QByteArray::fromHex("1d28450300060301");
inline const QByteArray kEnd = QByteArray::fromHex("1d284503000603ff");
inline const QByteArray kHeading = QByteArray::fromHex("1b61011d2101");
inline const QByteArray kBody = QByteArray::fromHex("1b61001d2100");
inline const char kTime[] = "2026/03/04 05:06:07";
