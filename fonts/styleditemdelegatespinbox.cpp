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
