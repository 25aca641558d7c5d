// The reconnect dialog against the printer simulator on a loopback address:
// the printer coming back, refused attempts and their pause, Cancel. The
// attempts are counted from the TCP transport's state changes.

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/tcpprinter.h"
#include "link/transceiver.h"
#include "simprocess.h"
#include "testsupport.h"
#include "ui/dialogreconnect.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

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

QPushButton* cancelButton(const QDialog& dialog)
{
    const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        if (button->text() == QLatin1String("&Cancel"))
            return button;
    }
    return nullptr;
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

    ScratchDirectory scratch_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(scratch_.isValid());
        QVERIFY(logOpen());
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
    }
    void cleanupTestCase() { logClose(); }

    void init()
    {
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        link_->setModifierSource([] { return Qt::KeyboardModifiers(); });
    }
    void cleanup()
    {
        link_->close();
        link_.reset();
        transceiver = nullptr;
        sim_.stop();
        DialogReconnect::setRetryDelay(DialogReconnect::kRetryDelayMs);
    }

    void labelShowsTheAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("text");
        // Nothing listens on either.
        const QString own = SimProcess::testAddress().toString();
        QTest::newRow("IPv4") << own << QStringLiteral("Reconnecting to %1...").arg(own);
        QTest::newRow("IPv6") << "::1"
                              << "Reconnecting to ::1...";
    }
    void labelShowsTheAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, text);
        DialogReconnect dialog {QHostAddress(address)};
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        QLabel* label = dialog.findChild<QLabel*>();
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        // The first attempt starts before the dialog is shown.
        QCOMPARE(link_->linkState(), qint32(Transceiver::Tcp));
        QCOMPARE(link_->hostAddress(), QHostAddress(address));
        QTest::mouseClick(cancelButton(dialog), Qt::LeftButton);
    }

    void printerComesBack()
    {
        QVERIFY(sim_.start());
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        QVERIFY(link_->openTcp(sim_.address()));
        QVERIFY(connected.wait(15000));

        QSignalSpy down(link_.get(), &Transceiver::disconnected);
        QCOMPARE(sim_.stop(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(down.size(), 1, 15000);

        DialogReconnect::setRetryDelay(50);
        QSignalSpy states(link_->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect dialog(link_->tcpPrinter()->host());
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        // Refused while the printer is away, and tried again.
        QTRY_VERIFY_WITH_TIMEOUT(attempts(states) >= 2, 15000);
        QVERIFY(dialog.isVisible());

        QVERIFY(sim_.start());
        QVERIFY(finished.wait(15000));
        QVERIFY(!dialog.isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 2, 15000);
        QCOMPARE(link_->linkState(), qint32(Transceiver::Tcp));
        QCOMPARE(link_->tcpPrinter()->state(), QAbstractSocket::ConnectedState);
    }

    void mainWindowShowsTheAddressAgain()
    {
        QVERIFY(sim_.start({"--project", "LQ520", "--model", "LQ520"}));
        MainWindow window;
        window.show();
        hostCmd.project = "LQ520";
        hostCmd.model = "LQ520";
        QSignalSpy connected(link_.get(), &Transceiver::connected);
        QVERIFY(link_->openTcp(sim_.address()));
        const QString connectedText = QStringLiteral("Connected (%1)").arg(sim_.address().toString());
        QTRY_COMPARE_WITH_TIMEOUT(window.statusLabel()->text(), connectedText, 15000);

        // The window runs the reconnect dialog modally; the printer comes back
        // while it is up.
        DialogReconnect::setRetryDelay(50);
        QStringList shown;
        bool restarted = false;
        QTimer printer;
        printer.setInterval(10);
        connect(&printer, &QTimer::timeout, &window, [&] {
            auto* dialog = qobject_cast<DialogReconnect*>(QApplication::activeModalWidget());
            if (!dialog || !shown.isEmpty())
                return;
            shown.append(dialog->findChild<QLabel*>()->text());
            restarted = sim_.start({"--project", "LQ520", "--model", "LQ520"});
        });
        printer.start();
        QCOMPARE(sim_.stop(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 15000);
        QVERIFY(restarted);
        QCOMPARE(shown, QStringList {QStringLiteral("Reconnecting to %1...").arg(sim_.address().toString())});
        QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 2, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(window.statusLabel()->text(), connectedText, 15000);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void refusedAttemptIsNotRetriedAtOnce()
    {
        // Only the pause could start a second attempt here.
        DialogReconnect::setRetryDelay(3600 * 1000);
        QSignalSpy states(link_->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect dialog(sim_.address());
        QTRY_VERIFY_WITH_TIMEOUT(statesOf(states).contains(QAbstractSocket::UnconnectedState), 15000);
        // Hands the dialog its queued state change.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(attempts(states), 1);
        QCOMPARE(link_->linkState(), qint32(Transceiver::None));
    }

    void cancelStopsTheAttempts_data()
    {
        QTest::addColumn<bool>("waitForRefusal");
        QTest::newRow("while the first attempt is under way") << false;
        QTest::newRow("while waiting to retry") << true;
    }
    void cancelStopsTheAttempts()
    {
        QFETCH(bool, waitForRefusal);
        const int delay = 50;
        DialogReconnect::setRetryDelay(delay);
        QSignalSpy states(link_->tcpPrinter(), &TcpPrinter::stateChanged);
        DialogReconnect dialog(sim_.address());
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        if (waitForRefusal) {
            QTRY_VERIFY_WITH_TIMEOUT(statesOf(states).contains(QAbstractSocket::UnconnectedState), 15000);
            QCoreApplication::sendPostedEvents();
        } else {
            QCOMPARE(link_->tcpPrinter()->state(), QAbstractSocket::ConnectingState);
        }
        QCOMPARE(attempts(states), 1);

        QTest::mouseClick(cancelButton(dialog), Qt::LeftButton);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(link_->linkState(), qint32(Transceiver::None));
        // Past the pause, and past any state change still queued.
        QVERIFY(runFor(4 * delay));
        QCOMPARE(attempts(states), 1);
        QCOMPARE(link_->linkState(), qint32(Transceiver::None));
        QCOMPARE(link_->tcpPrinter()->state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_MAIN(TestDialogReconnect)
#include "tst_dialogreconnect.moc"
