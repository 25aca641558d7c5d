#include "pages/widgetwifi.h"

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "pages/dialogconfigurewifi.h"

#include <QLineEdit>
#include <QPushButton>

WidgetWiFi::WidgetWiFi(QWidget* parent)
    : WidgetNetwork(Medium::WiFi, parent)
{
    connect(configure_, &QPushButton::clicked, this, &WidgetWiFi::doConfigure);
}

void WidgetWiFi::doConfigure()
{
    DialogConfigureWiFi dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ssid_->setText(dialog.ssid());
    if (!hostCmd.sendRecord(dialog.value().bytes()))
        LOG("Wi-Fi credentials not sent.");
}
