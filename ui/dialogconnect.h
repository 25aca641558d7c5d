#pragma once

#include <QDialog>

class DialogConnect final : public QDialog
{
    Q_OBJECT

public:
    explicit DialogConnect(QWidget* parent = nullptr);
};
