#include "coord/OnAir.h"

#include <algorithm>
#include <cstdlib>

namespace coordination
{

namespace
{

// How many of a multiset of values lie strictly within `tolerance` of a point. A table of
// counts over the values' span when that span is modest, else a sorted copy.
class RangeCounter
{
public:
    explicit RangeCounter(std::vector<long long> values)
    {
        if (values.empty())
            return;
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        m_low = *lo;
        const long long span = *hi - *lo + 1;
        if (span <= MaxTable) {
            m_prefix.assign(static_cast<size_t>(span) + 1, 0);
            for (long long v : values)
                ++m_prefix[static_cast<size_t>(v - m_low) + 1];
            for (size_t i = 1; i < m_prefix.size(); ++i)
                m_prefix[i] += m_prefix[i - 1];
        } else {
            m_sorted = std::move(values);
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
    std::vector<long long> m_prefix; // m_prefix[i]: values below m_low + i
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
std::vector<Block> BlocksOnAir(const Rule& rule, const std::vector<int>& candidatesKHz, std::vector<int> carriersKHz)
{
    const size_t n = carriersKHz.size();
    std::vector<long long> carriers(carriersKHz.begin(), carriersKHz.end());
    std::vector<long long> doubled;
    std::vector<long long> sums;
    const bool two = AtLeast(rule, Level::TwoTransmitter);
    const bool three = AtLeast(rule, Level::ThreeTransmitter);
    if (two) {
        for (long long f : carriers)
            doubled.push_back(2 * f);
        sums.reserve(n * (n - (n > 0)) / 2);
        for (size_t i = 0; i < n; ++i)
            for (size_t j = i + 1; j < n; ++j)
                sums.push_back(carriers[i] + carriers[j]);
    }
    const RangeCounter single(carriers);
    const RangeCounter twice(std::move(doubled));
    const RangeCounter pairSums(std::move(sums));
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
