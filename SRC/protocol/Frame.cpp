#include "protocol/Frame.h"

#include "protocol/Commands.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace
{

constexpr uint8_t CrcPolynomial = 0x07;

constexpr std::array<uint8_t, 256> MakeCrcTable()
{
    std::array<uint8_t, 256> table {};
    for (int index = 0; index < 256; ++index) {
        uint8_t crc = static_cast<uint8_t>(index);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ CrcPolynomial : crc << 1);
        table[static_cast<size_t>(index)] = crc;
    }
    return table;
}

constexpr std::array<uint8_t, 256> CrcTable = MakeCrcTable();
static_assert(CrcTable[1] == 0x07 && CrcTable[2] == 0x0E && CrcTable[128] == 0x89 && CrcTable[255] == 0xF3);

constexpr size_t HeaderSize = 6; // Head, RXID, DevIdx, Mark, Cmd, Len

bool HasFrameStart(const uint8_t* bytes)
{
    return bytes[0] == FrameHead && bytes[3] == FrameMark;
}

} // namespace

uint8_t FrameCrc8(const uint8_t* bytes, size_t count)
{
    uint8_t crc = 0x00;
    for (size_t i = 0; i < count; ++i)
        crc = CrcTable[crc ^ bytes[i]];
    return crc ^ 0xFF;
}

std::vector<uint8_t> BuildFrame(uint8_t rxid, uint8_t devIdx, uint8_t cmd, const uint8_t* payload, size_t len)
{
    if (len > static_cast<size_t>(MaxPayload) || (len > 0 && payload == nullptr))
        return {};
    std::vector<uint8_t> frame(len + FrameOverhead);
    frame[0] = FrameHead;
    frame[1] = rxid;
    frame[2] = devIdx;
    frame[3] = FrameMark;
    frame[4] = cmd;
    frame[5] = static_cast<uint8_t>(len);
    if (len > 0)
        std::memcpy(frame.data() + HeaderSize, payload, len);
    frame[HeaderSize + len] = FrameCrc8(frame.data(), HeaderSize + len);
    return frame;
}

bool FrameChecksumOk(const uint8_t* bytes, size_t n)
{
    return n > 0 && FrameCrc8(bytes, n - 1) == bytes[n - 1];
}

bool IsWellFormedDatagram(const uint8_t* bytes, size_t n)
{
    return n >= static_cast<size_t>(FrameOverhead) && HasFrameStart(bytes)
        && static_cast<size_t>(FrameLen(bytes)) + FrameOverhead == n;
}

bool SerialFrameCutter::Commit(int bytesWritten)
{
    if (bytesWritten < 0 || bytesWritten > FreeSpace())
        return false;
    m_count += bytesWritten;
    return true;
}

int SerialFrameCutter::Append(const uint8_t* bytes, int count)
{
    const int taken = std::clamp(count, 0, FreeSpace());
    if (taken > 0)
        std::memcpy(WritePointer(), bytes, static_cast<size_t>(taken));
    m_count += taken;
    return taken;
}

// A candidate is a header whose frame fits the buffer. One that cannot fit would never complete
// and would stop the line for good; one that fails its checksum, or that expired incomplete,
// gives up only its first byte, so that a cut-off header does not swallow the frames behind it.
bool LenFitsCommand(uint8_t cmd, uint8_t len)
{
    switch (cmd) {
    case CMD_STATUS:
        return len >= StatusMinLen;
    case CMD_DEVICE_INFO:
        return len == DeviceInfoLen;
    case CMD_SEARCH_REPLY:
        return len == SearchReplyLen;
    case CMD_SCAN_POINT:
        return len == ScanPointLen;
    case CMD_SET_IP:
        return len == SetIpLen;
    case CMD_CONNECT:
    case CMD_GET_STATUS:
    case CMD_SYNC_TX:
    case CMD_SYNC_RESULT:
    case CMD_SCAN_START:
    case CMD_SCAN_STOP:
    case CMD_SCAN_END:
    case CMD_SET_CHANNEL:
    case CMD_SET_CHANNEL_ACK:
    case CMD_SET_SQ:
    case CMD_SET_SQ_ACK:
    case CMD_SEARCH:
    case CMD_SET_IP_ACK:
        return len == AckLen;
    default:
        return true;
    }
}

bool SerialFrameCutter::NextFrame(std::vector<uint8_t>& out, bool expired)
{
    constexpr int MinUnconsumed = static_cast<int>(HeaderSize);
    int start = 0;
    bool found = false;
    while (!found && m_count - start >= MinUnconsumed) {
        const uint8_t* candidate = m_buffer + start;
        if (!HasFrameStart(candidate) || FrameLen(candidate) > MaxPayload
            || !LenFitsCommand(FrameCmd(candidate), FrameLen(candidate))) {
            ++start;
            continue;
        }
        const int length = FrameLen(candidate) + FrameOverhead;
        if (m_count - start < length) {
            if (!expired)
                break; // the rest is still on its way
            ++start;
            continue;
        }
        if (!FrameChecksumOk(candidate, static_cast<size_t>(length))) {
            ++start;
            continue;
        }
        out.assign(candidate, candidate + length);
        start += length;
        found = true;
    }
    if (start > 0) {
        m_count -= start;
        std::memmove(m_buffer, m_buffer + start, static_cast<size_t>(m_count));
    }
    return found;
}
