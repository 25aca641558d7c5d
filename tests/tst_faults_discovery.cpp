// The connect dialog while a printer floods discovery with replies from
// thousands of serial numbers, inside network namespaces of the test's own
// (the dialog multicasts on every interface it sees). The dialog stays
// responsive, memory stays bounded and the real printer can still be picked.

#include "app/conf.h"
#include "linkfixture.h"
#include "netns.h"
#include "pagesupport.h"
#include "ui/dialogconnect.h"

#include <QTableWidget>

class TestFaultsDiscovery : public QObject
{
    Q_OBJECT

    LinkFixture f_;

private Q_SLOTS:
    void initTestCase()
    {
        if (!netns::lab)
            QSKIP(qPrintable("no private network for discovery: " + netns::missing));
        // Passes far enough apart that the flood of one has drained before the next.
        DialogConnect::setScanTiming({300, 8});
        conf.vidPidList = {0x5A7C0002u};
        f_.makeLink();
    }
    void cleanupTestCase() { f_.dropLink(); }

    void floodLeavesThePrinterPickable()
    {
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
    return netns::exec<TestFaultsDiscovery>(2, argc, argv);
}

#include "tst_faults_discovery.moc"
