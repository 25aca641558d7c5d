// Configuration file rules, seen through the INI file on disk and the log;
// the application executable reading and rewriting it at start-up.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/packet.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTest>

class TestConf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        ScratchDirectory dir;
        QVERIFY(dir.isValid() && logOpen());
        const char ini[] = "tovra-cloud-printer-setup.ini";
        QVERIFY(file.isNull() || !writeScratchFile(ini, "[Conf]\nFileVersion=2\n" + file + "\n").isEmpty());
        // As the program starts.
        Conf conf;
        conf.load();
        if (conf.FileVersion != 1)
            conf.save();
        logClose();
        // The messages without their thread tags and source locations.
        static const QRegularExpression decoration(
            QStringLiteral("^\\[[ 0-9a-f]{8}\\] | \\(conf\\.cpp,\\d+\\)\\r$"), QRegularExpression::MultilineOption);
        QCOMPARE(QString::fromLatin1(readFile("log.txt")).remove(decoration).trimmed().replace('\n', " | "), logged);
        QStringList values;
        for (const quint32 pair : qAsConst(conf.vidPidList))
            values << QStringLiteral("%1").arg(pair, 8, 16, QLatin1Char('0'));
        const QByteArray keyAndIv = (conf.defaultKey + conf.iv).toHex();
        if (keyAndIv != QByteArray(packet::kDefaultKeyHex) + packet::kIvHex)
            values << keyAndIv;
        QCOMPARE(values.join(' '), loaded);
        const QSettings settings(ini, QSettings::IniFormat);
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
        const QSettings settings(ini, QSettings::IniFormat);
        QCOMPARE(settings.value("Conf/Language").toString() + ' ' + settings.value("Conf/VID_PID_List").toString(),
            QString("2 5a7c:00d2"));

        app.terminate();
        QVERIFY(app.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestConf)
#include "tst_conf.moc"
