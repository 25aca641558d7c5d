#pragma once

// Finds a child widget the way a user does: by the text on it (a group box
// by its title).

#include <QGroupBox>
#include <QString>
#include <QWidget>

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
