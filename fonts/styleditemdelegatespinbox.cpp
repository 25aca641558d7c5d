#include "fonts/styleditemdelegatespinbox.h"

#include "settings/settings.h"

#include <QSpinBox>

void StyledItemDelegateSpinBox::setField(int column, const settings::Field& field)
{
    ranges_.insert(column, {int(field.min), int(field.max)});
}

QWidget* StyledItemDelegateSpinBox::createEditor(
    QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto range = ranges_.constFind(index.column());
    if (range == ranges_.constEnd())
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QSpinBox(parent);
    box->setFrame(false);
    box->setRange(range->first, range->second);
    return box;
}

void StyledItemDelegateSpinBox::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // A value the printer sent outside the range is shown as it is: a clamped
    // one would be written back when the editor commits.
    auto* box = qobject_cast<QSpinBox*>(editor);
    const auto range = ranges_.constFind(index.column());
    bool isNumber = false;
    const int value = index.data(Qt::EditRole).toInt(&isNumber);
    if (box && range != ranges_.constEnd() && isNumber)
        box->setRange(qMin(value, range->first), qMax(value, range->second));
    QStyledItemDelegate::setEditorData(editor, index);
}

void StyledItemDelegateSpinBox::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    // Only the value as sent may lie outside the range: an edit of it lands
    // inside, where the printer takes it, rather than being dropped unseen.
    auto* box = qobject_cast<QSpinBox*>(editor);
    const auto range = ranges_.constFind(index.column());
    if (box && range != ranges_.constEnd() && box->value() != index.data(Qt::EditRole).toInt())
        box->setValue(qBound(range->first, box->value(), range->second));
    QStyledItemDelegate::setModelData(editor, model, index);
}
