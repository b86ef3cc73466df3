// The frame check, the reply decoders and the serial cutter against a plain model of the intake
// rules. Input: one control byte, then the bytes. The bytes are checked as one datagram, then fed
// to the cutter in pieces whose sizes come from the control byte; its low bit lets the 500 ms rule
// expire what is left at the end.
#include "FuzzCheck.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

uint8_t ModelCrc(const uint8_t* bytes, size_t count)
{
    uint8_t crc = 0;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return static_cast<uint8_t>(crc ^ 0xFF);
}

bool ModelWellFormed(const Bytes& b)
{
    return b.size() >= 7 && b[0] == 0xC8 && b[3] == 0xC9 && b[5] + 7u == b.size();
}

bool ModelShape(const Bytes& b, uint8_t cmd, int len)
{
    return ModelWellFormed(b) && b[4] == cmd && b[5] == len;
}

// The decoders refuse exactly what the intake rules refuse.
void CheckDecoders(const Bytes& b)
{
    const uint8_t* f = b.empty() ? nullptr : b.data();
    const size_t n = b.size();
    FUZZ_CHECK(IsWellFormedDatagram(f, n) == ModelWellFormed(b));
    FUZZ_CHECK(FrameChecksumOk(f, n) == (n > 0 && ModelCrc(f, n - 1) == b[n - 1]));
    FUZZ_CHECK(DecodeStatus(f, n).has_value() == (ModelWellFormed(b) && b[4] == CMD_STATUS && b[5] >= StatusMinLen));
    FUZZ_CHECK(DecodeSyncResult(f, n).has_value() == ModelShape(b, CMD_SYNC_RESULT, AckLen));
    FUZZ_CHECK(DecodeDeviceInfo(f, n).has_value() == (ModelShape(b, CMD_DEVICE_INFO, DeviceInfoLen) && b[11] >= b[10]));
    FUZZ_CHECK(DecodeScanPoint(f, n).has_value() == ModelShape(b, CMD_SCAN_POINT, ScanPointLen));
    FUZZ_CHECK(IsScanEnd(f, n) == ModelShape(b, CMD_SCAN_END, AckLen));
    FUZZ_CHECK(IsSetIpAck(f, n) == ModelShape(b, CMD_SET_IP_ACK, AckLen));
    FUZZ_CHECK(DecodeSetAck(f, n).has_value()
        == (ModelShape(b, CMD_SET_CHANNEL_ACK, AckLen) || ModelShape(b, CMD_SET_SQ_ACK, AckLen)));
    if (DecodeSearchReply(f, n))
        FUZZ_CHECK(ModelShape(b, CMD_SEARCH_REPLY, SearchReplyLen));
}

// The serial rules, plainly: a frame starts at 0xC8 .. 0xC9 with a Len that fits 256 bytes and its
// command (which lengths a command has is the protocol test's to check) and ends in its checksum;
// anything else gives up one byte; an incomplete frame waits, unless expired.
class ModelCutter
{
public:
    size_t Append(const uint8_t* bytes, size_t count)
    {
        const size_t taken = std::min(count, 256 - m_bytes.size());
        m_bytes.insert(m_bytes.end(), bytes, bytes + taken);
        return taken;
    }
    bool Next(Bytes& out, bool expired)
    {
        while (m_bytes.size() >= 6) {
            const size_t length = m_bytes[5] + 7u;
            const bool start
                = m_bytes[0] == 0xC8 && m_bytes[3] == 0xC9 && length <= 256 && LenFitsCommand(m_bytes[4], m_bytes[5]);
            if (start && m_bytes.size() < length && !expired)
                return false;
            if (start && m_bytes.size() >= length && ModelCrc(m_bytes.data(), length - 1) == m_bytes[length - 1]) {
                out.assign(m_bytes.begin(), m_bytes.begin() + static_cast<long>(length));
                m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<long>(length));
                return true;
            }
            m_bytes.erase(m_bytes.begin());
        }
        return false;
    }
    size_t Count() const { return m_bytes.size(); }

private:
    Bytes m_bytes;
};

void CheckCutter(uint8_t control, const uint8_t* data, size_t size)
{
    SerialFrameCutter cutter;
    ModelCutter model;
    const size_t piece = 1 + control / 2;
    Bytes got;
    Bytes expected;
    const auto drain = [&](bool expired) {
        for (;;) {
            const bool found = cutter.NextFrame(got, expired);
            FUZZ_CHECK(found == model.Next(expected, expired));
            if (!found)
                break;
            FUZZ_CHECK(got == expected);
        }
        FUZZ_CHECK(static_cast<size_t>(cutter.Count()) == model.Count());
        FUZZ_CHECK(cutter.FreeSpace() > 0); // the line can always be read further
    };
    for (size_t at = 0; at < size;) {
        const int count = static_cast<int>(std::min(piece, size - at));
        const int taken = cutter.Append(data + at, count);
        FUZZ_CHECK(static_cast<size_t>(taken) == model.Append(data + at, static_cast<size_t>(count)));
        at += static_cast<size_t>(taken);
        drain(false);
    }
    if (control & 1)
        drain(true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const Bytes bytes(data + 1, data + size);
    CheckDecoders(bytes);
    CheckCutter(data[0], bytes.data(), bytes.size());
    return 0;
}
