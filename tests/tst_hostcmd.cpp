// Host command codec: known answers, padding, reassembly of split packets and
// the fixed command builders.

#include "link/hostcmd.h"
#include "link/packet.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

const packet::Key kDefaultKey = packet::keyFromBytes(hex(packet::kDefaultKeyHex));
const packet::Key kIv = packet::keyFromBytes(hex(packet::kIvHex));

// Handshake answer for project "LQ520", model "LQ520", sn "TV520241100001":
// the 56-byte identity plus eight 0x08, encrypted with
//   openssl enc -aes-128-cbc -nopad -K 5c2e91a7... -iv a1047d3b...
const char kAnswerLq520[] = "10011100"
                            "70250d566c02d583eb3c583aa6de2a57018860c0d772c1960232224b00e5c5e9"
                            "27866dab3c2de39a2cfcac7bde3dd215c35bb4931c1201983fee14a3c96a9c0b";
// MD5 of 01 00 00 00 "TV520241100001" 00 00 (openssl dgst -md5).
const char kSessionKeyLq520[] = "2cbc92298f1463a0f2749fba26b757ba";

struct Capture
{
    QList<QByteArray> packets;
    HostCmd::Writer writer(bool result = true)
    {
        return [this, result](const quint8* data, quint32 length, int timeoutMs) {
            Q_UNUSED(timeoutMs);
            packets.append(QByteArray(reinterpret_cast<const char*>(data), int(length)));
            return result;
        };
    }
};

QByteArray decryptBody(const QByteArray& packetBytes, const packet::Key& key)
{
    QByteArray plain(packetBytes.size() - packet::kHeaderSize, '\0');
    packet::AesCbc aes;
    if (!aes.decrypt(key, kIv, reinterpret_cast<const quint8*>(packetBytes.constData()) + packet::kHeaderSize,
            int(plain.size()), reinterpret_cast<quint8*>(plain.data())))
        return QByteArray();
    return plain;
}

// A session packet around an arbitrary (possibly invalid) padded plaintext.
QByteArray rawSessionPacket(const QByteArray& plain, const packet::Key& key)
{
    QByteArray out = hex("100111") + char(plain.size() / 16);
    QByteArray body(plain.size(), '\0');
    packet::AesCbc aes;
    aes.encrypt(key, kIv, reinterpret_cast<const quint8*>(plain.constData()), int(plain.size()),
        reinterpret_cast<quint8*>(body.data()));
    return out + body;
}

QByteArray sessionPacket(const QByteArray& record, const packet::Key& key = packet::Key {})
{
    packet::AesCbc aes;
    return packet::build(aes, key, kIv, record, true);
}

quint32 feed(HostCmd& cmd, const QByteArray& bytes)
{
    return cmd.receive(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()));
}

void feedAll(HostCmd& cmd, const QByteArray& bytes)
{
    cmd.receiveAll(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()));
}

QByteArray pattern(int length)
{
    QByteArray record(length, '\0');
    for (int i = 0; i < length; ++i)
        record[i] = char(i * 7 + 3);
    return record;
}

} // namespace

class TestHostCmd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t"); }

    void handshakeRequestKnownAnswer()
    {
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        QVERIFY(cmd.sendHandshake(true));
        QCOMPARE(cmd.nonce(), 1u);
        QCOMPARE(capture.packets.size(), 1);
        // openssl enc -aes-128-cbc -nopad of 01 00 00 00 + twelve 0C.
        QCOMPARE(capture.packets[0].toHex(), QByteArray("10011100e4b0276f66640b1ebbb02fdb686f3f17"));
    }

    void handshakeRequestWithTimeNonce()
    {
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        const quint32 before = quint32(QDateTime::currentSecsSinceEpoch());
        cmd.sendHandshake(false);
        const quint32 after = quint32(QDateTime::currentSecsSinceEpoch());
        QVERIFY(cmd.nonce() >= before && cmd.nonce() <= after);
        const QByteArray plain = decryptBody(capture.packets.value(0), kDefaultKey);
        QCOMPARE(plain.mid(4), QByteArray(12, '\x0c'));
        QCOMPARE(quint32(quint8(plain[0]) | quint8(plain[1]) << 8 | quint8(plain[2]) << 16 | quint8(plain[3]) << 24),
            cmd.nonce());
    }

    void handshakeAnswerDerivesSessionKey()
    {
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        cmd.sendHandshake(true);
        QSignalSpy found(&cmd, &HostCmd::deviceFound);
        QCOMPARE(feed(cmd, hex(kAnswerLq520)), 68u);
        QCOMPARE(found.size(), 1);
        const auto info = found[0][0].value<host_cmd_dev_info_t>();
        QCOMPARE(QByteArray(info.project), QByteArray("LQ520"));
        QCOMPARE(QByteArray(info.sn, 14), QByteArray("TV520241100001"));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(cmd.sessionKey().data()), 16).toHex(),
            QByteArray(kSessionKeyLq520));

        // Read request for type 6 under that key: openssl enc of 06 00 + fourteen 0E.
        QVERIFY(cmd.requestRecord(6));
        QCOMPARE(capture.packets.last().toHex(), QByteArray("10011101e6afcf42de78ee3a934049063225bee8"));
    }

    void sixteenCharacterSerialIsUsedWhole()
    {
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        cmd.sendHandshake(true);
        QByteArray info(56, '\0');
        info.replace(0, 5, "LQ560");
        info.replace(16, 5, "LQ560");
        info.replace(32, 16, "SIM0000000000001");
        packet::AesCbc aes;
        QSignalSpy found(&cmd, &HostCmd::deviceFound);
        feed(cmd, packet::build(aes, kDefaultKey, kIv, info, false));
        QCOMPARE(found.size(), 1);
        // openssl dgst -md5 of 01 00 00 00 "SIM0000000000001".
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(cmd.sessionKey().data()), 16).toHex(),
            QByteArray("f6bb2fa8eb9e987a767078ec054133ee"));
    }

    void handshakeAnswerSplitAcrossReads_data()
    {
        QTest::addColumn<int>("split");
        for (int split = 1; split < 68; split += 7)
            QTest::addRow("at %d", split) << split;
    }
    void handshakeAnswerSplitAcrossReads()
    {
        QFETCH(int, split);
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        cmd.sendHandshake(true);
        QSignalSpy found(&cmd, &HostCmd::deviceFound);
        const QByteArray answer = hex(kAnswerLq520);
        QCOMPARE(feed(cmd, answer.left(split)), quint32(split));
        QCOMPARE(found.size(), 0);
        QCOMPARE(feed(cmd, answer.mid(split)), quint32(answer.size() - split));
        QCOMPARE(found.size(), 1);
    }

    void handshakeChunkIsBounded()
    {
        // An answer followed by a session packet in one chunk: the answer is
        // read as its 68 bytes and the packet after it under the new key.
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        cmd.sendHandshake(true);
        QSignalSpy found(&cmd, &HostCmd::deviceFound);
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        const QByteArray reply = hex("0600") + QByteArray(5, '\x01');
        const QByteArray chunk = hex(kAnswerLq520) + sessionPacket(reply, packet::keyFromBytes(hex(kSessionKeyLq520)));
        QCOMPARE(feed(cmd, chunk), 68u);
        feedAll(cmd, chunk);
        QCOMPARE(found.size(), 2);
        QCOMPARE(responses.size(), 1);
        QCOMPARE(responses[0][0].toByteArray(), reply);

        // A count-0 chunk far beyond any valid answer never decrypts past it.
        HostCmd other;
        QSignalSpy otherFound(&other, &HostCmd::deviceFound);
        const QByteArray huge = hex("10011100") + QByteArray(4096, '\x5a');
        QCOMPARE(feed(other, huge), 68u);
        feedAll(other, huge);
        QCOMPARE(otherFound.size(), 0);
    }

    void recordLengths_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("packetLength");
        QTest::newRow("1 byte") << 1 << 20;
        QTest::newRow("15 bytes") << 15 << 20;
        QTest::newRow("16 bytes: a whole block of padding") << 16 << 36;
        QTest::newRow("46 bytes") << 46 << 52;
        QTest::newRow("480 bytes: the largest") << 480 << 500;
        QTest::newRow("481 bytes: not sent") << 481 << 0;
        QTest::newRow("empty: not sent") << 0 << 0;
    }
    void recordLengths()
    {
        QFETCH(int, length);
        QFETCH(int, packetLength);
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        const QByteArray record = pattern(length);
        QCOMPARE(cmd.sendRecord(record), packetLength > 0);
        if (packetLength == 0) {
            QVERIFY(capture.packets.isEmpty());
            return;
        }
        const QByteArray sent = capture.packets.value(0);
        QCOMPARE(sent.size(), packetLength);
        QCOMPARE(sent.left(4), hex("100111") + char((packetLength - 4) / 16));
        const int pad = packetLength - 4 - length;
        QCOMPARE(decryptBody(sent, packet::Key {}), record + QByteArray(pad, char(pad)));

        // And the receiving side gives back exactly the record.
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        QCOMPARE(feed(cmd, sent), quint32(packetLength));
        QCOMPARE(responses.size(), 1);
        QCOMPARE(responses[0][0].toByteArray(), record);
    }

    void writeFailureIsReported()
    {
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer(false));
        QVERIFY(!cmd.sendRecord(pattern(10)));
        QVERIFY(!cmd.requestRecord(1));
        QCOMPARE(capture.packets.size(), 2);

        HostCmd unlinked; // no writer and no Transceiver: nothing can be written
        QVERIFY(!unlinked.requestRecord(1));
    }

    void splitAtEveryOffset()
    {
        const QByteArray record = pattern(100);
        const QByteArray whole = sessionPacket(record);
        for (int split = 1; split < whole.size(); ++split) {
            HostCmd cmd;
            QSignalSpy responses(&cmd, &HostCmd::responseReceived);
            QCOMPARE(feed(cmd, whole.left(split)), quint32(split));
            QCOMPARE(responses.size(), 0);
            QCOMPARE(feed(cmd, whole.mid(split)), quint32(whole.size() - split));
            QCOMPARE(responses.size(), 1);
            QCOMPARE(responses[0][0].toByteArray(), record);
        }
    }

    void byteByByte()
    {
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        const QByteArray stream = sessionPacket(pattern(3)) + hex("100111ff") + sessionPacket(pattern(200));
        for (char byte : stream)
            QCOMPARE(feed(cmd, QByteArray(1, byte)), 1u);
        QCOMPARE(responses.size(), 2);
        QCOMPARE(responses[1][0].toByteArray(), pattern(200));
    }

    void twoPacketsInOneChunk()
    {
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        const QByteArray first = sessionPacket(pattern(16));
        const QByteArray second = sessionPacket(pattern(40));
        QCOMPARE(feed(cmd, first + second), quint32(first.size()));
        feedAll(cmd, first + second);
        QCOMPARE(responses.size(), 3);
        QCOMPARE(responses[2][0].toByteArray(), pattern(40));
    }

    void bodylessPacket()
    {
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        const QByteArray keepAlive = hex("100111ff");
        QCOMPARE(feed(cmd, keepAlive + sessionPacket(pattern(20))), 4u);
        QCOMPARE(feed(cmd, keepAlive), 4u);
        feedAll(cmd, keepAlive + keepAlive + sessionPacket(pattern(20)));
        QCOMPARE(responses.size(), 1);
    }

    void rejectedStarts_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::newRow("wrong first byte") << hex("110111") + QByteArray(30, '\0');
        QTest::newRow("wrong third byte") << hex("100112") + QByteArray(30, '\0');
        QTest::newRow("block count 32") << hex("10011120") + QByteArray(600, '\0');
        QTest::newRow("block count 254") << hex("100111fe") + QByteArray(30, '\0');
    }
    void rejectedStarts()
    {
        QFETCH(QByteArray, chunk);
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        QCOMPARE(feed(cmd, chunk), 0u);
        // The next chunk starts clean.
        QCOMPARE(feed(cmd, sessionPacket(pattern(5))), 20u);
        QCOMPARE(responses.size(), 1);
    }

    void paddingRejected_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QByteArray zero = pattern(16);
        zero[15] = 0;
        QByteArray tooLarge = pattern(16);
        tooLarge[15] = 0x11;
        QTest::newRow("last byte 0x00") << zero;
        QTest::newRow("last byte 0x11") << tooLarge;
        QTest::newRow("padding is the whole body") << QByteArray(16, '\x10');
        QTest::newRow("unequal padding bytes") << pattern(12) + hex("04040304");
        QTest::newRow("two blocks, pad 0x20") << pattern(31) + QByteArray(1, '\x20');
    }
    void paddingRejected()
    {
        QFETCH(QByteArray, plain);
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        const QByteArray bad = rawSessionPacket(plain, packet::Key {});
        QCOMPARE(feed(cmd, bad), quint32(bad.size()));
        QCOMPARE(responses.size(), 0);
        QCOMPARE(feed(cmd, sessionPacket(pattern(7))), 20u);
        QCOMPARE(responses.size(), 1);
    }

    void fullPacketWithShortPadding()
    {
        // Nothing the host sends is over 480 bytes, but a printer's 31 blocks
        // with a one-byte pad carry 495: passed on whole, the readers bound it.
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        const QByteArray plain = pattern(495) + QByteArray(1, '\x01');
        const QByteArray full = rawSessionPacket(plain, packet::Key {});
        QCOMPARE(full.size(), packet::kMaxPacket);
        QCOMPARE(feed(cmd, full), quint32(packet::kMaxPacket));
        QCOMPARE(responses.size(), 1);
        QCOMPARE(responses[0][0].toByteArray(), pattern(495));
    }

    void strayBytesBeforeAPacket()
    {
        // A stray partial header must not swallow the packet that follows it
        // in the next chunk, nor may a reset link inherit a partial packet.
        HostCmd cmd;
        QSignalSpy responses(&cmd, &HostCmd::responseReceived);
        QCOMPARE(feed(cmd, hex("1001")), 2u);
        feedAll(cmd, sessionPacket(pattern(9)));
        QCOMPARE(responses.size(), 1);

        const QByteArray partial = sessionPacket(pattern(60)).left(30);
        QCOMPARE(feed(cmd, partial), 30u);
        cmd.resetReassembly();
        feedAll(cmd, sessionPacket(pattern(9)));
        QCOMPARE(responses.size(), 2);
        QCOMPARE(responses[1][0].toByteArray(), pattern(9));
    }

    void fixedCommands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("record");
        const QByteArray path("/data/PUB/fonts/");
        const QByteArray pathField = path + QByteArray(128 - path.size(), '\0');
        const QByteArray md5 = hex("00112233445566778899aabbccddeeff");
        // Records written out by hand from the command table.
        QTest::newRow("read request 1") << 0 << hex("0100");
        QTest::newRow("'Q' read font table") << 1 << hex("5101");
        QTest::newRow("'R' begin font table") << 2 << hex("5201");
        QTest::newRow("'T' end font table") << 3 << hex("5401");
        QTest::newRow("'U' reset font table") << 4 << hex("5501");
        QTest::newRow("'2' restart 4G") << 5 << hex("3201");
        QTest::newRow("'a' list directory") << 6 << hex("6101") + pathField;
        QTest::newRow("'d' delete file") << 7 << hex("6401") + pathField;
        QTest::newRow("'b' upload request, 300 bytes")
            << 8 << hex("62010000") + pathField + hex("2c010000") + QByteArray(16, '\0');
        QTest::newRow("'c' upload complete") << 9 << hex("63010000") + pathField + hex("2c010000") + md5;
        QTest::newRow("'S' font table entry") << 10 << hex("5301") + QByteArray(436, '\x77');
        QTest::newRow("Wi-Fi credentials")
            << 11 << hex("1101") + "shop" + QByteArray(124, '\0') + "secret" + QByteArray(122, '\0');
        QTest::newRow("'a' with a 200-byte path keeps 127 bytes")
            << 12 << hex("6101") + QByteArray(127, 'p') + QByteArray(1, '\0');
    }
    void fixedCommands()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, record);
        HostCmd cmd;
        Capture capture;
        cmd.setWriter(capture.writer());
        const QByteArray path("/data/PUB/fonts/");
        const QByteArray md5 = hex("00112233445566778899aabbccddeeff");
        bool ok = false;
        switch (command) {
        case 0:
            ok = cmd.requestRecord(1);
            break;
        case 1:
            ok = cmd.requestFontSettings();
            break;
        case 2:
            ok = cmd.beginFontSettings();
            break;
        case 3:
            ok = cmd.endFontSettings();
            break;
        case 4:
            ok = cmd.resetFontSettings();
            break;
        case 5:
            ok = cmd.restartWnet();
            break;
        case 6:
            ok = cmd.requestDirectory(path);
            break;
        case 7:
            ok = cmd.deleteFile(path);
            break;
        case 8:
            ok = cmd.requestUpload(path, 300);
            break;
        case 9:
            ok = cmd.completeUpload(path, 300, md5);
            break;
        case 10:
            ok = cmd.sendFontSettingsEntry(QByteArray(438, '\x77'));
            break;
        case 11:
            ok = cmd.sendWifiCredentials("shop", "secret");
            break;
        case 12:
            ok = cmd.requestDirectory(QByteArray(200, 'p'));
            break;
        }
        QVERIFY(ok);
        QCOMPARE(capture.packets.size(), 1);
        const QByteArray sent = capture.packets[0];
        const int pad = 16 - record.size() % 16;
        QCOMPARE(sent.size(), 4 + record.size() + pad);
        QCOMPARE(int(quint8(sent[3])), (record.size() + pad) / 16);
        QCOMPARE(decryptBody(sent, packet::Key {}).toHex(), (record + QByteArray(pad, char(pad))).toHex());
    }
};

QTEST_GUILESS_MAIN(TestHostCmd)
#include "tst_hostcmd.moc"
