#pragma once

#include "settings/settings.h"

#include <QWidget>

class QFormLayout;
class QLineEdit;

// The printer's identity and versions, read-only, and the Bluetooth details
// of the models that have Bluetooth.
class WidgetDeviceInformation final : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetDeviceInformation(QWidget* parent = nullptr);

    // Rows 1 to 10.
    void load(const settings::DeviceInfo& value);
    // Rows 11 and 12, from the network information reply.
    void loadBluetooth(const settings::NetworkInfo& value);
    // Shows the Bluetooth rows only for the models that have Bluetooth.
    void applyFeatures(const settings::Features& has);

private:
    QFormLayout* form_;
    // One per field of the device information, in the order of its fields.
    QList<QLineEdit*> versions_;
    QLineEdit* btMac_;
    QLineEdit* btName_;
};
