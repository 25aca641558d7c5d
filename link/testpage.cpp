#include "link/testpage.h"

#include "app/debuglog.h"
#include "link/tcprawprint.h"
#include "link/transceiver.h"
#include "settings/settings.h"

namespace {

QByteArray bytes(std::initializer_list<quint8> list)
{
    QByteArray out;
    for (quint8 b : list)
        out.append(char(b));
    return out;
}

TestPage::Clock& pageClock()
{
    static TestPage::Clock instance;
    return instance;
}

} // namespace

const QByteArray TestPage::kStart = bytes({0x1D, 0x28, 0x45, 0x03, 0x00, 0x06, 0x03, 0x01});
const QByteArray TestPage::kEnd = bytes({0x1D, 0x28, 0x45, 0x03, 0x00, 0x06, 0x03, 0xFF});
const QByteArray TestPage::kHeadingStyle = bytes({0x1B, 0x61, 0x01, 0x1D, 0x21, 0x01});
const QByteArray TestPage::kBodyStyle = bytes({0x1B, 0x61, 0x00, 0x1D, 0x21, 0x00});
const QByteArray TestPage::kFeedToPrintStart = bytes({0x1C, 0x28, 0x4C, 0x02, 0x00, 0x43, 0x30});
const QByteArray TestPage::kFeedToCut = bytes({0x1C, 0x28, 0x4C, 0x02, 0x00, 0x42, 0x31});
const QByteArray TestPage::kFullCut = bytes({0x1D, 0x56, 0x30});

// Printed as stored, never translated. The Khmer line separates its words with
// ZERO WIDTH SPACE so the printer can break it.
const QByteArray TestPage::kSampleText = QByteArray("The quick brown fox jumps over a lazy dog\n"
                                                    "那只敏捷的棕色狐狸跳过一只懒狗\n"
                                                    "速い茶色のキツネは怠惰な犬を飛び越える\n"
                                                    "그날쌘갈색여우는게으른개를뛰어넘었다\n"
                                                    "Та ловкая бурая лиса пропускает ленивую собаку\n"
                                                    "ក្រហម\u200Bខ្មៅ\u200Bរហ័ស\u200Bលោត\u200Bលើ\u200Bក្រហម\u200Bខ្មៅ\n"
                                                    "тез қызыл қызыл қызыл әйірден айналады\n"
                                                    "မြန်မြန်မြန်မြန်မြန်မြန်မြန်တဲ့ ခွေးပေါ်က\n"
                                                    "สุนัขจิ้งจอกสีน้ำตาลกระโดดข้ามสุนัขที่ขี้เกียจ\n"
                                                    "Η γρήγορη καφέ αλεπού πηδάει πάνω από ένα τεμπέλικο σκυλί\n"
                                                    "जल्दी भूरा फॉक्स एक धीमा कुत्ता पर जाता है\n");

TestPage& TestPage::raw(const QByteArray& bytes)
{
    data_.append(bytes);
    return *this;
}

TestPage& TestPage::lf(int count)
{
    data_.append(QByteArray(count, '\n'));
    return *this;
}

TestPage& TestPage::time()
{
    return raw(now().toString(QLatin1String(kTimeFormat)).toLatin1());
}

QByteArray TestPage::printTestPage(
    const QString& utf8Mode, const QString& cjk, const QString& codePage, const QString& project, const QString& model)
{
    TestPage page;
    page.start().lf().heading().text(tr("*** Print Test Page ***")).lf(2).body();
    // Labels right-aligned to 13 characters by their leading spaces.
    page.text(tr("  UTF-8 Mode:")).text(utf8Mode).lf();
    page.text(tr("         CJK:")).text(cjk).lf();
    page.text(tr("   Code Page:")).text(codePage).lf();
    page.text(tr("Current Time:")).time().lf(2);
    page.heading().text(tr("*** END ***")).lf().body().end().lf(4);
    // A compact printer needs less paper fed out after the page.
    if (!settings::features(project, model).compact)
        page.lf(4);
    return page.data();
}

QByteArray TestPage::blackMarkTestPage()
{
    TestPage page;
    page.raw(kFeedToPrintStart).start().heading().text(tr("*** Black Mark Print Test ***")).lf(2).body();
    page.raw(kSampleText).text(tr("Current Time: ")).time().lf(2);
    page.heading().text(tr("*** END ***")).lf().body().end().raw(kFeedToCut).raw(kFullCut);
    return page.data();
}

TestPage::NetworkTexts TestPage::networkTexts(const settings::NetworkInfo& info, bool wifi)
{
    using N = settings::NetworkInfo;
    NetworkTexts texts;
    texts.mac = info.text(wifi ? N::WifiMac : N::EthernetMac).toUpper();
    texts.dhcpIp = info.text(wifi ? N::WifiDhcpIp : N::EthernetDhcpIp);
    texts.dhcpNetmask = info.text(wifi ? N::WifiDhcpNetmask : N::EthernetDhcpNetmask);
    texts.staticIp = info.text(wifi ? N::WifiStaticIp : N::EthernetStaticIp);
    texts.staticNetmask = info.text(wifi ? N::WifiStaticNetmask : N::EthernetStaticNetmask);
    if (wifi)
        texts.ssid = info.text(N::WifiSsid);
    return texts;
}

QByteArray TestPage::networkTestPage(
    bool wifi, const NetworkTexts& texts, const QString& project, const QString& model, bool english)
{
    const bool compact = settings::features(project, model).compact;
    TestPage page;
    // Short models print the value hard against its label.
    const auto label
        = [&](const QString& text) -> TestPage& { return compact ? page.text(text) : page.text(text).raw(" "); };

    page.start().lf().heading();
    if (wifi) {
        page.text(tr("*** Wi-Fi Print Test Page ***")).lf(2);
    } else {
        page.text(tr("*** Ethernet Print Test Page ***")).lf();
        if (!(compact && english))
            page.lf();
    }
    page.body();
    // Labels right-aligned to 13 characters by their leading spaces.
    label(tr(" MAC Address:")).raw(texts.mac.toLatin1()).lf();
    label(tr("    IP(DHCP):")).raw(texts.dhcpIp.toLatin1()).lf();
    label(tr("     Netmask:")).raw(texts.dhcpNetmask.toLatin1()).lf();
    label(tr("  IP(Static):")).raw(texts.staticIp.toLatin1()).lf();
    label(tr("     Netmask:")).raw(texts.staticNetmask.toLatin1()).lf();
    label(tr("Current Time:", "network test page")).time().lf(wifi ? 1 : 2);
    // The network name is printed as the printer stores it, in UTF-8.
    if (wifi)
        label(tr("        SSID:")).text(texts.ssid).lf(2);
    page.heading().text(tr("*** END ***")).lf().body().end().lf(4);
    // Short models need less paper fed out after the page.
    if (!compact)
        page.lf(4);
    return page.data();
}

bool TestPage::send(const QByteArray& page, Transceiver* link)
{
    if (!link)
        link = transceiver;
    if (!link)
        return false;
    switch (link->linkState()) {
    case Transceiver::Usb:
        // Printer-side failures are not reported to the user.
        if (!link->write(page.constData(), quint32(page.size()), kUsbWriteTimeoutMs))
            LOG("Test page: USB write of %d bytes failed.", int(page.size()));
        return true;
    case Transceiver::Tcp:
        // Deletes itself when its connection ends.
        new TcpRawPrint(link->hostAddress(), page);
        return true;
    default:
        return false;
    }
}

void TestPage::setClock(Clock clock)
{
    pageClock() = std::move(clock);
}

QDateTime TestPage::now()
{
    return pageClock() ? pageClock()() : QDateTime::currentDateTime();
}
