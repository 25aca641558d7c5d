// Configuration file rules, seen through the INI file on disk and the log.

#include "app/conf.h"
#include "app/debuglog.h"
#include "link/packet.h"
#include "testsupport.h"

#include <QSettings>
#include <QTest>

namespace {

const char kIni[] = "tovra-cloud-printer-setup.ini";

// The start-up steps that involve the configuration; the messages they
// logged from conf.cpp, joined by " | ".
QString startUp(Conf& conf)
{
    conf.load();
    if (conf.FileVersion != 1)
        conf.save();
    logClose();
    QStringList messages;
    for (const QByteArray& line : readFile("log.txt").split('\n')) {
        if (!line.isEmpty())
            messages << QString::fromLatin1(line.mid(11, line.lastIndexOf(" (conf.cpp,") - 11));
    }
    return messages.join(" | ");
}

// The file as written: "key=value" joined by ", ", keys of "Conf" bare.
QString writtenFile()
{
    QSettings file(kIni, QSettings::IniFormat);
    QStringList values;
    for (const QString& key : file.allKeys())
        values << QString(key).remove("Conf/") + "=" + file.value(key).toString();
    return values.join(", ");
}

} // namespace

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
        QTest::addColumn<QList<quint32>>("loaded");
        QTest::addColumn<QByteArray>("keyAndIv"); // null: the built-in ones
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("written");
        const QList<quint32> defaults {0x5A7C0002u, 0x5A7C00D2u};
        const QString defaultList = "VID_PID_List=5a7c:0002;5a7c:00d2";
        // clang-format off
        QTest::newRow("first start") << QByteArray() << defaults << QByteArray() << ""
            << "FileVersion=1, Language=0, " + defaultList;
        QTest::newRow("quoted, malformed pieces")
            << QByteArray("VID_PID_List=\"5A7C:0002;;zz12:0001;1234:5678 ;ABCD:EF01\"")
            << QList<quint32> {0x5A7C0002u, 0xABCDEF01u} << QByteArray()
            << "VID/PID 5a7c:0002 loaded. | VID/PID \"zz12:0001\" not read. | VID/PID \"1234:5678 \" not read. | "
               "VID/PID abcd:ef01 loaded."
            << "FileVersion=1, Language=0, VID_PID_List=5A7C:0002;;zz12:0001;1234:5678 ;ABCD:EF01";
        QTest::newRow("unquoted ;, font settings 5")
            << QByteArray("VID_PID_List=5a7c:0002;1234:5678\nFontSettingsEnabled=5")
            << QList<quint32> {0x5A7C0002u, 0x12345678u} << QByteArray()
            << "VID/PID 5a7c:0002 loaded. | VID/PID 1234:5678 loaded."
            << "FileVersion=1, FontSettingsEnabled=1, Language=0, VID_PID_List=5a7c:0002;1234:5678";
        QTest::newRow("commas, language 7, font settings 0")
            << QByteArray("VID_PID_List=5a7c:0002,ABCD:EF01\nLanguage=7\nFontSettingsEnabled=0")
            << QList<quint32> {0x5A7C0002u, 0xABCDEF01u} << QByteArray()
            << "VID/PID 5a7c:0002 loaded. | VID/PID abcd:ef01 loaded."
            << "FileVersion=1, FontSettingsEnabled=0, Language=7, VID_PID_List=5a7c:0002;abcd:ef01";
        QTest::newRow("nothing valid") << QByteArray("VID_PID_List=\"5A7C-0002;12345:0001\"") << defaults << QByteArray()
            << "VID/PID \"5A7C-0002\" not read. | VID/PID \"12345:0001\" not read."
            << "FileVersion=1, Language=0, VID_PID_List=5A7C-0002;12345:0001";
        QTest::newRow("protocol constants")
            << QByteArray("[Protocol]\nDefaultKey=00112233445566778899AABBCCDDEEFF\nIV=ffeeddccbbaa99887766554433221100")
            << defaults << QByteArray("00112233445566778899aabbccddeeffffeeddccbbaa99887766554433221100") << ""
            << "FileVersion=1, Language=0, " + defaultList
               + ", Protocol/DefaultKey=00112233445566778899AABBCCDDEEFF, Protocol/IV=ffeeddccbbaa99887766554433221100";
        QTest::newRow("protocol constants malformed")
            << QByteArray("[Protocol]\nDefaultKey=0011\nIV=zz112233445566778899aabbccddeeff") << defaults << QByteArray()
            << "Protocol/DefaultKey ignored: not 32 hexadecimal digits. | "
               "Protocol/IV ignored: not 32 hexadecimal digits."
            << "FileVersion=1, Language=0, " + defaultList
               + ", Protocol/DefaultKey=0011, Protocol/IV=zz112233445566778899aabbccddeeff";
        // clang-format on
    }
    void rewrite()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<quint32>, loaded);
        QFETCH(QByteArray, keyAndIv);
        QFETCH(QString, logged);
        QFETCH(QString, written);
        ScratchDirectory dir;
        QVERIFY(dir.isValid() && logOpen());
        QVERIFY(file.isNull() || !writeScratchFile(kIni, "[Conf]\nFileVersion=2\n" + file + "\n").isEmpty());
        Conf conf;
        QCOMPARE(startUp(conf), logged);
        QCOMPARE(conf.vidPidList, loaded);
        QCOMPARE((conf.defaultKey + conf.iv).toHex(),
            keyAndIv.isNull() ? QByteArray(packet::kDefaultKeyHex) + packet::kIvHex : keyAndIv);
        QCOMPARE(writtenFile(), written);
    }
};

QTEST_GUILESS_MAIN(TestConf)
#include "tst_conf.moc"
