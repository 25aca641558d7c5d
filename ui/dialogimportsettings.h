#pragma once

#include "settings/settingsfile.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// What importing a settings file would change on the printer, one row per
// field (its value now and the file's, passwords masked), with the groups
// skipped below; OK applies the file.
class DialogImportSettings final : public QDialog
{
    Q_OBJECT

public:
    enum Column { NameColumn, CurrentColumn, FileColumn, ColumnCount };

    explicit DialogImportSettings(const settings::Plan& plan, QWidget* parent = nullptr);

    QSize sizeHint() const override;

    QTableWidget* changesTable() const { return changes_; }

public Q_SLOTS:
    void doOk();
    void doCancel();

private:
    QTableWidget* changes_;
    QLabel* notes_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
