#include "pages/widgetwifi.h"

#include "app/debuglog.h"
#include "link/lastread.h"
#include "link/testpage.h"
#include "pages/dialogconfigurewifi.h"
#include "pages/networktestprint.h"
#include "pages/widgetlan.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

WidgetWiFi::WidgetWiFi(QWidget* parent)
    : QWidget(parent)
{
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    mac_ = netpage::addReadOnlyRow(this, form, tr("MAC Address:"));
    dhcpAddress_ = netpage::addReadOnlyRow(this, form, tr("IP Address (DHCP):"));
    dhcpNetmask_ = netpage::addReadOnlyRow(this, form, tr("Netmask (DHCP):"));
    staticAddress_ = netpage::addEditableRow(this, form, tr("IP Address (Static):"));
    staticNetmask_ = netpage::addEditableRow(this, form, tr("Netmask (Static):"));
    ssid_ = netpage::addReadOnlyRow(this, form, tr("SSID:"));

    configure_ = new QPushButton(tr("Configure SSID..."), this);
    printTestPage_ = new QPushButton(tr("Print Test Page"), this);
    testPrint_ = new NetworkTestPrint(this, printTestPage_, "Wi-Fi", [this] { return buildTestPage(); });
    save_ = new QPushButton(tr("Save"), this);
    // Nothing is edited yet.
    save_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(configure_, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(printTestPage_, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(save_, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch();

    setTabOrder(staticAddress_, staticNetmask_);
    setTabOrder(staticNetmask_, configure_);
    setTabOrder(configure_, printTestPage_);
    setTabOrder(printTestPage_, save_);

    connect(configure_, &QPushButton::clicked, this, &WidgetWiFi::doConfigure);
    connect(printTestPage_, &QPushButton::clicked, this, &WidgetWiFi::doPrintTestPage);
    connect(save_, &QPushButton::clicked, this, &WidgetWiFi::doSave);
    // The SSID is sent by the dialog's flow at once: it is no unsaved change.
    connect(staticAddress_, &QLineEdit::textChanged, this, &WidgetWiFi::onSettingsChanged);
    connect(staticNetmask_, &QLineEdit::textChanged, this, &WidgetWiFi::onSettingsChanged);
}

void WidgetWiFi::loadRecord(const QByteArray& record)
{
    using namespace layout::netinfo;
    const RecordReader reader(record);
    mac_->setText(reader.latin1(kWifiMac, kMacWidth).toUpper());
    dhcpAddress_->setText(netpage::ipv4Text(reader.ipv4(kWifiDhcpIp)));
    dhcpNetmask_->setText(netpage::ipv4Text(reader.ipv4(kWifiDhcpMask)));
    staticAddress_->setText(netpage::ipv4Text(reader.ipv4(kWifiStaticIp)));
    staticNetmask_->setText(netpage::ipv4Text(reader.ipv4(kWifiStaticMask)));
    ssid_->setText(reader.utf8(kWifiSsid, kSsidWidth));
    // Setting the static fields enabled it.
    save_->setEnabled(false);
}

void WidgetWiFi::onSettingsChanged()
{
    save_->setEnabled(true);
}

void WidgetWiFi::doSave()
{
    staticNetmask_->setText(netpage::filledNetmask(staticNetmask_->text(), dhcpNetmask_->text()));
    // After the fill, which is part of the save and no edit of its own.
    save_->setEnabled(false);
    const QByteArray record
        = netpage::addressRecord(layout::code::kWifiAddress, staticAddress_->text(), staticNetmask_->text());
    if (LastRead::send(lastRead.wifiAddress,
            std::decay_t<decltype(lastRead.wifiAddress)>::fromCommand(record).value_or(
                std::decay_t<decltype(lastRead.wifiAddress)>()))
        == LastRead::Save::Failed)
        save_->setEnabled(true);
}

void WidgetWiFi::doConfigure()
{
    DialogConfigureWiFi dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ssid_->setText(dialog.ssid());
    if (!DialogConfigureWiFi::sendCredentials(dialog.ssid(), dialog.password()))
        LOG("Wi-Fi credentials not sent.");
}

void WidgetWiFi::doPrintTestPage()
{
    testPrint_->print(staticAddress_->text(), dhcpAddress_->text());
}

QByteArray WidgetWiFi::buildTestPage() const
{
    const bool shortModel = netpage::isShortModel();
    TestPage page;
    page.start().lf().heading().text(tr("*** Wi-Fi Print Test Page ***")).lf(2).body();
    // Labels right-aligned to 13 characters by their leading spaces.
    netpage::appendLine(page, tr(" MAC Address:"), mac_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("    IP(DHCP):"), dhcpAddress_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("     Netmask:"), dhcpNetmask_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("  IP(Static):"), staticAddress_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("     Netmask:"), staticNetmask_->text().toLatin1(), shortModel);
    page.text(tr("Current Time:"));
    if (!shortModel)
        page.raw(" ");
    page.time().lf();
    // The network name is printed as the printer stores it, in UTF-8.
    netpage::appendLine(page, tr("        SSID:"), ssid_->text().toUtf8(), shortModel);
    page.lf();
    page.heading().text(tr("*** END ***")).lf().body().end().lf(4);
    // The LQ230 needs less paper fed out after the page.
    if (!shortModel)
        page.lf(4);
    return page.data();
}
