#include "fonts/styleditemdelegatespinbox.h"

#include <QSpinBox>

int StyledItemDelegateSpinBox::maximum(int column)
{
    switch (column) {
    case 4:
        return 7;
    case 5:
        return 255;
    case 6:
    case 7:
    case 8:
        return 96;
    default:
        return -1;
    }
}

QWidget* StyledItemDelegateSpinBox::createEditor(
    QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int top = maximum(index.column());
    if (top < 0)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QSpinBox(parent);
    box->setFrame(false);
    box->setRange(0, top);
    return box;
}

void StyledItemDelegateSpinBox::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // A value the printer sent outside the range is shown as it is: a clamped
    // one would be written back when the editor commits.
    auto* box = qobject_cast<QSpinBox*>(editor);
    const int top = maximum(index.column());
    bool isNumber = false;
    const int value = index.data(Qt::EditRole).toInt(&isNumber);
    if (box && top >= 0 && isNumber)
        box->setRange(qMin(value, 0), qMax(value, top));
    QStyledItemDelegate::setEditorData(editor, index);
}
