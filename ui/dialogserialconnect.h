#pragma once

#include <QDialog>

class DialogSerialConnect final : public QDialog
{
    Q_OBJECT

public:
    explicit DialogSerialConnect(QWidget* parent = nullptr);
};
