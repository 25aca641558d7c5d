// The simulator's side of raw printing: the ESC/POS rendering and how the
// USB stream tells print data from host command packets.

#include "tools/printersim/simescpos.h"
#include "tools/printersim/simprinter.h"
#include "tools/printersim/simrawprint.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestTestPagesSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void render_data()
    {
        QTest::addColumn<QByteArray>("job");
        QTest::addColumn<QString>("text");
        QTest::newRow("right, double size") << QByteArray::fromHex("1b61321d2111") + "A\n"
                                            << "[align right][double size]A\n";
        QTest::newRow("size 3x2") << QByteArray::fromHex("1d2121") << "[size 3x2]";
        QTest::newRow("partial cut after feed") << QByteArray::fromHex("1d564205") << "[cut partial after feed 5]";
        QTest::newRow("unknown ESC as hex") << QByteArray::fromHex("1b7410") + "x"
                                            << "[1B 74][10]x";
        QTest::newRow("other FS ( L") << QByteArray::fromHex("1c284c0200415a") << "[FS ( L 41 5A]";
        QTest::newRow("truncated GS ( E") << QByteArray::fromHex("1d284505") << "[1D 28]E[05]";
        QTest::newRow("lone ESC at the end") << QByteArray::fromHex("41421b") << "AB[1B]";
        QTest::newRow("UTF-8 text") << QByteArray("caf\xc3\xa9\n") << QString::fromUtf8("café\n");
    }
    void render()
    {
        QFETCH(QByteArray, job);
        QFETCH(QString, text);
        QCOMPARE(renderEscPos(job), text);
    }

    void usbStreamSeparatesPrintDataFromPackets_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QByteArray>("packets");
        QTest::addColumn<QByteArray>("job");
        // A packet: 10 01 11, one block, 16 body bytes.
        const QByteArray packet = QByteArray::fromHex("10011101") + QByteArray(16, 'p');
        QTest::newRow("print data alone") << QList<QByteArray> {"hello\n"} << QByteArray() << QByteArray("hello\n");
        QTest::newRow("print data, then a packet") << QList<QByteArray> {"ab" + packet} << packet << QByteArray("ab");
        QTest::newRow("packet split in its header")
            << QList<QByteArray> {packet.left(2), packet.mid(2, 9), packet.mid(11)} << packet << QByteArray();
        QTest::newRow("a bad block count is print data") << QList<QByteArray> {QByteArray::fromHex("10011140") + "x"}
                                                         << QByteArray() << QByteArray::fromHex("10011140") + "x";
    }
    void usbStreamSeparatesPrintDataFromPackets()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QByteArray, packets);
        QFETCH(QByteArray, job);
        QTemporaryDir dir;
        SimIdentity identity;
        SimPrinter printer(SimModel(identity, SimModel::defaultState(identity)), QString());
        SimJobCapture capture(&printer);
        QString error;
        QVERIFY(capture.open(dir.path(), error));
        QSignalSpy captured(&capture, &SimJobCapture::jobCaptured);
        SimUsbStream stream(&capture);
        QByteArray passed;
        for (const QByteArray& chunk : chunks)
            passed += stream.take(chunk);
        QCOMPARE(passed, packets);
        if (job.isEmpty()) {
            stream.finish();
            QCOMPARE(captured.size(), 0);
            return;
        }
        // A job ends with the packet that follows it, or when the stream idles.
        QTRY_COMPARE(captured.size(), 1);
        QFile file(captured[0][0].toString());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), job);
        QVERIFY(QFile::exists(dir.filePath("job-0001.txt")));
    }
};

QTEST_GUILESS_MAIN(TestTestPagesSim)
#include "tst_testpages_sim.moc"
