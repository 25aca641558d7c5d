// UsbPrinter on Linux against doubles: a fake sysfs tree for enumeration and
// raw pseudo-terminals for the device, whose far end the test holds.

#include "app/conf.h"
#include "link/usbprinter.h"
#include "usb/usbtestsupport.h"

class TestUsbPrinter : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    std::unique_ptr<PtyPair> pty_;
    QString path_; // the pty's slave as the platform layer lists a printer

private Q_SLOTS:
    void init()
    {
        pty_ = std::make_unique<PtyPair>();
        QVERIFY(pty_->isValid());
        path_ = pty_->slavePath() + "?usb#vid_5a7c&pid_0002";
    }

    void enumerateMatchesTheConfiguredPairs_data()
    {
        QTest::addColumn<QList<quint32>>("config");
        // In the order listed: "name vendor product" as sysfs has them, an ID
        // left out when it cannot be read, then a "+" per pattern matched
        // (only after both IDs).
        QTest::addColumn<QString>("devices");
        QTest::addColumn<QString>("classRoot"); // in the tree's sys/class, or absolute; empty: usbmisc
        const QList<quint32> both = {0x5A7C0002u, 0x5A7C00D2u};
        QTest::newRow("default pairs, capitals, numbered")
            << both << "lp0 5a7c 0002 +, lp1 1234 5678, lp2 5A7C 00D2 +, lp3 5a7c 0003, lp10 5a7c 00d2 +" << QString();
        QTest::newRow("a path matched by two patterns")
            << QList<quint32> {0x5A7C0002u, 0x5A7C00D2u, 0x5A7C0002u} << "lp0 5a7c 0002 ++" << QString();
        QTest::newRow("IDs not readable") << both << "lp0, lp1 5a7c" << QString();
        QTest::newRow("nothing configured") << QList<quint32> {} << "lp0 5a7c 0002" << QString();
        // No usblp device yet: the kernel has no such class.
        QTest::newRow("class missing") << both << QString() << "none";
        // Logged instead of a listing.
        QTest::newRow("class not a folder") << both << QString() << "/dev/null";
    }
    void enumerateMatchesTheConfiguredPairs()
    {
        QFETCH(QList<quint32>, config);
        QFETCH(QString, devices);
        QFETCH(QString, classRoot);
        FakeUsbTree tree;
        QStringList matched, listed;
        if (classRoot == "/dev/null")
            listed.append("SetupDiGetClassDevs failed.");
        const QStringList rows = devices.split(", ", Qt::SkipEmptyParts);
        // Made last first: the listing goes by number, whatever order sysfs has.
        for (int i = rows.size() - 1; i >= 0; --i) {
            const QStringList f = rows[i].split(' ');
            QVERIFY(tree.addPrinter(f[0], f.value(1), f.value(2)));
            // Listed with the IDs when both could be read.
            const QString path = f.size() < 3 ? tree.devRoot() + '/' + f[0] : tree.interfacePath(f[0], f[1], f[2]);
            listed.prepend(QStringLiteral("%1: %2").arg(i + 1).arg(path));
            for (int n = f.value(3).size(); n > 0; --n)
                matched.prepend(path);
        }
        if (!classRoot.isEmpty())
            setUsbDeviceRoots(QFile::encodeName(QDir(tree.path("sys/class")).absoluteFilePath(classRoot)).toStdString(),
                QFile::encodeName(tree.devRoot()).toStdString());
        conf.vidPidList = config;
        // The patterns are taken when the transport is made.
        UsbPrinter printer;
        const qint64 mark = logSize();
        QCOMPARE(UsbPrinter::enumerate(), matched);
        QCOMPARE(logMessagesSince(mark), listed);
    }

    // Windows takes the path in a buffer of 256 code units with its NUL.
    void longPathsAreRefused_data()
    {
        QTest::addColumn<QString>("filler");
        QTest::newRow("ASCII") << "#";
        // A character outside the BMP takes two code units.
        QTest::newRow("a surrogate pair") << QString::fromUcs4(U"#\U0001F5A8");
    }
    void longPathsAreRefused()
    {
        QFETCH(QString, filler);
        // The text after the IDs is not part of the node; it only makes the path long.
        const QString path = path_ + filler + QString(255 - path_.size() - filler.size(), 'x');
        UsbPrinter printer;
        QVERIFY(printer.usbOpen(path));
        printer.usbClose();
        const qint64 mark = logSize();
        QVERIFY(!printer.usbOpen(path + 'x'));
        QCOMPARE(logMessagesSince(mark), QStringList {"CreateFile failed (err=36)."});
    }

    // A second open is refused while a device is open. Stops come while the
    // reader waits or is busy with bytes, and the late end notices of the
    // old readers, delivered while a new device is open, keep it open.
    void openAndCloseFollowTheRules()
    {
        UsbPrinter printer;
        QSignalSpy connected(&printer, &UsbPrinter::connected);
        QSignalSpy disconnected(&printer, &UsbPrinter::disconnected);
        QVERIFY(printer.usbOpen(path_) && !printer.usbOpen(path_) && printer.write("ping", 4, 5000));
        QCOMPARE(pty_->readFromMaster(4), QByteArray("ping"));
        printer.usbClose();
        QCOMPARE(disconnected.size(), 1);
        constexpr int kCycles = 300;
        for (int i = 0; i < kCycles; ++i) {
            QVERIFY(printer.usbOpen(path_));
            if (i % 3 == 1)
                QVERIFY(pty_->writeToMaster(QByteArray(1, '\x10')));
            printer.usbClose();
        }
        QVERIFY(printer.usbOpen(path_));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(QList<int>({connected.size(), disconnected.size()}), QList<int>({kCycles + 2, kCycles + 1}));
        QVERIFY(printer.interfaceName() == path_ && printer.write("x", 1, 5000));
    }

    // Neither a write that timed out nor one not waited for leaves anything
    // of itself behind the next; only a waited write reports its count,
    // before it returns.
    void writeTimeoutLeavesNothingBehind()
    {
        UsbPrinter printer;
        QVERIFY(printer.usbOpen(path_));
        QSignalSpy written(&printer, &UsbPrinter::bytesWritten);
        // The far end reads nothing until the pty is full.
        const qint64 filler = pty_->fillTowardsMaster('.');
        const QByteArray late(64, 'A'), unwaited(64, 'B');
        const qint64 mark = logSize();
        QVERIFY(!printer.write(late.constData(), uint32_t(late.size()), 50)
            && printer.write(unwaited.constData(), uint32_t(unwaited.size()), 0));
        QCOMPARE(logMessagesSince(mark), QStringList {"WaitForSingleObject failed (ret=0x102, err=110)."});
        QCOMPARE(pty_->readFromMaster(filler), QByteArray(int(filler), '.'));

        const QByteArray next("the next packet");
        QVERIFY(printer.write(next.constData(), uint32_t(next.size()), 5000));
        QCOMPARE(written, QList<QVariantList>({{qint64(next.size())}}));
        QByteArray rest, more = "-";
        while (!rest.endsWith(next) && !more.isEmpty())
            rest += more = pty_->readFromMaster(1);
        QVERIFY2(QRegularExpression("^A{0,64}B{0,64}the next packet$").match(QString::fromLatin1(rest)).hasMatch(),
            rest.constData());
    }

    // The reader thread takes the answer in while this thread, like a window
    // busy sending, does not turn its event loop: it sends under the whole
    // derived key, and a new handshake (the next link's) may follow at once.
    void sessionStateCrossesThreads()
    {
        UsbPrinter printer;
        QVERIFY(printer.usbOpen(path_));
        hostCmd.setWriter([&printer](const quint8* data, quint32 length, int timeoutMs) {
            return printer.write(data, length, uint32_t(timeoutMs));
        });
        QVERIFY(hostCmd.sendHandshake(true));
        QCOMPARE(pty_->readFromMaster(20).toHex(), QByteArray(kHandshakeNonce1));
        QVERIFY(pty_->writeToMaster(QByteArray::fromHex(kAnswerLq520)));
        const packet::Key derived = packet::keyFromBytes(QByteArray::fromHex(kSessionKeyLq520));
        for (QDeadlineTimer deadline(15000); hostCmd.sessionKey() != derived && !deadline.hasExpired();) { }
        QVERIFY(hostCmd.requestRecord(6));
        QCOMPARE(pty_->readFromMaster(20).toHex(), QByteArray(kType6Lq520));
        QVERIFY(hostCmd.sendHandshake(true));
        QCOMPARE(pty_->readFromMaster(20).toHex(), QByteArray(kHandshakeNonce1));
        hostCmd.setWriter({});
    }
};

QTEST_GUILESS_MAIN(TestUsbPrinter)
#include "tst_usbprinter.moc"
