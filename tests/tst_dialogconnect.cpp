// The connect dialog's scans and connect, against printer simulators, also
// one that floods discovery. Everything that touches a socket runs in network
// namespaces of its own (netns.h): the dialog multicasts on every interface it
// sees, so it is never made where it could reach a real network. Reply bytes
// are written out by hand from the reply layout.

#include "app/conf.h"
#include "link/usbprinter.h"
#include "modalcloser.h"
#include "netns.h"
#include "pagesupport.h"
#include "ui/dialogconnect.h"
#include "ui/mainwindow.h"
#include "usb/usbtestsupport.h"

#include <QTableWidget>

#include <deque>

class TestDialogConnect : public QObject
{
    Q_OBJECT

    LinkFixture f_;

    // Each row's cells joined by "|", sorted.
    static QStringList rowTexts(const QTableWidget* table)
    {
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, 0)->text() + '|' + table->item(row, 1)->text() + '|' + table->item(row, 2)->text();
        rows.sort();
        return rows;
    }
    static int selectedRow(const QTableWidget* table) { return table->selectionModel()->selectedRows().value(0).row(); }
    // How many discovery nonces a simulator was asked with.
    static int nonces(const QString& simLog)
    {
        QStringList found = QString(readFile(simLog)).split('\n').filter("discovery: nonce ");
        found.replaceInStrings(QRegularExpression(".*discovery: nonce (0x[0-9a-f]{8}) from .*"), "\\1");
        return QSet<QString>(found.begin(), found.end()).size();
    }

private Q_SLOTS:
    void init()
    {
        if (!netns::lab && !QByteArray(QTest::currentTestFunction()).startsWith("parseReply"))
            QSKIP(qPrintable("no private network for discovery, so the dialog is not made: " + netns::missing));
        // Six passes 50 ms apart instead of sixty 500 ms apart.
        DialogConnect::setScanTiming({50, 6});
        // Read by the USB transport when it is made.
        conf.vidPidList = {0x5A7C0002u};
        f_.makeLink();
        hostCmd.project = hostCmd.model = QString();
    }
    void cleanup() { f_.dropLink(); }

    // Within the received bytes and each text's field; shorter is no reply.
    void parseReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("reply"); // project|model|serial number; empty: none
        const QByteArray names = field("LQ560", 16) + field("LQ560-4G", 16);
        // clang-format off
        QTest::newRow("cut short") << (names + field("SIM1", 16)).left(47) << "";
        QTest::newRow("reserved bytes follow") << names + "ABCDEFGHIJKLMNOPRESERVED" << "LQ560|LQ560-4G|ABCDEFGHIJKLMNOP";
        QTest::newRow("model fills its field") << field("LQ560", 16) + "LQ560-4G-CN-2024" + field("SIM1", 16) << "LQ560|LQ560-4G-CN-2024|SIM1";
        // clang-format on
    }
    void parseReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, reply);
        const Discovery::Reply parsed = Discovery::parseReply(datagram);
        QCOMPARE(parsed.valid ? parsed.project + '|' + parsed.model + '|' + parsed.sn : QString(), reply);
    }

    // From the window's Connect command. Each printer that answers on its
    // interface is listed once, though it answered every pass; the computer's
    // own datagrams are not read. A second scan clears the table and draws a
    // new nonce, kept for all its passes. Connect closes the dialog at once,
    // before the link is up; project and model are set even when the open
    // fails because another link is open, whose handshake adds no row.
    void scanAndConnect_data()
    {
        QTest::addColumn<QStringList>("sns"); // printer n: project LQ5n0, model LQ5n0-4G
        QTest::addColumn<int>("picked"); // the row the user picks as soon as all are there
        QTest::addColumn<QString>("how"); // how the user connects to 10.213.2.2, if at all
        QTest::addColumn<QStringList>("rows");
        const QStringList sns {"SIM1", "SIM2"};
        const QStringList rows {"LQ510-4G|SIM1|Network (10.213.1.2)", "LQ520-4G|SIM2|Network (10.213.2.2)"};
        QTest::newRow("no printers") << QStringList() << -1 << "" << QStringList();
        QTest::newRow("two printers, double-click") << sns << -1 << "double-click" << rows;
        QTest::newRow("two printers, another link open") << sns << -1 << "busy" << rows;
        // Same serial number, other address: one printer on two networks.
        QTest::newRow("one printer, two addresses, picked during the scan")
            << QStringList {"SIM1", "SIM1"} << 1 << "" << QStringList {rows[0], "LQ520-4G|SIM1|Network (10.213.2.2)"};
    }
    void scanAndConnect()
    {
        QFETCH(QStringList, sns);
        QFETCH(int, picked);
        QFETCH(QString, how);
        QFETCH(QStringList, rows);
        const bool busy = how == "busy";
        const qint64 mark = logSize();
        std::deque<netns::SimInNamespace> sims;
        for (const QString& sn : sns) {
            const QString project = "LQ5" + QString::number(10 * (sims.size() + 1));
            QVERIFY(sims.emplace_back(*netns::lab, int(sims.size()) + 1)
                        .start({"--project", project, "--model", project + "-4G", "--sn", sn}));
        }
        MainWindow window;
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        ModalCloser modal;
        modal.drive<DialogConnect>([&](DialogConnect* dialog) {
            // Cancelled unless a connect closed it, also when a check fails.
            const auto cancel = qScopeGuard([dialog] { dialog->reject(); });
            auto* table = dialog->findChild<QTableWidget*>();
            QPushButton* scan = buttonOf(*dialog, "&Scan");
            QPushButton* connectButton = buttonOf(*dialog, "&Connect");
            // The replies may all be in before this runs.
            const auto pickWhenAllThere = [&] {
                if (table->rowCount() == rows.size() && picked >= 0)
                    QTimer::singleShot(0, table, [&] { table->selectRow(picked); });
            };
            connect(table->model(), &QAbstractItemModel::rowsInserted, table, pickWhenAllThere);
            pickWhenAllThere();
            for (int run = 1; run <= 2; ++run) {
                QVERIFY(!scan->isEnabled() && !connectButton->isEnabled());
                QTRY_VERIFY_WITH_TIMEOUT(scan->isEnabled(), 30000);
                // Every pass answered, by the printers only.
                QTRY_VERIFY(logMessagesSince(mark).filter(" bytes received from ").size() >= 2 * run * sns.size());
                const QStringList received = logMessagesSince(mark).filter(" bytes received from ");
                QCOMPARE(received.filter(QRegularExpression("^48 .* 10\\.213\\.[12]\\.2:17899$")), received);
                QCOMPARE(rowTexts(table), rows);
                // The end of the scan selected the first row, unless the user had picked one.
                QCOMPARE(selectedRow(table), rows.isEmpty() ? -1 : qMax(picked, 0));
                QCOMPARE(connectButton->isEnabled(), !rows.isEmpty());
                for (const auto& sim : sims)
                    QCOMPARE(nonces(sim.logPath()), run);
                if (run == 1)
                    QTest::mouseClick(scan, Qt::LeftButton);
                QCOMPARE(table->rowCount(), run == 1 ? 0 : rows.size());
            }
            if (how.isEmpty())
                return;
            if (busy)
                QVERIFY(f_.link->openTcp(netns::lab->printerAddress(1)) && connected.wait(15000));
            // Not the row the scan selected, whichever answered first.
            QTableWidgetItem* item = table->findItems("Network (10.213.2.2)", Qt::MatchExactly).value(0);
            if (how == "double-click") {
                // Through the window, as the platform delivers it: press, release, press, release.
                const QPoint cell = table->viewport()->mapTo(dialog, table->visualItemRect(item).center());
                QTest::mouseDClick(dialog->windowHandle(), Qt::LeftButton, Qt::NoModifier, cell);
            } else {
                table->selectRow(item->row());
                QTest::mouseClick(connectButton, Qt::LeftButton);
            }
            QCOMPARE(dialog->isVisible(), busy);
            QCOMPARE(table->rowCount(), 2);
        });
        window.doConnect();

        QCOMPARE(modal.driven, 1);
        QCOMPARE(f_.link->linkState(), qint32(how.isEmpty() ? Transceiver::None : Transceiver::Tcp));
        if (how.isEmpty())
            return;
        QCOMPARE(hostCmd.project + ' ' + hostCmd.model, QString("LQ520 LQ520-4G"));
        QTRY_COMPARE_WITH_TIMEOUT(window.statusLabel()->text(),
            "Connected (" + netns::lab->printerAddress(busy ? 1 : 2).toString() + ")", 15000);
        // The simulator listens on port 17900 only.
        QCOMPARE(readFile(sims[1].logPath()).contains(" #1 open 10.213.2.1:"), !busy);
        QCOMPARE(readFile(sims[0].logPath()).contains(" open "), busy);
    }

    // Probes find printers, each once however many paths it has, and connect
    // to none; a row picked while they run enables Connect only once they are
    // over, and Connect opens that device.
    void usbScan()
    {
        // A USB probe gets the full 500 ms to answer.
        DialogConnect::setScanTiming({500, 2});
        FakeUsbTree tree;
        SimProcess sims[3];
        for (int i = 0; i < 3; ++i) {
            QVERIFY(tree.addPrinter(QString("lp%1").arg(i), "5a7c", "0002")
                && sims[i].start({"--port", "0", "--project", "LQ230", "--model", "LQ230-W", "--usb-pty",
                    tree.devRoot() + "/lp" + QString::number(i), "--sn", i < 2 ? "SIM1" : "SIM2"}));
        }
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QPushButton* connectButton = buttonOf(dialog, "&Connect");
        bool enabledInUsbPhase = false;
        connect(table->model(), &QAbstractItemModel::rowsInserted, table, [&] {
            QTimer::singleShot(0, table, [&] {
                table->selectRow(0);
                enabledInUsbPhase |= connectButton->isEnabled();
            });
        });
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), 30000);
        QCOMPARE(rowTexts(table), QStringList({"LQ230-W|SIM1|USB", "LQ230-W|SIM2|USB"}));
        QVERIFY(!enabledInUsbPhase && selectedRow(table) == 0 && connectButton->isEnabled());
        // The last probe is closed.
        QVERIFY(connected.isEmpty() && f_.link->linkState() == Transceiver::None);

        QTest::mouseClick(connectButton, Qt::LeftButton);
        QCOMPARE(hostCmd.project + ' ' + hostCmd.model, QString("LQ230 LQ230-W"));
        QCOMPARE(f_.link->usbPrinter()->interfaceName(), tree.interfacePath("lp0", "5a7c", "0002"));
        QVERIFY(connected.wait(15000) && f_.link->linkState() == Transceiver::Usb);
    }

    // A printer floods discovery with replies from thousands of serial
    // numbers: the dialog stays responsive, memory stays bounded and the real
    // printer can still be picked.
    void floodLeavesThePrinterPickable()
    {
        // Passes far enough apart that the flood of one has drained before the next.
        DialogConnect::setScanTiming({300, 8});
        netns::SimInNamespace flood(*netns::lab, 1);
        netns::SimInNamespace printer(*netns::lab, 2);
        QVERIFY(flood.start({"--sn", "SIM0000000000001", "--fault-discovery-flood", "3000"}));
        QVERIFY(printer.start({"--project", "LQ560", "--model", "LQ560-4G", "--sn", "SIM0000000000002"}));

        LoopWatch watch;
        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(buttonOf(dialog, "&Scan")->isEnabled(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(flood.logPath()).contains("fault: discovery flood"), 10000);
        // Never more rows than printers that answered.
        QVERIFY(watch.turned() && watch.growth() < kResidentGrowthLimit && table->rowCount() <= 3002);
        const QList<QTableWidgetItem*> found = table->findItems("SIM0000000000002", Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        table->selectRow(found[0]->row());
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QTest::mouseClick(buttonOf(dialog, "&Connect"), Qt::LeftButton);
        QVERIFY(connected.wait(15000));
        QCOMPARE(f_.link->hostAddress(), netns::lab->printerAddress(2));
    }
};

int main(int argc, char* argv[])
{
    return netns::exec<TestDialogConnect>(2, argc, argv);
}

#include "tst_dialogconnect.moc"
