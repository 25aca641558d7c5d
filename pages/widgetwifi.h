#pragma once

#include <QWidget>

class QPushButton;

// The Wi-Fi addresses and network name of the printer.
class WidgetWiFi final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetWiFi(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from a network information reply.
    void loadRecord(const QByteArray& record);

private:
    QPushButton* save_;
};
