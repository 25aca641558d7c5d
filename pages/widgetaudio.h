#pragma once

#include <QWidget>

class QPushButton;

// The printer's audio prompts.
class WidgetAudio final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetAudio(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from an audio settings reply.
    void loadRecord(const QByteArray& record);

private:
    QPushButton* save_;
};
