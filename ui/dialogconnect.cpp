#include "ui/dialogconnect.h"

#include "app/debuglog.h"
#include "link/transceiver.h"
#include "link/usbprinter.h"
#include "settings/settings.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QTableWidget>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

DialogConnect::ScanTiming timing;

} // namespace

void DialogConnect::setScanTiming(const ScanTiming& scanTiming)
{
    timing = scanTiming;
}

DialogConnect::DialogConnect(QWidget* parent)
    : QDialog(parent)
    , table_(new QTableWidget(0, 3, this))
    , scanButton_(new QPushButton(tr("&Scan"), this))
    , connectButton_(new QPushButton(tr("&Connect"), this))
    , cancelButton_(new QPushButton(tr("C&ancel"), this))
    , discovery_(new Discovery(this))
{
    table_->setHorizontalHeaderLabels({tr("Model"), tr("SN"), tr("Connection Type")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    buttons->addWidget(scanButton_, 0, Qt::AlignLeft | Qt::AlignVCenter);
    buttons->addStretch();
    buttons->addWidget(connectButton_, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(cancelButton_, 0, Qt::AlignRight | Qt::AlignVCenter);
    setTabOrder(table_, scanButton_);
    setTabOrder(scanButton_, connectButton_);
    setTabOrder(connectButton_, cancelButton_);

    connect(scanButton_, &QPushButton::clicked, this, &DialogConnect::doScan);
    connect(connectButton_, &QPushButton::clicked, this, &DialogConnect::doConnect);
    connect(cancelButton_, &QPushButton::clicked, this, &DialogConnect::doCancel);
    // Queued: each scan step starts from the event loop, never from inside
    // the slot that ended the previous one.
    connect(this, &DialogConnect::nextDevice, this, &DialogConnect::scanNextDevice, Qt::QueuedConnection);
    connect(&hostCmd, &HostCmd::deviceFound, this, &DialogConnect::onDeviceFound);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &DialogConnect::onItemSelectionChanged);
    connect(table_, &QTableWidget::itemDoubleClicked, this, &DialogConnect::onItemDoubleClicked);

    connect(discovery_, &Discovery::repliesReceived, this, &DialogConnect::onRepliesReceived);

    doScan();

    setWindowIcon(QIcon(QStringLiteral(":/images/connect.png")));
    setWindowTitle(tr("Connect to Printer"));
}

QSize DialogConnect::sizeHint() const
{
    return QSize(400, 400);
}

void DialogConnect::doScan()
{
    scanButton_->setEnabled(false);
    connectButton_->setEnabled(false);
    for (int row = table_->rowCount() - 1; row >= 0; --row)
        table_->removeRow(row);
    devices_.clear();
    usbPaths_ = UsbPrinter::enumerate();
    scanCounter_ = 0;
    scanPhase_ = UsbPhase;
    discovery_->newNonce();
    Q_EMIT nextDevice();
}

void DialogConnect::doConnect()
{
    const QList<QTableWidgetItem*> selected = table_->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = selected.first()->row();
    if (row < 0 || row >= devices_.size())
        return;
    const DeviceEntry entry = devices_.at(row);
    // Kept even when the open fails: the per-model rules read them later.
    hostCmd.project = entry.project;
    hostCmd.model = entry.model;

    bool opened = false;
    if (entry.type == Usb)
        opened = transceiver->openUsb(entry.address, false);
    else if (entry.type == Network)
        opened = transceiver->openTcp(QHostAddress(entry.address));
    else
        return;
    if (!opened)
        return;
    accept();
}

void DialogConnect::doCancel()
{
    reject();
}

void DialogConnect::sendMulticastPacket()
{
    discovery_->sendPass();
}

void DialogConnect::scanNextDevice()
{
    if (timerId_ != 0) {
        killTimer(timerId_);
        timerId_ = 0;
    }
    switch (scanPhase_) {
    case UsbPhase:
        transceiver->close();
        if (scanCounter_ < usbPaths_.size()) {
            const QString path = usbPaths_.at(scanCounter_++);
            if (transceiver->openUsb(path, true))
                timerId_ = startTimer(timing.stepMs, Qt::CoarseTimer);
            else
                Q_EMIT nextDevice();
        } else {
            scanCounter_ = 0;
            scanPhase_ = NetworkPhase;
            // From now on "&Connect" follows the selection, also one made
            // while it could not.
            onItemSelectionChanged();
            Q_EMIT nextDevice();
        }
        break;
    case NetworkPhase:
        ++scanCounter_;
        if (scanCounter_ <= timing.passes) {
            sendMulticastPacket();
            timerId_ = startTimer(timing.stepMs, Qt::CoarseTimer);
        } else {
            scanFinished();
        }
        break;
    default:
        break;
    }
}

void DialogConnect::scanFinished()
{
    scanPhase_ = Idle;
    if (table_->selectedItems().isEmpty() && table_->rowCount() > 0)
        table_->selectRow(0);
    scanButton_->setEnabled(true);
}

void DialogConnect::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timerId_)
        return;
    killTimer(timerId_);
    timerId_ = 0;
    Q_EMIT nextDevice();
}

void DialogConnect::onDeviceFound(host_cmd_dev_info_t devinfo)
{
    // A TCP link opened from here answers its handshake too; only a USB
    // probe's answer is a device to list.
    if (transceiver->linkState() != Transceiver::Usb)
        return;
    const Discovery::Reply identity
        = Discovery::parseReply(QByteArray(reinterpret_cast<const char*>(&devinfo), sizeof devinfo));
    DeviceEntry entry;
    entry.type = Usb;
    entry.project = identity.project;
    entry.model = identity.model;
    entry.sn = identity.sn;
    for (const DeviceEntry& known : qAsConst(devices_)) {
        // The probe's timer moves the scan on.
        if (known.type == Usb && known.sn == entry.sn)
            return;
    }
    entry.address = transceiver->usbPrinter()->interfaceName();
    addRow(entry, QStringLiteral("USB"));
    resizeTable();
    Q_EMIT nextDevice();
}

void DialogConnect::onRepliesReceived(const QList<Discovery::Reply>& replies)
{
    bool added = false;
    for (const Discovery::Reply& reply : replies) {
        DeviceEntry entry;
        entry.type = Network;
        entry.project = reply.project;
        entry.model = reply.model;
        entry.sn = reply.sn;
        entry.address = reply.address;
        const auto known = std::find_if(devices_.cbegin(), devices_.cend(), [&](const DeviceEntry& device) {
            return device.type == Network && device.sn == entry.sn && device.address == entry.address;
        });
        if (known != devices_.cend())
            continue;
        addRow(entry, tr("Network (%1)").arg(entry.address));
        added = true;
    }
    if (added)
        resizeTable();
}

void DialogConnect::onItemSelectionChanged()
{
    if (scanPhase_ == UsbPhase)
        return;
    connectButton_->setEnabled(!table_->selectedItems().isEmpty());
}

void DialogConnect::onItemDoubleClicked(QTableWidgetItem* item)
{
    Q_UNUSED(item);
    doConnect();
}

void DialogConnect::addRow(const DeviceEntry& entry, const QString& connectionText)
{
    devices_.append(entry);
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QString texts[] = {entry.model, entry.sn, connectionText};
    for (int column = 0; column < 3; ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        table_->setItem(row, column, item);
    }
}

void DialogConnect::resizeTable()
{
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
}
