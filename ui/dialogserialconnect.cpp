#include "ui/dialogserialconnect.h"

DialogSerialConnect::DialogSerialConnect(QWidget* parent)
    : QDialog(parent)
{
}
