// The main window on the USB link to a printer simulator on a
// pseudo-terminal that misbehaves on purpose: packets in pieces or among
// garbage, a handshake never answered, the device gone in the middle of
// reading. The window's event loop keeps turning and it ends up connected
// with every page read, or showing "Not Connected", never offering a TCP
// reconnect.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/transceiver.h"
#include "link/usbprinter.h"
#include "loopwatch.h"
#include "modalcloser.h"
#include "pages/widgetdeviceinformation.h"
#include "simprocess.h"
#include "testsupport.h"
#include "ui/mainwindow.h"
#include "usb/usbtestsupport.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

class TestFaultsUsb : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    std::unique_ptr<FakeUsbTree> tree_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;
    std::unique_ptr<MainWindow> window_;
    int faultCases_ = 0;

    QString usbPath() const { return tree_->interfacePath("lp0", "5a7c", "0002"); }
    QString simLogPath() const { return dir_.filePath(QStringLiteral("sim.log")); }

    QString shownModel() const
    {
        for (QLabel* label : window_->widgetDeviceInformation()->findChildren<QLabel*>()) {
            if (label->text() == "Model:")
                return qobject_cast<QLineEdit*>(label->buddy())->text();
        }
        return QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        QVERIFY(dir_.isValid());
        QVERIFY(logOpen());
    }
    void cleanupTestCase()
    {
        logClose();
        qInfo("fault cases run: %d", faultCases_);
    }

    void init()
    {
        conf.vidPidList = {0x5A7C0002u};
        tree_ = std::make_unique<FakeUsbTree>();
        QVERIFY(tree_->isValid());
        for (QByteArray* copy : {&lastRead.printSettings, &lastRead.apn, &lastRead.serial, &lastRead.audio})
            copy->clear();
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        link_->setModifierSource([] { return Qt::KeyboardModifiers(); });
        window_ = std::make_unique<MainWindow>();
        hostCmd.project = "LQ560";
        hostCmd.model = "LQ560-4G";
    }
    void cleanup()
    {
        window_.reset();
        link_->close();
        link_.reset();
        transceiver = nullptr;
        sim_.stop();
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
        ++faultCases_;
        QVERIFY(tree_->addPrinter("lp0", "5a7c", "0002"));
        QVERIFY(sim_.start(QStringList {"--usb-pty", tree_->devRoot() + "/lp0", "--project", "LQ560", "--model",
                               "LQ560-4G", "--no-discovery", "--log", simLogPath()}
            + fault));
        LoopWatch watch;
        ModalCloser modal;
        QSignalSpy disconnected(link_.get(), &Transceiver::disconnected);
        QVERIFY(link_->openUsb(usbPath(), false));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(simLogPath()).contains(logged), 15000);
        if (staysConnected) {
            QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Connected (USB)"), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(shownModel(), QString("LQ560-4G"), 15000);
            QTRY_COMPARE_WITH_TIMEOUT(lastRead.audio.left(2).toHex(), QByteArray("0301"), 15000);
            for (const QByteArray* copy : {&lastRead.printSettings, &lastRead.apn, &lastRead.serial})
                QVERIFY(!copy->isEmpty());
        } else if (closesByItself) {
            QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 15000);
            QVERIFY(link_->usbPrinter()->interfaceName().isEmpty());
        } else {
            // Nothing ever comes: the window never claims a connection.
            QTest::qWait(500);
            QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
            link_->close();
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
