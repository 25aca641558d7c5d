#pragma once

#include "settings/settings.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

// The printer's print settings: character set, density and quality, paper
// and black-mark layout, cover and paper-not-taken behaviour; and the two
// print test pages.
class WidgetPrint final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetPrint(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Shows `value` and leaves Save disabled.
    void load(const settings::PrintSettings& value);
    // What the controls hold, before the save rules.
    settings::PrintSettings value() const;
    // The LQ230 has no paper layout or cover settings: their groups are disabled.
    void applyFeatures(const settings::Features& has);
    // The two test pages as their buttons would send them now.
    QByteArray buildTestPage() const;
    QByteArray buildBlackMarkTestPage() const;

public Q_SLOTS:
    void doFontSettings();
    void doPrintTestPage();
    void doBlackMarkPrintTest();
    void doPreviewTestPage();
    void doPreviewBlackMarkTest();
    void doSave();

private Q_SLOTS:
    void onCjkCurrentIndexChanged(int index);
    void onUtf8CurrentIndexChanged(int index);
    void onDensitySliderValueChanged(int value);
    void onDensitySpinBoxValueChanged(int value);
    void onQualitySliderValueChanged(int value);
    void onQualitySpinBoxValueChanged(int value);
    void onPaperTypeChanged(int index);
    void onFeedAndCutStateChanged(int state);
    void onSettingsChanged();

private:
    void updateAllControls();

    QComboBox* utf8_;
    QComboBox* cjk_;
    QComboBox* codePage_;
    QSlider* densitySlider_;
    QSpinBox* densityBox_;
    QSlider* qualitySlider_;
    QSpinBox* qualityBox_;
    QGroupBox* paperGroup_;
    QComboBox* paperType_;
    QComboBox* blackMarkLocation_;
    QDoubleSpinBox* cutPosition_;
    QDoubleSpinBox* printPosition_;
    QGroupBox* coverGroup_;
    QCheckBox* feed_;
    QSpinBox* feedLength_;
    QLabel* feedLabel_;
    QGroupBox* notTakenGroup_;
    QCheckBox* stopPrinting_;
    QCheckBox* voiceAlert_;
    QPushButton* fontSettings_;
    QPushButton* preview_;
    QAction* previewBlackMark_;
    QPushButton* printTest_;
    QPushButton* blackMarkTest_;
    QPushButton* save_;
};
