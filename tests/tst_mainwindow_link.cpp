// The main window on a real TCP link to the printer simulator, on a loopback
// address of the test's own: the status text, the pages filled by the
// replies, and what happens when the link goes down.

#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/transceiver.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "simprocess.h"
#include "testsupport.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

class TestMainWindowLink : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;
    SimProcess sim_;
    std::unique_ptr<Transceiver> link_;
    std::unique_ptr<MainWindow> window_;

    QString shownModel() const
    {
        for (QLabel* label : window_->widgetDeviceInformation()->findChildren<QLabel*>()) {
            if (label->text() == "Model:")
                return qobject_cast<QLineEdit*>(label->buddy())->text();
        }
        return QString();
    }

    bool startAndConnect()
    {
        if (!sim_.start({"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery"}))
            return false;
        // What the connect dialog sets when the user picks the printer.
        hostCmd.project = "LQ560";
        hostCmd.model = "LQ560-4G";
        if (!link_->openTcp(sim_.address()))
            return false;
        const QString connected = QString("Connected (%1)").arg(sim_.address().toString());
        return QTest::qWaitFor([&] { return window_->statusLabel()->text() == connected; }, 15000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
        qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
        QVERIFY(dir_.isValid());
        QVERIFY(logOpen());
    }
    void cleanupTestCase() { logClose(); }

    void init()
    {
        MessageBox::resetForTests();
        link_ = std::make_unique<Transceiver>();
        transceiver = link_.get();
        link_->setModifierSource([] { return Qt::KeyboardModifiers(); });
        window_ = std::make_unique<MainWindow>();
    }
    void cleanup()
    {
        window_.reset();
        link_->close();
        link_.reset();
        transceiver = nullptr;
        sim_.stop();
    }

    void connectedShowsTheAddressAndLoadsThePages()
    {
        QVERIFY(startAndConnect());
        QVERIFY(window_->tabWidget()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(shownModel(), QString("LQ560-4G"), 15000);
        // The last reply of the reload refreshed its copy.
        QTRY_COMPARE_WITH_TIMEOUT(lastRead.audio.left(2).toHex(), QByteArray("0301"), 15000);
    }

    void disconnectShowsNotConnectedWithoutReconnecting()
    {
        QVERIFY(startAndConnect());
        ModalCloser modal;
        window_->disconnectAction()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window_->statusLabel()->text(), QString("Not Connected"), 15000);
        QVERIFY(window_->connectAction()->isEnabled());
        QCOMPARE(modal.seen, QStringList());
    }

    void droppedLinkOpensTheReconnectDialog()
    {
        QVERIFY(startAndConnect());
        ModalCloser modal;
        // The printer goes away; nobody closed the link.
        sim_.stop();
        QTRY_COMPARE_WITH_TIMEOUT(modal.seen, QStringList({"DialogReconnect"}), 15000);
        QCOMPARE(modal.parents.value(0), window_.get());
        QCOMPARE(window_->statusLabel()->text(), QString("Not Connected"));
        QVERIFY(!window_->tabWidget()->isEnabled());
    }

    // An edit made before the link dropped is not overwritten by the reload
    // of the new connection without the user's word.
    void reconnectAsksBeforeDroppingEdits_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("kept");
        QTest::newRow("keep") << int(QMessageBox::No) << true;
        QTest::newRow("reload") << int(QMessageBox::Yes) << false;
    }
    void reconnectAsksBeforeDroppingEdits()
    {
        QFETCH(int, answer);
        QFETCH(bool, kept);
        QVERIFY(startAndConnect());
        QCheckBox* cloud = window_->widgetAudio()->findChildren<QCheckBox*>().value(1);
        QVERIFY(cloud);
        QTRY_VERIFY_WITH_TIMEOUT(!window_->widgetAudio()->saveButton()->isEnabled() && cloud->isChecked(), 15000);
        cloud->click();
        QVERIFY(window_->widgetAudio()->saveButton()->isEnabled());

        ModalCloser modal;
        sim_.stop();
        QTRY_COMPARE_WITH_TIMEOUT(modal.seen, QStringList({"DialogReconnect"}), 15000);
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        link_->close();
        QVERIFY(startAndConnect());
        QCOMPARE(MessageBox::takeShown().size(), 1);
        if (kept) {
            QTest::qWait(200);
            QVERIFY(!cloud->isChecked());
            QVERIFY(window_->widgetAudio()->saveButton()->isEnabled());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(cloud->isChecked(), 15000);
            QVERIFY(!window_->widgetAudio()->saveButton()->isEnabled());
        }
    }
};

QTEST_MAIN(TestMainWindowLink)
#include "tst_mainwindow_link.moc"
