// The main window on a TCP link to the printer simulator, on a loopback
// address of the test's own, and the reconnect dialog it runs when the link
// drops: the printer coming back, the wait after a quick drop, refused
// attempts and their pause, Cancel; and an edit left when another printer is
// connected. Attempts are counted from the TCP transport's state changes.

#include "link/tcpprinter.h"
#include "linkfixture.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pagesupport.h"
#include "ui/dialogreconnect.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>

#include <algorithm>

namespace {

// Every attempt passes through the connecting state once.
int attempts(const QSignalSpy& spy)
{
    return int(std::count_if(spy.begin(), spy.end(), [](const QList<QVariant>& arguments) {
        return arguments.at(0).value<QAbstractSocket::SocketState>() == QAbstractSocket::ConnectingState;
    }));
}

// No retry is pending and no state change is left that could start one.
bool idle(const DialogReconnect& dialog)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    const QList<QTimer*> timers = dialog.findChildren<QTimer*>();
    return std::none_of(timers.begin(), timers.end(), [](const QTimer* timer) { return timer->isActive(); });
}

} // namespace

class TestDialogReconnect : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<MainWindow> window_;

    // The window linked to a printer, as the connect dialog leaves it.
    bool startAndConnect(const QStringList& extra = {})
    {
        if (!window_)
            window_ = std::make_unique<MainWindow>();
        if (!f_.sim.start(QStringList {"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery"} + extra))
            return false;
        hostCmd.project = "LQ560";
        hostCmd.model = "LQ560-4G";
        return f_.link->openTcp(f_.sim.address())
            && QTest::qWaitFor([&] { return window_->statusLabel()->text() == f_.connectedText(); }, 15000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init()
    {
        MessageBox::resetForTests();
        f_.makeLink();
    }
    void cleanup()
    {
        window_.reset();
        f_.dropLink();
        DialogReconnect::setRetryDelay(DialogReconnect::kRetryDelayMs);
        ReconnectBackoff::setTimes(ReconnectBackoff::kBaseMs, ReconnectBackoff::kCapMs, ReconnectBackoff::kStableMs);
    }

    // An unsaved edit on one printer, Disconnect, which offers no reconnect,
    // and another printer (its own serial number) connected: it is loaded
    // whole without a question.
    void anotherPrinterIsLoadedWhole()
    {
        QVERIFY(startAndConnect());
        QCheckBox* cloud = window_->widgetAudio()->findChildren<QCheckBox*>().value(1);
        QVERIFY(cloud);
        QTRY_VERIFY_WITH_TIMEOUT(!window_->widgetAudio()->saveButton()->isEnabled() && cloud->isChecked(), 15000);
        cloud->click();
        ModalCloser modal;
        window_->disconnectAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Not Connected"), 15000);
        QVERIFY(window_->connectAction()->isEnabled());

        MessageBox::queueAnswer(QMessageBox::No);
        QVERIFY(startAndConnect({"--sn", "OTHER-0001"}));
        QTRY_COMPARE_WITH_TIMEOUT(
            fieldOf(*window_->widgetDeviceInformation(), "SN:")->text(), QString("OTHER-0001"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(cloud->isChecked(), 15000);
        QVERIFY(!window_->widgetAudio()->saveButton()->isEnabled());
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(modal.seen, QStringList());
    }

    void backoffSchedule_data()
    {
        QTest::addColumn<QList<int>>("upMs");
        QTest::addColumn<QList<int>>("delaysMs");
        // clang-format off
        QTest::newRow("quick drops wait longer, up to the cap")
            << QList<int> {5000, 10, 10, 10, 10, 10, 10, 10}
            << QList<int> {0, 1000, 2000, 4000, 8000, 16000, 30000, 30000};
        QTest::newRow("a minute up starts again")
            << QList<int> {10, 10, 10, 60000, 10} << QList<int> {0, 1000, 2000, 0, 1000};
        QTest::newRow("just under a minute") << QList<int> {59999, 59999, 59999} << QList<int> {0, 1000, 2000};
        // clang-format on
    }
    void backoffSchedule()
    {
        QFETCH(QList<int>, upMs);
        QFETCH(QList<int>, delaysMs);
        ReconnectBackoff::setTimes(1000, 30000, 60000);
        ReconnectBackoff backoff;
        QList<int> delays;
        for (int up : upMs)
            delays.append(backoff.delayAfterDrop(up));
        QCOMPARE(delays, delaysMs);
    }

    // A link that drops with nobody closing it: the window shows it and runs
    // the reconnect dialog modally, which retries while the printer is away
    // and closes once it is back; the window shows the address again. That
    // printer closes every link after three replies: the window waits a
    // minute before the next attempt, which the dialog counts down, and
    // Cancel during the wait ends the attempts.
    void droppedLinkReconnectsAndBacksOff()
    {
        ReconnectBackoff::setTimes(60000, 60000, 600000);
        DialogReconnect::setRetryDelay(50);
        const QString log = f_.dir.filePath("sim.log");
        const QString address = f_.sim.address().toString();
        QVERIFY(startAndConnect());
        window_->show();
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        QStringList seen;
        // Queued after the window's own handler.
        connect(
            f_.link.get(), &Transceiver::connected, window_.get(), [&] { seen << window_->statusLabel()->text(); },
            Qt::QueuedConnection);
        ModalCloser modal;
        modal.drive<DialogReconnect>([&](DialogReconnect* dialog) {
            const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
            if (modal.driven == 0) {
                seen << labels[0]->text() << window_->statusLabel()->text()
                     << (dialog->parent() == window_.get() && !window_->tabWidget()->isEnabled() ? "tabs off" : "?");
                // Refused and tried again before the printer comes back.
                QVERIFY(QTest::qWaitFor([&] { return attempts(states) >= 2; }, 15000));
                QVERIFY(f_.sim.start({"--no-discovery", "--fault-drop-after", "3", "--log", log}));
                return;
            }
            seen << labels[1]->text() << QString::number(readFile(log).count(" open "));
            QTest::mouseClick(buttonOf(*dialog, "&Cancel"), Qt::LeftButton);
            seen << (!dialog->isVisible() && f_.link->linkState() == Transceiver::None && idle(*dialog) ? "ended"
                                                                                                        : "?");
        });
        QCOMPARE(f_.sim.stop(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(seen,
            QStringList({"Reconnecting to " + address + "...", "Not Connected", "tabs off",
                "Connected (" + address + ")", "Next attempt in 60 s", "1", "ended"}),
            30000);
        QTRY_COMPARE(window_->statusLabel()->text(), QString("Not Connected"));
    }

    // The first attempt starts before the dialog is shown, to the address
    // shown (nothing listens at either). A refused attempt is retried only
    // after the pause. Cancel, during an attempt or the pause, ends them.
    void cancelEndsTheAttempts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("afterRefusal");
        QTest::newRow("attempt under way, IPv6") << "::1" << false;
        QTest::newRow("pause after a refused attempt") << SimProcess::testAddress().toString() << true;
    }
    void cancelEndsTheAttempts()
    {
        QFETCH(QString, address);
        QFETCH(bool, afterRefusal);
        DialogReconnect::setRetryDelay(3600 * 1000);
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect dialog {QHostAddress(address)};
        QCOMPARE(f_.link->tcpPrinter()->state(), QAbstractSocket::ConnectingState);
        QCOMPARE(dialog.findChild<QLabel*>()->text(), "Reconnecting to " + address + "...");
        if (afterRefusal) {
            QTRY_COMPARE_WITH_TIMEOUT(f_.link->tcpPrinter()->state(), QAbstractSocket::UnconnectedState, 15000);
            QVERIFY(!idle(dialog));
            QCOMPARE(dialog.findChildren<QLabel*>().value(1)->text(), QString("Next attempt in 3600 s"));
        }
        dialog.show();
        QTest::mouseClick(buttonOf(dialog, "&Cancel"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(idle(dialog));
        QCOMPARE(attempts(states), 1);
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
    }
};

QTEST_MAIN(TestDialogReconnect)
#include "tst_dialogreconnect.moc"
