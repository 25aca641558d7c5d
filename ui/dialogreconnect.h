#pragma once

#include <QDialog>
#include <QHostAddress>

class DialogReconnect final : public QDialog
{
    Q_OBJECT

public:
    DialogReconnect(const QHostAddress& address, QWidget* parent = nullptr);
};
