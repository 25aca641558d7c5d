// The connect dialog while a printer floods discovery with replies from
// thousands of serial numbers, as fast as they go. Inside network
// namespaces of the test's own (netns.h): the dialog multicasts on every
// interface it sees. The dialog stays responsive, memory stays bounded and
// the real printer can still be picked.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/transceiver.h"
#include "loopwatch.h"
#include "netns.h"
#include "simprocess.h"
#include "testsupport.h"
#include "ui/dialogconnect.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const netns::Lab* lab = nullptr;
QString labMissing;

QPushButton* button(const QDialog& dialog, const QString& text)
{
    for (QPushButton* candidate : dialog.findChildren<QPushButton*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

} // namespace

class TestFaultsDiscovery : public QObject
{
    Q_OBJECT

    ScratchDirectory scratch_;
    std::unique_ptr<Transceiver> link_;
    int faultCases_ = 0;

private Q_SLOTS:
    void initTestCase()
    {
        if (!lab)
            QSKIP(qPrintable(QStringLiteral("no private network for discovery: ") + labMissing));
        QVERIFY(scratch_.isValid());
        QVERIFY(logOpen());
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
    }
    void cleanupTestCase()
    {
        logClose();
        qInfo("fault cases run: %d", faultCases_);
    }

    void init()
    {
        // Passes far enough apart that the flood of one has drained before the next.
        DialogConnect::setScanTiming({300, 8});
        conf.vidPidList = {0x5A7C0002u};
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        link_->setModifierSource([] { return Qt::KeyboardModifiers(); });
    }
    void cleanup()
    {
        link_->close();
        link_.reset();
        transceiver = nullptr;
    }

    void floodLeavesThePrinterPickable_data()
    {
        QTest::addColumn<int>("replies");
        QTest::newRow("flood of 3000 replies") << 3000;
    }
    void floodLeavesThePrinterPickable()
    {
        QFETCH(int, replies);
        ++faultCases_;
        netns::SimInNamespace flood(lab->printerNamespace(1), lab->printerAddress(1));
        netns::SimInNamespace printer(lab->printerNamespace(2), lab->printerAddress(2));
        QVERIFY(flood.start({"--sn", "SIM0000000000001", "--fault-discovery-flood", QString::number(replies)}));
        QVERIFY(printer.start({"--project", "LQ560", "--model", "LQ560-4G", "--sn", "SIM0000000000002"}));

        const qint64 rssBefore = residentBytes();
        int ticks = 0;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this, [&ticks] { ++ticks; });
        tick.start();
        QElapsedTimer clock;
        clock.start();

        DialogConnect dialog;
        dialog.show();
        auto* table = dialog.findChild<QTableWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(button(dialog, "&Scan")->isEnabled(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(flood.logPath()).contains("fault: discovery flood"), 10000);
        QVERIFY(ticks >= 2 + clock.elapsed() / 1000 * 5);
        // Never more rows than printers that answered.
        QVERIFY(table->rowCount() <= replies + 2);
        QVERIFY(residentBytes() - rssBefore < kResidentGrowthLimit);

        int row = -1;
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 1)->text() == "SIM0000000000002")
                row = r;
        }
        QVERIFY(row >= 0);
        table->selectRow(row);
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        QTest::mouseClick(button(dialog, "&Connect"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(link_->hostAddress(), lab->printerAddress(2));
        QVERIFY(connected.wait(15000));
        qInfo("%d rows listed, %d ticks in %lld ms", table->rowCount(), ticks, clock.elapsed());
    }
};

int main(int argc, char* argv[])
{
    return netns::runInLab(2, [&](const netns::Lab* theLab, const std::string& reason) {
        lab = theLab;
        labMissing = QString::fromStdString(reason);
        QApplication app(argc, argv);
        TestFaultsDiscovery test;
        QTEST_SET_MAIN_SOURCE_PATH
        return QTest::qExec(&test, argc, argv);
    });
}

#include "tst_faults_discovery.moc"
