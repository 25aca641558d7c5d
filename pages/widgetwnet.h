#pragma once

#include "settings/settings.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QFormLayout;
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
    // Fills the page from a mobile network reply; the dispatch has refreshed
    // the APN record's last-read copy already.
    void loadRecord(const QByteArray& record);
    void load(const settings::WnetStatus& value) { loadRecord(value.bytes()); }
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
    QLineEdit* addStatusRow(QFormLayout* form, const QString& text);
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

    QStringList statusTexts_;
    // Status polls still to be sent after a restart; 0 when none is under way.
    int restartCountdown_ = 0;
    int pollTimer_ = 0;
    int pollIntervalMs_ = kPollIntervalMs;
};
