#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

// Chooses the user-interface language; the caller stores a changed choice.
class DialogPreferences final : public QDialog
{
    Q_OBJECT

public:
    explicit DialogPreferences(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The configuration's Language value for the chosen item.
    int languageIndex() const;

public Q_SLOTS:
    void doOk();
    void doCancel();

private:
    QComboBox* language_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
