#include "ui/dialogpreferences.h"

DialogPreferences::DialogPreferences(QWidget* parent)
    : QDialog(parent)
{
}
