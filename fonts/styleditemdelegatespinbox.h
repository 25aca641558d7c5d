#pragma once

#include <QHash>
#include <QPair>
#include <QStyledItemDelegate>

namespace settings {
struct Field;
} // namespace settings

// Cell editor of the font settings table's numeric columns: a spin box whose
// range is what the printer accepts for the column's field.
class StyledItemDelegateSpinBox final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The column's spin box offers the field's range; a column without a
    // field gets the standard editor.
    void setField(int column, const settings::Field& field);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    QHash<int, QPair<int, int>> ranges_;
};
