#pragma once

#include <QStyledItemDelegate>

// Cell editor of the font settings table's numeric columns: a spin box whose
// range is what the printer accepts for the column.
class StyledItemDelegateSpinBox final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

    // Largest value of a column (4: face index, 5: threshold, 6..8: pixel
    // sizes and advance); -1 for a column it does not serve.
    static int maximum(int column);
};
