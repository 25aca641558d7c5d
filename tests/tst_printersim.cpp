// The printer simulator: its replies and settings records against the wire
// layouts, its state file, its options, and the executable over a real
// loopback socket. Expected bytes are written out by hand from the record
// layouts, never produced by the simulator's own builders.

#include "link/packet.h"
#include "simprocess.h"
#include "testsupport.h"
#include "tools/printersim/simlog.h"
#include "tools/printersim/simmodel.h"
#include "tools/printersim/simoptions.h"
#include "tools/printersim/simprinter.h"
#include "tools/printersim/simstatefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

SimIdentity lq560()
{
    SimIdentity identity;
    identity.project = "LQ560";
    identity.model = "LQ560-4G";
    identity.sn = "ABCDEFGHIJKLMNOP"; // all 16 bytes of its field, no NUL
    return identity;
}

SimModel freshModel(const SimIdentity& identity = lq560())
{
    return SimModel(identity, SimModel::defaultState(identity));
}

QList<QByteArray> allReplies(const SimModel& model)
{
    QList<QByteArray> replies;
    for (quint16 type = 1; type <= 6; ++type)
        replies.append(model.reply(type));
    return replies;
}

// The host's side of one connection, written from the protocol description
// with the shared packet framing.
class HostClient final
{
public:
    explicit HostClient(const char* keyHex = packet::kDefaultKeyHex, const char* ivHex = packet::kIvHex)
        : defaultKey_(packet::keyFromBytes(QByteArray::fromHex(keyHex)))
        , iv_(packet::keyFromBytes(QByteArray::fromHex(ivHex)))
    {
    }

    bool connectTo(const SimProcess& sim)
    {
        socket_.connectToHost(sim.address(), sim.port());
        return socket_.waitForConnected(5000);
    }

    void handshake(quint32 nonce, const QByteArray& sn)
    {
        // Least significant byte first.
        const char bytes[4] = {char(nonce), char(nonce >> 8), char(nonce >> 16), char(nonce >> 24)};
        const QByteArray nonceBytes(bytes, sizeof bytes);
        send(packet::build(aes_, defaultKey_, iv_, nonceBytes, false));
        const QByteArray seed = nonceBytes + field(sn, 16);
        nextKey_ = packet::keyFromBytes(QCryptographicHash::hash(seed, QCryptographicHash::Md5));
    }

    // The plaintext of the answer, empty when it is not a valid 68-byte answer.
    QByteArray handshakeAnswer()
    {
        const QByteArray packet = read(68);
        if (packet.left(4) != QByteArray::fromHex("10011100"))
            return QByteArray();
        const QByteArray plain = decrypt(defaultKey_, packet.mid(4));
        if (plain.right(8) != QByteArray(8, '\x08'))
            return QByteArray();
        sessionKey_ = nextKey_;
        return plain.left(56);
    }

    void sendRecord(const QByteArray& record) { send(packet::build(aes_, sessionKey_, iv_, record, true)); }

    // A session packet around `plain` as it stands, padding or not.
    void sendUnpadded(QByteArray plain)
    {
        auto* data = reinterpret_cast<quint8*>(plain.data());
        QVERIFY(aes_.encrypt(sessionKey_, iv_, data, plain.size(), data));
        send(QByteArray::fromHex("100111") + char(plain.size() / 16) + plain);
    }

    // One whole session packet, decrypted and unpadded.
    QByteArray readRecord()
    {
        const QByteArray header = read(4);
        if (header.left(3) != QByteArray::fromHex("100111") || header.size() != 4)
            return QByteArray();
        const int blocks = quint8(header[3]);
        const QByteArray plain = decrypt(sessionKey_, read(16 * blocks));
        const int length = packet::unpaddedLength(reinterpret_cast<const quint8*>(plain.constData()), plain.size());
        return plain.left(length);
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
        sendRecord(QByteArray::fromHex("5101"));
        sendRecord(QByteArray::fromHex("0600"));
        QList<QByteArray> entries;
        for (QByteArray record = readRecord(); !record.isEmpty() && record.left(2) != QByteArray::fromHex("0600");
             record = readRecord())
            entries.append(record);
        return entries;
    }

    void send(const QByteArray& bytes)
    {
        socket_.write(bytes);
        socket_.flush();
    }

    QByteArray read(int size)
    {
        while (buffer_.size() < size && socket_.waitForReadyRead(5000))
            buffer_ += socket_.readAll();
        buffer_ += socket_.readAll();
        const QByteArray taken = buffer_.left(size);
        buffer_.remove(0, taken.size());
        return taken;
    }

    bool hasPendingBytes() { return !buffer_.isEmpty() || socket_.bytesAvailable() > 0; }

private:
    QByteArray decrypt(const packet::Key& key, QByteArray body)
    {
        if (body.isEmpty() || body.size() % 16 != 0)
            return QByteArray();
        auto* data = reinterpret_cast<quint8*>(body.data());
        return aes_.decrypt(key, iv_, data, body.size(), data) ? body : QByteArray();
    }

    QTcpSocket socket_;
    packet::AesCbc aes_;
    packet::Key defaultKey_;
    packet::Key iv_;
    packet::Key nextKey_ {};
    packet::Key sessionKey_ {};
    QByteArray buffer_;
};

QByteArray le16(quint16 value)
{
    return QByteArray(1, char(value)) + char(value >> 8);
}

QByteArray le32(quint32 value)
{
    return le16(quint16(value)) + le16(quint16(value >> 16));
}

// A font table row as the host sends it ('S', version 1), laid out by hand:
// enabled, ct, px, ad, script, language, font file, face index, threshold,
// pixel width and height, advance, then 40 range slots.
QByteArray fontRow(char enabled, const QByteArray& ctPxAd, const QByteArray& script, const QByteArray& language,
    const QByteArray& fontFile, qint32 faceIndex, quint16 threshold, quint16 width, quint16 height, quint16 advance,
    const QList<QPair<quint32, quint32>>& ranges)
{
    QByteArray record = QByteArray::fromHex("5301") + enabled + ctPxAd + field(script, 32) + field(language, 4)
        + field(fontFile, 64) + le32(quint32(faceIndex)) + le16(threshold) + le16(width) + le16(height) + le16(advance);
    for (const auto& range : ranges)
        record += le32(range.first) + le32(range.second);
    return record + QByteArray(438 - record.size(), '\0');
}

const QByteArray kHanRow = fontRow(1, QByteArray::fromHex("071802"), "HAN", "zh",
    QStringLiteral("\u601d\u6e90\u9ed1\u4f53-\u00dc.otf").toUtf8(), 3, 200, 32, 32, 30,
    {{0x3400, 0x4DBF}, {0x4E00, 0x9FFF}});
const QByteArray kLatinRow
    = fontRow(0, QByteArray(3, '\0'), "LATIN", "en", "DejaVuSansMono.ttf", 0, 128, 12, 24, 12, {{0x0020, 0x007E}});

// The row the printer answers a read with: the same bytes under 'Q'.
QByteArray asReply(const QByteArray& row)
{
    return QByteArray::fromHex("5101") + row.mid(2);
}

// Starts `sim` and has `host` connected to it with a session key.
bool startAndConnect(SimProcess& sim, HostClient& host, const QStringList& arguments = {})
{
    const QByteArray sn = "SIM0000000000042";
    if (!sim.start(QStringList {"--keepalive-ms", "0", "--sn", QString::fromLatin1(sn)} + arguments)
        || !host.connectTo(sim))
        return false;
    host.handshake(0x0badcafe, sn);
    return host.handshakeAnswer().size() == 56;
}

} // namespace

Q_DECLARE_METATYPE(ApplyResult)

class TestPrinterSim : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void otherReadTypesGetNoReply()
    {
        const SimModel model = freshModel();
        for (quint16 type : {0x0000, 0x0007, 0x0101, 0x0103, 0x0151})
            QVERIFY2(model.reply(type).isEmpty(), qPrintable(QString::number(type, 16)));
    }

    // Identity and serial number: executableServesAHost.
    void versionFieldsAreFilledAndTerminated()
    {
        const QByteArray reply = freshModel().reply(1);
        for (int offset = 58; offset < 186; offset += 16) {
            QVERIFY2(reply.at(offset) != '\0', qPrintable(QString::number(offset)));
            QVERIFY2(reply.mid(offset, 16).contains('\0'), qPrintable(QString::number(offset)));
        }
    }

    void defaultsFollowTheModel()
    {
        const QByteArray mobile = freshModel().reply(4);
        QCOMPARE(mobile.mid(122, 4), field("460", 4));
        QCOMPARE(mobile.mid(126, 4), field("00", 4));
        QCOMPARE(mobile.mid(264, 6), field("cmnet", 6));
        QCOMPARE(mobile.mid(328, 5), field("*99#", 5));
        QVERIFY(mobile.mid(194, 64).contains(','));
        const quint16 status = quint16(quint8(mobile[260]) | quint8(mobile[261]) << 8);
        QVERIFY(status <= 6);
        QCOMPARE(freshModel().reply(3).at(6), char(100)); // density

        SimIdentity lq520;
        const QByteArray network = freshModel(lq520).reply(2);
        QCOMPARE(network.mid(2, 3), QByteArray("00:"));
        // The DHCP address is the printer's own, so that a test page printed
        // from it comes back here: unknown gives 0.0.0.0, never a stranger's.
        QCOMPARE(network.mid(20, 4), QByteArray(4, '\0'));
        QCOMPARE(SimModel(lq520, SimModel::defaultState(lq520, 0x7F4D0102)).reply(2).mid(20, 4).toHex(),
            QByteArray("7f4d0102"));
        QCOMPARE(network.mid(36, 128), QByteArray(128, '\0')); // no Wi-Fi
        // No 4G module: RSSI "no value" (FF 00).
        QCOMPARE(freshModel(lq520).reply(4).mid(258, 2), QByteArray::fromHex("ff00"));
    }

    void settingsRecordChangesTheReply_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("expected");

        // CJK 11, code page 16, UTF-8 on, density 115, quality 100 (byte 9B),
        // black-mark paper (113) with 2000 and 100, print position 12.3 mm,
        // cut position -2.5 mm, feed 160 dots, centre mark, both flags.
        const QByteArray print = QByteArray::fromHex("210100 0b1001739b 71000000 d0070000 64000000 7b000000 e7ffffff"
                                                     "000000000000000000000000 a0000000 0203");
        QTest::newRow("print settings") << print << 3 << 3 << print.mid(3);

        // 9600 baud, 7 data bits, 2 stop bits, even parity.
        const QByteArray serial = QByteArray::fromHex("4101 80250000 07000000 02000000 02000000");
        QTest::newRow("serial settings") << serial << 5 << 2 << serial.mid(2);

        QTest::newRow("audio settings") << QByteArray::fromHex("03010001000102") << 6 << 2
                                        << QByteArray::fromHex("0001000102");

        // 10.0.0.5 / 255.0.0.0; the Ethernet address is executableServesAHost's.
        QTest::newRow("Wi-Fi address") << QByteArray::fromHex("02010a000005ff000000") << 2 << 190
                                       << QByteArray::fromHex("0a000005ff000000");

        const QByteArray apn = QByteArray::fromHex("31010100") + field("internet", 64) + field("*98#", 16);
        QTest::newRow("APN") << apn << 4 << 262 << apn.mid(2);

        const QByteArray ssid = QStringLiteral("Caf\u00e9-5G").toUtf8();
        const QByteArray credentials = QByteArray::fromHex("1101") + field(ssid, 128) + field("s3cret", 128);
        QTest::newRow("Wi-Fi credentials") << credentials << 2 << 36 << field(ssid, 128);
    }
    void settingsRecordChangesTheReply()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, type);
        QFETCH(int, offset);
        QFETCH(QByteArray, expected);

        SimModel model = freshModel();
        QVERIFY(model.reply(quint16(type)).mid(offset, expected.size()) != expected);
        QCOMPARE(model.apply(record), ApplyResult::Applied);
        const QByteArray reply = model.reply(quint16(type));
        QCOMPARE(reply.mid(offset, expected.size()), expected);
        QCOMPARE(reply.left(2), QByteArray(1, char(type)) + '\0');
    }

    void refusedRecordsChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<ApplyResult>("result");
        const struct
        {
            const char* name;
            const char* id;
            int length;
        } records[] = {{"print settings", "2101", 46}, {"serial settings", "4101", 18}, {"audio settings", "0301", 7},
            {"Ethernet address", "0101", 10}, {"Wi-Fi address", "0201", 10}, {"APN", "3101", 84},
            {"Wi-Fi credentials", "1101", 258}};
        for (const auto& r : records) {
            const QByteArray id = QByteArray::fromHex(r.id);
            // 0x5A everywhere: applied, it would change every reply field.
            QTest::addRow("%s, one byte short", r.name)
                << id + QByteArray(r.length - 3, '\x5a') << ApplyResult::WrongLength;
            QTest::addRow("%s, one byte long", r.name)
                << id + QByteArray(r.length - 1, '\x5a') << ApplyResult::WrongLength;
            QTest::addRow("%s, identifier only", r.name) << id << ApplyResult::WrongLength;
        }
        for (const char* other : {"0300", "5101", "3201", "0102c0a80164ffff0000", "21", ""})
            QTest::addRow("not settings: %s", other) << QByteArray::fromHex(other) << ApplyResult::NotSettings;
        QTest::newRow("delete file") << QByteArray::fromHex("6401") + field("/data/PUB/fonts/a.ttf", 128)
                                     << ApplyResult::NotSettings;
    }
    void refusedRecordsChangeNothing()
    {
        QFETCH(QByteArray, record);
        QFETCH(ApplyResult, result);
        SimModel model = freshModel();
        const QList<QByteArray> before = allReplies(model);
        QCOMPARE(model.apply(record), result);
        QCOMPARE(allReplies(model), before);
    }

    void wnetRestartGoesThroughTheStatuses_data()
    {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QStringList>("statusBytes");
        // Status code at offset 260 of each type-4 reply, little-endian.
        QTest::newRow("LQ560-4G") << QByteArray("LQ560-4G") << QStringList {"0200", "0500", "0400"};
        QTest::newRow("no 4G module") << QByteArray("LQ540") << QStringList {};
    }
    void wnetRestartGoesThroughTheStatuses()
    {
        QFETCH(QByteArray, model);
        QFETCH(QStringList, statusBytes);
        SimIdentity identity = lq560();
        identity.model = model;
        SimPrinter printer(freshModel(identity), QString());
        printer.setWnetRestartMs(40);
        QStringList seen;
        connect(&printer, &SimPrinter::wnetStatusChanged, this,
            [&] { seen.append(QString::fromLatin1(printer.model().reply(4).mid(260, 2).toHex())); });

        QVERIFY(printer.handleRecord(QByteArray::fromHex("3201"), QStringLiteral("#1")).isEmpty());
        // A module that restarts reports "Enabling" at once.
        QCOMPARE(seen.isEmpty(), statusBytes.isEmpty());
        QTRY_COMPARE(seen, statusBytes);
    }

    void stateFileRoundTrips()
    {
        SimState state = SimModel::defaultState(lq560());
        state.wifi.password = QStringLiteral("p\u00e4ss word");
        state.ethernet.staticAddress = 0xC0A80164;
        state.print.blackMarkA = 0xFFFFFFFF;
        state.print.cutPosition = -25;
        state.print.quality = 0;
        state.mobile.rssi = -113;
        state.mobile.useApn = 0x00FF;
        state.audio.notTaken = 0x83;

        const QString path = dir_.filePath("roundtrip.json");
        QString error;
        QVERIFY2(saveStateFile(path, state, error), qPrintable(error));

        // Readable field by field, not as blobs.
        const QJsonObject json = QJsonDocument::fromJson(readFile(path)).object();
        QCOMPARE(json["ethernet"].toObject()["staticAddress"].toString(), QStringLiteral("192.168.1.100"));
        QCOMPARE(json["print"].toObject()["cutPosition"].toInt(), -25);
        QCOMPARE(json["mobile"].toObject()["rssi"].toInt(), -113);
        QCOMPARE(json["mobile"].toObject()["mcc"].toString(), QStringLiteral("460"));

        // Loaded over another model's defaults, every value comes back.
        SimState loaded = SimModel::defaultState(SimIdentity());
        QString message;
        QCOMPARE(loadStateFile(path, loaded, message), StateLoad::Loaded);
        QCOMPARE(loaded.wifi.password, state.wifi.password);
        QCOMPARE(allReplies(SimModel(lq560(), loaded)), allReplies(SimModel(lq560(), state)));
        QCOMPARE(QDir(dir_.path()).entryList({"roundtrip*"}, QDir::Files), QStringList {"roundtrip.json"});
        QCOMPARE(loadStateFile(dir_.filePath("none.json"), loaded, message), StateLoad::Missing);
    }

    void corruptStateFileGivesDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << QByteArray("{\"print\": {\"density\": 1");
        QTest::newRow("array") << QByteArray("[1, 2, 3]");
        QTest::newRow("binary") << QByteArray::fromHex("00ff10011100fe");
    }
    void corruptStateFileGivesDefaults()
    {
        QFETCH(QByteArray, content);
        const QString path = writeScratchFile(dir_.filePath("corrupt.json"), content);
        QVERIFY(!path.isEmpty());

        const SimState defaults = SimModel::defaultState(lq560());
        SimState state = defaults;
        QString message;
        QCOMPARE(loadStateFile(path, state, message), StateLoad::Corrupt);
        QVERIFY(message.contains(path));
        QCOMPARE(allReplies(SimModel(lq560(), state)), allReplies(SimModel(lq560(), defaults)));
        // Moved aside, not lost to the next save.
        QVERIFY(!QFile::exists(path));
        QVERIFY(QFile::exists(path + ".corrupt"));
        QCOMPARE(readFile(path + ".corrupt"), content);
    }

    void partialStateFileKeepsDefaultsForTheRest()
    {
        const QString path = writeScratchFile(dir_.filePath("partial.json"),
            R"({"print": {"density": 130, "quality": "high", "utf8": 300}, "serial": 5,
                "wifi": {"ssid": "Lab", "staticAddress": "300.1.1.1"}})");
        QVERIFY(!path.isEmpty());

        const SimState defaults = SimModel::defaultState(lq560());
        SimState state = defaults;
        QString message;
        QCOMPARE(loadStateFile(path, state, message), StateLoad::Partial);
        QCOMPARE(state.print.density, quint8(130));
        QCOMPARE(state.wifi.ssid, QStringLiteral("Lab"));
        QCOMPARE(state.print.quality, defaults.print.quality);
        QCOMPARE(state.print.utf8, defaults.print.utf8);
        QCOMPARE(state.wifi.staticAddress, defaults.wifi.staticAddress);
        QCOMPARE(state.serial.baud, defaults.serial.baud);
        for (const char* name : {"print.quality", "print.utf8", "serial", "wifi.staticAddress", "versions"})
            QVERIFY2(message.contains(QLatin1String(name)), qPrintable(message));
        QVERIFY(!message.contains(QLatin1String("print.density")));
    }

    void optionsAreChecked_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::newRow("none") << QStringList {} << true;
        QTest::newRow("ephemeral port") << QStringList {"--port", "0"} << true;
        QTest::newRow("port too big") << QStringList {"--port", "65536"} << false;
        QTest::newRow("port not a number") << QStringList {"--port", "12ab"} << false;
        QTest::newRow("negative keep-alive") << QStringList {"--keepalive-ms", "-1"} << false;
        QTest::newRow("keep-alive too slow") << QStringList {"--keepalive-ms", "10001"} << false;
        QTest::newRow("key of 31 digits") << QStringList {"--key", QString(31, 'a')} << false;
        QTest::newRow("key not hex") << QStringList {"--key", QString(31, 'a') + 'g'} << false;
        QTest::newRow("iv of 33 digits") << QStringList {"--iv", QString(33, 'a')} << false;
        QTest::newRow("key upper case") << QStringList {"--key", QString(32, 'A')} << true;
        QTest::newRow("serial of 16") << QStringList {"--sn", QString(16, '7')} << true;
        QTest::newRow("serial of 17") << QStringList {"--sn", QString(17, '7')} << false;
        QTest::newRow("empty model") << QStringList {"--model", ""} << false;
        QTest::newRow("not an address") << QStringList {"--listen", "printer.local"} << false;
        QTest::newRow("unknown option") << QStringList {"--colour"} << false;
        QTest::newRow("stray argument") << QStringList {"17900"} << false;
        QTest::newRow("4G restart time") << QStringList {"--wnet-restart-ms", "300"} << true;
        QTest::newRow("negative 4G restart time") << QStringList {"--wnet-restart-ms", "-1"} << false;
    }
    void optionsAreChecked()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        SimOptions options;
        QString message;
        const OptionsResult result = parseOptions(QStringList {"tovra-printer-sim"} + arguments, options, message);
        QCOMPARE(result, valid ? OptionsResult::Run : OptionsResult::Error);
        QCOMPARE(message.isEmpty(), valid);
    }

    // Keys given as options are used by the handshake: executableServesAHost.
    void optionsDefaults()
    {
        SimOptions options;
        QString message;
        QCOMPARE(parseOptions({"sim", "--model", "LQ540"}, options, message), OptionsResult::Run);
        QCOMPARE(options.identity.project, QByteArray("LQ520"));
        QVERIFY(!options.identity.sn.isEmpty() && options.identity.sn.size() <= 16);
        QCOMPARE(options.listenAddress, QHostAddress(QHostAddress::LocalHost));
    }

    void logMasksThePassword_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("whole record") << 258;
        QTest::newRow("one byte short") << 257;
        QTest::newRow("longer") << 300;
        QTest::newRow("cut inside the password") << 140;
    }
    void logMasksThePassword()
    {
        QFETCH(int, length);
        const QByteArray password = "Hunter2-secret";
        QByteArray record = QByteArray::fromHex("1101") + field("Lab-Net", 128) + field(password, 128);
        record = record.leftJustified(length, '\0', true);
        const QString line = SimLog::describe(record, SimLog::Direction::Received);
        QVERIFY2(line.startsWith(QStringLiteral("0x0111 Wi-Fi credentials, %1 bytes").arg(length)), qPrintable(line));
        QVERIFY2(line.contains(QLatin1String("Lab-Net")), qPrintable(line));
        QVERIFY2(!line.contains(QLatin1String("Hunter")), qPrintable(line));
        // Not even as hex: "Hunter" is 48 75 6e 74 65 72.
        QVERIFY2(!line.contains(QLatin1String("48 75 6e")), qPrintable(line));
        QVERIFY(!line.contains(QLatin1Char('\n')));
    }

    void executableServesAHost()
    {
        const QString statePath = dir_.filePath("e2e.json");
        const QString logPath = dir_.filePath("e2e.log");
        const QByteArray sn = "SIM0000000000042";
        SimProcess sim;
        QVERIFY(sim.start({"--keepalive-ms", "0", "--project", "LQ560", "--model", "LQ560", "--sn", sn, "--state",
            statePath, "--log", logPath}));

        HostClient host;
        QVERIFY(host.connectTo(sim));
        host.handshake(0x12345678, sn);
        const QByteArray identity = host.handshakeAnswer();
        QCOMPARE(identity, field("LQ560", 16) + field("LQ560", 16) + sn + QByteArray(8, '\0'));

        // Read request 1 comes back under the key derived from nonce and serial.
        const QByteArray info = host.request(1);
        QCOMPARE(info.size(), 186);
        QCOMPARE(info.left(2), QByteArray::fromHex("0100"));
        QCOMPARE(info.mid(18, 16), field("LQ560", 16));
        QCOMPARE(info.mid(34, 24), field(sn, 24));

        // A settings record is applied, reported by the next read and saved.
        host.sendRecord(QByteArray::fromHex("0101c0a80164ffff0000"));
        QCOMPARE(host.request(2).mid(28, 8), QByteArray::fromHex("c0a80164ffff0000"));
        QVERIFY(readFile(statePath).contains("\"staticAddress\": \"192.168.1.100\""));

        // Junk is dropped without harm; the link goes on.
        host.send("GET / HTTP/1.0\r\n\r\n");
        QTRY_VERIFY(readFile(logPath).contains("dropped"));
        host.sendUnpadded(QByteArray::fromHex("0300") + QByteArray(14, '\0')); // pad byte 0
        QTRY_VERIFY(readFile(logPath).contains("bad padding"));
        QCOMPARE(host.request(6).size(), 7);

        // A new handshake on the same connection replaces the key.
        host.handshake(1, sn);
        QCOMPARE(host.handshakeAnswer().size(), 56);
        QCOMPARE(host.request(5).size(), 18);
        QVERIFY(!host.hasPendingBytes());

        const QByteArray log = readFile(logPath);
        for (const char* line : {" #1 open 127.", " #1 handshake nonce 0x12345678", " #1 handshake nonce 0x00000001",
                 " #1 RX 0x0001 read request 1, 2 bytes: 01 00", " #1 TX 0x0001 device information, 186 bytes: 01 00 ",
                 " #1 RX 0x0101 Ethernet address, 10 bytes: 01 01 c0 a8 01 64 ff ff 00 00",
                 " #1 applied 0x0101 Ethernet address"})
            QVERIFY2(log.contains(line), line);

        QCOMPARE(sim.stop(), 0);

        // The printer keeps the address across a restart, here with keys of its own.
        const char* key = "00112233445566778899aabbccddeeff";
        const char* iv = "ffeeddccbbaa99887766554433221100";
        // A short serial number goes into the key zero-filled to 16 bytes.
        SimProcess again;
        QVERIFY(again.start({"--keepalive-ms", "0", "--sn", "SIM42", "--state", statePath, "--key", key, "--iv", iv}));
        HostClient second(key, iv);
        QVERIFY(second.connectTo(again));
        second.handshake(7, "SIM42");
        QCOMPARE(second.handshakeAnswer().size(), 56);
        QCOMPARE(second.request(2).mid(28, 8), QByteArray::fromHex("c0a80164ffff0000"));
        ::kill(pid_t(again.process().processId()), SIGINT);
        QVERIFY(again.process().waitForFinished(10000));
        QCOMPARE(again.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(again.process().exitCode(), 0);
    }

    void fontTableReadAnswersTheDefaults()
    {
        SimProcess sim;
        HostClient host;
        QVERIFY(startAndConnect(sim, host));
        const QList<QByteArray> entries = host.readFontTable();
        QCOMPARE(entries.size(), 9);
        int disabled = 0;
        QByteArray han;
        for (const QByteArray& entry : entries) {
            QCOMPARE(entry.size(), 438);
            QCOMPARE(entry.left(2), QByteArray::fromHex("5101"));
            disabled += entry.at(2) == '\0';
            if (entry.mid(6, 32) == field("HAN", 32))
                han = entry;
        }
        QVERIFY(disabled == 1 || disabled == 2);
        QCOMPARE(han.at(2), '\1');
        QCOMPARE(han.mid(38, 4), field("zh", 4));
        QCOMPARE(han.mid(42, 64), field("NotoSansSC-Regular.otf", 64));
        QCOMPARE(han.mid(114, 2), le16(24)); // pixel height
        QCOMPARE(han.mid(118),
            QByteArray::fromHex("00300000 3f300000  00340000 bf4d0000  004e0000 ff9f0000  00ff0000 efff0000")
                + QByteArray(36 * 8, '\0'));
        QCOMPARE(sim.stop(), 0);
    }

    void fontTableApplyAndReset_data()
    {
        QTest::addColumn<QList<QByteArray>>("records");
        // Rows the printer answers a read with afterwards; `keepsDefaults`: the default table.
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<bool>("keepsDefaults");
        const QByteArray begin = QByteArray::fromHex("5201");
        const QByteArray end = QByteArray::fromHex("5401");
        const QByteArray reset = QByteArray::fromHex("5501");
        const QByteArray shortRow = kHanRow.left(437);

        // Two rows, begun and ended: fontTableSurvivesARestart.
        QTest::newRow("no rows") << QList<QByteArray> {begin, end} << QList<QByteArray> {} << false;
        QTest::newRow("begun again") << QList<QByteArray> {begin, kLatinRow, begin, kHanRow, end}
                                     << QList<QByteArray> {kHanRow} << false;
        QTest::newRow("short row refused")
            << QList<QByteArray> {begin, shortRow, kLatinRow, end} << QList<QByteArray> {kLatinRow} << false;
        QTest::newRow("rows after the end ignored")
            << QList<QByteArray> {begin, kHanRow, end, kLatinRow, end} << QList<QByteArray> {kHanRow} << false;
        QList<QByteArray> many {begin};
        QList<QByteArray> kept;
        for (int i = 0; i < 65; ++i) {
            many.append(fontRow(1, QByteArray(3, '\0'), "LATIN", "en", QByteArray("font-") + QByteArray::number(i), 0,
                128, 12, 24, 12, {{0x20, 0x7E}}));
            if (i < 64)
                kept.append(many.last());
        }
        QTest::newRow("64 rows at most") << many + QList<QByteArray> {end} << kept << false;

        QTest::newRow("row without begin") << QList<QByteArray> {kHanRow} << QList<QByteArray> {} << true;
        QTest::newRow("short row without begin") << QList<QByteArray> {shortRow} << QList<QByteArray> {} << true;
        QTest::newRow("end without begin") << QList<QByteArray> {end} << QList<QByteArray> {} << true;
        QTest::newRow("never ended") << QList<QByteArray> {begin, kHanRow} << QList<QByteArray> {} << true;
        QTest::newRow("reset") << QList<QByteArray> {begin, kHanRow, end, reset} << QList<QByteArray> {} << true;
    }
    void fontTableApplyAndReset()
    {
        QFETCH(QList<QByteArray>, records);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(bool, keepsDefaults);
        SimProcess sim;
        HostClient host;
        QVERIFY(startAndConnect(sim, host));
        const QList<QByteArray> defaults = host.readFontTable();
        for (const QByteArray& record : records)
            host.sendRecord(record);
        QList<QByteArray> replies;
        for (const QByteArray& row : expected)
            replies.append(asReply(row));
        QCOMPARE(host.readFontTable(), keepsDefaults ? defaults : replies);
        QCOMPARE(sim.stop(), 0);
    }

    void fontTableSurvivesARestart()
    {
        const QString statePath = dir_.filePath("fonttable.json");
        const QString logPath = dir_.filePath("fonttable.log");
        const QList<QByteArray> replies {asReply(kHanRow), asReply(kLatinRow)};
        SimProcess sim;
        HostClient host;
        QVERIFY(startAndConnect(sim, host, {"--state", statePath, "--log", logPath}));
        for (const QByteArray& record : {QByteArray::fromHex("5201"), kHanRow, kLatinRow, QByteArray::fromHex("5401")})
            host.sendRecord(record);
        QCOMPARE(host.readFontTable(), replies);
        QCOMPARE(sim.stop(), 0);

        const QByteArray log = readFile(logPath);
        const QString fontName = QStringLiteral("\u601d\u6e90\u9ed1\u4f53-\u00dc.otf");
        for (const QString& line :
            {QStringLiteral(" #1 RX 0x0153 font table entry, 438 bytes: HAN zh %1; 53 01 01 07 18 02").arg(fontName),
                QStringLiteral(" #1 TX 0x0151 font table entry, 438 bytes: LATIN en DejaVuSansMono.ttf (disabled); ")})
            QVERIFY2(QString::fromUtf8(log).contains(line), qPrintable(line));

        // Readable by hand: texts and ranges as text.
        const QJsonObject han = QJsonDocument::fromJson(readFile(statePath))["fontTable"][0].toObject();
        QCOMPARE(han["fontFile"].toString(), fontName);
        QCOMPARE(han["ranges"][1].toString(), QStringLiteral("U+4E00-U+9FFF"));

        SimProcess again;
        HostClient second;
        QVERIFY(startAndConnect(again, second, {"--state", statePath}));
        QCOMPARE(second.readFontTable(), replies);
        QCOMPARE(again.stop(), 0);
    }

    void fontTableFromAnEditedStateFile_data()
    {
        // `entry` -1 edits the table itself; an undefined `value` removes `key`,
        // an empty `key` replaces the entry.
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        // Which of the default rows the printer answers with afterwards.
        QTest::addColumn<QList<int>>("kept");
        const QJsonValue removed(QJsonValue::Undefined);
        const QList<int> all {0, 1, 2, 3, 4, 5, 6, 7, 8};
        const auto allBut = [&all](int index) {
            QList<int> rows = all;
            rows.removeAll(index);
            return rows;
        };
        QTest::newRow("no table") << -1 << "fontTable" << removed << all;
        QTest::newRow("table not a list") << -1 << "fontTable" << QJsonValue(5) << all;
        QTest::newRow("empty table") << -1 << "fontTable" << QJsonValue(QJsonArray()) << QList<int> {};
        QTest::newRow("entry not an object") << 4 << "" << QJsonValue("HANGUL") << allBut(4);
        QTest::newRow("font file missing") << 0 << "fontFile" << removed << allBut(0);
        QTest::newRow("threshold not a number") << 3 << "threshold" << QJsonValue("high") << allBut(3);
        QTest::newRow("threshold too big") << 3 << "threshold" << QJsonValue(70000) << allBut(3);
        QTest::newRow("range not a range") << 2 << "ranges" << QJsonValue(QJsonArray {"U+0041"}) << allBut(2);
        QTest::newRow("range from 0") << 1 << "ranges" << QJsonValue(QJsonArray {"U+0000-U+007F"}) << allBut(1);
    }
    void fontTableFromAnEditedStateFile()
    {
        QFETCH(int, entry);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(QList<int>, kept);
        const QString statePath = dir_.filePath(QStringLiteral("edited-%1.json").arg(QTest::currentDataTag()));
        SimProcess sim;
        HostClient host;
        QVERIFY(startAndConnect(sim, host, {"--state", statePath}));
        const QList<QByteArray> defaults = host.readFontTable();
        QCOMPARE(sim.stop(), 0);

        QJsonObject json = QJsonDocument::fromJson(readFile(statePath)).object();
        QVERIFY(json.contains("fontTable"));
        const auto edit = [&key, &value](QJsonObject& object) {
            if (value.isUndefined())
                object.remove(key);
            else
                object.insert(key, value);
        };
        if (entry < 0) {
            edit(json);
        } else {
            QJsonArray table = json["fontTable"].toArray();
            QJsonObject row = table.at(entry).toObject();
            edit(row);
            table[entry] = key.isEmpty() ? value : QJsonValue(row);
            json["fontTable"] = table;
        }
        QVERIFY(!writeScratchFile(statePath, QJsonDocument(json).toJson()).isEmpty());

        SimProcess again;
        HostClient second;
        QVERIFY(startAndConnect(again, second, {"--state", statePath}));
        QList<QByteArray> expected;
        for (int index : kept)
            expected.append(defaults.at(index));
        QCOMPARE(second.readFontTable(), expected);
        QCOMPARE(again.stop(), 0);
    }

    void executableSendsKeepAlives()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--keepalive-ms", "20"}));
        HostClient host;
        QVERIFY(host.connectTo(sim));
        QCOMPARE(host.read(8), QByteArray::fromHex("100111ff100111ff"));
        QCOMPARE(sim.stop(), 0);
    }

    void executableRefusesBadOptions()
    {
        QProcess process;
        process.start(QStringLiteral(TOVRA_SIM_EXECUTABLE), {"--port", "0", "--iv", "not-hex"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().contains("--iv"));
    }
};

QTEST_GUILESS_MAIN(TestPrinterSim)
#include "tst_printersim.moc"
