#pragma once

#include <QWidget>

class QPushButton;

// The printer's print settings.
class WidgetPrint final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPrint(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from a print settings reply.
    void loadRecord(const QByteArray& record);
    // The LQ230 has no paper layout or cover settings: their groups are disabled.
    void applyModel(const QString& project, const QString& model);

private:
    QPushButton* save_;
};
