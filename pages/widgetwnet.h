#pragma once

#include "settings/settings.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTimerEvent;

// The 4G module's status and its APN settings, and the module's restart
// with the status polls that follow it.
class WidgetWnet final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRestartPolls = 60;
    static constexpr int kPollIntervalMs = 1000;

    explicit WidgetWnet(QWidget* parent = nullptr);

    // Enabled while the page holds unsaved changes.
    QPushButton* saveButton() const { return save_; }
    // Shows the module's status and APN settings and leaves Save disabled;
    // the dispatch has refreshed the APN settings' last-read copy already.
    void load(const settings::WnetStatus& value);
    settings::ApnSettings value() const;
    // Tests poll faster than the printer's module would need.
    void setPollIntervalMs(int ms) { pollIntervalMs_ = ms; }

public Q_SLOTS:
    void doRestart();
    void doSave();
    void onSelfDefinedApnStateChanged(int state);
    void onSettingsChanged();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void applyApnFieldRule(bool apnChecked);

    QLineEdit* version_;
    QLineEdit* imei_;
    QLineEdit* iccid_;
    QLineEdit* imsi_;
    QLineEdit* mcc_;
    QLineEdit* mnc_;
    QLineEdit* isp_;
    QLineEdit* longitude_;
    QLineEdit* latitude_;
    QLineEdit* rssi_;
    QLineEdit* status_;
    QCheckBox* useApn_;
    QLineEdit* apn_;
    QLineEdit* dial_;
    QPushButton* restart_;
    QPushButton* save_;

    // Status polls still to be sent after a restart; 0 when none is under way.
    int restartCountdown_ = 0;
    int pollTimer_ = 0;
    int pollIntervalMs_ = kPollIntervalMs;
};
