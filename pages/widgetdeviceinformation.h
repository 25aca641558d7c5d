#pragma once

#include "settings/settings.h"

#include <QWidget>

class QFormLayout;
class QLabel;
class QLineEdit;

// The printer's identity and versions, read-only, and the Bluetooth details
// of the models that have Bluetooth.
class WidgetDeviceInformation final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetDeviceInformation(QWidget* parent = nullptr);

    // Rows 1 to 10 from a device information reply.
    void loadRecord(const QByteArray& record);
    void load(const settings::DeviceInfo& value) { loadRecord(value.bytes()); }
    // Rows 11 and 12 from a network information reply.
    void loadBluetooth(const QByteArray& record);
    void loadBluetooth(const settings::NetworkInfo& value) { loadBluetooth(value.bytes()); }
    // Shows the Bluetooth rows only for the models that have Bluetooth.
    void applyFeatures(const settings::Features& has);

private:
    struct Row
    {
        QLabel* label = nullptr;
        QLineEdit* field = nullptr;
    };
    Row addRow(QFormLayout* form, const QString& text);

    Row model_;
    Row sn_;
    Row hwVersion_;
    Row bootloaderVersion_;
    Row fwVersion_;
    Row appVersion_;
    Row partnerAppVersion_;
    Row miniAppVersion_;
    Row fontVersion_;
    Row ttsVersion_;
    Row btMac_;
    Row btName_;
};
