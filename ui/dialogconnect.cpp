#include "ui/dialogconnect.h"

DialogConnect::DialogConnect(QWidget* parent)
    : QDialog(parent)
{
}
