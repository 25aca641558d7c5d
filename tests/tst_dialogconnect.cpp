// The connect dialog's network discovery and connect, against printer
// simulators, and the simulator's discovery answers. Everything runs in
// network namespaces of its own (netns.h): the dialog multicasts on every
// interface it sees, so it is never made where it could reach a real network.
// Expected reply bytes are written out by hand from the reply layout.

#include "app/conf.h"
#include "link/tcpprinter.h"
#include "link/usbprinter.h"
#include "linkfixture.h"
#include "netns.h"
#include "pagesupport.h"
#include "ui/dialogconnect.h"
#include "ui/mainwindow.h"
#include "usb/usbtestsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

namespace {

const netns::Lab* lab = nullptr;
QString labMissing;

constexpr int kScanTimeoutMs = 30000;
// Six passes 50 ms apart instead of sixty 500 ms apart.
constexpr DialogConnect::ScanTiming kFastScan {50, 6};
// A USB probe gets the full 500 ms to answer.
constexpr DialogConnect::ScanTiming kUsbScan {500, 2};
constexpr quint16 kDiscoveryPort = 17899;

// `text` in a zeroed field of `width` bytes.
QByteArray field(const QByteArray& text, int width = 16)
{
    return text + QByteArray(width - text.size(), '\0');
}

QStringList rowTexts(const QTableWidget* table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts.append(table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

QStringList columnTexts(const QTableWidget* table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts.append(table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

QList<int> selectedRows(const QTableWidget* table)
{
    QList<int> rows;
    const QList<QTableWidgetItem*> items = table->selectedItems();
    for (const QTableWidgetItem* item : items) {
        if (!rows.contains(item->row()))
            rows.append(item->row());
    }
    return rows;
}

QNetworkInterface interfaceWith(const QHostAddress& address)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& candidate : interfaces) {
        const QList<QNetworkAddressEntry> entries = candidate.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().isEqual(address))
                return candidate;
        }
    }
    return QNetworkInterface();
}

// The discovery nonces a simulator was asked with, in order, runs of the same
// value counted once.
QStringList nonceRuns(const QString& simLog)
{
    static const QRegularExpression nonce(QStringLiteral("discovery: nonce (0x[0-9a-f]{8}) from "));
    QStringList runs;
    QRegularExpressionMatchIterator it = nonce.globalMatch(QString::fromUtf8(readFile(simLog)));
    while (it.hasNext()) {
        const QString value = it.next().captured(1);
        if (runs.isEmpty() || runs.last() != value)
            runs.append(value);
    }
    return runs;
}

} // namespace

class TestDialogConnect : public QObject
{
    Q_OBJECT

    LinkFixture f_;

    std::unique_ptr<netns::SimInNamespace> printer(int n)
    {
        return std::make_unique<netns::SimInNamespace>(lab->printerNamespace(n), lab->printerAddress(n));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!lab)
            QSKIP(qPrintable(
                QStringLiteral("no private network for discovery, so the dialog is not made: ") + labMissing));
        QVERIFY(f_.initCase());
    }
    void cleanupTestCase() { f_.cleanupCase(); }

    void init()
    {
        DialogConnect::setScanTiming(kFastScan);
        // Read by the USB transport when it is made.
        conf.vidPidList = {0x5A7C0002u};
        f_.makeLink();
        hostCmd.project.clear();
        hostCmd.model.clear();
    }
    void cleanup() { f_.dropLink(); }

    void simulatorAnswersDiscoveryOnly_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("multicast");
        QTest::addColumn<bool>("answered");
        QTest::newRow("multicast discovery") << QByteArray::fromHex("78563412") << true << true;
        QTest::newRow("unicast discovery") << QByteArray::fromHex("01000000") << false << true;
        QTest::newRow("three bytes") << QByteArray::fromHex("010203") << true << false;
        QTest::newRow("five bytes") << QByteArray::fromHex("0102030405") << false << false;
        QTest::newRow("another printer's reply")
            << field("LQ520") + field("LQ520") + field("LQ5202405000137") << true << false;
    }
    void simulatorAnswersDiscoveryOnly()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, multicast);
        QFETCH(bool, answered);
        const auto sim = printer(1);
        QVERIFY(sim->start({"--project", "LQ560", "--model", "LQ560-4G", "--sn", "SIM0000000000001"}));

        QUdpSocket host;
        QVERIFY(host.bind(lab->appAddress(1), 0));
        host.setMulticastInterface(interfaceWith(lab->appAddress(1)));
        const QHostAddress target = multicast ? QHostAddress(QStringLiteral("224.0.0.1")) : sim->address();
        QCOMPARE(host.writeDatagram(datagram, target, kDiscoveryPort), qint64(datagram.size()));
        // The answer to a later discovery datagram from another port comes
        // after any answer to the first.
        QUdpSocket marker;
        QVERIFY(marker.bind(lab->appAddress(1), 0));
        QCOMPARE(marker.writeDatagram(QByteArray::fromHex("ffffffff"), sim->address(), kDiscoveryPort), qint64(4));
        QTRY_VERIFY_WITH_TIMEOUT(marker.hasPendingDatagrams(), 10000);

        // Project and model in zeroed fields, the serial number filling its field.
        const QByteArray expected = field("LQ560") + field("LQ560-4G") + "SIM0000000000001";
        const QNetworkDatagram markerReply = marker.receiveDatagram();
        QCOMPARE(markerReply.data(), expected);
        QList<QNetworkDatagram> replies;
        while (host.hasPendingDatagrams())
            replies.append(host.receiveDatagram());
        QCOMPARE(replies.size(), answered ? 1 : 0);
        if (answered) {
            QCOMPARE(replies[0].data(), expected);
            QCOMPARE(replies[0].senderAddress(), sim->address());
            QCOMPARE(replies[0].senderPort(), int(kDiscoveryPort));
        }
        QCOMPARE(sim->stop(), 0);
    }

    void twoPrintersGiveTwoRows_data()
    {
        QTest::addColumn<QString>("secondSn");
        QTest::addColumn<int>("picked"); // the row the user picks as soon as both are there
        QTest::newRow("two printers") << "SIM0000000000002" << -1;
        // Same serial number, other address: one printer on two networks.
        QTest::newRow("one printer, two addresses, picked during the scan") << "SIM0000000000001" << 1;
    }
    void twoPrintersGiveTwoRows()
    {
        QFETCH(QString, secondSn);
        QFETCH(int, picked);
        const auto first = printer(1);
        const auto second = printer(2);
        QVERIFY(first->start({"--sn", "SIM0000000000001"}));
        QVERIFY(second->start({"--sn", secondSn}));
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QPushButton* connectButton = buttonOf(dialog, "&Connect");
        QVERIFY(!connectButton->isEnabled());
        connect(table->model(), &QAbstractItemModel::rowsInserted, table, [table, picked] {
            if (table->rowCount() == 2 && picked >= 0)
                QMetaObject::invokeMethod(
                    table, [table, picked] { table->selectRow(picked); }, Qt::QueuedConnection);
        });
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), kScanTimeoutMs);
        QTRY_COMPARE(table->rowCount(), 2);

        QStringList types = columnTexts(table, 2);
        types.sort();
        QCOMPARE(types, QStringList({"Network (10.213.1.2)", "Network (10.213.2.2)"}));
        QStringList sns = columnTexts(table, 1);
        sns.sort();
        QCOMPARE(sns, (QStringList {"SIM0000000000001", secondSn}));
        // The end of the scan selected the first row, unless the user had picked one.
        QCOMPARE(selectedRows(table), QList<int>({qMax(picked, 0)}));
        QVERIFY(connectButton->isEnabled());
    }

    void scanWithoutPrintersEndsEmpty()
    {
        const int logSize = readFile("log.txt").size();
        DialogConnect dialog;
        dialog.show();
        QPushButton* scan = buttonOf(dialog, "&Scan");
        QPushButton* connectButton = buttonOf(dialog, "&Connect");
        QVERIFY(!scan->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(scan->isEnabled(), kScanTimeoutMs);
        QCOMPARE(dialog.findChild<QTableWidget*>()->rowCount(), 0);
        QVERIFY(!connectButton->isEnabled());
        QVERIFY(!readFile("log.txt").mid(logSize).contains("bytes received"));
    }

    void datagramsAreReadWithinTheirFields_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QStringList>("row"); // empty: no row

        QTest::newRow("another host's discovery datagram") << QByteArray::fromHex("78563412") << QStringList();
        QTest::newRow("reply cut short") << (field("LQ560") + field("LQ560-4G") + field("SIM1")).left(47)
                                         << QStringList();
        QTest::newRow("project and model only") << field("LQ560") + field("LQ560-4G") << QStringList();
        QTest::newRow("terminated texts")
            << field("LQ560") + field("LQ560-4G") + field("SIM1") << QStringList({"LQ560-4G", "SIM1"});
        QTest::newRow("serial number fills its field")
            << field("LQ560") + field("LQ560-4G") + "ABCDEFGHIJKLMNOP" << QStringList({"LQ560-4G", "ABCDEFGHIJKLMNOP"});
        // The whole identity: bytes after the serial number are not part of it.
        QTest::newRow("serial number fills its field, reserved bytes follow") << field("LQ560") + field("LQ560-4G")
                + "ABCDEFGHIJKLMNOP" + "RESERVED" << QStringList({"LQ560-4G", "ABCDEFGHIJKLMNOP"});
        QTest::newRow("model fills its field")
            << field("LQ560") + "LQ560-4G-CN-2024" + field("SIM1") << QStringList({"LQ560-4G-CN-2024", "SIM1"});
    }
    void datagramsAreReadWithinTheirFields()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QStringList, row);
        DialogConnect dialog;
        auto* table = dialog.findChild<QTableWidget*>();
        QUdpSocket sender;
        QVERIFY(sender.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QCOMPARE(sender.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), kDiscoveryPort),
            qint64(datagram.size()));

        QTRY_VERIFY(
            readFile("log.txt").contains(QStringLiteral("] %1 bytes received from 127.0.0.1:%2 (dialogconnect.cpp,")
                                             .arg(datagram.size())
                                             .arg(sender.localPort())
                                             .toLatin1()));
        if (row.isEmpty()) {
            QCOMPARE(table->rowCount(), 0);
        } else {
            QCOMPARE(table->rowCount(), 1);
            QCOMPARE(rowTexts(table, 0), row + QStringList("Network (127.0.0.1)"));
        }
    }

    void connectOpensTheChosenPrinter_data()
    {
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("Connect button") << false;
        QTest::newRow("double-click") << true;
    }
    void connectOpensTheChosenPrinter()
    {
        QFETCH(bool, doubleClick);
        const auto first = printer(1);
        const auto second = printer(2);
        QVERIFY(first->start({"--project", "LQ520", "--model", "LQ520", "--sn", "SIM0000000000001"}));
        QVERIFY(second->start({"--project", "LQ560", "--model", "LQ560-4G-CN", "--sn", "SIM0000000000002"}));
        DialogConnect dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* table = dialog.findChild<QTableWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), kScanTimeoutMs);
        QTRY_COMPARE(table->rowCount(), 2);

        // Not the row the scan selected, whichever answered first.
        const int row = columnTexts(table, 2).indexOf("Network (10.213.2.2)");
        QVERIFY(row >= 0);
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        if (doubleClick) {
            // Through the window, as the platform delivers it: press, release, press, release.
            const QPoint cell = table->visualItemRect(table->item(row, 0)).center();
            QTest::mouseDClick(
                dialog.windowHandle(), Qt::LeftButton, Qt::NoModifier, table->viewport()->mapTo(&dialog, cell));
        } else {
            table->selectRow(row);
            QTest::mouseClick(buttonOf(dialog, "&Connect"), Qt::LeftButton);
        }

        // Closed at once, before the link is up.
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(hostCmd.project, QString("LQ560"));
        QCOMPARE(hostCmd.model, QString("LQ560-4G-CN"));
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::Tcp));
        QCOMPARE(f_.link->hostAddress(), lab->printerAddress(2));
        QVERIFY(connected.wait(15000));
        QCOMPARE(f_.link->tcpPrinter()->state(), QAbstractSocket::ConnectedState);
        // The simulator listens on port 17900 only.
        QVERIFY(readFile(second->logPath()).contains(" #1 open 10.213.2.1:"));
        QVERIFY(!readFile(first->logPath()).contains(" open "));
        // The handshake of that link is no device of the dialog's.
        QCOMPARE(table->rowCount(), 2);
    }

    void failedOpenKeepsTheDialogOpen()
    {
        const auto sim = printer(1);
        QVERIFY(sim->start({"--project", "LQ540", "--model", "LQ540-W", "--sn", "SIM0000000000001"}));
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), kScanTimeoutMs);
        QTRY_COMPARE(table->rowCount(), 1);

        // Some link is already open, so the dialog's open fails.
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QVERIFY(f_.link->openTcp(sim->address()));
        QVERIFY(connected.wait(15000));
        QCOMPARE(table->rowCount(), 1);

        QTest::mouseClick(buttonOf(dialog, "&Connect"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.result() != QDialog::Accepted);
        // Set before the open was tried, and kept.
        QCOMPARE(hostCmd.project, QString("LQ540"));
        QCOMPARE(hostCmd.model, QString("LQ540-W"));
    }

    void secondScanClearsTheTableAndDrawsANewNonce()
    {
        const qint64 mark = logSize();
        const auto sim = printer(1);
        QVERIFY(sim->start());
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QPushButton* scan = buttonOf(dialog, "&Scan");
        QTRY_VERIFY_WITH_TIMEOUT(scan->isEnabled(), kScanTimeoutMs);
        // Listed once, though it answered every pass.
        QTRY_COMPARE(table->rowCount(), 1);
        QTRY_VERIFY(logMessagesSince(mark).count("48 bytes received from 10.213.1.2:17899") >= 2);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(nonceRuns(sim->logPath()).size(), 1);

        QTest::mouseClick(scan, Qt::LeftButton);
        QCOMPARE(table->rowCount(), 0);
        QVERIFY(!scan->isEnabled());
        QVERIFY(!buttonOf(dialog, "&Connect")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(scan->isEnabled(), kScanTimeoutMs);
        QTRY_COMPARE(table->rowCount(), 1);
        // One nonce for every pass of a scan, a new one for the next scan.
        QCOMPARE(nonceRuns(sim->logPath()).size(), 2);
    }
    void mainWindowConnectsThroughTheDialog()
    {
        const auto sim = printer(1);
        QVERIFY(sim->start({"--project", "LQ560", "--model", "LQ560-4G"}));
        MainWindow window;
        window.show();

        // The user waits for the scan, picks the printer and connects.
        QTimer user;
        user.setInterval(10);
        QElapsedTimer waited;
        waited.start();
        connect(&user, &QTimer::timeout, &window, [&] {
            auto* dialog = qobject_cast<DialogConnect*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            // Fail rather than hang when the printer never shows.
            if (waited.hasExpired(kScanTimeoutMs)) {
                dialog->reject();
                return;
            }
            auto* table = dialog->findChild<QTableWidget*>();
            const int row = columnTexts(table, 2).indexOf("Network (10.213.1.2)");
            if (!buttonOf(*dialog, "&Scan")->isEnabled() || row < 0)
                return;
            table->selectRow(row);
            QTest::mouseClick(buttonOf(*dialog, "&Connect"), Qt::LeftButton);
        });
        user.start();
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        window.doConnect();
        user.stop();

        QCOMPARE(f_.link->linkState(), qint32(Transceiver::Tcp));
        QTRY_COMPARE_WITH_TIMEOUT(window.statusLabel()->text(), QString("Connected (10.213.1.2)"), 15000);
        QCOMPARE(connected.size(), 1);
        QCOMPARE(hostCmd.model, QString("LQ560-4G"));
    }

    void usbPrintersAreProbed_data()
    {
        QTest::addColumn<QString>("secondSn");
        QTest::addColumn<QStringList>("sns");
        QTest::newRow("two printers") << "SIM0000000000002" << QStringList({"SIM0000000000001", "SIM0000000000002"});
        QTest::newRow("one printer on two paths") << "SIM0000000000001" << QStringList({"SIM0000000000001"});
    }
    void usbPrintersAreProbed()
    {
        QFETCH(QString, secondSn);
        QFETCH(QStringList, sns);
        DialogConnect::setScanTiming(kUsbScan);
        FakeUsbTree tree;
        SimProcess first;
        SimProcess second;
        QVERIFY(tree.addPrinter("lp0", "5a7c", "0002") && tree.addPrinter("lp1", "5a7c", "0002"));
        QVERIFY(first.start(
            {"--port", "0", "--usb-pty", tree.devRoot() + "/lp0", "--model", "LQ560-4G", "--sn", "SIM0000000000001"}));
        QVERIFY(second.start(
            {"--port", "0", "--usb-pty", tree.devRoot() + "/lp1", "--model", "LQ560-4G", "--sn", secondSn}));
        QCOMPARE(UsbPrinter::enumerate().size(), 2);

        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), kScanTimeoutMs);

        QCOMPARE(columnTexts(table, 1), sns);
        for (int row = 0; row < table->rowCount(); ++row)
            QCOMPARE(rowTexts(table, row), QStringList({"LQ560-4G", sns[row], "USB"}));
        // Probes find printers; they connect to none. The last one is closed.
        QCOMPARE(connected.size(), 0);
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
        QCOMPARE(selectedRows(table), QList<int>({0}));
    }

    void usbRowConnects()
    {
        DialogConnect::setScanTiming(kUsbScan);
        FakeUsbTree tree;
        SimProcess sim;
        QVERIFY(tree.addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(sim.start({"--usb-pty", tree.devRoot() + "/lp0", "--project", "LQ230", "--model", "LQ230-W"}));
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QPushButton* connectButton = buttonOf(dialog, "&Connect");
        // The user picks the row while the USB phase still runs.
        bool enabledInUsbPhase = true;
        connect(table->model(), &QAbstractItemModel::rowsInserted, table, [&] {
            QMetaObject::invokeMethod(
                table,
                [&] {
                    table->selectRow(0);
                    enabledInUsbPhase = connectButton->isEnabled();
                },
                Qt::QueuedConnection);
        });
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), kScanTimeoutMs);
        QCOMPARE(table->rowCount(), 1);
        QVERIFY(!enabledInUsbPhase);
        QCOMPARE(selectedRows(table), QList<int>({0}));
        QVERIFY(connectButton->isEnabled());

        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QTest::mouseClick(connectButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(hostCmd.project, QString("LQ230"));
        QCOMPARE(hostCmd.model, QString("LQ230-W"));
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::Usb));
        QCOMPARE(f_.link->usbPrinter()->interfaceName(), tree.interfacePath("lp0", "5a7c", "0002"));
        QVERIFY(connected.wait(15000));
        QCOMPARE(table->rowCount(), 1);
    }
};

int main(int argc, char* argv[])
{
    return netns::runInLab(2, [&](const netns::Lab* theLab, const std::string& reason) {
        lab = theLab;
        labMissing = QString::fromStdString(reason);
        QApplication app(argc, argv);
        app.setAttribute(Qt::AA_Use96Dpi, true);
        TestDialogConnect test;
        QTEST_SET_MAIN_SOURCE_PATH
        return QTest::qExec(&test, argc, argv);
    });
}

#include "tst_dialogconnect.moc"
