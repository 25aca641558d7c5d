#pragma once

#include <QDialog>

class DialogPreferences final : public QDialog
{
    Q_OBJECT

public:
    explicit DialogPreferences(QWidget* parent = nullptr);
};
