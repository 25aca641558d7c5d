#pragma once

#include <QWidget>

class QPushButton;

// The Ethernet addresses of the printer.
class WidgetLan final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetLan(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from a network information reply.
    void loadRecord(const QByteArray& record);

private:
    QPushButton* save_;
};
