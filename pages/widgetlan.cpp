#include "pages/widgetlan.h"

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/testpage.h"
#include "pages/networktestprint.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace netpage {

bool parseIpv4(const QString& text, quint32* address)
{
    QHostAddress parsed;
    if (!parsed.setAddress(text) || parsed.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    *address = parsed.toIPv4Address();
    return true;
}

bool isUsableTarget(const QString& text)
{
    quint32 address = 0;
    return parseIpv4(text, &address) && address != 0 && address != 0xFFFFFFFFu;
}

QString filledNetmask(const QString& netmask, const QString& dhcpNetmask)
{
    quint32 address = 0;
    if (parseIpv4(netmask, &address) && address != 0)
        return netmask;
    if (parseIpv4(dhcpNetmask, &address) && address != 0)
        return dhcpNetmask;
    return QStringLiteral("255.255.255.0");
}

QByteArray addressRecord(quint8 code, const QString& address, const QString& netmask)
{
    quint32 ip = 0;
    quint32 mask = 0;
    if (!parseIpv4(address, &ip))
        ip = 0;
    if (!parseIpv4(netmask, &mask))
        mask = 0;
    return RecordWriter(layout::address::kSize)
        .u16(layout::kIdOffset, layout::recordId(code))
        .ipv4(layout::address::kIp, ip)
        .ipv4(layout::address::kMask, mask)
        .data();
}

bool isShortModel()
{
    return hostCmd.project == QLatin1String("LQ230");
}

void appendLine(TestPage& page, const QString& label, const QByteArray& value, bool shortModel)
{
    page.text(label);
    // Short models print the value hard against its label.
    if (!shortModel)
        page.raw(" ");
    page.raw(value).lf();
}

QString ipv4Text(quint32 address)
{
    return QHostAddress(address).toString();
}

QLineEdit* addReadOnlyRow(QWidget* page, QFormLayout* form, const QString& label)
{
    auto* field = addEditableRow(page, form, label);
    field->setFrame(false);
    field->setReadOnly(true);
    field->setCursor(Qt::IBeamCursor);
    return field;
}

QLineEdit* addEditableRow(QWidget* page, QFormLayout* form, const QString& label)
{
    auto* field = new QLineEdit(page);
    auto* text = new QLabel(label, page);
    text->setBuddy(field);
    form->addRow(text, field);
    return field;
}

} // namespace netpage

WidgetLan::WidgetLan(QWidget* parent)
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

    printTestPage_ = new QPushButton(tr("Print Test Page"), this);
    testPrint_ = new NetworkTestPrint(this, printTestPage_, "Ethernet", [this] { return buildTestPage(); });
    save_ = new QPushButton(tr("Save"), this);
    // Nothing is edited yet.
    save_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(printTestPage_, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(save_, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch();

    setTabOrder(staticAddress_, staticNetmask_);
    setTabOrder(staticNetmask_, printTestPage_);
    setTabOrder(printTestPage_, save_);

    connect(printTestPage_, &QPushButton::clicked, this, &WidgetLan::doPrintTestPage);
    connect(save_, &QPushButton::clicked, this, &WidgetLan::doSave);
    connect(staticAddress_, &QLineEdit::textChanged, this, &WidgetLan::onSettingsChanged);
    connect(staticNetmask_, &QLineEdit::textChanged, this, &WidgetLan::onSettingsChanged);
}

void WidgetLan::loadRecord(const QByteArray& record)
{
    using namespace layout::netinfo;
    const RecordReader reader(record);
    mac_->setText(reader.latin1(kEthMac, kMacWidth).toUpper());
    dhcpAddress_->setText(netpage::ipv4Text(reader.ipv4(kEthDhcpIp)));
    dhcpNetmask_->setText(netpage::ipv4Text(reader.ipv4(kEthDhcpMask)));
    staticAddress_->setText(netpage::ipv4Text(reader.ipv4(kEthStaticIp)));
    staticNetmask_->setText(netpage::ipv4Text(reader.ipv4(kEthStaticMask)));
    // Setting the static fields enabled it.
    save_->setEnabled(false);
}

void WidgetLan::onSettingsChanged()
{
    save_->setEnabled(true);
}

void WidgetLan::doSave()
{
    staticNetmask_->setText(netpage::filledNetmask(staticNetmask_->text(), dhcpNetmask_->text()));
    // After the fill, which is part of the save and no edit of its own.
    save_->setEnabled(false);
    const QByteArray record
        = netpage::addressRecord(layout::code::kEthernetAddress, staticAddress_->text(), staticNetmask_->text());
    if (LastRead::send(lastRead.ethernetAddress,
            std::decay_t<decltype(lastRead.ethernetAddress)>::fromCommand(record).value_or(
                std::decay_t<decltype(lastRead.ethernetAddress)>()))
        == LastRead::Save::Failed)
        save_->setEnabled(true);
}

void WidgetLan::doPrintTestPage()
{
    testPrint_->print(staticAddress_->text(), dhcpAddress_->text());
}

QByteArray WidgetLan::buildTestPage() const
{
    const bool shortModel = netpage::isShortModel();
    // Only languages 1 and 2 are not English.
    const bool english = conf.Language != 1 && conf.Language != 2;
    TestPage page;
    page.start().lf().heading().text(tr("*** Ethernet Print Test Page ***")).lf();
    if (!(shortModel && english))
        page.lf();
    page.body();
    // Labels right-aligned to 13 characters by their leading spaces.
    netpage::appendLine(page, tr(" MAC Address:"), mac_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("    IP(DHCP):"), dhcpAddress_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("     Netmask:"), dhcpNetmask_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("  IP(Static):"), staticAddress_->text().toLatin1(), shortModel);
    netpage::appendLine(page, tr("     Netmask:"), staticNetmask_->text().toLatin1(), shortModel);
    page.text(tr("Current Time:"));
    if (!shortModel)
        page.raw(" ");
    page.time().lf(2);
    page.heading().text(tr("*** END ***")).lf().body().end().lf(4);
    // The LQ230 needs less paper fed out after the page.
    if (!shortModel)
        page.lf(4);
    return page.data();
}
