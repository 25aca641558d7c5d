// The main window on a real TCP link to the printer simulator, on a loopback
// address of the test's own: the status text, the pages filled by the
// replies, and what happens when the link goes down.

#include "link/lastread.h"
#include "linkfixture.h"
#include "modalcloser.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pagesupport.h"
#include "ui/mainwindow.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QCheckBox>

class TestMainWindowLink : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<MainWindow> window_;

    bool startAndConnect()
    {
        if (!f_.sim.start({"--project", "LQ560", "--model", "LQ560-4G", "--no-discovery"}))
            return false;
        // What the connect dialog sets when the user picks the printer.
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
        window_ = std::make_unique<MainWindow>();
    }
    void cleanup()
    {
        window_.reset();
        f_.dropLink();
    }

    void connectedShowsTheAddressAndLoadsThePages()
    {
        QVERIFY(startAndConnect());
        QVERIFY(window_->tabWidget()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(
            fieldOf(*window_->widgetDeviceInformation(), "Model:")->text(), QString("LQ560-4G"), 15000);
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
        f_.sim.stop();
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
        f_.sim.stop();
        QTRY_COMPARE_WITH_TIMEOUT(modal.seen, QStringList({"DialogReconnect"}), 15000);
        MessageBox::queueAnswer(QMessageBox::StandardButton(answer));
        f_.link->close();
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
