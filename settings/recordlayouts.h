#pragma once

#include <QtGlobal>

// Offsets and sizes of every wire record, named once. The reader and builder
// of each record use these with RecordReader / RecordWriter.

namespace layout {

// Record identifier: command code in the low byte, version in the high byte;
// read requests and their replies carry the record type 1..6.
inline constexpr int kIdOffset = 0;
inline constexpr quint16 recordId(quint8 code, quint8 version = 1)
{
    return quint16(code | (version << 8));
}

// host_cmd_dev_info_t: the handshake answer's plaintext and the discovery reply.
namespace devinfo {
inline constexpr int kProject = 0, kModel = 16, kSn = 32, kReserved = 48;
inline constexpr int kTextWidth = 16, kSize = 56;
} // namespace devinfo

// Read request types and the minimum length of each reply.
namespace readtype {
inline constexpr quint16 kDeviceInfo = 1, kNetworkInfo = 2, kPrintSettings = 3, kWnet = 4, kSerial = 5, kAudio = 6;
inline constexpr int kMinLength[7] = {0, 186, 248, 46, 344, 18, 7};
} // namespace readtype

// Command codes of the records the host sends.
namespace code {
inline constexpr quint8 kEthernetAddress = 0x01, kWifiAddress = 0x02, kAudio = 0x03, kWifiCredentials = 0x11,
                        kPrintSettings = 0x21, kWnetApn = 0x31, kWnetRestart = 0x32, kSerial = 0x41,
                        kFontTableRead = 0x51, kFontTableBegin = 0x52, kFontTableEntry = 0x53, kFontTableEnd = 0x54,
                        kFontTableReset = 0x55, kListDirectory = 0x61, kUploadRequest = 0x62, kUploadComplete = 0x63,
                        kDeleteFile = 0x64;
} // namespace code

// Device information record (reply to type 1).
namespace deviceinfo {
inline constexpr int kModel = 18, kSn = 34, kHwVersion = 58, kBootloaderVersion = 74, kFwVersion = 90,
                     kAppVersion = 106, kPartnerAppVersion = 122, kMiniAppVersion = 138, kFontVersion = 154,
                     kTtsVersion = 170;
inline constexpr int kSnWidth = 24, kTextWidth = 16, kSize = 186;
} // namespace deviceinfo

// Network information record (reply to type 2).
namespace netinfo {
inline constexpr int kEthMac = 2, kEthDhcpIp = 20, kEthDhcpMask = 24, kEthStaticIp = 28, kEthStaticMask = 32,
                     kWifiSsid = 36, kWifiMac = 164, kWifiDhcpIp = 182, kWifiDhcpMask = 186, kWifiStaticIp = 190,
                     kWifiStaticMask = 194, kBtMac = 198, kBtName = 216;
inline constexpr int kMacWidth = 18, kSsidWidth = 128, kBtNameWidth = 32, kSize = 248;
} // namespace netinfo

// Ethernet (0x01) and Wi-Fi (0x02) address records: static address and netmask.
namespace address {
inline constexpr int kIp = 2, kMask = 6, kSize = 10;
} // namespace address

// Wi-Fi credentials record (0x11).
namespace wificred {
inline constexpr int kSsid = 2, kPassword = 130, kFieldWidth = 128, kSize = 258;
} // namespace wificred

// Print settings record: reply to type 3 and command '!'.
namespace print {
inline constexpr int kReserved = 2, kCjk = 3, kCodePage = 4, kUtf8 = 5, kDensity = 6, kQuality = 7, kPaperType = 8,
                     kBlackMarkA = 12, kBlackMarkB = 16, kPrintPosition = 20, kCutPosition = 24, kFeedDots = 40,
                     kBlackMarkLocation = 44, kNotTakenFlags = 45, kSize = 46;
inline constexpr qint32 kPaperReceipt = 48, kPaperBlackMark = 113;
} // namespace print

// Mobile network record (reply to type 4); the APN record ('1') carries its
// bytes from kUseApn on at offset 2.
namespace wnet {
inline constexpr int kVersion = 2, kImei = 66, kIccid = 82, kImsi = 106, kMcc = 122, kMnc = 126, kIsp = 130,
                     kLocation = 194, kRssi = 258, kStatus = 260, kUseApn = 262, kApn = 264, kDial = 328, kSize = 344;
inline constexpr int kVersionWidth = 64, kImeiWidth = 16, kIccidWidth = 24, kImsiWidth = 16, kMccWidth = 4,
                     kMncWidth = 4, kIspWidth = 64, kLocationWidth = 64, kApnWidth = 64, kDialWidth = 16;
inline constexpr quint16 kRssiNone = 0x00FF;
enum Status : quint16 { Disabled, Disabling, Enabling, Enabled, Connected, Connecting, Ready };
} // namespace wnet

namespace apn {
inline constexpr int kUseApn = 2, kApn = 4, kDial = 68, kSize = 84;
inline constexpr int kFromWnet = wnet::kUseApn - kUseApn;
} // namespace apn

// Serial settings record: reply to type 5 and command 'A'.
namespace serial {
inline constexpr int kBaud = 2, kDataBits = 6, kStopBits = 10, kParity = 14, kSize = 18;
} // namespace serial

// Audio settings record: reply to type 6 and command 0x03.
namespace audio {
inline constexpr int kAll = 2, kCloud = 3, kWarning = 4, kNotice = 5, kNotTaken = 6, kSize = 7;
} // namespace audio

// File commands 'a' and 'd' (path only) and 'b' and 'c' (path, size, digest).
namespace file {
inline constexpr int kShortPath = 2, kShortSize = 130;
inline constexpr int kPath = 4, kFileSize = 132, kDigest = 136, kLongSize = 152;
inline constexpr int kPathWidth = 128;
} // namespace file

// Font settings table entry: read as 0x0151, written as 'S' 0x01.
namespace fontentry {
inline constexpr int kEnabled = 2, kCt = 3, kPx = 4, kAd = 5, kScript = 6, kLanguage = 38, kFontFile = 42,
                     kFaceIndex = 106, kThreshold = 110, kPixelWidth = 112, kPixelHeight = 114, kAdvance = 116,
                     kRanges = 118;
inline constexpr int kScriptWidth = 32, kLanguageWidth = 4, kFontFileWidth = 64;
// Each slot: first and last code point, unsigned 32-bit; the list ends at a first code point of 0.
inline constexpr int kRangeSlots = 40, kRangeSlotSize = 8;
inline constexpr int kSize = 438;
static_assert(kRanges + kRangeSlots * kRangeSlotSize == kSize);
} // namespace fontentry

// Installed font entry of a folder listing (0x0161).
namespace fontlisting {
inline constexpr int kMinLength = 134;
} // namespace fontlisting

} // namespace layout
