// UsbPrinter on Linux against doubles: a fake sysfs tree for enumeration and
// raw pseudo-terminals for the device, whose far end the test holds. Then on
// the real default paths, /sys/class/usbmisc and /dev/usb: the suite runs
// itself again inside an umockdev testbed that holds one usblp printer
// (tests/usb/lp0.umockdev) whose node replays a script.

#include "app/conf.h"
#include "link/usbprinter.h"
#include "usb/usbtestsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kIds = QStringLiteral("?usb#vid_5a7c&pid_0002");

const QString kPath = QStringLiteral("/dev/usb/lp0?usb#vid_5a7c&pid_0002");

// The handshake with nonce 1 and the answer for serial number
// "TV520241100001", as tst_hostcmd has them (openssl enc -aes-128-cbc -nopad
// under the default key), and the read request for type 6 under the session
// key they give, MD5 of 01 00 00 00 and the serial number.
const char kHandshakeNonce1[] = "10011100e4b0276f66640b1ebbb02fdb686f3f17";
const char kAnswerLq520[] = "10011100"
                            "70250d566c02d583eb3c583aa6de2a57018860c0d772c1960232224b00e5c5e9"
                            "27866dab3c2de39a2cfcac7bde3dd215c35bb4931c1201983fee14a3c96a9c0b";
const char kSessionKeyLq520[] = "2cbc92298f1463a0f2749fba26b757ba";
const char kType6Lq520[] = "10011101e6afcf42de78ee3a934049063225bee8";

bool insideTestbed()
{
    return qEnvironmentVariableIsSet("UMOCKDEV_DIR");
}

// umockdev's script format: bytes below 32 as '^' and the byte plus 64, '^'
// itself as "^`".
QByteArray scriptData(const QByteArray& bytes)
{
    QByteArray text;
    for (char c : bytes) {
        if (quint8(c) < 32) {
            text += '^';
            text += char(c + 64);
        } else if (c == '^') {
            text += "^`";
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

class TestUsbPrinter : public QObject
{
    Q_OBJECT

    LinkFixture f_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }
    void init() { conf.vidPidList = {0x5A7C0002u, 0x5A7C00D2u}; }

    void enumerateMatchesTheConfiguredPairs_data()
    {
        QTest::addColumn<QList<quint32>>("config");
        // "name vendor product" as sysfs has them, "-" for a missing ID.
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QStringList>("listed"); // in the order they are logged
        QTest::addColumn<QStringList>("matched");
        const QList<quint32> defaults = {0x5A7C0002u, 0x5A7C00D2u};
        QTest::newRow("default pairs") << defaults << QStringList {"lp0 5a7c 0002", "lp1 1234 5678", "lp2 5a7c 00d2"}
                                       << QStringList {"lp0", "lp1", "lp2"} << QStringList {"lp0", "lp2"};
        QTest::newRow("capitals in the path")
            << defaults << QStringList {"lp0 5A7C 00D2"} << QStringList {"lp0"} << QStringList {"lp0"};
        QTest::newRow("a path matched by two patterns")
            << QList<quint32> {0x5A7C0002u, 0x5A7C00D2u, 0x5A7C0002u} << QStringList {"lp0 5a7c 0002"}
            << QStringList {"lp0"} << QStringList {"lp0", "lp0"};
        QTest::newRow("vendor alone does not match")
            << defaults << QStringList {"lp0 5a7c 0003"} << QStringList {"lp0"} << QStringList {};
        QTest::newRow("numbered, not alphabetical") << defaults << QStringList {"lp10 5a7c 00d2", "lp2 5a7c 0002"}
                                                    << QStringList {"lp2", "lp10"} << QStringList {"lp2", "lp10"};
        QTest::newRow("IDs not readable")
            << defaults << QStringList {"lp0 - -", "lp1 5a7c -"} << QStringList {"lp0", "lp1"} << QStringList {};
        QTest::newRow("nothing configured")
            << QList<quint32> {} << QStringList {"lp0 5a7c 0002"} << QStringList {"lp0"} << QStringList {};
    }
    void enumerateMatchesTheConfiguredPairs()
    {
        QFETCH(QList<quint32>, config);
        QFETCH(QStringList, devices);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, matched);
        FakeUsbTree tree;
        QMap<QString, QString> paths;
        for (const QString& device : devices) {
            const QStringList f = device.split(' ');
            const auto id = [](const QString& text) { return text == "-" ? QString() : text; };
            QVERIFY(tree.addPrinter(f[0], id(f[1]), id(f[2])));
            // Listed with the IDs when both could be read.
            paths[f[0]] = tree.devRoot() + '/' + f[0]
                + (id(f[1]).isEmpty() || id(f[2]).isEmpty() ? QString()
                                                            : QStringLiteral("?usb#vid_%1&pid_%2").arg(f[1], f[2]));
        }
        conf.vidPidList = config;
        // The patterns are taken when the transport is made.
        UsbPrinter printer;

        const qint64 mark = logSize();
        QStringList expected;
        for (const QString& name : matched)
            expected.append(paths[name]);
        QCOMPARE(UsbPrinter::enumerate(), expected);
        QStringList expectedLog;
        for (int i = 0; i < listed.size(); ++i)
            expectedLog.append(QStringLiteral("%1: %2").arg(i + 1).arg(paths[listed[i]]));
        QCOMPARE(logMessagesSince(mark), expectedLog);
        for (const QString& line : logLinesSince(mark))
            QVERIFY2(line.contains(" (usbprinter.cpp,"), qPrintable(line));
    }

    void enumerateWithoutTheClass_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QStringList>("log");
        // No usblp device: the kernel has no such class yet.
        QTest::newRow("class missing") << "sys/class/none" << QStringList {};
        QTest::newRow("class unreadable")
            << "sys/devices/usb1/1-1/idVendor" << QStringList {"SetupDiGetClassDevs failed."};
    }
    void enumerateWithoutTheClass()
    {
        QFETCH(QString, root);
        QFETCH(QStringList, log);
        FakeUsbTree tree;
        QVERIFY(tree.addPrinter(QStringLiteral("lp0"), QStringLiteral("5a7c"), QStringLiteral("0002")));
        setUsbDeviceRoots(
            QFile::encodeName(tree.path(root)).toStdString(), QFile::encodeName(tree.devRoot()).toStdString());
        UsbPrinter printer;
        const qint64 mark = logSize();
        QVERIFY(UsbPrinter::enumerate().isEmpty());
        QCOMPARE(logMessagesSince(mark), log);
    }

    void secondOpenIsRefusedAndCloseReportsOnce()
    {
        PtyPair first;
        PtyPair second;
        QVERIFY(first.isValid() && second.isValid());
        UsbPrinter printer;
        QSignalSpy connected(&printer, &UsbPrinter::connected);
        QSignalSpy disconnected(&printer, &UsbPrinter::disconnected);
        const qint64 mark = logSize();
        // Nothing open: nothing to report.
        printer.usbClose();
        QCOMPARE(disconnected.size(), 0);

        const QString path = first.slavePath() + kIds;
        QVERIFY(printer.usbOpen(path));
        // From within the open call.
        QCOMPARE(connected.size(), 1);
        QCOMPARE(printer.interfaceName(), path);

        QVERIFY(!printer.usbOpen(second.slavePath() + kIds));
        QCOMPARE(printer.interfaceName(), path);
        QCOMPARE(connected.size(), 1);
        // The open device is untouched.
        QVERIFY(printer.write("ping", 4, 5000));
        QCOMPARE(first.readFromMaster(4), QByteArray("ping"));

        printer.usbClose();
        QCOMPARE(disconnected.size(), 1);
        QVERIFY(printer.interfaceName().isEmpty());
        printer.usbClose();
        // The reader's own end arrives as a queued notice too.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(
            logMessagesSince(mark), QStringList({"USB opened.", "thread started", "thread exited", "USB closed."}));
        QVERIFY(!printer.write("ping", 4, 5000));
    }

    void openFailureIsLogged_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("log");
        QTest::newRow("no such node") << "/nonexistent/usb/lp9"
                                      << "CreateFile failed (err=2).";
        QTest::newRow("a directory") << "."
                                     << "CreateFile failed (err=21).";
    }
    void openFailureIsLogged()
    {
        QFETCH(QString, node);
        QFETCH(QString, log);
        UsbPrinter printer;
        QSignalSpy connected(&printer, &UsbPrinter::connected);
        const qint64 mark = logSize();
        QVERIFY(!printer.usbOpen(node + kIds));
        QCOMPARE(connected.size(), 0);
        QVERIFY(printer.interfaceName().isEmpty());
        QCOMPARE(logMessagesSince(mark), QStringList {log});
    }

    void longPathsAreRefused_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<bool>("surrogatePair");
        QTest::addColumn<bool>("opens");
        QTest::newRow("255 units") << 255 << false << true;
        QTest::newRow("256 units") << 256 << false << false;
        QTest::newRow("300 units") << 300 << false << false;
        // A character outside the BMP takes two code units.
        QTest::newRow("255 units with a surrogate pair") << 255 << true << true;
        QTest::newRow("256 units with a surrogate pair") << 256 << true << false;
    }
    void longPathsAreRefused()
    {
        QFETCH(int, units);
        QFETCH(bool, surrogatePair);
        QFETCH(bool, opens);
        PtyPair pty;
        QVERIFY(pty.isValid());
        // The text after the IDs is not part of the node; it only makes the path long.
        QString path = pty.slavePath() + kIds + QLatin1Char('#');
        if (surrogatePair)
            path += QString::fromUcs4(U"\U0001F5A8");
        path += QString(units - path.size(), QLatin1Char('x'));
        QCOMPARE(path.size(), units);

        UsbPrinter printer;
        QSignalSpy connected(&printer, &UsbPrinter::connected);
        const qint64 mark = logSize();
        QCOMPARE(printer.usbOpen(path), opens);
        QCOMPARE(connected.size(), opens ? 1 : 0);
        if (!opens)
            QCOMPARE(logMessagesSince(mark), QStringList {"CreateFile failed (err=36)."});
        printer.usbClose();
    }

    void writeTimeoutLeavesNothingBehind()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        UsbPrinter printer;
        QVERIFY(printer.usbOpen(pty.slavePath() + kIds));
        QSignalSpy written(&printer, &UsbPrinter::bytesWritten);

        // The far end reads nothing until the pty is full.
        const qint64 filler = pty.fillTowardsMaster('.');
        QVERIFY(filler > 0);
        const QByteArray late(64, 'A');
        qint64 mark = logSize();
        QVERIFY(!printer.write(late.constData(), uint32_t(late.size()), 50));
        QCOMPARE(logMessagesSince(mark), QStringList {"WaitForSingleObject failed (ret=0x102, err=110)."});
        QCOMPARE(written.size(), 0);

        // No wait at all: true, and no count to report.
        const QByteArray unwaited(64, 'B');
        mark = logSize();
        QVERIFY(printer.write(unwaited.constData(), uint32_t(unwaited.size()), 0));
        QVERIFY(logMessagesSince(mark).isEmpty());
        QCOMPARE(written.size(), 0);

        const QByteArray drained = pty.readFromMaster(filler);
        QCOMPARE(drained, QByteArray(int(filler), '.'));

        const QByteArray& packet = kType1Packet;
        QVERIFY(printer.write(packet.constData(), uint32_t(packet.size()), 5000));
        // Emitted before the write returned.
        QCOMPARE(written.size(), 1);
        QCOMPARE(written.at(0).at(0).value<qint64>(), qint64(packet.size()));

        // Whatever the earlier writes had handed over comes first, and
        // nothing of them comes after the packet.
        QByteArray rest;
        while (!rest.endsWith(packet)) {
            const QByteArray more = pty.readFromMaster(1);
            QVERIFY2(!more.isEmpty(), rest.toHex().constData());
            rest += more;
        }
        const QByteArray before = rest.left(rest.size() - packet.size());
        const int a = before.lastIndexOf('A') + 1;
        QVERIFY(late.startsWith(before.left(a)));
        QVERIFY(unwaited.startsWith(before.mid(a)));
        printer.usbClose();
    }

    void openCloseCyclesNeverHang()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        UsbPrinter printer;
        QSignalSpy connected(&printer, &UsbPrinter::connected);
        QSignalSpy disconnected(&printer, &UsbPrinter::disconnected);
        const QString path = pty.slavePath() + kIds;
        constexpr int kCycles = 300;
        for (int i = 0; i < kCycles; ++i) {
            QVERIFY(printer.usbOpen(path));
            // Sometimes the reader is busy with bytes when the stop comes.
            if (i % 3 == 1)
                QVERIFY(pty.writeToMaster(QByteArray(1, '\x10')));
            printer.usbClose();
        }
        QCoreApplication::sendPostedEvents();
        QCOMPARE(connected.size(), kCycles);
        QCOMPARE(disconnected.size(), kCycles);
    }

    void lateEndOfAnOldReaderKeepsTheNewDevice()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        UsbPrinter printer;
        QSignalSpy disconnected(&printer, &UsbPrinter::disconnected);
        const QString path = pty.slavePath() + kIds;
        QVERIFY(printer.usbOpen(path));
        printer.usbClose();
        QVERIFY(printer.usbOpen(path));
        // Delivers the finished() notice of the first reader.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(printer.interfaceName(), path);
        QVERIFY(printer.write("x", 1, 5000));
        printer.usbClose();
        QCOMPARE(disconnected.size(), 2);
    }

    // The reader thread takes the answer in while this thread, like a window
    // busy sending, does not turn its event loop: it sends under the whole
    // derived key, and a new handshake (the next link's) may follow at once.
    void sessionStateCrossesThreads()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        UsbPrinter printer;
        QVERIFY(printer.usbOpen(pty.slavePath() + kIds));
        hostCmd.setWriter([&printer](const quint8* data, quint32 length, int timeoutMs) {
            return printer.write(data, length, uint32_t(timeoutMs));
        });
        QVERIFY(hostCmd.sendHandshake(true));
        QCOMPARE(pty.readFromMaster(20).toHex(), QByteArray(kHandshakeNonce1));
        QVERIFY(pty.writeToMaster(QByteArray::fromHex(kAnswerLq520)));
        const packet::Key derived = packet::keyFromBytes(QByteArray::fromHex(kSessionKeyLq520));
        QElapsedTimer clock;
        clock.start();
        while (hostCmd.sessionKey() != derived && clock.elapsed() < 15000) { }
        QVERIFY(hostCmd.requestRecord(6));
        QCOMPARE(pty.readFromMaster(20).toHex(), QByteArray(kType6Lq520));
        QVERIFY(hostCmd.sendHandshake(true));
        QCOMPARE(pty.readFromMaster(20).toHex(), QByteArray(kHandshakeNonce1));
        hostCmd.setWriter({});
    }

    void defaultPathsInATestbed()
    {
        if (insideTestbed())
            QSKIP("this is the run inside the testbed");
        const QString runner = QStandardPaths::findExecutable(QStringLiteral("umockdev-run"));
        if (runner.isEmpty())
            QSKIP("umockdev-run is not installed (Debian package umockdev)");

        // The host writes the request, then the printer answers twice in one chunk.
        const QString script = writeScratchFile(QStringLiteral("lp0.script"),
            "w 0 " + scriptData(kType1Packet) + "\nr 0 " + scriptData(kType1Packet + kType1Packet) + "\n");
        QVERIFY(!script.isEmpty());

        QProcess child;
        child.setProgram(runner);
        child.setArguments({QStringLiteral("--device"), QStringLiteral(TOVRA_USB_FIXTURES "/lp0.umockdev"),
            QStringLiteral("--script"), QStringLiteral("/dev/usb/lp0=") + script, QStringLiteral("--"),
            QCoreApplication::applicationFilePath(), QStringLiteral("insideTheTestbed")});
        child.setProcessChannelMode(QProcess::MergedChannels);
#if defined(__SANITIZE_ADDRESS__)
        // umockdev comes in by LD_PRELOAD, ahead of the sanitizer's runtime.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
            (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("verify_asan_link_order=0"));
        child.setProcessEnvironment(environment);
#endif
        child.start();
        QVERIFY(child.waitForFinished(60000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : TestUsbPrinter::insideTheTestbed()"), output.constData());
    }

    void insideTheTestbed()
    {
        if (!insideTestbed())
            QSKIP("runs only inside the umockdev testbed, started by defaultPathsInATestbed");
        conf.vidPidList = {0x5A7C0002u, 0x5A7C00D2u};
        UsbPrinter printer;
        const qint64 mark = logSize();
        QCOMPARE(UsbPrinter::enumerate(), QStringList {kPath});
        QCOMPARE(logMessagesSince(mark), QStringList {QStringLiteral("1: ") + kPath});

        QObject receiver;
        QList<QByteArray> records;
        connect(&hostCmd, &HostCmd::responseReceived, &receiver, [&records](QByteArray r) { records.append(r); });
        QSignalSpy written(&printer, &UsbPrinter::bytesWritten);
        QSignalSpy disconnected(&printer, &UsbPrinter::disconnected);
        QVERIFY(printer.usbOpen(kPath));
        QVERIFY(printer.write(kType1Packet.constData(), uint32_t(kType1Packet.size()), 5000));
        QCOMPARE(written.size(), 1);
        QCOMPARE(written.at(0).at(0).value<qint64>(), qint64(kType1Packet.size()));
        QTRY_COMPARE_WITH_TIMEOUT(records.size(), 2, 15000);
        QCOMPARE(records.at(0), QByteArray::fromHex("0100"));
        QCOMPARE(records.at(1), QByteArray::fromHex("0100"));

        printer.usbClose();
        QCOMPARE(disconnected.size(), 1);
        QVERIFY(logMessagesSince(mark).contains(QStringLiteral("USB closed.")));
    }
};

QTEST_GUILESS_MAIN(TestUsbPrinter)
#include "tst_usbprinter.moc"
