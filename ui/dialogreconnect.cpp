#include "ui/dialogreconnect.h"

DialogReconnect::DialogReconnect(const QHostAddress& address, QWidget* parent)
    : QDialog(parent)
{
    Q_UNUSED(address);
}
