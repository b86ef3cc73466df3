#include "data/Coordination.h"

#include "data/IniFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>

namespace coordination
{

namespace
{

const QString Section = QStringLiteral("Coordination");

int SettingKHz(const QString& configPath, const char* key, int def)
{
    const int value = IniReadInt(configPath, Section, QString::fromLatin1(key), def);
    return value >= 0 && value <= MaxSettingKHz ? value : def;
}

// Spacing tolerance in kHz: with coordination off two carriers only may not coincide.
int CloseTolerance(const Rule& rule)
{
    return rule.level == Level::Off ? 1 : HitTolerance(rule.SpacingKHz);
}

bool AtLeast(const Rule& rule, Level level)
{
    return static_cast<int>(rule.level) >= static_cast<int>(level);
}

} // namespace

Rule LoadRule(const QString& configPath)
{
    Rule rule;
    const int level = IniReadInt(configPath, Section, QStringLiteral("Level"), 0);
    rule.level = level >= 0 && level < LevelCount ? static_cast<Level>(level) : Level::Off;
    rule.SpacingKHz = SettingKHz(configPath, "SpacingKHz", rule.SpacingKHz);
    rule.GuardKHz = SettingKHz(configPath, "GuardKHz", rule.GuardKHz);
    return rule;
}

bool SaveRule(const QString& configPath, const Rule& rule)
{
    IniFile file(configPath);
    if (!file.Load())
        return false;
    file.WriteInt(Section, QStringLiteral("Level"), static_cast<int>(rule.level));
    file.WriteInt(Section, QStringLiteral("SpacingKHz"), rule.SpacingKHz);
    file.WriteInt(Section, QStringLiteral("GuardKHz"), rule.GuardKHz);
    return file.Save();
}

int FreqKHz(double mhz)
{
    return static_cast<int>(std::llround(mhz * 1000.0));
}

CarrierSet::CarrierSet(const Rule& rule, std::vector<int> candidatesKHz)
    : m_rule(rule)
    , m_candidates(std::move(candidatesKHz))
{
    std::sort(m_candidates.begin(), m_candidates.end());
    m_candidates.erase(std::unique(m_candidates.begin(), m_candidates.end()), m_candidates.end());
    m_doubled.reserve(m_candidates.size());
    for (int c : m_candidates)
        m_doubled.push_back(2LL * c);
    m_close.assign(m_candidates.size(), 0);
    m_product.assign(m_candidates.size(), 0);
}

int CarrierSet::IndexOf(int kHz) const
{
    const auto it = std::lower_bound(m_candidates.begin(), m_candidates.end(), kHz);
    return it != m_candidates.end() && *it == kHz ? static_cast<int>(it - m_candidates.begin()) : -1;
}

Block CarrierSet::Why(int kHz) const
{
    const int i = IndexOf(kHz);
    if (i < 0)
        return Block::None;
    if (m_close[static_cast<size_t>(i)] != 0)
        return Block::TooClose;
    return m_product[static_cast<size_t>(i)] != 0 ? Block::Product : Block::None;
}

void CarrierSet::Mark(long long point, long long tolerance, std::vector<uint32_t>& marks, int delta)
{
    tolerance = std::max(tolerance, 1LL); // a guard of 0 still forbids an exact hit
    auto it = std::lower_bound(m_doubled.begin(), m_doubled.end(), point - tolerance + 1);
    for (; it != m_doubled.end() && *it < point + tolerance; ++it)
        marks[static_cast<size_t>(it - m_doubled.begin())] += static_cast<uint32_t>(delta);
}

// Candidates are kept in half kHz, so that the midpoint of two carriers stays whole: a candidate
// c with 2c - a near b is one whose double lies near a + b.
void CarrierSet::Add(int kHz)
{
    Apply(kHz, 1);
    m_carriers.push_back(kHz);
}

void CarrierSet::RemoveLast()
{
    const int kHz = m_carriers.back();
    m_carriers.pop_back();
    Apply(kHz, -1);
}

// Marks (delta 1) or unmarks (delta -1) what carrier kHz rules out beside m_carriers.
void CarrierSet::Apply(int kHz, int delta)
{
    const long long x = kHz;
    const long long guard2 = 2LL * m_rule.GuardKHz;
    Mark(2 * x, 2LL * CloseTolerance(m_rule), m_close, delta);
    if (AtLeast(m_rule, Level::TwoTransmitter)) {
        for (const long long s : m_carriers) {
            Mark(2 * (2 * x - s), guard2, m_product, delta); // a candidate hit by 2x - s
            Mark(2 * (2 * s - x), guard2, m_product, delta); // a candidate as f2 of 2s - c landing on x, or hit
            Mark(x + s, m_rule.GuardKHz, m_product, delta); // a candidate whose 2c - s lands on x
        }
    }
    if (AtLeast(m_rule, Level::ThreeTransmitter)) {
        const size_t n = m_carriers.size();
        for (size_t i = 0; i < n; ++i) {
            for (size_t j = 0; j < n; ++j) {
                if (i == j)
                    continue;
                const long long y = m_carriers[i];
                const long long z = m_carriers[j];
                Mark(2 * (x + y - z), guard2, m_product, delta);
                if (i < j)
                    Mark(2 * (y + z - x), guard2, m_product, delta);
            }
        }
    }
}

int Plan::PlacedCount() const
{
    return static_cast<int>(std::count_if(chosen.begin(), chosen.end(), [](int c) { return c >= 0; }));
}

int Plan::ChannelOf(size_t device) const
{
    return device < chosen.size() ? chosen[device] : -1;
}

double Plan::FreqOf(size_t device) const
{
    const int channel = ChannelOf(device);
    if (channel < 0 || device >= devices.size())
        return 0.0;
    for (const IdleChannel& idle : devices[device].Idle)
        if (idle.Channel == channel)
            return idle.Freq;
    return 0.0;
}

std::vector<int> FixedKHzOf(const Plan& plan)
{
    std::vector<int> kHz;
    for (const NamedCarrier& c : plan.fixed)
        kHz.push_back(c.kHz);
    for (const DeviceOptions& d : plan.devices)
        if (d.locked && !d.Idle.empty())
            kHz.push_back(FreqKHz(d.Idle.front().Freq));
    return kHz;
}

std::vector<std::vector<size_t>> PreferenceOrder(const Plan& problem)
{
    const auto level = [&](const IdleChannel& c) {
        const auto at = problem.levelDbm.find(FreqKHz(c.Freq));
        return at == problem.levelDbm.end() ? INT_MAX : at->second;
    };
    std::vector<std::vector<size_t>> orders;
    for (const DeviceOptions& d : problem.devices) {
        std::vector<size_t> order(d.Idle.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return level(d.Idle[a]) < level(d.Idle[b]); });
        orders.push_back(std::move(order));
    }
    return orders;
}

namespace
{

// Idle lists ascend in frequency; a device's lowest usable channel is the first free one.
void SortIdle(std::vector<DeviceOptions>& devices)
{
    for (DeviceOptions& d : devices)
        std::sort(
            d.Idle.begin(), d.Idle.end(), [](const IdleChannel& a, const IdleChannel& b) { return a.Freq < b.Freq; });
}

// One greedy pass around the fixed carriers and the locked devices. priority breaks ties between
// devices with as many usable channels (lower first); with rng, the choice among the two most
// preferred usable channels is random.
std::vector<int> GreedyPass(const Plan& problem, const std::vector<std::vector<size_t>>& preference,
    const std::vector<int>& universe, const std::vector<int>& priority, std::mt19937* rng)
{
    const std::vector<DeviceOptions>& devices = problem.devices;
    const size_t n = devices.size();
    CarrierSet set(problem.rule, universe);
    for (const int kHz : FixedKHzOf(problem))
        set.Add(kHz);
    std::vector<std::vector<int>> at(n); // each idle channel's position among the candidates
    std::vector<int> chosen(n, -1);
    std::vector<char> done(n, 0);
    for (size_t d = 0; d < n; ++d) {
        for (const IdleChannel& c : devices[d].Idle)
            at[d].push_back(set.IndexOf(FreqKHz(c.Freq)));
        if (devices[d].locked && !devices[d].Idle.empty()) {
            chosen[d] = devices[d].Idle.front().Channel;
            done[d] = 1;
        }
    }
    std::vector<size_t> usable;
    for (size_t step = 0; step < n; ++step) {
        size_t best = n;
        size_t bestCount = 0;
        for (size_t d = 0; d < n; ++d) {
            if (done[d])
                continue;
            const auto count = static_cast<size_t>(
                std::count_if(at[d].begin(), at[d].end(), [&](int i) { return set.IsFreeAt(i); }));
            if (best == n || count < bestCount || (count == bestCount && priority[d] < priority[best])) {
                best = d;
                bestCount = count;
            }
        }
        if (best == n)
            break;
        done[best] = 1;
        usable.clear();
        for (size_t k = 0; k < preference[best].size() && usable.size() < 2; ++k)
            if (set.IsFreeAt(at[best][preference[best][k]]))
                usable.push_back(preference[best][k]);
        if (usable.empty())
            continue;
        const size_t pick = rng && usable.size() > 1 ? usable[(*rng)() % usable.size()] : usable.front();
        const IdleChannel& taken = devices[best].Idle[pick];
        chosen[best] = taken.Channel;
        set.Add(FreqKHz(taken.Freq));
    }
    return chosen;
}

// The failed devices first, each group in random order.
std::vector<int> FailedFirst(const std::vector<int>& chosen, std::mt19937& rng)
{
    std::vector<size_t> order(chosen.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::shuffle(order.begin(), order.end(), rng);
    std::stable_partition(order.begin(), order.end(), [&](size_t d) { return chosen[d] < 0; });
    std::vector<int> priority(chosen.size());
    for (size_t rank = 0; rank < order.size(); ++rank)
        priority[order[rank]] = static_cast<int>(rank);
    return priority;
}

} // namespace

Plan AssignAll(const Rule& rule, std::vector<DeviceOptions> devices, int restarts)
{
    return AssignAll(Plan { rule, std::move(devices), {} }, restarts);
}

Plan AssignAll(Plan problem, int restarts)
{
    SortIdle(problem.devices);
    const std::vector<DeviceOptions>& devices = problem.devices;
    std::vector<int> universe;
    for (const DeviceOptions& d : devices)
        for (const IdleChannel& c : d.Idle)
            if (!d.locked)
                universe.push_back(FreqKHz(c.Freq));
    const std::vector<std::vector<size_t>> preference = PreferenceOrder(problem);

    problem.chosen.assign(devices.size(), -1);
    int bestPlaced = -1;
    std::vector<int> priority(devices.size());
    std::iota(priority.begin(), priority.end(), 0);
    std::mt19937 rng(20261209u); // the same devices give the same proposal
    for (int attempt = 0; attempt <= restarts; ++attempt) {
        std::vector<int> chosen = GreedyPass(problem, preference, universe, priority, attempt > 0 ? &rng : nullptr);
        const auto placed = static_cast<int>(std::count_if(chosen.begin(), chosen.end(), [](int c) { return c >= 0; }));
        if (placed > bestPlaced) {
            bestPlaced = placed;
            problem.chosen = chosen;
        }
        if (placed == static_cast<int>(devices.size()))
            break;
        priority = FailedFirst(chosen, rng);
    }
    return problem;
}

std::vector<Violation> check(const Plan& plan)
{
    std::vector<Violation> found;
    std::vector<int> who; // device index, or -1 - k for fixed carrier k
    std::vector<char> given; // a fixed carrier or a locked device: on air whatever the plan does
    std::vector<long long> f;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        const int channel = d < plan.chosen.size() ? plan.chosen[d] : -1;
        const DeviceOptions& device = plan.devices[d];
        if (channel < 0) {
            if (device.locked)
                found.push_back({ Violation::LockMoved, { static_cast<int>(d) } });
            continue;
        }
        const auto it = std::find_if(
            device.Idle.begin(), device.Idle.end(), [&](const IdleChannel& c) { return c.Channel == channel; });
        if (it == device.Idle.end()) {
            found.push_back({ device.locked ? Violation::LockMoved : Violation::NotIdle, { static_cast<int>(d) } });
            continue;
        }
        who.push_back(static_cast<int>(d));
        given.push_back(device.locked ? 1 : 0);
        f.push_back(FreqKHz(it->Freq));
    }
    for (size_t k = 0; k < plan.fixed.size(); ++k) {
        who.push_back(-1 - static_cast<int>(k));
        given.push_back(1);
        f.push_back(plan.fixed[k].kHz);
    }
    const Rule& rule = plan.rule;
    const long long spacing = CloseTolerance(rule);
    const long long guard = HitTolerance(rule.GuardKHz);
    const size_t n = f.size();
    const bool two = AtLeast(rule, Level::TwoTransmitter);
    const bool three = AtLeast(rule, Level::ThreeTransmitter);
    const auto report = [&](Violation::Kind kind, std::initializer_list<size_t> involved) {
        if (std::all_of(involved.begin(), involved.end(), [&](size_t i) { return given[i] != 0; }))
            return;
        std::vector<int> devices;
        for (size_t i : involved)
            devices.push_back(who[i]);
        found.push_back({ kind, devices });
    };
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            if (i == j)
                continue;
            if (i < j && std::llabs(f[i] - f[j]) < spacing)
                report(Violation::TooClose, { i, j });
            for (size_t k = 0; k < n; ++k) {
                if (k == i || k == j)
                    continue;
                if (two && std::llabs(2 * f[i] - f[j] - f[k]) < guard)
                    report(Violation::TwoTransmitterProduct, { i, j, k });
                if (!three || i > j)
                    continue;
                for (size_t m = 0; m < n; ++m)
                    if (m != i && m != j && m != k && std::llabs(f[i] + f[j] - f[k] - f[m]) < guard)
                        report(Violation::ThreeTransmitterProduct, { i, j, k, m });
            }
        }
    }
    return found;
}

} // namespace coordination
