// The main window on a TCP link to the printer simulator, on a loopback
// address of the test's own, and the reconnect dialog it runs when the link
// drops: the printer coming back, refused attempts and their pause, Cancel;
// and an edit left when another printer is connected. Attempts are counted
// from the TCP transport's state changes.

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
#include <QElapsedTimer>
#include <QTimer>

namespace {

using State = QAbstractSocket::SocketState;

QList<State> statesOf(const QSignalSpy& spy)
{
    QList<State> states;
    for (const QList<QVariant>& arguments : spy)
        states.append(arguments.at(0).value<State>());
    return states;
}

// Every attempt passes through the connecting state once.
int attempts(const QSignalSpy& spy)
{
    return int(statesOf(spy).count(QAbstractSocket::ConnectingState));
}

// Lets everything run that is due within `milliseconds`, timers of that
// length started before included: a later timer fires after them.
bool runFor(int milliseconds)
{
    QTimer sentinel;
    sentinel.setSingleShot(true);
    sentinel.setTimerType(Qt::PreciseTimer);
    QSignalSpy fired(&sentinel, &QTimer::timeout);
    sentinel.start(milliseconds);
    return fired.wait(milliseconds + 10000);
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

    // IPv4 addresses: droppedLinkReconnectsFromTheWindow. Nothing listens here.
    void labelShowsAnIpv6Address()
    {
        const QHostAddress address(QStringLiteral("::1"));
        DialogReconnect dialog {address};
        QCOMPARE(dialog.findChild<QLabel*>()->text(), QString("Reconnecting to ::1..."));
        // The first attempt starts before the dialog is shown.
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::Tcp));
        QCOMPARE(f_.link->hostAddress(), address);
        QTest::mouseClick(buttonOf(dialog, "&Cancel"), Qt::LeftButton);
    }

    // A link that drops with nobody closing it: the window shows it and runs
    // the reconnect dialog modally, which retries while the printer is away
    // and closes once it is back.
    void droppedLinkReconnectsFromTheWindow()
    {
        QVERIFY(startAndConnect());
        window_->show();
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect::setRetryDelay(50);
        QStringList shown;
        bool windowShowedTheDrop = false;
        bool triedRestart = false;
        bool restarted = false;
        // Runs inside the dialog's own event loop.
        QTimer printer;
        printer.setInterval(10);
        connect(&printer, &QTimer::timeout, window_.get(), [&] {
            auto* dialog = qobject_cast<DialogReconnect*>(QApplication::activeModalWidget());
            if (!dialog || triedRestart)
                return;
            if (shown.isEmpty()) {
                shown.append(dialog->findChild<QLabel*>()->text());
                windowShowedTheDrop = dialog->parent() == window_.get()
                    && window_->statusLabel()->text() == "Not Connected" && !window_->tabWidget()->isEnabled();
            }
            // Refused and tried again before the printer comes back.
            if (attempts(states) >= 2) {
                triedRestart = true;
                restarted = f_.sim.start({"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery"});
            }
        });
        printer.start();
        QCOMPARE(f_.sim.stop(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(triedRestart, 15000);
        QVERIFY(restarted);
        QVERIFY(windowShowedTheDrop);
        QCOMPARE(shown, QStringList {QStringLiteral("Reconnecting to %1...").arg(f_.sim.address().toString())});
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), f_.connectedText(), 15000);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(f_.link->tcpPrinter()->state(), QAbstractSocket::ConnectedState);
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

    // A printer that closes every link after three replies: the window's
    // attempts come further and further apart (counted in the printer's log),
    // the dialog tells when the next one is due, and Cancel during that wait
    // ends them at once.
    void linkDroppedSoonAfterConnectingBacksOff()
    {
        const int cap = 160;
        ReconnectBackoff::setTimes(20, cap, 60000);
        const QString log = f_.dir.filePath("sim.log");
        QVERIFY(f_.sim.start({"--no-discovery", "--fault-drop-after", "3", "--log", log}));
        const auto connections = [&] { return int(readFile(log).count(" open ")); };
        window_ = std::make_unique<MainWindow>();
        QElapsedTimer clock;
        QStringList texts;
        int atCancel = -1;
        bool closedAtOnce = false;
        // Runs inside the dialog's own event loop.
        QTimer user;
        user.setInterval(5);
        connect(&user, &QTimer::timeout, window_.get(), [&] {
            auto* dialog = qobject_cast<DialogReconnect*>(QApplication::activeModalWidget());
            const QList<QLabel*> labels = dialog ? dialog->findChildren<QLabel*>() : QList<QLabel*>();
            if (atCancel >= 0 || clock.elapsed() < 1000 || labels.size() != 2 || labels[1]->text().isEmpty())
                return;
            texts = QStringList {labels[0]->text(), labels[1]->text()};
            atCancel = connections();
            QTest::mouseClick(buttonOf(*dialog, "&Cancel"), Qt::LeftButton);
            closedAtOnce = !dialog->isVisible() && f_.link->linkState() == Transceiver::None;
        });
        user.start();
        clock.start();
        QVERIFY(f_.link->openTcp(f_.sim.address()));
        QTRY_VERIFY_WITH_TIMEOUT(atCancel >= 0, 15000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(closedAtOnce);
        QCOMPARE(texts,
            QStringList(
                {QStringLiteral("Reconnecting to %1...").arg(f_.sim.address().toString()), "Next attempt in 1 s"}));
        // Waits of 0, 20, 40 and 80 ms, then the cap.
        QVERIFY2(atCancel <= 5 + elapsed / cap + 1, qPrintable(QString("%1 in %2 ms").arg(atCancel).arg(elapsed)));
        QVERIFY(runFor(4 * cap));
        QCOMPARE(connections(), atCancel);
        QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
    }

    void refusedAttemptIsNotRetriedAtOnce()
    {
        // Only the pause could start a second attempt here.
        DialogReconnect::setRetryDelay(3600 * 1000);
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect dialog(f_.sim.address());
        QTRY_VERIFY_WITH_TIMEOUT(statesOf(states).contains(QAbstractSocket::UnconnectedState), 15000);
        // Hands the dialog its queued state change.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(attempts(states), 1);
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
    }

    // Cancel during a wait is in linkDroppedSoonAfterConnectingBacksOff.
    void cancelStopsTheAttemptUnderWay()
    {
        const int delay = 50;
        DialogReconnect::setRetryDelay(delay);
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect dialog(f_.sim.address());
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QCOMPARE(f_.link->tcpPrinter()->state(), QAbstractSocket::ConnectingState);
        QCOMPARE(attempts(states), 1);

        QTest::mouseClick(buttonOf(dialog, "&Cancel"), Qt::LeftButton);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
        // Past the pause, and past any state change still queued.
        QVERIFY(runFor(4 * delay));
        QCOMPARE(attempts(states), 1);
        QCOMPARE(f_.link->linkState(), qint32(Transceiver::None));
        QCOMPARE(f_.link->tcpPrinter()->state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_MAIN(TestDialogReconnect)
#include "tst_dialogreconnect.moc"
