#include "protocol/Commands.h"

#include "lang/Gbk.h"
#include "protocol/Frame.h"

#include <cstring>

namespace
{

constexpr int NameFieldSize = 12;
constexpr int VersionFieldSize = 2;

// The dispatcher's test: a whole frame of this command whose Len is exactly len.
bool HasShape(const uint8_t* frame, size_t n, uint8_t cmd, int len)
{
    return IsWellFormedDatagram(frame, n) && FrameCmd(frame) == cmd && FrameLen(frame) == len;
}

uint16_t BigEndianWord(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::optional<SingleBytePayload> ByteInRange(int value, int highest)
{
    if (value < 0 || value > highest)
        return std::nullopt;
    return SingleBytePayload { static_cast<uint8_t>(value) };
}

} // namespace

std::optional<SingleBytePayload> SetChannelPayload(int channel)
{
    return ByteInRange(channel, 255);
}

std::optional<SingleBytePayload> SetSqPayload(int step)
{
    return ByteInRange(step, MaxSqStep);
}

std::array<uint8_t, SetIpLen> SetIpPayload(uint32_t ipNet, uint32_t maskNet, uint32_t gatewayNet)
{
    // Network byte order already lies in memory first octet first.
    std::array<uint8_t, SetIpLen> payload {};
    std::memcpy(payload.data(), &ipNet, 4);
    std::memcpy(payload.data() + 4, &maskNet, 4);
    std::memcpy(payload.data() + 8, &gatewayNet, 4);
    return payload;
}

double DecodeStartFreq(uint16_t integerPart, uint16_t fractionPart)
{
    uint32_t scale = 1;
    while (scale <= fractionPart)
        scale *= 10;
    // One division of exact integers: the same double as reading the decimal text.
    return static_cast<double>(static_cast<uint64_t>(integerPart) * scale + fractionPart) / scale;
}

std::optional<DeviceBandInfo> DecodeDeviceInfo(const uint8_t* frame, size_t n)
{
    if (!HasShape(frame, n, CMD_DEVICE_INFO, DeviceInfoLen))
        return std::nullopt;
    const uint8_t* p = FramePayload(frame);
    // A band whose last channel lies before its first has no channels to size anything by.
    if (p[5] < p[4])
        return std::nullopt;
    DeviceBandInfo info;
    info.StartFreq = DecodeStartFreq(BigEndianWord(p), BigEndianWord(p + 2));
    info.StartChannel = p[4];
    info.MaxChannel = p[5] - p[4] + 1;
    // Versions and the band letter end at a NUL like the names, so no NUL reaches the texts.
    info.HWVer = FromGbkField(p + 6, VersionFieldSize);
    info.SWVer = FromGbkField(p + 8, VersionFieldSize);
    info.Band = FromGbkField(p + 10, 1);
    info.Name = FromGbkField(p + 12, NameFieldSize);
    return info;
}

std::optional<StatusReply> DecodeStatus(const uint8_t* frame, size_t n)
{
    if (!IsWellFormedDatagram(frame, n) || FrameCmd(frame) != CMD_STATUS || FrameLen(frame) < StatusMinLen)
        return std::nullopt;
    const uint8_t* p = FramePayload(frame);
    StatusReply status;
    status.Channel = p[1];
    status.Battery = p[2];
    status.Audio = p[3];
    status.RfA = p[4];
    status.RfB = p[5];
    status.SQ = p[6];
    status.Level = p[7];
    status.Antenna = p[8];
    return status;
}

std::optional<uint8_t> DecodeSyncResult(const uint8_t* frame, size_t n)
{
    if (!HasShape(frame, n, CMD_SYNC_RESULT, AckLen))
        return std::nullopt;
    return FramePayload(frame)[0];
}

std::optional<ScanPoint> DecodeScanPoint(const uint8_t* frame, size_t n)
{
    if (!HasShape(frame, n, CMD_SCAN_POINT, ScanPointLen))
        return std::nullopt;
    const uint8_t* p = FramePayload(frame);
    return ScanPoint { p[0], p[1] };
}

bool IsScanEnd(const uint8_t* frame, size_t n)
{
    return HasShape(frame, n, CMD_SCAN_END, AckLen);
}

std::optional<uint8_t> DecodeSetAck(const uint8_t* frame, size_t n)
{
    for (uint8_t cmd : { CMD_SET_CHANNEL_ACK, CMD_SET_SQ_ACK }) {
        if (HasShape(frame, n, cmd, AckLen))
            return cmd;
    }
    return std::nullopt;
}

bool IsSetIpAck(const uint8_t* frame, size_t n)
{
    return HasShape(frame, n, CMD_SET_IP_ACK, AckLen);
}

std::optional<SearchReply> DecodeSearchReply(const uint8_t* frame, size_t n)
{
    if (!HasShape(frame, n, CMD_SEARCH_REPLY, SearchReplyLen))
        return std::nullopt;
    const uint8_t* p = FramePayload(frame);
    SearchReply reply;
    reply.Rxid = FrameRxid(frame);
    reply.HWVer = FromGbkField(p, VersionFieldSize);
    reply.SWVer = FromGbkField(p + 2, VersionFieldSize);
    reply.Band = FromGbkField(p + 4, 1);
    reply.ChannelCount = p[5];
    reply.Name = FromGbkField(p + 6, NameFieldSize);
    return reply;
}
