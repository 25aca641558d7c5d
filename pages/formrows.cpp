#include "pages/formrows.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace formrows {

QHBoxLayout* buttonRow(const QList<QWidget*>& buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons)
        row->addWidget(button, 0, Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

QFormLayout* newForm()
{
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return form;
}

QLineEdit* addReadOnlyRow(QWidget* page, QFormLayout* form, const QString& label)
{
    QLineEdit* field = addEditableRow(page, form, label);
    field->setFrame(false);
    field->setReadOnly(true);
    field->setCursor(Qt::IBeamCursor);
    return field;
}

QLineEdit* addEditableRow(QWidget* page, QFormLayout* form, const QString& label)
{
    auto* field = new QLineEdit(page);
    auto* text = new QLabel(label, page);
    text->setBuddy(field);
    form->addRow(text, field);
    return field;
}

void fillCombo(QComboBox* combo, const settings::Field& field, const char* context)
{
    for (const settings::Choice& choice : field.choices) {
        const QString text
            = choice.text ? QCoreApplication::translate(context, choice.text) : QString::number(choice.value);
        combo->addItem(text, choice.value);
    }
}

void selectValue(QComboBox* combo, qint64 value)
{
    combo->setCurrentIndex(qMax(combo->findData(value), 0));
}

} // namespace formrows
