#pragma once

#include "tools/printersim/simfonttable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Who the simulated printer says it is; fixed for a run by the command line.
// Each field goes into a 16-byte wire field, so at most 16 bytes.
struct SimIdentity
{
    QByteArray project = "LQ520";
    QByteArray model = "LQ520";
    QByteArray sn = "LQ5202405000137";
};

// Everything the printer reports and the host may change, as plain fields so
// that the state file reads well. Texts are Latin-1 on the wire except the
// SSID and the Bluetooth name (UTF-8); addresses are host-order IPv4 values.
struct SimState
{
    struct Versions
    {
        QString hardware, bootloader, firmware, app, partnerApp, miniApp, font, tts;
    } versions;

    struct Ethernet
    {
        QString mac;
        quint32 dhcpAddress = 0, dhcpNetmask = 0, staticAddress = 0, staticNetmask = 0;
    } ethernet;

    struct Wifi
    {
        QString ssid;
        // The printer's own secret: kept here, never reported or logged.
        QString password;
        QString mac;
        quint32 dhcpAddress = 0, dhcpNetmask = 0, staticAddress = 0, staticNetmask = 0;
    } wifi;

    struct Bluetooth
    {
        QString mac, name;
    } bluetooth;

    struct Print
    {
        quint8 cjk = 0, codePage = 0, utf8 = 0, density = 100;
        // 0..100 as shown to the user; the wire byte is its complement.
        quint8 quality = 0;
        qint32 paperType = 48;
        quint32 blackMarkA = 0, blackMarkB = 0;
        // Tenths of a millimetre.
        qint32 printPosition = 0, cutPosition = 0;
        quint32 feedDots = 0;
        quint8 blackMarkLocation = 1, notTakenFlags = 0;
    } print;

    struct Serial
    {
        quint32 baud = 115200, dataBits = 8, stopBits = 1, parity = 0;
    } serial;

    struct Audio
    {
        // Whole bytes as the host sent them, other bits included.
        quint8 all = 1, cloud = 1, warning = 1, notice = 1, notTaken = 3;
    } audio;

    struct Mobile
    {
        QString moduleVersion, imei, iccid, imsi, mcc, mnc, isp, location;
        // 0x00FF on the wire means "no value".
        qint16 rssi = 0x00FF;
        quint16 status = 0;
        quint16 useApn = 0;
        QString apn, dial;
    } mobile;

    // Rows in the order the host sent them.
    SimFontTable fontTable;
};

// What the printer makes of a settings record.
enum class ApplyResult {
    Applied,
    WrongLength, // a settings identifier with the wrong record length: nothing changed
    NotSettings, // not a settings record at all
};

// The printer's behaviour on records: builds the replies from the state and
// applies the host's settings records to it.
class SimModel final
{
public:
    SimModel(SimIdentity identity, SimState state);

    // Realistic values for the features of this model: Ethernet for LQ520,
    // Wi-Fi and Bluetooth for LQ230, LQ540 and LQ560, 4G for LQ560 and LQ580.
    // `ownAddress` (IPv4, host order) is where this printer is reached: its
    // DHCP addresses default to it, so that a test page printed from the
    // setup utility comes back here and never goes to an address on the
    // user's network. 0 when unknown.
    static SimState defaultState(const SimIdentity& identity, quint32 ownAddress = 0);

    // Record length of a settings record identifier, 0 for anything else.
    static int settingsLength(quint16 id);
    // LQ560 and LQ580 have a 4G module.
    static bool hasMobile(const SimIdentity& identity);

    const SimIdentity& identity() const { return identity_; }
    const SimState& state() const { return state_; }
    void setState(const SimState& state) { state_ = state; }
    void setMobileStatus(quint16 status) { state_.mobile.status = status; }
    void setFontTable(const SimFontTable& table) { state_.fontTable = table; }

    // host_cmd_dev_info_t, the plaintext of the handshake answer (56 bytes).
    QByteArray devInfo() const;
    // Reply record to read request `type` 1..6; empty for any other type.
    QByteArray reply(quint16 type) const;
    ApplyResult apply(const QByteArray& record);
    // The answer to a font table read: one entry record per row.
    QList<QByteArray> fontTableReplies() const;

private:
    QByteArray deviceInfoReply() const;
    QByteArray networkInfoReply() const;
    QByteArray printSettingsReply() const;
    QByteArray mobileReply() const;
    QByteArray serialReply() const;
    QByteArray audioReply() const;

    SimIdentity identity_;
    SimState state_;
};
