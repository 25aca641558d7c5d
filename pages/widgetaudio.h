#pragma once

#include "settings/settings.h"

#include <QWidget>

#include <array>

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
    // Shows `value` and leaves Save disabled.
    void load(const settings::AudioSettings& value);
    settings::AudioSettings value() const;

public Q_SLOTS:
    void doSave();
    void onSettingsChanged();

private:
    // The boxes in the order of the record's fields.
    std::array<QCheckBox*, 6> boxes() const { return {all_, cloud_, warning_, notice_, voice_, beep_}; }

    QCheckBox* all_;
    QCheckBox* cloud_;
    QCheckBox* warning_;
    QCheckBox* notice_;
    QCheckBox* voice_;
    QCheckBox* beep_;
    QPushButton* save_;
};
