#include "Faults.h"

#include "protocol/Frame.h"

FaultPlan::FaultPlan(const FaultOptions& options, uint32_t seed)
    : m_options(options)
    , m_rng(seed ^ 0x5EEDFA17u)
{
}

FaultPlan::Decision FaultPlan::Decide()
{
    std::uniform_real_distribution<double> share(0.0, 1.0);
    const double drop = share(m_rng);
    const double crc = share(m_rng);
    const double len = share(m_rng);
    const double garbage = share(m_rng);
    const double jitter = share(m_rng);

    Decision d;
    d.Drop = drop < m_options.DropShare;
    d.BadCrc = crc < m_options.BadCrcShare;
    d.BadLen = len < m_options.BadLenShare;
    d.DelayMs = m_options.DelayMs + static_cast<int>(jitter * (m_options.JitterMs + 1));
    if (garbage < m_options.GarbageShare) {
        // Noise that never holds a frame head, so that the frame behind it can still be found.
        const int count = std::uniform_int_distribution<int>(1, 8)(m_rng);
        std::uniform_int_distribution<int> byte(0, 254);
        for (int i = 0; i < count; ++i) {
            const int b = byte(m_rng);
            d.Garbage.push_back(static_cast<uint8_t>(b >= FrameHead ? b + 1 : b));
        }
    }
    return d;
}

void FaultPlan::BreakChecksum(std::vector<uint8_t>& frame)
{
    if (!frame.empty())
        frame.back() ^= 0x5A;
}

void FaultPlan::BreakLength(std::vector<uint8_t>& frame)
{
    if (frame.size() < static_cast<size_t>(FrameOverhead))
        return;
    frame[5] = static_cast<uint8_t>(frame[5] + 1);
    frame.back() = FrameCrc8(frame.data(), frame.size() - 1);
}
