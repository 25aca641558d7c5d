// Configuration file rules, seen through the INI file on disk and the log.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/packet.h"
#include "testsupport.h"

#include <QSettings>
#include <QTest>

#include <memory>

namespace {

// The start-up steps that involve the configuration.
void startUp(Conf& conf)
{
    conf.load();
    if (conf.FileVersion != 1)
        conf.save();
}

const char kIni[] = "tovra-cloud-printer-setup.ini";

} // namespace

class TestConf : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScratchDirectory> dir_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<ScratchDirectory>();
        QVERIFY(dir_->isValid());
        QVERIFY(logOpen());
    }
    void cleanup()
    {
        logClose();
        dir_.reset();
    }

    void firstStart()
    {
        Conf conf;
        startUp(conf);
        QCOMPARE(conf.FileVersion, 0);
        QCOMPARE(conf.vidPidList, (QList<quint32> {0x5A7C0002u, 0x5A7C00D2u}));
        QSettings written(kIni, QSettings::IniFormat);
        QCOMPARE(written.value("Conf/FileVersion").toInt(), 1);
        QCOMPARE(written.value("Conf/Language").toInt(), 0);
        QCOMPARE(written.value("Conf/VID_PID_List").toString(), QString("5a7c:0002;5a7c:00d2"));
        QVERIFY(!written.contains("Conf/FontSettingsEnabled"));
        QVERIFY(!written.childGroups().contains("Protocol"));
        logClose();
        QVERIFY(!readFile("log.txt").contains("VID/PID"));
    }

    // Every pair the line holds, whatever the quoting; a piece that cannot be
    // read is logged, and a rewrite keeps the text as it was found.
    void vidPidList_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QList<quint32>>("loaded");
        QTest::addColumn<QByteArrayList>("logged");
        QTest::addColumn<QString>("written");
        const QList<quint32> defaults {0x5A7C0002u, 0x5A7C00D2u};
        QTest::newRow("quoted, malformed pieces")
            << QByteArray("\"5A7C:0002;;zz12:0001;1234:5678 ;ABCD:EF01\"") << QList<quint32> {0x5A7C0002u, 0xABCDEF01u}
            << QByteArrayList {"VID/PID 5a7c:0002 loaded.", "VID/PID \"zz12:0001\" not read.",
                   "VID/PID \"1234:5678 \" not read.", "VID/PID abcd:ef01 loaded."}
            << QString("5A7C:0002;;zz12:0001;1234:5678 ;ABCD:EF01");
        QTest::newRow("unquoted ;") << QByteArray("5a7c:0002;1234:5678") << QList<quint32> {0x5A7C0002u, 0x12345678u}
                                    << QByteArrayList {"VID/PID 5a7c:0002 loaded.", "VID/PID 1234:5678 loaded."}
                                    << QString("5a7c:0002;1234:5678");
        QTest::newRow("commas") << QByteArray("5a7c:0002,ABCD:EF01") << QList<quint32> {0x5A7C0002u, 0xABCDEF01u}
                                << QByteArrayList {"VID/PID 5a7c:0002 loaded.", "VID/PID abcd:ef01 loaded."}
                                << QString("5a7c:0002;abcd:ef01");
        QTest::newRow("nothing valid") << QByteArray("\"5A7C-0002;12345:0001\"") << defaults
                                       << QByteArrayList {"VID/PID \"5A7C-0002\" not read.",
                                              "VID/PID \"12345:0001\" not read."}
                                       << QString("5A7C-0002;12345:0001");
        QTest::newRow("empty") << QByteArray() << defaults << QByteArrayList() << QString("5a7c:0002;5a7c:00d2");
    }
    void vidPidList()
    {
        QFETCH(QByteArray, line);
        QFETCH(QList<quint32>, loaded);
        QFETCH(QByteArrayList, logged);
        QFETCH(QString, written);
        QVERIFY(!writeScratchFile(kIni, "[Conf]\nFileVersion=3\nVID_PID_List=" + line + "\n").isEmpty());
        Conf conf;
        startUp(conf);
        QCOMPARE(conf.vidPidList, loaded);
        QCOMPARE(QSettings(kIni, QSettings::IniFormat).value("Conf/VID_PID_List").toString(), written);
        logClose();
        QByteArrayList lines = readFile("log.txt").split('\n');
        lines.removeAll(QByteArray());
        QCOMPARE(lines.size(), logged.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].contains("] " + logged[i] + " (conf.cpp,"), lines[i].constData());
    }

    void otherVersionIsRewritten_data()
    {
        QTest::addColumn<QByteArray>("fontLine");
        QTest::addColumn<int>("loaded");
        QTest::addColumn<QVariant>("written");
        QTest::newRow("enabled 5 becomes 1") << QByteArray("FontSettingsEnabled=5\n") << 5 << QVariant(1);
        QTest::newRow("0 stays 0") << QByteArray("FontSettingsEnabled=0\n") << 0 << QVariant(0);
        QTest::newRow("absent stays absent") << QByteArray() << -1 << QVariant();
    }
    void otherVersionIsRewritten()
    {
        QFETCH(QByteArray, fontLine);
        QFETCH(int, loaded);
        QFETCH(QVariant, written);
        QVERIFY(!writeScratchFile(kIni, "[Conf]\nFileVersion=2\nLanguage=7\nVID_PID_List=\"1234:abcd\"\n" + fontLine)
                     .isEmpty());
        Conf conf;
        startUp(conf);
        QCOMPARE(conf.FileVersion, 2);
        QCOMPARE(conf.Language, 7);
        QCOMPARE(conf.FontSettingsEnabled, loaded);
        QSettings file(kIni, QSettings::IniFormat);
        QCOMPARE(file.value("Conf/FileVersion").toInt(), 1);
        QCOMPARE(file.value("Conf/Language").toInt(), 7);
        QCOMPARE(file.value("Conf/VID_PID_List").toString(), QString("1234:abcd"));
        QCOMPARE(file.value("Conf/FontSettingsEnabled").toInt(), written.isValid() ? written.toInt() : 0);
        QCOMPARE(file.contains("Conf/FontSettingsEnabled"), written.isValid());
    }

    void protocolKeys_data()
    {
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("iv");
        QTest::addColumn<bool>("logged");
        const QByteArray builtInKey(packet::kDefaultKeyHex);
        const QByteArray builtInIv(packet::kIvHex);
        QTest::newRow("absent") << QByteArray() << builtInKey << builtInIv << false;
        QTest::newRow("both set") << QByteArray("DefaultKey=00112233445566778899AABBCCDDEEFF\n"
                                                "IV=ffeeddccbbaa99887766554433221100\n")
                                  << QByteArray("00112233445566778899aabbccddeeff")
                                  << QByteArray("ffeeddccbbaa99887766554433221100") << false;
        QTest::newRow("key too short") << QByteArray("DefaultKey=0011\n") << builtInKey << builtInIv << true;
        QTest::newRow("iv not hex") << QByteArray("IV=zz112233445566778899aabbccddeeff\n") << builtInKey << builtInIv
                                    << true;
    }
    void protocolKeys()
    {
        QFETCH(QByteArray, group);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, iv);
        QFETCH(bool, logged);
        QVERIFY(!writeScratchFile(kIni, "[Conf]\nFileVersion=2\n\n[Protocol]\n" + group).isEmpty());
        Conf conf;
        startUp(conf);
        QCOMPARE(conf.defaultKey.toHex(), key);
        QCOMPARE(conf.iv.toHex(), iv);
        // Read, never written: the rewrite keeps the group exactly as it was.
        QSettings file(kIni, QSettings::IniFormat);
        QCOMPARE(file.childGroups().contains("Protocol"), !group.isEmpty());
        logClose();
        QCOMPARE(readFile("log.txt").contains("ignored"), logged);
    }
};

QTEST_GUILESS_MAIN(TestConf)
#include "tst_conf.moc"
