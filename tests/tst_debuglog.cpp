// Debug log lines byte for byte, bounds and threads.

#include "app/debuglog.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QTest>

#include <thread>
#include <vector>

class TestDebugLog : public QObject
{
    Q_OBJECT

    ScratchDirectory dir_;

    // The log with each line's thread prefix, "[%8x] ", taken out.
    static QByteArray withoutPrefixes()
    {
        static const QRegularExpression prefix(QStringLiteral("(^|\n)\\[[ 0-9a-f]{7}[0-9a-f]\\] "));
        return QString::fromLatin1(readFile("log.txt")).replace(prefix, QStringLiteral("\\1")).toLatin1();
    }

private Q_SLOTS:
    // One file for all: each open must truncate what the last test wrote.
    void init() { QVERIFY(dir_.isValid() && logOpen()); }
    void cleanup() { logClose(); }

    void lineFormat_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("line");
        const QByteArray opened("Serial port opened.");
        // clang-format off
        QTest::newRow("slashes") << QByteArray("/home/dev/link/tcpprinter.cpp") << opened << opened + " (tcpprinter.cpp,42)\r";
        QTest::newRow("mixed, backslash last") << QByteArray("..\\src/ui\\c.cpp") << opened << opened + " (c.cpp,42)\r";
        QTest::newRow("bare name") << QByteArray("main.cpp") << opened << opened + " (main.cpp,42)\r";
        // 1023 bytes with CR LF, the buffer less its closing zero: 11 of
        // prefix, 996 of message, 16 of suffix.
        QTest::newRow("too long, cut keeping the suffix") << QByteArray("long.cpp") << QByteArray(3000, 'm') << QByteArray(996, 'm') + " (long.cpp,42)\r";
        // clang-format on
    }
    void lineFormat()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, line);
        logWrite(source.constData(), 42, "%s", message.constData());
        logWrite("next.cpp", 43, "next");
        logClose();
        logWrite("closed.cpp", 44, "closed");
        QCOMPARE(withoutPrefixes(), line + "\nnext (next.cpp,43)\r\n");
    }

    void linesFromManyThreadsStayWhole()
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 500; ++i)
                    LOG("thread %d line %d", t, i);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        logClose();
        const QByteArrayList raw = readFile("log.txt").split('\n');
        const QByteArrayList lines = withoutPrefixes().split('\n');
        QCOMPARE(lines.size(), 2001);
        static const QRegularExpression whole(QStringLiteral("^thread \\d line \\d+ \\(tst_debuglog.cpp,\\d+\\)\\r$"));
        QSet<QByteArray> tags;
        QSet<QByteArray> tagsOfThreads; // "[tag] thread n"
        for (int i = 0; i + 1 < lines.size(); ++i) {
            QVERIFY2(whole.match(QString::fromLatin1(lines[i])).hasMatch(), lines[i].constData());
            tags << raw[i].left(10);
            tagsOfThreads << raw[i].left(19);
        }
        // A tag of its own for each thread.
        QVERIFY(tags.size() == 4 && tagsOfThreads.size() == 4);
    }
};

QTEST_GUILESS_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
