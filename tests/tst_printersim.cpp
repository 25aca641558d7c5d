// The printer simulator: its replies and settings records against the wire
// layouts, its state file and options, and the executable over a real
// loopback socket. Expected bytes are written out by hand from the record
// layouts, never produced by the simulator's own builders.

#include "simprocess.h"
#include "testsupport.h"
#include "tools/printersim/simlog.h"
#include "tools/printersim/simoptions.h"
#include "tools/printersim/simstatefile.h"

#include <QCryptographicHash>
#include <QTcpSocket>
#include <QTest>

namespace {

const auto hex = [](const char* digits) { return QByteArray::fromHex(digits); };

// The host's side of one connection, written from the protocol description
// with the shared packet framing.
class HostClient final
{
public:
    explicit HostClient(const char* keyHex = packet::kDefaultKeyHex, const char* ivHex = packet::kIvHex)
        : defaultKey_(packet::keyFromBytes(hex(keyHex)))
        , iv_(packet::keyFromBytes(hex(ivHex)))
    {
    }

    // Connects unless connected and shakes hands; the plaintext of the
    // answer, empty unless it is a valid 68-byte answer. `member`: the
    // printer of a fleet, from 0.
    QByteArray handshake(const SimProcess& sim, quint32 nonce, const QByteArray& sn, int member = 0)
    {
        if (socket_.state() == QAbstractSocket::UnconnectedState)
            socket_.connectToHost(QHostAddress(sim.address().toIPv4Address() + quint32(member)), sim.port());
        // Least significant byte first; the session key is the MD5 of nonce and serial.
        const QByteArray bytes = QByteArray(1, char(nonce)) + char(nonce >> 8) + char(nonce >> 16) + char(nonce >> 24);
        socket_.write(packet::build(aes_, defaultKey_, iv_, bytes, false));
        const QByteArray answer = read(68);
        const QByteArray plain = decrypt(defaultKey_, answer.mid(4));
        sessionKey_ = packet::keyFromBytes(QCryptographicHash::hash(bytes + field(sn, 16), QCryptographicHash::Md5));
        return answer.startsWith(hex("10011100")) && plain.endsWith(QByteArray(8, 8)) ? plain.left(56) : QByteArray();
    }

    // Written out while the next read waits.
    void sendRecord(const QByteArray& record) { socket_.write(packet::build(aes_, sessionKey_, iv_, record, true)); }

    // One whole session packet, decrypted and unpadded.
    QByteArray readRecord()
    {
        const QByteArray header = read(4);
        const bool valid = header.size() == 4 && header.startsWith(hex("100111"));
        const QByteArray plain = valid ? decrypt(sessionKey_, read(16 * quint8(header[3]))) : QByteArray();
        return plain.left(packet::unpaddedLength(reinterpret_cast<const quint8*>(plain.constData()), plain.size()));
    }

    QByteArray request(quint16 type)
    {
        sendRecord(QByteArray(1, char(type)) + '\0');
        return readRecord();
    }

    // Every record the printer answers a font table read with. A read
    // request for the audio settings follows it: its reply marks the end.
    QList<QByteArray> readFontTable()
    {
        sendRecord(hex("5101"));
        sendRecord(hex("0600"));
        QList<QByteArray> entries;
        for (QByteArray r = readRecord(); !r.isEmpty() && !r.startsWith(hex("0600")); r = readRecord())
            entries.append(r);
        return entries;
    }

private:
    QByteArray read(int size)
    {
        while (socket_.bytesAvailable() < size && socket_.waitForReadyRead(5000))
            continue;
        return socket_.read(size);
    }

    QByteArray decrypt(const packet::Key& key, QByteArray body)
    {
        auto* data = reinterpret_cast<quint8*>(body.data());
        const bool whole = !body.isEmpty() && body.size() % 16 == 0;
        return whole && aes_.decrypt(key, iv_, data, body.size(), data) ? body : QByteArray();
    }

    QTcpSocket socket_;
    packet::AesCbc aes_;
    packet::Key defaultKey_, iv_, sessionKey_ {};
};

// Font table rows as the host sends them ('S', version 1): enabled, ct, px,
// ad, script, language, font file, face index, threshold, pixel width and
// height, advance, then 40 range slots.
const QByteArray kHanRow = field(hex("5301 01071802") + field("HAN", 32) + field("zh", 4)
        + field(QStringLiteral("\u601d\u6e90\u9ed1\u4f53-\u00dc.otf").toUtf8(), 64)
        + hex("03000000 c800 2000 1800 1e00 00340000 bf4d0000 004e0000 ff9f0000"),
    438);
const QByteArray kLatinRow = field(hex("5301 00000000") + field("LATIN", 32) + field("en", 4)
        + field("DejaVuSansMono.ttf", 64) + hex("00000000 8000 0c00 1800 0c00 20000000 7e000000"),
    438);

// CJK 11, code page 16, UTF-8 on, density 115, quality 100 (byte 9B),
// black-mark paper (113) with 2000 and 100, print position 12.3 mm, cut
// position -2.5 mm, feed 160 dots, centre mark, both flags.
const QByteArray kPrint = hex("210100 0b1001739b 71000000 d0070000 64000000 7b000000 e7ffffff"
                              "000000000000000000000000 a0000000 0203");

// The rows the printer answers a read with: the same bytes under 'Q'.
const QList<QByteArray> kReplies {QByteArray(kHanRow).replace(0, 1, "Q"), QByteArray(kLatinRow).replace(0, 1, "Q")};

} // namespace

class TestPrinterSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The reply to a read request, fresh or after a settings record; the
    // record one byte short or long, or its identifier alone, changes nothing.
    void replies_data()
    {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray lq520 = "LQ520", lq560 = "LQ560-4G", none;
        // The DHCP address is the printer's own, so that a test page printed
        // from it comes back here; no Wi-Fi.
        QTest::newRow("network information")
            << lq520 << none << 2 << 20 << hex("7f4d0102 ffffff00 00000000 00000000") + field("", 128);
        // Quality 50 goes out as its complement; paper type 48, feed 160 dots.
        QTest::newRow("print settings") << lq560 << none << 3 << 3
                                        << hex("00000064cd 30000000 00000000 00000000 00000000 00000000"
                                               "000000000000000000000000 a0000000 0100");
        // No 4G module: RSSI "no value", disabled.
        QTest::newRow("mobile network, no module")
            << lq520 << none << 4 << 258 << hex("ff00 0000 0000") + field("", 80);
        QTest::newRow("print settings applied") << lq560 << kPrint << 3 << 3 << kPrint.mid(3);
        // 9600 baud, 7 data bits, 2 stop bits, even parity.
        const QByteArray serial = hex("4101 80250000 07000000 02000000 02000000");
        QTest::newRow("serial settings applied") << lq560 << serial << 5 << 2 << serial.mid(2);
        QTest::newRow("audio settings applied") << lq560 << hex("03010001000183") << 6 << 2 << hex("0001000183");
        // 10.0.0.5 / 255.0.0.0, network order as sent.
        QTest::newRow("Wi-Fi address applied")
            << lq560 << hex("02010a000005ff000000") << 2 << 190 << hex("0a000005ff000000");
        const QByteArray apn = hex("31010100") + field("internet", 64) + field("*98#", 16);
        QTest::newRow("APN applied") << lq560 << apn << 4 << 262 << apn.mid(2);
        const QByteArray ssid = field(QStringLiteral("Caf\u00e9-5G").toUtf8(), 128);
        QTest::newRow("Wi-Fi credentials applied")
            << lq560 << hex("1101") + ssid + field("s3cret", 128) << 2 << 36 << ssid;
    }
    void replies()
    {
        QFETCH(QByteArray, model);
        QFETCH(QByteArray, record);
        QFETCH(int, type);
        QFETCH(int, offset);
        QFETCH(QByteArray, expected);
        // The serial number fills all 16 bytes of its field, no NUL.
        const SimIdentity identity {model.left(5), model, "ABCDEFGHIJKLMNOP"};
        SimModel printer(identity, SimModel::defaultState(identity, 0x7F4D0102));
        QCOMPARE(printer.reply(quint16(type)).mid(offset, expected.size()) == expected, record.isEmpty());
        const QJsonObject before = stateToJson(printer.state());
        for (int cut : {record.size() - 1, record.size() + 1, 2}) {
            QVERIFY(record.isEmpty() || printer.apply(field(record, cut)) == ApplyResult::WrongLength);
            QCOMPARE(stateToJson(printer.state()), before);
        }
        QVERIFY(record.isEmpty() || printer.apply(record) == ApplyResult::Applied);
        QCOMPARE(printer.reply(quint16(type)).mid(offset, expected.size()), expected);
    }

    void optionsAreChecked_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // The faults line for the log, or what is wrong, or part of the help.
        QTest::addColumn<QString>("expected");
        QTest::newRow("every fault")
            << QStringList {"--fault-split", "--fault-garbage", "--fault-drop-after", "3", "--fault-drop-mid", "2",
                   "--fault-handshake", "twice", "--fault-stall-upload", "0", "--fault-discovery-flood", "3000",
                   "--usb-pty", "usb", "--fault-pty-close-after", "70", "--fault-seed", "7"}
            << "faults: split writes, garbage between packets, drop after 3 replies, drop inside "
               "reply 2, handshake answered twice, uploads stall after 0 bytes, discovery flood "
               "of 3000 replies, USB closes after 70 bytes read; seed 7";
        QTest::newRow("handshake sometimes") << QStringList {"--fault-handshake", "sometimes"}
                                             << "--fault-handshake: 'sometimes' is neither 'never' nor 'twice'.";
        QTest::newRow("USB closed without USB")
            << QStringList {"--fault-pty-close-after", "70"} << "--fault-pty-close-after needs --usb-pty.";
        QTest::newRow("help") << QStringList {"--help"} << "--fault-drop-mid <n>";
        QTest::newRow("port too big") << QStringList {"--port", "65536"}
                                      << "--port: '65536' is not a port number (0..65535).";
        QTest::newRow("key too short") << QStringList {"--key", QString(31, '0')}
                                       << "--key: '" + QString(31, '0') + "' is not 32 hex digits.";
        QTest::newRow("serial too long") << QStringList {"--sn", "SIM00000000000001"}
                                         << "--sn: 'SIM00000000000001' must be 1 to 16 printable ASCII characters.";
        QTest::newRow("ignore a read-only field") << QStringList {"--fault-ignore", "network.wifi_mac"}
                                                  << "--fault-ignore: 'network.wifi_mac' is not a setting the printer "
                                                     "takes.";
        QTest::newRow("ignore a bit") << QStringList {"--fault-ignore", "audio.not_taken_beep", "--fault-seed", "1"}
                                      << "faults: writes of audio.not_taken_beep ignored; seed 1";
        QTest::newRow("fleet too large") << QStringList {"--fleet", "251"}
                                         << "--fleet: '251' is not a number of printers (1..250).";
        QTest::newRow("fleet off loopback") << QStringList {"--fleet", "2", "--listen", "192.168.1.20"}
                                            << "--fleet: 192.168.1.20 is not an IPv4 loopback address.";
        QTest::newRow("fleet past loopback") << QStringList {"--fleet", "3", "--listen", "127.255.255.253"}
                                             << "--fleet: 3 printers from 127.255.255.253 run past 127.255.255.254.";
        QTest::newRow("fleet with USB") << QStringList {"--fleet", "2", "--usb-pty", "usb"}
                                        << "--fleet: --usb-pty and --discovery serve one printer only.";
    }
    void optionsAreChecked()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        SimOptions options;
        QString message;
        const OptionsResult result = parseOptions(QStringList {"tovra-printer-sim"} + arguments, options, message);
        const QString shown = result == OptionsResult::Run ? options.faults.describe() : message;
        QVERIFY2(result == OptionsResult::Help ? shown.contains(expected) : shown == expected, qPrintable(shown));
        // Nobody else's network unless asked.
        QVERIFY(options.listenAddress.isLoopback());
    }

    // The log names the network but shows nothing of the password, however
    // the record is cut.
    void logMasksThePassword()
    {
        const QByteArray record = hex("1101") + field("Lab-Net", 128) + field("Hunter2-secret", 128);
        for (int length : {258, 140}) {
            const QString line = SimLog::describe(record.left(length), SimLog::Direction::Received);
            QVERIFY2(line.contains("ssid \"Lab-Net\"") && !line.contains(QByteArray("Hunter2").toHex(' ')),
                qPrintable(line));
        }
    }

    void executableServesAHost()
    {
        const QTemporaryDir dir;
        const QString state = dir.filePath("e2e.json");
        const QByteArray sn = "SIM0000000000042";
        // A corrupt state file is moved aside, not lost to the next save.
        QVERIFY(!writeScratchFile(state, "{\"print\": 1").isEmpty());
        const QStringList model {"--keepalive-ms", "0", "--project", "LQ560", "--model", "LQ560-4G", "--state", state,
            "--wnet-restart-ms", "600000"};
        SimProcess sim;
        QVERIFY(sim.start(model + QStringList {"--sn", sn}));
        QCOMPARE(readFile(state + ".corrupt"), QByteArray("{\"print\": 1"));
        HostClient host;
        const QByteArray identity = field("LQ560", 16) + field("LQ560-4G", 16) + field(sn, 24);
        QCOMPARE(host.handshake(sim, 0x12345678, sn), identity);
        // Read request 1 comes back under the key derived from nonce and serial.
        QCOMPARE(host.request(1).left(58), hex("0100") + identity);
        // A new handshake on the same connection replaces the key.
        QCOMPARE(host.handshake(sim, 1, sn).size(), 56);

        // Settings apply; font table rows count between a begin and an end
        // only, a begin starts over, a short row is refused.
        const QByteArray begin = hex("5201"), end = hex("5401");
        for (const QByteArray& record : {hex("0101c0a80164ffff0000"), kPrint, hex("03010001000183"), begin, kLatinRow,
                 begin, kHanRow.left(437), kHanRow, kLatinRow, end, kHanRow, end})
            host.sendRecord(record);
        QCOMPARE(host.readFontTable(), kReplies);
        QList<QByteArray> replies;
        for (quint16 type = 2; type <= 6; ++type)
            replies.append(host.request(type));
        QCOMPARE(replies[0].mid(28, 8), hex("c0a80164ffff0000"));
        QCOMPARE(sim.stop(), 0);

        // The printer keeps its state across a restart, here with keys of its
        // own; a short serial number goes into the key zero-filled to 16 bytes.
        const char* key = "00112233445566778899aabbccddeeff";
        const char* iv = "ffeeddccbbaa99887766554433221100";
        QVERIFY(sim.start(model + QStringList {"--sn", "SIM42", "--key", key, "--iv", iv}));
        HostClient second(key, iv);
        QCOMPARE(second.handshake(sim, 7, "SIM42").size(), 56);
        for (quint16 type = 2; type <= 6; ++type)
            QCOMPARE(second.request(type), replies[type - 2]);
        QCOMPARE(second.readFontTable(), kReplies);
        // Restarting the 4G module: "Enabling" at once.
        second.sendRecord(hex("3201"));
        QCOMPARE(second.request(4).mid(260, 2), hex("0200"));
        QCOMPARE(sim.stop(), 0);
    }

    // Each printer of a fleet has its own serial number, the base cut to make
    // room for the suffix, and its own state file. Their settings apart and the
    // ignored field: tst_printerctl's drift and failures runs.
    void fleetPrintersAreApart()
    {
        const QTemporaryDir dir;
        SimProcess sim;
        sim.setAddress(QHostAddress(QStringLiteral("127.0.5.1")));
        QVERIFY(sim.start(
            {"--fleet", "3", "--sn", "FLEET0000000042", "--state", dir.filePath("state"), "--keepalive-ms", "0"}));
        HostClient hosts[3];
        for (int i = 0; i < 3; ++i) {
            const QByteArray sn = "FLEET0000000-00" + QByteArray::number(i + 1);
            QCOMPARE(hosts[i].handshake(sim, 9, sn, i).mid(32), field(sn, 24));
        }
        hosts[1].sendRecord(kPrint);
        QCOMPARE(hosts[1].request(3).mid(3), kPrint.mid(3));
        QCOMPARE(sim.stop(), 0);
        QVERIFY(readFile(dir.filePath("state/printer-002.json")).contains("\"cjk\": 11"));
        QVERIFY(readFile(dir.filePath("state/printer-001.json")).contains("\"cjk\": 0,"));
    }
};

QTEST_GUILESS_MAIN(TestPrinterSim)
#include "tst_printersim.moc"
