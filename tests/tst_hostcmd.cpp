// Host command codec (the handshake's known answers are in tst_usbprinter): reassembly of packets
// however they are cut, and the command builders with their padding.

#include "link/hostcmd.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QTest>

namespace {

const auto hex = [](const char* text) { return QByteArray::fromHex(text); };

const packet::Key kIv = packet::keyFromBytes(hex(packet::kIvHex));
// Where a handshake answer was taken, among the records.
const QByteArray kIdentity("identity");

// A HostCmd whose packets are kept instead of written; the list outlives the writer.
struct Host
{
    QList<QByteArray> packets;
    HostCmd cmd;
    Host()
    {
        cmd.setWriter([this](const quint8* data, quint32 length, int) {
            packets.append(QByteArray(reinterpret_cast<const char*>(data), int(length)));
            return true;
        });
    }
};

// A session packet around an arbitrary (possibly invalid) padded plaintext,
// under the zero session key.
QByteArray rawSessionPacket(QByteArray plain)
{
    packet::AesCbc aes;
    auto* data = reinterpret_cast<quint8*>(plain.data());
    aes.encrypt(packet::Key {}, kIv, data, int(plain.size()), data);
    return hex("100111") + char(plain.size() / 16) + plain;
}

QByteArray sessionPacket(const QByteArray& record, const packet::Key& key = packet::Key {}, bool session = true)
{
    packet::AesCbc aes;
    return packet::build(aes, key, kIv, record, session);
}

void feedAll(HostCmd& cmd, const QByteArray& bytes)
{
    cmd.receiveAll(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()));
}

using Command = std::function<bool(HostCmd&)>;

} // namespace

Q_DECLARE_METATYPE(Command)

class TestHostCmd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Packets however the transport cuts them (at `cuts`): each record once,
    // in order, and an identity where each handshake answer stands.
    void reassembly_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<int>>("cuts");
        QTest::addColumn<QList<QByteArray>>("records");
        // The answer is its 68 bytes; the packets behind it, among keep-alives, are read under the new key.
        const QByteArray keepAlive = hex("100111ff"), reply = hex("0600") + QByteArray(5, '\x01');
        const packet::Key key = packet::keyFromBytes(hex(kSessionKeyLq520));
        const QByteArray answered = hex(kAnswerLq520) + keepAlive + sessionPacket(reply, key) + keepAlive + keepAlive
            + sessionPacket(fileData(200), key) + keepAlive;
        for (int piece : {1, 3, 5, 7, 13, 67, 69, 4096}) {
            QList<int> cuts;
            for (int at = piece; at < answered.size(); at += piece)
                cuts.append(at);
            QTest::addRow("answer and packets among keep-alives, %d-byte pieces", piece)
                << answered << cuts << QList {kIdentity, reply, fileData(200)};
        }
        // A serial of all 16 characters is used whole: openssl dgst -md5 of 01 00 00 00 "SIM0000000000001".
        QTest::newRow("answer with a 16-character serial")
            << sessionPacket(QByteArray(32, 0) + "SIM0000000000001" + QByteArray(8, 0),
                   packet::keyFromBytes(hex(packet::kDefaultKeyHex)), false)
                + sessionPacket(reply, packet::keyFromBytes(hex("f6bb2fa8eb9e987a767078ec054133ee")))
            << QList<int>() << QList {kIdentity, reply};
        // Nothing the host sends is over 480 bytes, but a printer's 31 blocks
        // with a one-byte pad carry 495: passed on whole, the readers bound it.
        QTest::newRow("495 bytes under a one-byte pad")
            << rawSessionPacket(fileData(495) + hex("01")) << QList<int>() << QList {fileData(495)};
        // A count-0 chunk far beyond any valid answer is never decrypted past it.
        QTest::newRow("block count 0 and 4096 bytes")
            << hex("10011100") + QByteArray(4096, '\x5a') << QList<int>() << QList<QByteArray>();

        // Refused as a chunk of its own, then the next chunk starts clean.
        const QList<std::pair<const char*, QByteArray>> refused
            = {{"wrong first byte", hex("110111") + QByteArray(30, 0)},
                {"wrong third byte", hex("100112") + QByteArray(30, 0)},
                {"block count 32", hex("10011120") + QByteArray(600, 0)},
                {"block count 254", hex("100111fe") + QByteArray(30, 0)},
                {"pad 00", rawSessionPacket(fileData(15) + hex("00"))},
                {"pad 11", rawSessionPacket(fileData(15) + hex("11"))},
                {"padding is the whole body", rawSessionPacket(QByteArray(16, 16))},
                {"unequal padding bytes", rawSessionPacket(fileData(12) + hex("04040304"))}};
        for (const auto& [name, bad] : refused)
            QTest::addRow("refused: %s", name)
                << bad + sessionPacket(fileData(5)) << QList {int(bad.size())} << QList {fileData(5)};

        // Stray pieces of a header swallow nothing: behind each packet of a
        // burst, or ending a chunk whose next one starts a packet (or the end
        // of that chunk cut its header). Longer than a piece of a header, the
        // padding gives it away.
        QList<std::pair<QString, QByteArray>> strays
            = {{"30 bytes of a 5-block packet", sessionPacket(fileData(70)).left(30)}};
        for (int n = 1; n < 20; ++n) {
            strays.append({QString("%1 bytes of a 5-block packet").arg(n), sessionPacket(fileData(70)).left(n)});
            strays.append({QString("%1 bytes of an answer").arg(n), hex(kAnswerLq520).left(n)});
            strays.append({QString("%1 bytes, block count 40").arg(n), (hex("10011140") + fileData(16)).left(n)});
        }
        const QList<QByteArray> records = {fileData(5), fileData(20), fileData(40), fileData(3), fileData(100)};
        for (const auto& [name, stray] : strays) {
            QByteArray stream, burst;
            for (const QByteArray& record : records) {
                stream += sessionPacket(record);
                burst += sessionPacket(record) + stray;
            }
            QTest::addRow("%s, behind each", qPrintable(name)) << burst << QList<int>() << records;
            const QByteArray before = sessionPacket(fileData(30)) + stray;
            for (int cut = 0; cut < 4; ++cut)
                QTest::addRow("%s, then %d bytes", qPrintable(name), cut)
                    << before + stream << QList {int(before.size()) + cut, int(before.size()) + cut + 60}
                    << QList {fileData(30)} + records;
        }
    }
    void reassembly()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<int>, cuts);
        QFETCH(QList<QByteArray>, records);
        Host h;
        h.cmd.sendHandshake(true);
        QList<QByteArray> received;
        connect(&h.cmd, &HostCmd::deviceFound, &h.cmd, [&received] { received.append(kIdentity); });
        connect(&h.cmd, &HostCmd::responseReceived, &h.cmd, [&received](const QByteArray& r) { received.append(r); });
        int from = 0;
        for (int cut : cuts + QList {int(stream.size())}) {
            feedAll(h.cmd, stream.mid(from, cut - from));
            from = qMax(from, cut);
        }
        QCOMPARE(received, records);
    }

    void fixedCommands_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArray>("record");
        const QByteArray path("/data/PUB/fonts/");
        const QByteArray pathField = path + QByteArray(128 - path.size(), '\0');
        // Padded to whole blocks, a whole block of padding after 16 bytes; none over 480.
        for (int length : {1, 15, 16, 46, 480, 481, 0})
            QTest::addRow("record of %d bytes", length)
                << Command([length](HostCmd& c) { return c.sendRecord(fileData(length)); })
                << (length <= 480 ? fileData(length) : QByteArray());
        // Records written out by hand from the command table.
        QTest::newRow("'Q' read font table") << Command(&HostCmd::requestFontSettings) << hex("5101");
        QTest::newRow("'R' begin font table") << Command(&HostCmd::beginFontSettings) << hex("5201");
        QTest::newRow("'T' end font table") << Command(&HostCmd::endFontSettings) << hex("5401");
        QTest::newRow("'U' reset font table") << Command(&HostCmd::resetFontSettings) << hex("5501");
        QTest::newRow("'2' restart 4G") << Command(&HostCmd::restartWnet) << hex("3201");
        QTest::newRow("'a' list directory")
            << Command([path](HostCmd& c) { return c.requestDirectory(path); }) << hex("6101") + pathField;
        QTest::newRow("'d' delete file") << Command([path](HostCmd& c) { return c.deleteFile(path); })
                                         << hex("6401") + pathField;
        QTest::newRow("'b' upload request, 300 bytes")
            << Command([path](HostCmd& c) { return c.requestUpload(path, 300); })
            << hex("62010000") + pathField + hex("2c010000") + QByteArray(16, '\0');
        QTest::newRow("'c' upload complete") << Command([path](HostCmd& c) {
            return c.completeUpload(path, 300, hex("00112233445566778899aabbccddeeff"));
        }) << hex("63010000") + pathField + hex("2c01000000112233445566778899aabbccddeeff");
        QTest::newRow("'S' font table entry")
            << Command([](HostCmd& c) { return c.sendFontSettingsEntry(QByteArray(438, '\x77')); })
            << hex("5301") + QByteArray(436, '\x77');
        // Wi-Fi credentials: tst_settings' known answers.
        QTest::newRow("'a' with a 200-byte path keeps 127 bytes")
            << Command([](HostCmd& c) { return c.requestDirectory(QByteArray(200, 'p')); })
            << hex("6101") + QByteArray(127, 'p') + QByteArray(1, '\0');
    }
    void fixedCommands()
    {
        QFETCH(Command, command);
        QFETCH(QByteArray, record);
        Host h;
        QCOMPARE(command(h.cmd), !record.isEmpty());
        const int pad = 16 - record.size() % 16;
        QCOMPARE(h.packets,
            record.isEmpty() ? QList<QByteArray>() : QList {rawSessionPacket(record + QByteArray(pad, char(pad)))});
    }

    // The last records both ways, the oldest dropped first; of the
    // credentials only their identifier and length.
    void historyIsBounded()
    {
        Host h;
        for (int type = 0; type < RecordHistory::kCapacity; ++type)
            QVERIFY(h.cmd.requestRecord(quint16(type)));
        settings::WifiCredentials credentials;
        credentials.setText(settings::WifiCredentials::Ssid, "Shop");
        credentials.setText(settings::WifiCredentials::Password, "s3cret");
        QVERIFY(h.cmd.sendRecord(credentials.bytes()));
        feedAll(h.cmd, sessionPacket(hex("0300aabbcc")));
        const QList<QByteArray> lines = h.cmd.history().toCsv().split('\n');
        QCOMPARE(lines.size(), RecordHistory::kCapacity + 2);
        QCOMPARE(lines[0], "time,direction,id,length");
        QVERIFY2(lines[1].endsWith(",sent,0x0002,2"), lines[1]);
        QVERIFY2(lines.end()[-3].endsWith(",sent,0x0111,258") && lines.end()[-2].endsWith(",received,0x0003,5"),
            lines.end()[-3] + lines.end()[-2]);
        QVERIFY(!h.cmd.history().toCsv().contains("s3cret") && !h.cmd.history().toCsv().contains("Shop"));
    }
};

QTEST_GUILESS_MAIN(TestHostCmd)
#include "tst_hostcmd.moc"
