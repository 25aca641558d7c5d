// The font file upload: block pacing by the link's bytesWritten reports, the
// completion record, refusals, timeouts and a lost link, alone with a link
// that no printer is behind; against the printer simulator over loopback, a
// megabyte while the 4G page polls, and a cancel that makes the printer drop
// the partial file.

#include "link/fileupload.h"
#include "linkfixture.h"
#include "pages/widgetwnet.h"
#include "recordcapture.h"
#include "ui/messagebox.h"

class TestFileUpload : public QObject
{
    Q_OBJECT

    LinkFixture f_;
    QTemporaryDir fonts_;
    RecordCapture capture_;
    Transceiver fakeLink_;
    QList<int> blocks_;
    QByteArray handed_;

    // The engine recording each block on its way, to the simulator's link
    // or, with `fake`, to a link that no printer is behind and whose
    // reports the test makes, while the records go to `capture_`.
    void attach(FileUpload& upload, bool fake)
    {
        if (fake) {
            capture_.install();
            upload.setLink(&fakeLink_);
        }
        upload.setBlockWriter([this, &upload, fake](const char* data, quint32 length, int timeoutMs) {
            blocks_.append(int(length));
            handed_.append(data, int(length));
            return fake || f_.link->write(data, length, timeoutMs, &upload);
        });
        connect(&hostCmd, &HostCmd::responseReceived, &upload, &FileUpload::handleResponse);
    }

    QString fontPath(const QString& name) const { return QDir(fonts_.path()).filePath(name); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(fonts_.isValid() && seedFontFolder(fonts_.path())); }
    void init()
    {
        MessageBox::resetForTests();
        blocks_.clear();
        handed_.clear();
        f_.makeLink();
    }
    void cleanup()
    {
        hostCmd.setWriter({});
        QCOMPARE(f_.dropLink(), 0);
    }

    // The fault: a report covering part of a block advanced the offset and
    // released a block at once, so bytes went twice or out of order.
    void oddReportsSendTheFileOnce_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("reports");
        QTest::addColumn<QList<int>>("blocks");
        QTest::newRow("whole blocks") << 10000 << QList<int> {4080} << QList<int> {4080, 4080, 1840};
        QTest::newRow("odd pieces") << 9001 << QList<int> {1, 999, 3000, 7} << QList<int> {4080, 4080, 841};
        QTest::newRow("more than handed") << 8200 << QList<int> {5000, 20000} << QList<int> {4080, 4080, 40};
        QTest::newRow("exactly one block") << 4080 << QList<int> {100, 3980} << QList<int> {4080};
    }
    void oddReportsSendTheFileOnce()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, reports);
        QFETCH(QList<int>, blocks);
        FileUpload upload;
        attach(upload, true);
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QByteArray data = fileData(size);
        QVERIFY(upload.start("Font.ttf", data));
        upload.handleResponse(uploadReply(0));
        qint64 reported = 0;
        for (int i = 0; capture_.records.size() < 2 && i < 10000; ++i) {
            // One block in flight: the next goes once the last is reported in full.
            QVERIFY(handed_.size() <= reported + 4080);
            reported += reports[i % reports.size()];
            Q_EMIT fakeLink_.bytesWritten(reports[i % reports.size()]);
            QCoreApplication::sendPostedEvents(&upload);
        }
        QCOMPARE(blocks_, blocks);
        QCOMPARE(handed_, data);
        // The completion record with the size at 132 and the file's MD5 at 136, then the listing request.
        QCOMPARE(capture_.records.size(), 3);
        QCOMPARE(capture_.records[1].left(1) + capture_.records[1].mid(132),
            "c" + RecordWriter(4).u32(0, quint32(size)).data()
                + QCryptographicHash::hash(data, QCryptographicHash::Md5));
        QCOMPARE(capture_.records[2].left(18), QByteArray("a\x01/data/PUB/fonts/"));
        // A late report changes nothing; the printer listing the file with its size finishes.
        Q_EMIT fakeLink_.bytesWritten(4080);
        QCoreApplication::sendPostedEvents(&upload);
        upload.handleResponse(listingRow("Other.ttf", quint32(size)));
        QVERIFY(capture_.records.size() == 3 && finished.isEmpty());
        upload.handleResponse(listingRow("Font.ttf", quint32(size)));
        QCOMPARE(finished.size(), 1);
    }

    // Each wait has its bound, and every end lets go of the link so that
    // the next upload may start.
    void uploadEndsAndLetsGo_data()
    {
        QTest::addColumn<int>("status"); // the printer's answer to the request; -1: none
        QTest::addColumn<int>("report"); // of the first block; -1: the link goes down instead
        QTest::addColumn<int>("listed"); // the size the listing shows; -1: not listed
        QTest::addColumn<QString>("reason"); // empty: refused
        QTest::newRow("refused") << 3 << 0 << -1 << QString();
        QTest::newRow("request unanswered") << -1 << 0 << -1 << "The printer did not answer.";
        QTest::newRow("block reported short") << 0 << 4079 << -1 << "The printer stopped taking the file.";
        QTest::newRow("block reported as 0") << 0 << 0 << -1 << "The printer stopped taking the file.";
        QTest::newRow("link down mid-file") << 0 << -1 << -1 << "The connection to the printer was lost.";
        QTest::newRow("file not listed") << 0 << 4080 << -1 << "The printer did not keep the file.";
        QTest::newRow("listed with another size") << 0 << 4080 << 4079 << "The printer did not keep the file.";
    }
    void uploadEndsAndLetsGo()
    {
        QFETCH(int, status);
        QFETCH(int, report);
        QFETCH(int, listed);
        QFETCH(QString, reason);
        FileUpload upload;
        attach(upload, true);
        upload.setReplyTimeout(50);
        upload.setBlockTimeout(50);
        QSignalSpy failed(&upload, &FileUpload::failed);
        QSignalSpy refused(&upload, &FileUpload::refused);
        QVERIFY(upload.start("Stuck.ttf", fileData(4080)) && fakeLink_.isHeld());
        if (status >= 0)
            upload.handleResponse(uploadReply(quint16(status)));
        if (report < 0)
            Q_EMIT fakeLink_.disconnected();
        Q_EMIT fakeLink_.bytesWritten(report);
        QCoreApplication::sendPostedEvents(&upload);
        if (listed >= 0)
            upload.handleResponse(listingRow("Stuck.ttf", quint32(listed)));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size() + refused.size(), 1, 5000);
        QCOMPARE(failed.isEmpty() ? QString() : failed.at(0).at(0).toString(), reason);
        QCOMPARE(blocks_.size(), status == 0 ? 1 : 0);
        QVERIFY(!upload.isActive() && !fakeLink_.isHeld());
        // The next one is refused at once when empty or when its path is over
        // 127 bytes ("/data/PUB/fonts/" is 16, "é" 2 in UTF-8).
        QVERIFY(!upload.start("Empty.ttf", {}));
        QVERIFY(!upload.start(QString(110, 'a') + QString::fromUtf8("é"), fileData(100)));
        QVERIFY(upload.start(QString(109, 'a') + QString::fromUtf8("é"), fileData(100)));
    }

    // Megabytes, while the 4G page's status poll is due at every turn of the
    // event loop: the polls keep off the file's bytes and go afterwards. A
    // cancel drops the partial file by reconnecting, and the next file (too
    // small to be cancelled) lands.
    void simulatorTakesUploadsWhole()
    {
        QVERIFY(
            f_.sim.start({"--font-dir", fonts_.path(), "--keepalive-ms", "0", "--no-discovery"}) && f_.connectTcp());
        FileUpload upload;
        attach(upload, false);
        QSignalSpy finished(&upload, &FileUpload::finished);
        const QByteArray data = fileData(1024 * 1024);
        {
            WidgetWnet page;
            page.setPollIntervalMs(0);
            MessageBox::queueAnswer(QMessageBox::Yes);
            page.doRestart();
            Responses statusReplies({4});
            const qint64 log = logSize();
            QVERIFY(upload.start("Polled.ttf", data) && finished.wait(60000));
            QVERIFY(!logMessagesSince(log, "20 bytes not written").isEmpty() && statusReplies.waitFor(1));
        }
        QCOMPARE(readFile(fontPath("Polled.ttf")), data);

        connect(&upload, &FileUpload::progress, this, [&upload](qint64 written) {
            if (written > 100000)
                upload.cancel();
        });
        QSignalSpy cancelled(&upload, &FileUpload::cancelled);
        QSignalSpy reconnected(f_.link.get(), &Transceiver::connected);
        QVERIFY(upload.start("Cancelled.ttf", fileData(3 * 1024 * 1024)));
        QVERIFY(reconnected.wait(60000) && cancelled.size() == 1 && !QFile::exists(fontPath("Cancelled.ttf")));
        QVERIFY(upload.start("After.ttf", fileData(10000)) && finished.wait(60000));
        QCOMPARE(readFile(fontPath("After.ttf")), fileData(10000));
    }
};

QTEST_MAIN(TestFileUpload)
#include "tst_fileupload.moc"
