#pragma once
// The command set: request payloads and typed decoders of every reply. Decoders take a whole
// frame (structurally valid, checksum already tested) and check Cmd and Len as the dispatcher does.
#include "data/Device.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

enum Command : uint8_t {
    CMD_CONNECT = 0x01,
    CMD_DEVICE_INFO = 0x02,
    CMD_GET_STATUS = 0x03,
    CMD_STATUS = 0x04,
    CMD_SYNC_TX = 0x05,
    CMD_SYNC_RESULT = 0x06,
    CMD_SCAN_START = 0x07,
    CMD_SCAN_POINT = 0x08,
    CMD_SCAN_STOP = 0x09,
    CMD_SCAN_END = 0x0A,
    CMD_SET_CHANNEL = 0x0B,
    CMD_SET_CHANNEL_ACK = 0x0C,
    CMD_SET_SQ = 0x0D,
    CMD_SET_SQ_ACK = 0x0E,
    CMD_SEARCH = 0x11,
    CMD_SEARCH_REPLY = 0x12,
    CMD_SET_IP = 0x13,
    CMD_SET_IP_ACK = 0x14,
};

constexpr int DeviceInfoLen = 24;
constexpr int StatusMinLen = 9;
constexpr int SearchReplyLen = 18;
constexpr int ScanPointLen = 4;
constexpr int SetIpLen = 12;
constexpr int AckLen = 1; // sync result, scan end, set channel / SQ / IP acknowledgements

// The payload of every request with nothing to say.
constexpr uint8_t EmptyRequest[1] = {0x00};
inline constexpr const char* BroadcastAddress = "255.255.255.255";
constexpr uint8_t SearchRxid = 255;
constexpr uint8_t SearchDevIdx = 1;

// CMD_SET_CHANNEL and CMD_SET_SQ carry one byte.
using SingleBytePayload = std::array<uint8_t, 1>;
constexpr int MaxSqStep = 8; // step n is -5 x n dBm
// The target channel number; nothing when it does not fit a byte.
std::optional<SingleBytePayload> SetChannelPayload(int channel);
// The SQ step 0..MaxSqStep; nothing outside that range.
std::optional<SingleBytePayload> SetSqPayload(int step);

// CMD_SET_IP: address, netmask, gateway, each first octet first. Values are in network byte
// order as inet_addr gives them.
std::array<uint8_t, SetIpLen> SetIpPayload(uint32_t ipNet, uint32_t maskNet, uint32_t gatewayNet);

// StartFreq from the integer and fraction words: the fraction's decimal digits follow "0."
// (25 -> .25, 5 and 500 -> .5, 125 -> .125, 0 -> .0).
double DecodeStartFreq(uint16_t integerPart, uint16_t fractionPart);

// Len 24. Refused when the band's last channel (P[5]) lies before its first (P[4]): such a band
// has no channel count. Versions, band and name end at their first NUL.
std::optional<DeviceBandInfo> DecodeDeviceInfo(const uint8_t* frame, size_t n);

struct StatusReply {
    uint8_t Channel = 0;  // P[1]
    uint8_t Battery = 0;  // P[2]
    uint8_t Audio = 0;    // P[3]
    uint8_t RfA = 0;      // P[4]
    uint8_t RfB = 0;      // P[5]
    uint8_t SQ = 0;       // P[6]
    uint8_t Level = 0;    // P[7], shown with " dB" in the RF history window
    uint8_t Antenna = 0;  // P[8]
};
// Any Len, but at least 9 payload bytes present; shorter replies are refused.
std::optional<StatusReply> DecodeStatus(const uint8_t* frame, size_t n);

// 1 success, 2 failure, anything else: no message (but the pending sync still ends).
std::optional<uint8_t> DecodeSyncResult(const uint8_t* frame, size_t n);

struct ScanPoint {
    uint8_t Channel = 0;
    uint8_t Level = 0; // as received; the windows cap it at 100
};
std::optional<ScanPoint> DecodeScanPoint(const uint8_t* frame, size_t n);
bool IsScanEnd(const uint8_t* frame, size_t n);
// CMD_SET_CHANNEL_ACK or CMD_SET_SQ_ACK with Len 1: the acknowledged command, else nothing.
std::optional<uint8_t> DecodeSetAck(const uint8_t* frame, size_t n);
bool IsSetIpAck(const uint8_t* frame, size_t n);

struct SearchReply {
    int Rxid = 0;
    QString HWVer;
    QString SWVer;
    QString Band;
    int ChannelCount = 0; // channels DevIdx 1..N
    QString Name;
};
std::optional<SearchReply> DecodeSearchReply(const uint8_t* frame, size_t n);
