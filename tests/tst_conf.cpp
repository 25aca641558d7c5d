// Configuration file rules, seen through the INI file on disk and the log;
// the application executable reading and rewriting it at start-up; the debug
// log's lines byte for byte, bounds and threads.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/packet.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <thread>
#include <vector>

class TestConf : public QObject
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
    // One log for all: each open must truncate what the last test wrote.
    void init() { QVERIFY(dir_.isValid() && logOpen()); }
    void cleanup() { logClose(); }

    // Every pair the line holds, whatever the quoting; a piece that cannot be
    // read is logged, and a rewrite keeps the text as it was found. Another
    // version is rewritten with the values as loaded. The protocol constants
    // are read, never written.
    void rewrite_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no file
        QTest::addColumn<QString>("loaded"); // the pairs, then key and IV unless the built-in ones
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("written"); // "key=value", keys of "Conf" bare
        const QString defaults = "5a7c0002 5a7c00d2";
        const QString written = "FileVersion=1, Language=0, VID_PID_List=5a7c:0002;5a7c:00d2";
        // clang-format off
        QTest::newRow("first start") << QByteArray() << defaults << "" << written;
        QTest::newRow("quoted, malformed pieces")
            << QByteArray("VID_PID_List=\"5A7C:0002;;zz12:0001;1234:5678 ;ABCD:EF01\"") << "5a7c0002 abcdef01"
            << "VID/PID 5a7c:0002 loaded. | VID/PID \"zz12:0001\" not read. | VID/PID \"1234:5678 \" not read. | "
               "VID/PID abcd:ef01 loaded."
            << "FileVersion=1, Language=0, VID_PID_List=5A7C:0002;;zz12:0001;1234:5678 ;ABCD:EF01";
        QTest::newRow("unquoted ;, font settings 5")
            << QByteArray("VID_PID_List=5a7c:0002;1234:5678\nFontSettingsEnabled=5")
            << "5a7c0002 12345678" << "VID/PID 5a7c:0002 loaded. | VID/PID 1234:5678 loaded."
            << "FileVersion=1, FontSettingsEnabled=1, Language=0, VID_PID_List=5a7c:0002;1234:5678";
        QTest::newRow("commas, language 7, font settings 0")
            << QByteArray("VID_PID_List=5a7c:0002,ABCD:EF01\nLanguage=7\nFontSettingsEnabled=0") << "5a7c0002 abcdef01"
            << "VID/PID 5a7c:0002 loaded. | VID/PID abcd:ef01 loaded."
            << "FileVersion=1, FontSettingsEnabled=0, Language=7, VID_PID_List=5a7c:0002;abcd:ef01";
        QTest::newRow("nothing valid") << QByteArray("VID_PID_List=\"5A7C-0002;12345:0001\"") << defaults
            << "VID/PID \"5A7C-0002\" not read. | VID/PID \"12345:0001\" not read."
            << "FileVersion=1, Language=0, VID_PID_List=5A7C-0002;12345:0001";
        QTest::newRow("protocol constants")
            << QByteArray("[Protocol]\nDefaultKey=00112233445566778899AABBCCDDEEFF\n"
                          "IV=ffeeddccbbaa99887766554433221100")
            << defaults + " 00112233445566778899aabbccddeeffffeeddccbbaa99887766554433221100" << ""
            << written + ", Protocol/DefaultKey=00112233445566778899AABBCCDDEEFF, "
                         "Protocol/IV=ffeeddccbbaa99887766554433221100";
        QTest::newRow("protocol constants malformed")
            << QByteArray("[Protocol]\nDefaultKey=0011\nIV=zz112233445566778899aabbccddeeff") << defaults
            << "Protocol/DefaultKey ignored: not 32 hexadecimal digits. | "
               "Protocol/IV ignored: not 32 hexadecimal digits."
            << written + ", Protocol/DefaultKey=0011, Protocol/IV=zz112233445566778899aabbccddeeff";
        // clang-format on
    }
    void rewrite()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, loaded);
        QFETCH(QString, logged);
        QFETCH(QString, written);
        // A file of each row's own: QSettings would take one rewritten within
        // the same millisecond at the same size for the one it has read.
        Conf conf;
        conf.fileName = QTest::currentDataTag() + QStringLiteral(".ini");
        QVERIFY(file.isNull() || !writeScratchFile(conf.fileName, "[Conf]\nFileVersion=2\n" + file + "\n").isEmpty());
        // As the program starts.
        conf.load();
        if (conf.FileVersion != 1)
            conf.save();
        logClose();
        // The messages without their source locations.
        const QRegularExpression location(QStringLiteral(" \\(conf\\.cpp,\\d+\\)\\r"));
        QCOMPARE(QString::fromLatin1(withoutPrefixes()).remove(location).trimmed().replace('\n', " | "), logged);
        QStringList values;
        for (const quint32 pair : qAsConst(conf.vidPidList))
            values << QStringLiteral("%1").arg(pair, 8, 16, QLatin1Char('0'));
        const QByteArray keyAndIv = (conf.defaultKey + conf.iv).toHex();
        if (keyAndIv != QByteArray(packet::kDefaultKeyHex) + packet::kIvHex)
            values << keyAndIv;
        QCOMPARE(values.join(' '), loaded);
        const QSettings settings(conf.fileName, QSettings::IniFormat);
        values.clear();
        for (const QString& key : settings.allKeys())
            values << QString(key).remove("Conf/") + "=" + settings.value(key).toString();
        QCOMPARE(values.join(", "), written);
    }

    // The log is opened first, then the configuration read and rewritten.
    void executableRewritesOldConfiguration()
    {
        ScratchDirectory dir;
        const QString ini = "tovra-cloud-printer-setup.ini";
        const QByteArray old = "[Conf]\nFileVersion=2\nLanguage=2\nVID_PID_List=\"5A7C:00D2\"\n";
        QVERIFY(dir.isValid() && !writeScratchFile(ini, old).isEmpty());
        QProcess app;
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(QStringLiteral(TOVRA_APP_EXECUTABLE), {});
        QVERIFY(app.waitForStarted(10000));

        // The configuration is loaded after the log is opened, so its line is there.
        QTRY_VERIFY_WITH_TIMEOUT(readFile("log.txt").contains("VID/PID 5a7c:00d2 loaded."), 15000);
        // The rewrite follows the load and replaces the file whole.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(ini).contains("FileVersion=1"), 15000);
        const QSettings settings(conf.fileName, QSettings::IniFormat);
        QCOMPARE(settings.value("Conf/Language").toString() + ' ' + settings.value("Conf/VID_PID_List").toString(),
            QString("2 5a7c:00d2"));

        app.terminate();
        QVERIFY(app.waitForFinished(10000));
    }

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
        static const QRegularExpression whole(QStringLiteral("^thread \\d line \\d+ \\(tst_conf.cpp,\\d+\\)\\r$"));
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

QTEST_GUILESS_MAIN(TestConf)
#include "tst_conf.moc"
