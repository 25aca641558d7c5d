#pragma once

#include <QDialog>

class QLabel;

// The program's version and those of Qt, OpenSSL and the operating system,
// as a support archive keeps them; selectable, for reading out to support.
class DialogAbout final : public QDialog
{
    Q_OBJECT

public:
    explicit DialogAbout(QWidget* parent = nullptr);

    QLabel* versionsLabel() const { return versions_; }

private:
    QLabel* versions_;
};
