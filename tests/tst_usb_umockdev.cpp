// UsbPrinter on the real default paths, /sys/class/usbmisc and /dev/usb: the
// suite runs itself again inside an umockdev testbed that holds one usblp
// printer (tests/usb/lp0.umockdev) whose node replays a script.

#include "app/conf.h"
#include "link/usbprinter.h"
#include "usb/usbtestsupport.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// The request for record type 1, answered twice in one chunk.
const QByteArray& kRequest = kType1Packet;
const QByteArray& kAnswer = kType1Packet;

const QString kPath = QStringLiteral("/dev/usb/lp0?usb#vid_5a7c&pid_0002");

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

class TestUsbUmockdev : public QObject
{
    Q_OBJECT

    LinkFixture f_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(f_.initCase()); }
    void cleanupTestCase() { f_.cleanupCase(); }

    void defaultPathsInATestbed()
    {
        if (insideTestbed())
            QSKIP("this is the run inside the testbed");
        const QString runner = QStandardPaths::findExecutable(QStringLiteral("umockdev-run"));
        if (runner.isEmpty())
            QSKIP("umockdev-run is not installed (Debian package umockdev)");

        // The host writes the request, then the printer answers twice in one chunk.
        const QString script = f_.dir.filePath(QStringLiteral("lp0.script"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("w 0 " + scriptData(kRequest) + "\nr 0 " + scriptData(kAnswer + kAnswer) + "\n");
        file.close();

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
        QVERIFY2(output.contains("PASS   : TestUsbUmockdev::insideTheTestbed()"), output.constData());
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
        QVERIFY(printer.write(kRequest.constData(), uint32_t(kRequest.size()), 5000));
        QCOMPARE(written.size(), 1);
        QCOMPARE(written.at(0).at(0).value<qint64>(), qint64(kRequest.size()));
        QTRY_COMPARE_WITH_TIMEOUT(records.size(), 2, 15000);
        QCOMPARE(records.at(0), QByteArray::fromHex("0100"));
        QCOMPARE(records.at(1), QByteArray::fromHex("0100"));

        printer.usbClose();
        QCOMPARE(disconnected.size(), 1);
        QVERIFY(logMessagesSince(mark).contains(QStringLiteral("USB closed.")));
    }
};

QTEST_GUILESS_MAIN(TestUsbUmockdev)
#include "tst_usb_umockdev.moc"
