// Debug log lines byte for byte, bounds and threads.

#include "app/debuglog.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

namespace {

const QRegularExpression kPrefix(QStringLiteral("^\\[[ 0-9a-f]{7}[0-9a-f]\\] "));

} // namespace

class TestDebugLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScratchDirectory> dir_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<ScratchDirectory>();
        QVERIFY(dir_->isValid());
    }
    void cleanup()
    {
        logClose();
        dir_.reset();
    }

    void lineFormat_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("backslashes") << QByteArray("..\\src\\ui\\widgetserial.cpp")
                                     << QByteArray("Serial port opened. (widgetserial.cpp,42)\r\n");
        QTest::newRow("slashes") << QByteArray("/home/dev/link/tcpprinter.cpp")
                                 << QByteArray("Serial port opened. (tcpprinter.cpp,42)\r\n");
        QTest::newRow("mixed") << QByteArray("a/b\\c.cpp") << QByteArray("Serial port opened. (c.cpp,42)\r\n");
        QTest::newRow("bare name") << QByteArray("main.cpp") << QByteArray("Serial port opened. (main.cpp,42)\r\n");
    }
    void lineFormat()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, expected);
        QVERIFY(logOpen());
        logWrite(source.constData(), 42, "Serial port opened.");
        logClose();
        const QByteArray text = readFile("log.txt");
        QVERIFY2(kPrefix.match(QString::fromLatin1(text)).hasMatch(), text.constData());
        QCOMPARE(text.mid(11), expected);
    }

    void longMessageIsCutKeepingTheSuffix()
    {
        QVERIFY(logOpen());
        const QByteArray message(3000, 'm');
        logWrite("long.cpp", 9, "%s", message.constData());
        logWrite("long.cpp", 10, "next");
        logClose();
        const QList<QByteArray> lines = readFile("log.txt").split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].size() + 1, 1023); // the buffer less its closing zero
        QVERIFY(lines[0].endsWith("mmm (long.cpp,9)\r"));
        QVERIFY(lines[1].endsWith("next (long.cpp,10)\r"));
    }

    void writesOnlyWhileOpenAndEachStartTruncates()
    {
        logWrite("x.cpp", 1, "before open");
        QVERIFY(!QFile::exists("log.txt"));
        QVERIFY(logOpen());
        logWrite("x.cpp", 2, "first run");
        logClose();
        logWrite("x.cpp", 3, "after close");
        QVERIFY(readFile("log.txt").contains("first run") && !readFile("log.txt").contains("after close"));
        QVERIFY(logOpen());
        logWrite("x.cpp", 4, "second run");
        logClose();
        QVERIFY(!readFile("log.txt").contains("first run") && readFile("log.txt").contains("second run"));
    }

    void linesFromManyThreadsStayWhole()
    {
        QVERIFY(logOpen());
        constexpr int kThreads = 4;
        constexpr int kLines = 500;
        std::vector<QThread*> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.push_back(QThread::create([t] {
                for (int i = 0; i < kLines; ++i)
                    LOG("thread %d line %d", t, i);
            }));
            threads.back()->setParent(this);
            threads.back()->start();
        }
        for (QThread* thread : threads)
            QVERIFY(thread->wait(30000));
        logClose();
        const QList<QByteArray> lines = readFile("log.txt").split('\n');
        QCOMPARE(lines.size(), kThreads * kLines + 1);
        const QRegularExpression line(QStringLiteral("^\\[([ 0-9a-f]{8})\\] thread (\\d) line \\d+ "
                                                     "\\(tst_debuglog.cpp,\\d+\\)\\r$"));
        QHash<QString, QString> prefixOfThread;
        for (int i = 0; i < lines.size() - 1; ++i) {
            const QRegularExpressionMatch match = line.match(QString::fromLatin1(lines[i]));
            QVERIFY2(match.hasMatch(), lines[i].constData());
            prefixOfThread.insert(match.captured(2), match.captured(1));
        }
        QCOMPARE(QSet<QString>(prefixOfThread.cbegin(), prefixOfThread.cend()).size(), kThreads);
    }
};

QTEST_GUILESS_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
