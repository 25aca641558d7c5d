// The links to the printer: over USB the simulator's pseudo-terminal,
// found through a fake sysfs tree (the promises every link keeps, a probe,
// an unplug, an upload that cannot be cancelled, nor reopens the link);
// over TCP a printer played in this process (nonce, bursts, the idle
// watchdog, a reset).

#include "faketransport.h"
#include "link/fileupload.h"
#include "link/usbprinter.h"
#include "usb/usbtestsupport.h"

class TestLinkEndToEnd : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<FakeUsbTree> tree_;

    // Nothing before the printer answered the handshake.
    bool connectLink()
    {
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        return f_.link->openUsb(tree_->lp0(), false) && connected.isEmpty() && connected.wait(15000);
    }

private Q_SLOTS:
    void init()
    {
        tree_ = std::make_unique<FakeUsbTree>();
        f_.makeLink();
    }
    void cleanup() { QCOMPARE(f_.dropLink(), 0); }

    // Replies under the key the printer derived; a close reports once, and
    // the link can be had again. Over TCP the fault suite shows the same.
    void usbLinkKeepsItsPromises()
    {
        QVERIFY(tree_->serve(f_.sim, {"--project", "LQ560", "--model", "LQ560-4G-CN-2024", "--sn", "SIM0000000000001"})
            && connectLink() && f_.link->linkState() == Transceiver::Usb);
        const QList<QByteArray> records = requestRecords({1, 2, 3, 4, 5, 6, 2});
        QCOMPARE(records.size(), 7);
        // Texts that fill their whole field: the model's 16 bytes, then the serial's 24.
        QCOMPARE(records[0].mid(layout::deviceinfo::kModel, 40), "LQ560-4G-CN-2024SIM0000000000001" + QByteArray(8, 0));

        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        f_.link->close();
        f_.link->close();
        QVERIFY(f_.link->linkState() == Transceiver::None && !f_.link->write("x", 1, 100));
        QVERIFY(connectLink());
        QCOMPARE(disconnected.size(), 1);
    }

    // Against a printer played here: the nonce Shift alone fixes, the key
    // the printer derives from it, more replies in one burst than one read
    // takes (no later traffic triggers another read), keep-alives holding the
    // link past the idle watchdog's limit, and then silence dropping it.
    void playedPrinter_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("shift alone") << int(Qt::ShiftModifier);
        QTest::newRow("shift and control") << int(Qt::ShiftModifier | Qt::ControlModifier);
    }
    void playedPrinter()
    {
        QFETCH(int, modifiers);
        FakePrinter printer;
        f_.link->setModifierSource([modifiers] { return Qt::KeyboardModifiers(modifiers); });
        f_.link->tcpPrinter()->setHeartbeatInterval(20);
        const quint32 before = quint32(QDateTime::currentSecsSinceEpoch());
        QVERIFY(printer.listen() && f_.connectTcp());
        QVERIFY(modifiers == Qt::ShiftModifier ? printer.nonce == 1 : printer.nonce >= before);
        Responses burst;
        for (int i = 0; i < 40; ++i)
            printer.sendRecord(FakePrinter::readReply(layout::readtype::kWnet));
        QVERIFY(burst.waitFor(40));
        QCOMPARE(burst.records.count(FakePrinter::readReply(layout::readtype::kWnet)), 40);

        QSignalSpy down(f_.link.get(), &Transceiver::disconnected);
        int keepAlives = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, &printer, [&] {
            printer.send(QByteArray::fromHex("100111ff"));
            if (++keepAlives == 40)
                timer.stop();
        });
        timer.start(20);
        QVERIFY(down.wait(15000) && keepAlives == 40);
        // The link state stays until somebody closes it.
        QVERIFY(f_.link->linkState() == Transceiver::Tcp && !f_.link->openTcp(printer.address()));
    }

    // The printer resets the link before the event loop has seen it: the write finds out.
    void writeIntoAResetLinkFails()
    {
        FakePrinter printer;
        QVERIFY(printer.listen() && f_.connectTcp());
        printer.drop(true);
        pollfd seen {int(f_.link->tcpPrinter()->findChild<QTcpSocket*>()->socketDescriptor()), POLLIN, 0};
        QCOMPARE(::poll(&seen, 1, 5000), 1);
        QVERIFY(!hostCmd.requestRecord(layout::readtype::kAudio));
    }

    // A probe reads the identity and claims no connection. Unplugged, the
    // link ends, its state staying until somebody closes it.
    void probeThenUnplug()
    {
        QSignalSpy connected(f_.link.get(), &Transceiver::connected);
        // deviceFound comes from the reader thread; counted on this one, as
        // the connect dialog does, after the Transceiver's own queued slot.
        QList<host_cmd_dev_info_t> found;
        QObject receiver;
        connect(&hostCmd, &HostCmd::deviceFound, &receiver, [&found](host_cmd_dev_info_t info) { found.append(info); });
        QVERIFY(tree_->serve(f_.sim, {"--project", "LQ230", "--sn", "SIM0000000000003"})
            && f_.link->openUsb(tree_->lp0(), true));
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 1, 15000);
        QCOMPARE(QByteArray(found[0].project) + QByteArray(found[0].sn), QByteArray("LQ230SIM0000000000003"));
        QCOMPARE(connected.size(), 0);
        f_.link->close();
        QVERIFY(connectLink());

        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        const qint64 mark = logSize();
        QVERIFY(::kill(pid_t(f_.sim.process().processId()), SIGUSR1) == 0 && disconnected.wait(15000));
        QCOMPARE(logMessagesSince(mark).filter(QRegularExpression("^(ReadFile failed|thread exited|USB closed)")),
            QStringList({"ReadFile failed (err=19).", "thread exited", "USB closed."}));
        QVERIFY(f_.link->usbPrinter()->interfaceName().isEmpty() && f_.link->linkState() == Transceiver::Usb);
        QVERIFY(!f_.link->write("x", 1, 100) && !f_.link->openUsb(tree_->lp0(), false));
        f_.link->close();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
    }

    // A USB printer does not notice the device being reopened, so a USB
    // upload cannot be cancelled, nor does it ever reopen the link, not even
    // when a request goes unanswered.
    void fontUploadOverUsb()
    {
        QTemporaryDir fonts;
        QVERIFY(fonts.isValid() && tree_->serve(f_.sim, {"--font-dir", fonts.path()}) && connectLink());
        FileUpload upload;
        connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);
        QSignalSpy finished(&upload, &FileUpload::finished);
        QSignalSpy failed(&upload, &FileUpload::failed);
        QSignalSpy disconnected(f_.link.get(), &Transceiver::disconnected);
        const QByteArray data = fileData(10000);
        for (const char* name : {"Usb.ttf", "Second.ttf"}) {
            QVERIFY(upload.start(name, data) && !upload.canCancel());
            upload.cancel();
            QVERIFY(finished.wait(30000));
            QCOMPARE(readFile(QDir(fonts.path()).filePath(name)), data);
        }
        upload.setReplyTimeout(50);
        hostCmd.setWriter([](const quint8*, quint32, int) { return true; });
        QVERIFY(upload.start("Unheard.ttf", data));
        hostCmd.setWriter({});
        QVERIFY(failed.wait(5000) && disconnected.isEmpty());
        QCOMPARE(requestRecords({layout::readtype::kAudio}).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestLinkEndToEnd)
#include "tst_link_e2e.moc"
