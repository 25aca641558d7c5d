#pragma once

#include "pages/widgetlan.h"

// The Wi-Fi addresses and network name of the printer, and the network's
// credentials, sent at once when the user sets them.
class WidgetWiFi final : public WidgetNetwork
{
    Q_OBJECT

public:
    explicit WidgetWiFi(QWidget* parent = nullptr);
    settings::WifiAddress value() const { return staticAddress<settings::WifiAddress>(); }

public Q_SLOTS:
    void doConfigure();

private:
    LastRead::Save send() override { return LastRead::send(lastRead.wifiAddress, value()); }
};
