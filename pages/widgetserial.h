#pragma once

#include <QWidget>

class QPushButton;

// The printer's serial port settings.
class WidgetSerial final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetSerial(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from a serial settings reply.
    void loadRecord(const QByteArray& record);

private:
    QPushButton* save_;
};
