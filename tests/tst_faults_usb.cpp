// The main window on the USB link to a simulator on a pseudo-terminal that
// misbehaves on purpose. The event loop keeps turning, and the window ends
// up connected with every page read, or "Not Connected", never offering a
// TCP reconnect.

#include "app/conf.h"
#include "link/lastread.h"
#include "link/usbprinter.h"
#include "loopwatch.h"
#include "modalcloser.h"
#include "pages/widgetdeviceinformation.h"
#include "pagesupport.h"
#include "ui/mainwindow.h"
#include "usb/usbtestsupport.h"

#include <QAction>

class TestFaultsUsb : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<FakeUsbTree> tree_;
    std::unique_ptr<MainWindow> window_;

    QString simLogPath() const { return f_.dir.filePath(QStringLiteral("sim.log")); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }

    void init()
    {
        conf.vidPidList = {0x5A7C0002u};
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->isValid());
        for (QByteArray* copy : {&lastRead.printSettings, &lastRead.apn, &lastRead.serial, &lastRead.audio})
            copy->clear();
        f_.makeLink();
        window_ = std::make_unique<MainWindow>();
        hostCmd.project = "LQ560";
        hostCmd.model = "LQ560-4G";
    }
    void cleanup()
    {
        window_.reset();
        f_.dropLink();
        tree_.reset();
    }

    void windowThroughTheFault_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<bool>("staysConnected");
        QTest::addColumn<bool>("closesByItself");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("split") << QStringList {"--fault-split", "--fault-seed", "3"} << true << false
                               << QByteArray("packet split at");
        QTest::newRow("garbage") << QStringList {"--fault-garbage", "--fault-seed", "4"} << true << false
                                 << QByteArray("garbage bytes before");
        // The handshake (20 bytes) and two read requests, then half of the third.
        QTest::newRow("pty closed after 70 bytes") << QStringList {"--fault-pty-close-after", "70"} << false << true
                                                   << QByteArray("USB closed after 70 bytes");
        QTest::newRow("pty closed inside the handshake") << QStringList {"--fault-pty-close-after", "10"} << false
                                                         << true << QByteArray("USB closed after 10 bytes");
        QTest::newRow("handshake never") << QStringList {"--fault-handshake", "never"} << false << false
                                         << QByteArray("not answered");
    }
    void windowThroughTheFault()
    {
        QFETCH(QStringList, fault);
        QFETCH(bool, staysConnected);
        QFETCH(bool, closesByItself);
        QFETCH(QByteArray, logged);
        QVERIFY(tree_->addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(f_.sim.start(QStringList {"--usb-pty", tree_->devRoot() + "/lp0", "--project", "LQ560", "--model",
                                 "LQ560-4G", "--no-discovery", "--log", simLogPath()}
            + fault));
        LoopWatch watch;
        ModalCloser modal;
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        QVERIFY(f_.link->openUsb(tree_->interfacePath("lp0", "5a7c", "0002"), false));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(simLogPath()).contains(logged), 15000);
        if (staysConnected) {
            QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Connected (USB)"), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(
                fieldOf(*window_->widgetDeviceInformation(), "Model:")->text(), QString("LQ560-4G"), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(lastRead.audio.left(2).toHex(), QByteArray("0301"), 15000);
            for (const QByteArray* copy : {&lastRead.printSettings, &lastRead.apn, &lastRead.serial})
                QVERIFY(!copy->isEmpty());
        } else if (closesByItself) {
            QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
            QVERIFY(f_.link->usbPrinter()->interfaceName().isEmpty());
        } else {
            // Nothing ever comes: the window never claims a connection.
            QTest::qWait(500);
            QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
            f_.link->close();
        }
        if (!staysConnected) {
            QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Not Connected"), 15000);
            QVERIFY(window_->connectAction()->isEnabled());
            QVERIFY(!window_->tabWidget()->isEnabled());
        }
        QCOMPARE(modal.seen, QStringList());
        QVERIFY(watch.turned());
        QVERIFY(watch.growth() < kResidentGrowthLimit);
    }
};

QTEST_MAIN(TestFaultsUsb)
#include "tst_faults_usb.moc"
