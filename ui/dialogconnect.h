#pragma once

#include "link/discovery.h"
#include "link/hostcmd.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

// Finds the printers on the USB bus (handshake probes) and on the local
// network (multicast discovery) and opens the link to the one the user picks.
class DialogConnect final : public QDialog
{
    Q_OBJECT

public:
    enum ConnectionType { Usb = 1, Network = 2 };
    enum ScanPhase { Idle = 0, UsbPhase = 1, NetworkPhase = 2 };

    static constexpr quint16 kDiscoveryPort = Discovery::kPort;
    static constexpr int kScanStepMs = 500;
    static constexpr int kDiscoveryPasses = 60;
    // Tests shorten the scan; read when a step starts.
    struct ScanTiming
    {
        int stepMs = kScanStepMs;
        int passes = kDiscoveryPasses;
    };
    static void setScanTiming(const ScanTiming& timing);

    explicit DialogConnect(QWidget* parent = nullptr);

    QSize sizeHint() const override;

Q_SIGNALS:
    void nextDevice();

public Q_SLOTS:
    void doScan();
    void doConnect();
    void doCancel();
    void sendMulticastPacket();
    void scanNextDevice();
    void scanFinished();
    void onDeviceFound(host_cmd_dev_info_t devinfo);
    void onRepliesReceived(const QList<Discovery::Reply>& replies);
    void onItemSelectionChanged();
    void onItemDoubleClicked(QTableWidgetItem* item);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct DeviceEntry
    {
        int type = 0;
        QString project;
        QString model;
        QString sn;
        QString address;
    };

    void addRow(const DeviceEntry& entry, const QString& connectionText);
    void resizeTable();

    QTableWidget* table_;
    QPushButton* scanButton_;
    QPushButton* connectButton_;
    QPushButton* cancelButton_;
    QList<DeviceEntry> devices_;
    QStringList usbPaths_;
    Discovery* discovery_;
    int scanCounter_ = 0;
    int scanPhase_ = Idle;
    int timerId_ = 0;
};
