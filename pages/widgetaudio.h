#pragma once

#include "settings/settings.h"

#include <QWidget>

class QCheckBox;
class QPushButton;

// The printer's audio prompts.
class WidgetAudio final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetAudio(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Fills the page from an audio settings reply; the dispatch has already
    // refreshed the last-read copy.
    void loadRecord(const QByteArray& record);
    void load(const settings::AudioSettings& value) { loadRecord(value.bytes()); }

public Q_SLOTS:
    void doSave();
    void onSettingsChanged();

private:
    QCheckBox* all_;
    QCheckBox* cloud_;
    QCheckBox* warning_;
    QCheckBox* notice_;
    QCheckBox* voice_;
    QCheckBox* beep_;
    QPushButton* save_;
};
