#include "Receiver.h"

#include "protocol/Commands.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr int AntennaHysteresis = 3; // the diversity switch needs this much more on the other antenna

uint8_t Clamp100(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 100L));
}

double Uniform(std::mt19937& rng, double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(rng);
}

} // namespace

Receiver::Receiver(const ReceiverSetup& setup, double busyShare, std::mt19937& rng)
    : m_setup(setup)
    , m_ip(setup.Ip)
    , m_gateway((setup.Ip & 0xFFFFFF00u) | 1u)
{
    const int band = setup.BandSize();
    m_busy.resize(static_cast<size_t>(band));
    // The draws are taken even when the busy channels are given, so that every later random
    // choice of the run stays as the seed made it.
    for (size_t i = 0; i < m_busy.size(); ++i) {
        const bool drawn = Uniform(rng, 0.0, 1.0) < busyShare;
        m_busy[i] = setup.BusyGiven ? setup.BusyChannels.count(setup.FirstChannel + static_cast<int>(i)) > 0 : drawn;
    }
    // Spread the channels over the band so that they do not start on top of each other.
    for (int devIdx = 1; devIdx <= setup.Channels; ++devIdx) {
        Channel channel;
        channel.Number = setup.FirstChannel + ((devIdx - 1) * 7 + 3) % band;
        channel.A.Target = Uniform(rng, 55, 90);
        channel.B.Target = std::clamp(channel.A.Target + Uniform(rng, -25, 10), 20.0, 95.0);
        channel.A.Level = channel.A.Target;
        channel.B.Level = channel.B.Target;
        channel.Audio = Uniform(rng, 30, 60);
        channel.Active = channel.B.Level > channel.A.Level ? 2 : 1;
        m_channels.push_back(channel);
    }
}

void Receiver::SetNetwork(uint32_t ip, uint32_t mask, uint32_t gateway)
{
    m_ip = ip;
    m_mask = mask;
    m_gateway = gateway;
}

std::vector<uint8_t> Receiver::DeviceInfo() const
{
    std::vector<uint8_t> p(DeviceInfoLen, 0);
    p[0] = static_cast<uint8_t>(m_setup.FreqInteger >> 8);
    p[1] = static_cast<uint8_t>(m_setup.FreqInteger);
    p[2] = static_cast<uint8_t>(m_setup.FreqFraction >> 8);
    p[3] = static_cast<uint8_t>(m_setup.FreqFraction);
    p[4] = static_cast<uint8_t>(m_setup.FirstChannel);
    p[5] = static_cast<uint8_t>(m_setup.LastChannel);
    std::copy_n(m_setup.HWVer.constData(), 2, p.begin() + 6);
    std::copy_n(m_setup.SWVer.constData(), 2, p.begin() + 8);
    p[10] = static_cast<uint8_t>(m_setup.Band);
    std::copy(m_setup.NameGbk.begin(), m_setup.NameGbk.end(), p.begin() + 12);
    return p;
}

std::vector<uint8_t> Receiver::Status(int devIdx) const
{
    const Channel& c = At(devIdx);
    const uint8_t a = Clamp100(c.A.Level);
    const uint8_t b = Clamp100(c.B.Level);
    return {
        static_cast<uint8_t>(devIdx),
        static_cast<uint8_t>(c.Number),
        c.Battery,
        Clamp100(c.Audio),
        a,
        b,
        static_cast<uint8_t>(c.Sq),
        static_cast<uint8_t>(SquelchLevel(c.Sq)),
        c.Active,
    };
}

std::vector<uint8_t> Receiver::SearchReply() const
{
    std::vector<uint8_t> p(SearchReplyLen, 0);
    std::copy_n(m_setup.HWVer.constData(), 2, p.begin());
    std::copy_n(m_setup.SWVer.constData(), 2, p.begin() + 2);
    p[4] = static_cast<uint8_t>(m_setup.Band);
    p[5] = static_cast<uint8_t>(m_setup.Channels);
    std::copy(m_setup.NameGbk.begin(), m_setup.NameGbk.end(), p.begin() + 6);
    return p;
}

bool Receiver::SetChannel(int devIdx, int channel)
{
    if (!HasChannel(devIdx) || !InBand(channel))
        return false;
    At(devIdx).Number = channel;
    return true;
}

bool Receiver::SetSq(int devIdx, int step)
{
    if (!HasChannel(devIdx) || step < 0 || step > MaxSqStep)
        return false;
    At(devIdx).Sq = step;
    return true;
}

// Step 0 (0 dBm) needs the strongest signal, step 8 (-40 dBm) the weakest.
int Receiver::SquelchLevel(int sq)
{
    return 60 - 5 * sq;
}

void Receiver::Walk(Antenna& antenna, std::mt19937& rng, double lowestTarget)
{
    // The transmitter moves about now and then: a new mean level every few seconds.
    if (Uniform(rng, 0.0, 1.0) < 0.03)
        antenna.Target = Uniform(rng, lowestTarget, 95);
    antenna.Level += (antenna.Target - antenna.Level) * 0.15 + std::normal_distribution<double>(0.0, 3.0)(rng);
    antenna.Level = std::clamp(antenna.Level, 0.0, 100.0);
}

void Receiver::Advance(std::mt19937& rng, int64_t elapsedMs, int64_t drainStepMs, double lowestTarget)
{
    const int steps = drainStepMs > 0 ? static_cast<int>(std::min<int64_t>(elapsedMs / drainStepMs, 2)) : 0;
    for (Channel& c : m_channels) {
        Walk(c.A, rng, lowestTarget);
        Walk(c.B, rng, lowestTarget);
        const double stronger = std::max(c.A.Level, c.B.Level);
        if (c.Active == 1 && c.B.Level > c.A.Level + AntennaHysteresis)
            c.Active = 2;
        else if (c.Active == 2 && c.A.Level > c.B.Level + AntennaHysteresis)
            c.Active = 1;
        if (stronger < SquelchLevel(c.Sq))
            c.Audio *= 0.3; // squelch closed: the audio falls silent
        else
            c.Audio = std::clamp(
                c.Audio + (45.0 - c.Audio) * 0.1 + std::normal_distribution<double>(0.0, 10.0)(rng), 0.0, 100.0);
        c.Battery = static_cast<uint8_t>(3 - steps);
    }
}

void Receiver::ApplyScenario(bool rfLoss, uint8_t batteryCap)
{
    for (Channel& c : m_channels) {
        if (rfLoss) {
            c.A.Level = std::min(c.A.Level, 2.0);
            c.B.Level = std::min(c.B.Level, 2.0);
            c.Audio = 0;
        }
        c.Battery = std::min(c.Battery, batteryCap);
    }
}

uint8_t Receiver::ScanLevel(int channel, std::mt19937& rng) const
{
    // The receiver's own transmitters sit close by: their channels read strongest, even past 100.
    for (const Channel& c : m_channels) {
        if (c.Number == channel)
            return static_cast<uint8_t>(Uniform(rng, 88, 110));
    }
    if (InBand(channel) && m_busy[static_cast<size_t>(channel - m_setup.FirstChannel)])
        return static_cast<uint8_t>(Uniform(rng, 40, 86));
    return static_cast<uint8_t>(Uniform(rng, 0, 13));
}

std::vector<int> Receiver::BusyChannels() const
{
    std::vector<int> busy;
    for (size_t i = 0; i < m_busy.size(); ++i) {
        if (m_busy[i])
            busy.push_back(m_setup.FirstChannel + static_cast<int>(i));
    }
    return busy;
}
