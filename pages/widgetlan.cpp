#include "pages/widgetlan.h"

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/tcprawprint.h"
#include "link/testpage.h"
#include "pages/formrows.h"
#include "ui/dialogprintpreview.h"
#include "ui/messagebox.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

// An IPv4 address the test print can go to: neither 0.0.0.0 nor 255.255.255.255.
bool usableTarget(const QString& text, QHostAddress* target)
{
    QHostAddress parsed;
    if (!parsed.setAddress(text) || parsed.protocol() != QAbstractSocket::IPv4Protocol || parsed.toIPv4Address() == 0
        || parsed.toIPv4Address() == 0xFFFFFFFFu)
        return false;
    *target = parsed;
    return true;
}

bool isNonZeroIpv4(const QString& text)
{
    QHostAddress parsed;
    return parsed.setAddress(text) && parsed.protocol() == QAbstractSocket::IPv4Protocol && parsed.toIPv4Address() != 0;
}

} // namespace

WidgetNetwork::WidgetNetwork(Medium medium, QWidget* parent)
    : QWidget(parent)
    , medium_(medium)
{
    QFormLayout* form = formrows::newForm();
    mac_ = formrows::addReadOnlyRow(this, form, tr("MAC Address:"));
    dhcpAddress_ = formrows::addReadOnlyRow(this, form, tr("IP Address (DHCP):"));
    dhcpNetmask_ = formrows::addReadOnlyRow(this, form, tr("Netmask (DHCP):"));
    staticAddress_ = formrows::addEditableRow(this, form, tr("IP Address (Static):"));
    staticNetmask_ = formrows::addEditableRow(this, form, tr("Netmask (Static):"));
    if (medium_ == Medium::WiFi) {
        ssid_ = formrows::addReadOnlyRow(this, form, tr("SSID:"));
        configure_ = new QPushButton(tr("Configure SSID..."), this);
    }
    preview_ = new QPushButton(tr("Preview..."), this);
    printTestPage_ = new QPushButton(tr("Print Test Page"), this);
    save_ = new QPushButton(tr("Save"), this);
    // Nothing is edited yet.
    save_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    QList<QWidget*> buttons = {configure_, preview_, printTestPage_, save_};
    buttons.removeAll(nullptr);
    layout->addLayout(formrows::buttonRow(buttons));
    layout->addStretch();
    QWidget* previous = staticAddress_;
    for (QWidget* next : QList<QWidget*> {staticNetmask_} + buttons)
        setTabOrder(std::exchange(previous, next), next);

    connect(printTestPage_, &QPushButton::clicked, this, &WidgetNetwork::doPrintTestPage);
    connect(preview_, &QPushButton::clicked, this, &WidgetNetwork::doPreviewTestPage);
    connect(save_, &QPushButton::clicked, this, &WidgetNetwork::doSave);
    // The SSID is sent at once by its dialog: it is no unsaved change.
    connect(staticAddress_, &QLineEdit::textChanged, this, &WidgetNetwork::onSettingsChanged);
    connect(staticNetmask_, &QLineEdit::textChanged, this, &WidgetNetwork::onSettingsChanged);
}

void WidgetNetwork::load(const settings::NetworkInfo& value)
{
    const TestPage::NetworkTexts texts = TestPage::networkTexts(value, medium_ == Medium::WiFi);
    mac_->setText(texts.mac);
    dhcpAddress_->setText(texts.dhcpIp);
    dhcpNetmask_->setText(texts.dhcpNetmask);
    staticAddress_->setText(texts.staticIp);
    staticNetmask_->setText(texts.staticNetmask);
    if (ssid_)
        ssid_->setText(texts.ssid);
    // Setting the static fields enabled it.
    save_->setEnabled(false);
}

void WidgetNetwork::onSettingsChanged()
{
    save_->setEnabled(true);
}

void WidgetNetwork::doSave()
{
    // A static address needs a netmask: the DHCP one if there is one, else /24.
    if (!isNonZeroIpv4(staticNetmask_->text()))
        staticNetmask_->setText(
            isNonZeroIpv4(dhcpNetmask_->text()) ? dhcpNetmask_->text() : QStringLiteral("255.255.255.0"));
    // After the fill, which is part of the save and no edit of its own.
    save_->setEnabled(false);
    if (send() == LastRead::Save::Failed)
        save_->setEnabled(true);
}

void WidgetNetwork::readStaticFields(settings::Record& value, int addressField, int netmaskField) const
{
    value.setText(addressField, staticAddress_->text());
    value.setText(netmaskField, staticNetmask_->text());
}

void WidgetNetwork::doPrintTestPage()
{
    printTestPage([this] { return buildTestPage(); });
}

void WidgetNetwork::doPreviewTestPage()
{
    DialogPrintPreview::run(
        buildTestPage(), [this](const QByteArray& page) { printTestPage([page] { return page; }); }, this);
}

void WidgetNetwork::printTestPage(std::function<QByteArray()> source)
{
    QHostAddress target;
    if (!usableTarget(staticAddress_->text(), &target) && !usableTarget(dhcpAddress_->text(), &target)) {
        MessageBox::warning(this, tr("Error"), tr("No valid IP address."));
        return;
    }
    // One print at a time, from the button or from the preview.
    printTestPage_->setEnabled(false);
    preview_->setEnabled(false);
    LOG("TCP socket created.");
    auto* job = new TcpRawPrint(target, std::move(source), this);
    connect(job, &TcpRawPrint::failed, this,
        [this](const QString& errorString) { MessageBox::warning(this, tr("Error"), errorString); });
    connect(job, &TcpRawPrint::finished, this, [this] {
        printTestPage_->setEnabled(true);
        preview_->setEnabled(true);
    });
}

QByteArray WidgetNetwork::buildTestPage() const
{
    TestPage::NetworkTexts texts;
    texts.mac = mac_->text();
    texts.dhcpIp = dhcpAddress_->text();
    texts.dhcpNetmask = dhcpNetmask_->text();
    texts.staticIp = staticAddress_->text();
    texts.staticNetmask = staticNetmask_->text();
    if (ssid_)
        texts.ssid = ssid_->text();
    // Only languages 1 and 2 are not English.
    const bool english = conf.Language != 1 && conf.Language != 2;
    return TestPage::networkTestPage(medium_ == Medium::WiFi, texts, hostCmd.project, hostCmd.model, english);
}

WidgetLan::WidgetLan(QWidget* parent)
    : WidgetNetwork(Medium::Ethernet, parent)
{
}
