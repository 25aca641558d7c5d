#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <functional>

class Transceiver;

namespace settings {
class NetworkInfo;
}

// ESC/POS test pages: the framing and styles every test page shares, a small
// builder, the two pages of the print settings, and the one way they reach
// the printer over the open link. No widgets: pages pass the texts they show.
class TestPage final
{
    Q_DECLARE_TR_FUNCTIONS(TestPage)

public:
    // GS ( E, function 6: the printer's own markers around a test page.
    static const QByteArray kStart; // 1D 28 45 03 00 06 03 01
    static const QByteArray kEnd; // 1D 28 45 03 00 06 03 FF
    // ESC a 1 (centred), GS ! 1 (double height).
    static const QByteArray kHeadingStyle;
    // ESC a 0 (left aligned), GS ! 0 (normal size).
    static const QByteArray kBodyStyle;
    // FS ( L functions 67 and 66, and GS V 0x30 (full cut).
    static const QByteArray kFeedToPrintStart;
    static const QByteArray kFeedToCut;
    static const QByteArray kFullCut;
    // Eleven lines of sample text in as many scripts, 938 bytes of UTF-8.
    static const QByteArray kSampleText;
    static constexpr char kTimeFormat[] = "yyyy/MM/dd hh:mm:ss";
    static constexpr int kUsbWriteTimeoutMs = 100;

    TestPage& raw(const QByteArray& bytes);
    TestPage& start() { return raw(kStart); }
    TestPage& end() { return raw(kEnd); }
    TestPage& heading() { return raw(kHeadingStyle); }
    TestPage& body() { return raw(kBodyStyle); }
    TestPage& text(const QString& text) { return raw(text.toUtf8()); }
    TestPage& lf(int count = 1);
    // The current time as the pages print it, in Latin-1.
    TestPage& time();
    const QByteArray& data() const { return data_; }

    // The page shows the character-set choices as the page's combos show them;
    // the printer's project and model decide how much paper follows it.
    static QByteArray printTestPage(const QString& utf8Mode, const QString& cjk, const QString& codePage,
        const QString& project, const QString& model = QString());
    static QByteArray blackMarkTestPage();

    // What the Ethernet and Wi-Fi test pages print: the addresses as the
    // network page shows them (`ssid` on Wi-Fi only).
    struct NetworkTexts
    {
        QString mac;
        QString dhcpIp;
        QString dhcpNetmask;
        QString staticIp;
        QString staticNetmask;
        QString ssid;
    };
    // As the page loads them from the network information reply.
    static NetworkTexts networkTexts(const settings::NetworkInfo& info, bool wifi);
    // `english`: the user interface language, which decides a compact
    // printer's heading on the Ethernet page.
    static QByteArray networkTestPage(
        bool wifi, const NetworkTexts& texts, const QString& project, const QString& model, bool english);

    // Over USB one raw write; over TCP a raw print job to port 9100 of the
    // printer; without a link nothing. False only when nothing went out.
    // On `link`, or on the process-wide one.
    static bool send(const QByteArray& page, Transceiver* link = nullptr);

    // Where "now" comes from; tests pin it. An empty clock restores the real one.
    using Clock = std::function<QDateTime()>;
    static void setClock(Clock clock);
    static QDateTime now();

private:
    QByteArray data_;
};
