// Frames built per second, and received frames checked (checksum test and decode) per second.
#include "protocol/Commands.h"
#include "protocol/Frame.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

template <typename Work> void Report(const char* what, int count, Work work)
{
    const auto start = Clock::now();
    const long long sink = work(count);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-40s %12.0f per second (%d in %.3f s, check %lld)\n", what, count / seconds, count, seconds, sink);
}

std::vector<uint8_t> DeviceInfoFrame()
{
    std::vector<uint8_t> payload { 0x02, 0x80, 0x00, 0x19, 0x04, 0x50, 'A', '1', 'B', '2', 'U', 0x00 };
    const char name[] = "Receiver-01";
    payload.insert(payload.end(), name, name + sizeof name);
    payload.resize(DeviceInfoLen, 0x00);
    return BuildFrame(1, 1, CMD_DEVICE_INFO, payload.data(), payload.size());
}

} // namespace

int main()
{
    constexpr int Frames = 2000000;

    Report("frames built (status poll)", Frames, [](int count) {
        long long bytes = 0;
        for (int i = 0; i < count; ++i)
            bytes += BuildFrame(uint8_t(i), 1, CMD_GET_STATUS, EmptyRequest, 1).size();
        return bytes;
    });

    const std::vector<uint8_t> setIp = [] {
        const auto payload = SetIpPayload(0x0200007F, 0x00FFFFFF, 0x0100007F);
        return std::vector<uint8_t>(payload.begin(), payload.end());
    }();
    Report("frames built (12-byte IP change)", Frames, [&](int count) {
        long long bytes = 0;
        for (int i = 0; i < count; ++i)
            bytes += BuildFrame(uint8_t(i), 1, CMD_SET_IP, setIp.data(), setIp.size()).size();
        return bytes;
    });

    const uint8_t status[] = { 0, 9, 3, 55, 70, 20, 4, 33, 2 };
    const std::vector<uint8_t> statusFrame = BuildFrame(1, 1, CMD_STATUS, status, sizeof status);
    Report("frames checked (status reply)", Frames, [&](int count) {
        long long channels = 0;
        for (int i = 0; i < count; ++i) {
            if (FrameChecksumOk(statusFrame.data(), statusFrame.size()))
                channels += DecodeStatus(statusFrame.data(), statusFrame.size())->Channel;
        }
        return channels;
    });

    const std::vector<uint8_t> infoFrame = DeviceInfoFrame();
    Report("frames checked (device info, GBK text)", Frames / 10, [&](int count) {
        long long nameLength = 0;
        for (int i = 0; i < count; ++i) {
            if (FrameChecksumOk(infoFrame.data(), infoFrame.size()))
                nameLength += DecodeDeviceInfo(infoFrame.data(), infoFrame.size())->Name.size();
        }
        return nameLength;
    });
    return 0;
}
