#pragma once
// The state of one simulated receiver and the payloads it answers with. Knows no transport and
// no timers: the simulator advances it and routes its replies.
#include "SimConfig.h"

#include <cstdint>
#include <random>
#include <vector>

class Receiver
{
public:
    Receiver(const ReceiverSetup& setup, double busyShare, std::mt19937& rng);

    const ReceiverSetup& Setup() const { return m_setup; }
    uint8_t Rxid() const { return static_cast<uint8_t>(m_setup.Rxid); }
    bool HasChannel(int devIdx) const { return devIdx >= 1 && devIdx <= m_setup.Channels; }
    bool InBand(int channel) const { return channel >= m_setup.FirstChannel && channel <= m_setup.LastChannel; }

    uint32_t Ip() const { return m_ip; } // host byte order
    uint32_t Mask() const { return m_mask; }
    uint32_t Gateway() const { return m_gateway; }
    void SetNetwork(uint32_t ip, uint32_t mask, uint32_t gateway);

    std::vector<uint8_t> DeviceInfo() const;
    std::vector<uint8_t> Status(int devIdx) const;
    std::vector<uint8_t> SearchReply() const;

    // False, and nothing changed, outside the band or above the deepest SQ step.
    bool SetChannel(int devIdx, int channel);
    bool SetSq(int devIdx, int step);

    // One step of the level walks (the simulator calls it every LevelStepMs) and the battery
    // drain after elapsedMs of running (drainStepMs per step; 0 never drains).
    // The transmitters' mean levels wander down to lowestTarget: CalmLowest keeps them above the
    // default squelch level but for rare dips, StormLowest takes them far below it now and then.
    static constexpr int LevelStepMs = 100;
    static constexpr double CalmLowest = 52;
    static constexpr double StormLowest = 15;
    void Advance(std::mt19937& rng, int64_t elapsedMs, int64_t drainStepMs, double lowestTarget = CalmLowest);

    // The scripted episodes of this moment, after Advance: RF far below the squelch level (the
    // audio falls silent with it) and the battery held at or below batteryCap.
    void ApplyScenario(bool rfLoss, uint8_t batteryCap);

    // The channels of the band other systems use, ascending.
    std::vector<int> BusyChannels() const;
    // The level a sweep measures on this channel of the band.
    uint8_t ScanLevel(int channel, std::mt19937& rng) const;

private:
    struct Antenna {
        double Level = 0;
        double Target = 0;
    };
    struct Channel {
        int Number = 0;
        int Sq = 4;
        Antenna A;
        Antenna B;
        double Audio = 0;
        uint8_t Active = 1; // 1 antenna A, 2 antenna B
        uint8_t Battery = 3;
    };

    const Channel& At(int devIdx) const { return m_channels[static_cast<size_t>(devIdx - 1)]; }
    Channel& At(int devIdx) { return m_channels[static_cast<size_t>(devIdx - 1)]; }
    static int SquelchLevel(int sq); // the RF level at which the squelch opens
    static void Walk(Antenna& antenna, std::mt19937& rng, double lowestTarget);

    ReceiverSetup m_setup;
    uint32_t m_ip;
    uint32_t m_mask = 0xFFFFFF00u;
    uint32_t m_gateway = 0;
    std::vector<Channel> m_channels;
    std::vector<bool> m_busy; // per channel of the band: another system transmits there
};
