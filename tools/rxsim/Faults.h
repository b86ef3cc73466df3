#pragma once
// What happens to each reply on its way out: dropped, held back, damaged or preceded by noise.
// The decisions depend only on the seed and on how many came before, not on the replies, so a
// seed repeats its pattern of faults.
#include "SimConfig.h"

#include <cstdint>
#include <random>
#include <vector>

class FaultPlan
{
public:
    FaultPlan(const FaultOptions& options, uint32_t seed);

    struct Decision {
        bool Drop = false;
        int DelayMs = 0;
        bool BadCrc = false;
        bool BadLen = false;
        std::vector<uint8_t> Garbage; // noise sent before the frame
    };
    Decision Decide();

    bool IsSilent(int rxid) const { return m_options.SilentAll || m_options.SilentRxids.count(rxid) > 0; }
    bool IgnoresSetChannel(int rxid, int devIdx) const { return m_options.NoSetAck.count({ rxid, devIdx }) > 0; }

    // The frame with its checksum wrong, or with a Len one above the payload (checksum recomputed,
    // so only the length is wrong).
    static void BreakChecksum(std::vector<uint8_t>& frame);
    static void BreakLength(std::vector<uint8_t>& frame);

private:
    FaultOptions m_options;
    std::mt19937 m_rng;
};
