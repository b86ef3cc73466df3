#include "coord/OnAir.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace coordination
{

namespace
{

// How many of a multiset of values lie strictly within `tolerance` of a point. The values are
// fed once by a callable given a sink; they lie within [low, high]. A table of counts over that
// span when it is modest (no list of the values is kept), else a sorted list.
class RangeCounter
{
public:
    template<class Feed> RangeCounter(long long low, long long high, Feed feed)
        : m_low(low)
    {
        if (high < low)
            return;
        if (high - low + 1 <= MaxTable) {
            m_prefix.assign(static_cast<size_t>(high - low) + 2, 0);
            feed([this](long long v) { ++m_prefix[static_cast<size_t>(v - m_low) + 1]; });
            for (size_t i = 1; i < m_prefix.size(); ++i)
                m_prefix[i] += m_prefix[i - 1];
        } else {
            feed([this](long long v) { m_sorted.push_back(v); });
            std::sort(m_sorted.begin(), m_sorted.end());
        }
    }

    long long Near(long long point, long long tolerance) const
    {
        const long long from = point - tolerance + 1; // inclusive
        const long long to = point + tolerance; // exclusive
        if (!m_prefix.empty())
            return Below(to) - Below(from);
        return std::lower_bound(m_sorted.begin(), m_sorted.end(), to)
            - std::lower_bound(m_sorted.begin(), m_sorted.end(), from);
    }

private:
    static constexpr long long MaxTable = 1LL << 22;

    long long Below(long long value) const
    {
        const long long i = std::clamp(value - m_low, 0LL, static_cast<long long>(m_prefix.size()) - 1);
        return m_prefix[static_cast<size_t>(i)];
    }

    long long m_low = 0;
    std::vector<uint32_t> m_prefix; // m_prefix[i]: values below m_low + i (pairs of 90,000 carriers fit)
    std::vector<long long> m_sorted;
};

bool AtLeast(const Rule& rule, Level level)
{
    return static_cast<int>(rule.level) >= static_cast<int>(level);
}

} // namespace

// A product hits candidate c in one of these forms (a, b, e distinct carriers; g the guard):
//   2a - e near c              c lands on a two-transmitter product, or is its f2 landing on e
//   2c - a near b              c is the f1 of a two-transmitter product
//   a + b - e near c           every three-transmitter form, c landing or taking part
// Counting pair sums a + b (a before b) near c + e counts also the pairs that hold e itself;
// those are the carriers near c (but e), and are taken off the count.
std::vector<Block> BlocksOnAir(const Rule& rule, const std::vector<int>& candidatesKHz, const std::vector<int>& carriersKHz)
{
    const size_t n = carriersKHz.size();
    const std::vector<long long> carriers(carriersKHz.begin(), carriersKHz.end());
    const bool two = AtLeast(rule, Level::TwoTransmitter);
    const bool three = AtLeast(rule, Level::ThreeTransmitter);
    const auto [lowest, highest] = std::minmax_element(carriers.begin(), carriers.end());
    const long long low = n ? *lowest : 0;
    const long long high = n ? *highest : -1;
    const RangeCounter single(low, high, [&](const auto& add) {
        for (long long f : carriers)
            add(f);
    });
    const long long pairHigh = two ? 2 * high : 2 * low - 1; // no table below two transmitters
    const RangeCounter twice(2 * low, pairHigh, [&](const auto& add) {
        for (size_t i = 0; two && i < n; ++i)
            add(2 * carriers[i]);
    });
    const RangeCounter pairSums(2 * low, pairHigh, [&](const auto& add) {
        for (size_t i = 0; two && i < n; ++i)
            for (size_t j = i + 1; j < n; ++j)
                add(carriers[i] + carriers[j]);
    });
    const long long close = rule.level == Level::Off ? 1 : HitTolerance(rule.SpacingKHz);
    const long long guard = HitTolerance(rule.GuardKHz);

    std::vector<Block> blocks;
    blocks.reserve(candidatesKHz.size());
    for (const int candidate : candidatesKHz) {
        const long long c = candidate;
        if (single.Near(c, close) > 0) {
            blocks.push_back(Block::TooClose);
            continue;
        }
        bool hit = two && pairSums.Near(2 * c, guard) > 0; // 2c - a = b
        const long long nearC = two ? single.Near(c, guard) : 0;
        for (size_t k = 0; two && !hit && k < n; ++k) {
            const long long e = carriers[k];
            const long long self = std::llabs(e - c) < guard ? 1 : 0;
            hit = twice.Near(c + e, guard) - self > 0; // 2a - e = c, a not e
            if (three && !hit)
                hit = pairSums.Near(c + e, guard) - (nearC - self) > 0; // a + b - e = c
        }
        blocks.push_back(hit ? Block::Product : Block::None);
    }
    return blocks;
}

} // namespace coordination
