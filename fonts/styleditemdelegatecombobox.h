#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>

// Cell editor of the font settings table's text columns: the script column
// offers the script names, the font column the installed font files (and any
// name typed in); other columns get the standard editor.
class StyledItemDelegateComboBox final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kScriptColumn = 1;
    static constexpr int kFontColumn = 3;

    // `installedFonts` is asked each time a font editor opens, so it offers
    // the latest listing.
    explicit StyledItemDelegateComboBox(std::function<QStringList()> installedFonts, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

    // The names the printer knows, UNKNOWN first.
    static const QStringList& scriptNames();

private:
    std::function<QStringList()> installedFonts_;
};
