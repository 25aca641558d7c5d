#pragma once

#include <QWidget>

class QPushButton;

// The 4G module's status and its APN settings.
class WidgetWnet final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetWnet(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from a mobile network reply.
    void loadRecord(const QByteArray& record);

private:
    QPushButton* save_;
};
