#pragma once

#include "settings/settings.h"

#include <QList>

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QString;
class QWidget;

// The rows and combos every page builds alike.
namespace formrows {

// A stretch, then the buttons at the right, vertically centred.
QHBoxLayout* buttonRow(const QList<QWidget*>& buttons);
// Labels right-aligned, the form to the left, both vertically centred.
QFormLayout* newForm();
// A row whose text can be selected and copied but not edited; its label is
// the field's buddy (QFormLayout::labelForField finds it).
QLineEdit* addReadOnlyRow(QWidget* page, QFormLayout* form, const QString& label);
QLineEdit* addEditableRow(QWidget* page, QFormLayout* form, const QString& label);
// One item per choice of `field`, with the value as item data; a choice's
// text is translated in `context`, a choice without one shows its number.
void fillCombo(QComboBox* combo, const settings::Field& field, const char* context);
// The item with `value`, or the first item when none has it, so that the
// next Save sends a value the printer can use.
void selectValue(QComboBox* combo, qint64 value);

} // namespace formrows
