// The main window on a TCP link to the printer simulator, on a loopback
// address of the test's own, and the reconnect dialog it runs when the link
// drops: the printer coming back, another printer loaded whole, the wait
// after a quick drop, refused attempts and their pause, Cancel. Attempts are
// counted from the TCP transport's state changes.

#include "linkfixture.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pagesupport.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

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

private Q_SLOTS:
    void init()
    {
        MessageBox::resetForTests();
        f_.makeLink();
    }
    void cleanup()
    {
        f_.dropLink();
        DialogReconnect::setRetryDelay(DialogReconnect::kRetryDelayMs);
        ReconnectBackoff::setTimes(ReconnectBackoff::kBaseMs, ReconnectBackoff::kCapMs, ReconnectBackoff::kStableMs);
    }

    // Quick drops wait longer, up to the cap; a minute up starts again, just
    // under a minute does not.
    void backoffSchedule()
    {
        ReconnectBackoff::setTimes(1000, 30000, 60000);
        ReconnectBackoff backoff;
        QList<int> delays;
        for (int up : {5000, 10, 10, 10, 10, 10, 10, 10, 60000, 10, 59999, 59999})
            delays.append(backoff.delayAfterDrop(up));
        QCOMPARE(delays, QList<int>({0, 1000, 2000, 4000, 8000, 16000, 30000, 30000, 0, 1000, 2000, 4000}));
    }

    // A link that drops with nobody closing it, an edit left unsaved: the
    // window shows the drop and runs the reconnect dialog modally, which
    // retries while the printer is away and closes once a printer is back;
    // the window shows the address again and, another printer (its own
    // serial number) being there now, loads it whole without a question.
    // That printer closes every link after three replies: the window waits a
    // minute before the next attempt, which the dialog counts down, and
    // Cancel during the wait ends the attempts.
    void droppedLinkReconnectsAndBacksOff()
    {
        ReconnectBackoff::setTimes(60000, 60000, 600000);
        DialogReconnect::setRetryDelay(50);
        const QString address = f_.sim.address().toString();
        MainWindow window;
        QVERIFY(f_.sim.start({"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery"}) && f_.connectTcp());
        QCheckBox* cloud = window.widgetAudio()->findChildren<QCheckBox*>().value(1);
        const QPushButton* save = window.widgetAudio()->saveButton();
        QTRY_VERIFY_WITH_TIMEOUT(!save->isEnabled() && cloud->isChecked(), 15000);
        cloud->click();
        window.show();
        MessageBox::queueAnswer(QMessageBox::No);
        QSignalSpy states(f_.link->tcpPrinter(), &TcpPrinter::stateChanged);
        QStringList seen;
        // Queued after the window's own handler.
        connect(
            f_.link.get(), &Transceiver::connected, &window,
            [&] { seen << window.statusLabel()->text() << (save->isEnabled() ? "?" : "loaded whole"); },
            Qt::QueuedConnection);
        ModalCloser modal;
        modal.drive<DialogReconnect>([&](DialogReconnect* dialog) {
            const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
            if (modal.driven == 0) {
                seen << labels[0]->text() << window.statusLabel()->text()
                     << (dialog->parent() == &window && !window.tabWidget()->isEnabled() ? "tabs off" : "?");
                // Refused and tried again before the printer comes back.
                QVERIFY(QTest::qWaitFor([&] { return attempts(states) >= 2; }, 15000));
                QVERIFY(f_.sim.start(
                    {"--no-discovery", "--sn", "OTHER-0001", "--fault-drop-after", "3", "--log", "sim.log"}));
                return;
            }
            seen << labels[1]->text() << QString::number(readFile("sim.log").count(" open "));
            QTest::mouseClick(buttonOf(*dialog, "&Cancel"), Qt::LeftButton);
            seen << (dialog->isHidden() && f_.link->linkState() == Transceiver::None && idle(*dialog) ? "ended" : "?");
        });
        QCOMPARE(f_.sim.stop(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(seen,
            QStringList({"Reconnecting to " + address + "...", "Not Connected", "tabs off",
                "Connected (" + address + ")", "loaded whole", "Next attempt in 60 s", "1", "ended"}),
            30000);
        QTRY_COMPARE(window.statusLabel()->text(), QString("Not Connected"));
        QVERIFY(MessageBox::takeShown().isEmpty() && modal.seen.isEmpty());
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
        QVERIFY(!dialog.isVisible() && idle(dialog));
        QVERIFY(attempts(states) == 1 && f_.link->linkState() == Transceiver::None);
    }
};

QTEST_MAIN(TestDialogReconnect)
#include "tst_dialogreconnect.moc"
