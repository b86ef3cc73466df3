#include "coord/Search.h"

#include "coord/Rulers.h"
#include "data/IniFile.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <numeric>

namespace coordination
{

namespace
{

using Clock = std::chrono::steady_clock;

bool AtLeast(const Rule& rule, Level level)
{
    return static_cast<int>(rule.level) >= static_cast<int>(level);
}

// Depth-first over the devices in a fixed order, fewest channels first. Devices with the same
// channels form a class and are interchangeable: within a class the chosen channels ascend and
// the devices left out come last, so that no plan is visited once per ordering of its devices.
class BranchAndBound
{
public:
    // Devices without channels (the locked ones) are left out; fixedKHz are on air throughout.
    BranchAndBound(const Rule& rule, const std::vector<DeviceOptions>& devices, const std::vector<int>& fixedKHz,
        const std::vector<std::vector<size_t>>& preference, const SearchLimits& limits)
        : m_rule(rule)
        , m_devices(devices)
        , m_fixed(fixedKHz)
        , m_preference(preference)
        , m_limits(limits)
        , m_set(rule, Universe(devices))
        , m_start(Clock::now())
    {
        for (const int kHz : fixedKHz)
            m_set.Add(kHz);
        const size_t n = devices.size();
        m_options.resize(n);
        for (size_t d = 0; d < n; ++d)
            for (const IdleChannel& c : devices[d].Idle)
                m_options[d].push_back(m_set.IndexOf(FreqKHz(c.Freq)));
        m_order.resize(n);
        std::iota(m_order.begin(), m_order.end(), size_t(0));
        std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
            return m_options[a].size() != m_options[b].size() ? m_options[a].size() < m_options[b].size()
                                                              : m_options[a] < m_options[b];
        });
        for (size_t pos = 0; pos < n; ++pos) {
            if (pos == 0 || m_options[m_order[pos]] != m_options[m_order[pos - 1]])
                m_classes.push_back({ pos, pos, -1, false });
            m_classes.back().end = pos + 1;
            m_classOf.push_back(m_classes.size() - 1);
        }
        m_chosen.assign(n, -1);
        m_best.assign(n, -1);
        m_spacing = rule.level == Level::Off ? 1 : HitTolerance(rule.SpacingKHz);
    }

    // Starts from a known plan (the greedy one), tries the ruler plans for a while, then
    // searches for one that places more.
    void Run(const std::vector<int>& seedPositions, int seedPlaced)
    {
        m_best = seedPositions;
        m_bestPlaced = seedPlaced;
        m_bestMargin = MarginOf(m_best);
        m_ceiling = Bound(0, 0);
        if (m_bestPlaced < m_ceiling)
            TryRulers(m_limits.budgetMs * RulerShare);
        if (m_bestPlaced < m_ceiling && m_classes.size() == 1)
            RussianDoll();
        else if (m_bestPlaced < m_ceiling)
            Visit(0, 0);
        m_proved = !m_stopped || m_bestPlaced >= m_ceiling;
    }

    const std::vector<int>& BestPositions() const { return m_best; } // per device: position in its Idle, or -1
    bool Proved() const { return m_proved; }
    bool Cancelled() const { return m_cancelled; }
    double MsToBest() const { return m_msToBest; }
    long long Steps() const { return m_steps; }

private:
    static constexpr double ReportEveryMs = 100;
    static constexpr double RulerShare = 0.4; // of the budget, at most, for the ruler plans
    static constexpr int GridKHz = 250;
    static constexpr int RulerSlack = 6; // rulers of up to this many marks more than wanted

    double ElapsedMs() const { return std::chrono::duration<double, std::milli>(Clock::now() - m_start).count(); }

    // One way to lay a ruler: multiplied by `unit` (a plain ruler only mirrored), turned so that
    // its mark `first` comes first, cut to the band's `steps` grid steps.
    struct Laying {
        int keep; // marks that can carry a device at most: no two closer than the spacing
        size_t ruler;
        int unit;
        size_t first;
    };

    // The ruler's marks multiplied by the unit, ascending.
    static std::vector<int> PointsOf(const ModularRuler& ruler, int unit)
    {
        std::vector<int> points;
        for (const int mark : ruler.marks)
            points.push_back(static_cast<int>(static_cast<long long>(unit) * mark % ruler.modulus));
        std::sort(points.begin(), points.end());
        return points;
    }

    // The marks from `first` on, around the circle, as offsets from it: ascending.
    static std::vector<int> OffsetsOf(const std::vector<int>& points, int modulus, size_t first, int steps)
    {
        std::vector<int> offsets;
        for (size_t i = 0; i < points.size(); ++i) {
            const int offset = (points[(first + i) % points.size()] - points[first] + modulus) % modulus;
            if (offset >= steps)
                break;
            offsets.push_back(offset);
        }
        return offsets;
    }

    // The marks left when, from the lowest up, every mark too close to the one kept before it is
    // dropped: the most of them a plan can use, whatever the devices' bands.
    int Keepable(const std::vector<int>& offsets) const
    {
        const long long closest = (m_spacing + GridKHz - 1) / GridKHz;
        int kept = 0;
        long long previous = LLONG_MIN / 2;
        for (const int offset : offsets) {
            if (offset - previous >= closest) {
                previous = offset;
                ++kept;
            }
        }
        return std::min(kept, static_cast<int>(m_order.size()));
    }

    // Lays modular Golomb rulers on the channel grid (every unit multiple, every rotation, every
    // shift along the band) and places devices on their marks; a ruler plan that places more
    // than the best so far becomes the best. Counting the usable marks of a laying costs little
    // beside placing devices on it, so the layings are counted first and placed most marks first:
    // on wide spans (bands overlapping) the few layings that hold the most marks come early
    // instead of after the budget's share has gone on the rest.
    void TryRulers(double untilMs)
    {
        if (m_order.empty())
            return;
        const int lowest = m_set.CandidateAt(0);
        const int steps = (m_set.CandidateAt(m_set.CandidateCount() - 1) - lowest) / GridKHz + 1;
        const int wantedAtStart = m_bestPlaced + 1;
        std::vector<ModularRuler> rulers = ShortRulers(wantedAtStart, wantedAtStart + RulerSlack);
        for (ModularRuler& ruler : ModularRulers(wantedAtStart, wantedAtStart + RulerSlack))
            rulers.push_back(std::move(ruler));
        std::vector<Laying> layings;
        for (size_t r = 0; r < rulers.size(); ++r) {
            const int n = rulers[r].modulus;
            for (int unit = 1; unit < n; ++unit) {
                // Counting the layings of long rulers takes long too: the budget holds here as well.
                if (ElapsedMs() >= untilMs || OutOfTime())
                    return;
                if (std::gcd(unit, n) != 1 || (rulers[r].linear && unit != 1 && unit != n - 1))
                    continue;
                const std::vector<int> points = PointsOf(rulers[r], unit);
                for (size_t first = 0; first < points.size(); ++first) {
                    const int keep = Keepable(OffsetsOf(points, n, first, steps));
                    if (keep > m_bestPlaced)
                        layings.push_back({ keep, r, unit, first });
                }
            }
        }
        const auto fuller = [](const Laying& a, const Laying& b) { return a.keep > b.keep; };
        std::stable_sort(layings.begin(), layings.end(), fuller);
        for (const Laying& laying : layings) {
            if (laying.keep < m_bestPlaced)
                return; // none further can place as many
            const ModularRuler& ruler = rulers[laying.ruler];
            const std::vector<int> points = PointsOf(ruler, laying.unit);
            const std::vector<int> offsets = OffsetsOf(points, ruler.modulus, laying.first, steps);
            for (int shift = 0; shift + offsets.back() < steps; ++shift) {
                if (ElapsedMs() >= untilMs || m_bestPlaced >= m_ceiling || OutOfTime())
                    return;
                PlaceOnMarks(offsets, lowest + shift * GridKHz);
            }
        }
    }

    void PlaceOnMarks(const std::vector<int>& offsets, int base)
    {
        int placed = 0;
        for (size_t i = 0; i < offsets.size() && placed + static_cast<int>(offsets.size() - i) > m_bestPlaced; ++i) {
            const int index = m_set.IndexOf(base + offsets[i] * GridKHz);
            if (index < 0 || !m_set.IsFreeAt(index))
                continue;
            for (const size_t device : m_order) {
                const std::vector<int>& options = m_options[device];
                const auto at = std::lower_bound(options.begin(), options.end(), index);
                if (m_chosen[device] >= 0 || at == options.end() || *at != index)
                    continue;
                m_chosen[device] = static_cast<int>(at - options.begin());
                m_set.Add(m_set.CandidateAt(index));
                ++placed;
                break;
            }
        }
        if (placed > m_bestPlaced || (placed == m_bestPlaced && MarginOf(m_chosen) > m_bestMargin))
            Record(placed);
        for (int i = 0; i < placed; ++i)
            m_set.RemoveLast();
        std::fill(m_chosen.begin(), m_chosen.end(), -1);
    }

    struct Class {
        size_t begin, end; // positions in m_order
        int last; // the highest candidate index taken in this class so far, -1 for none
        bool closed; // a device of the class was left out: so are the rest
    };

    static std::vector<int> Universe(const std::vector<DeviceOptions>& devices)
    {
        std::vector<int> all;
        for (const DeviceOptions& d : devices)
            for (const IdleChannel& c : d.Idle)
                all.push_back(FreqKHz(c.Freq));
        return all;
    }

    // How many more devices of a class can still be placed at most: no more than the free
    // channels above its last one that keep the spacing among themselves.
    int ClassBound(const Class& c, size_t pos) const
    {
        if (c.closed || pos >= c.end)
            return 0;
        const int wanted = static_cast<int>(c.end - std::max(c.begin, pos));
        int count = 0;
        long long previous = LLONG_MIN / 2;
        for (const int index : m_options[m_order[c.begin]]) {
            if (index <= c.last || !m_set.IsFreeAt(index))
                continue;
            const int kHz = m_set.CandidateAt(index);
            if (kHz - previous < m_spacing)
                continue;
            previous = kHz;
            if (++count >= wanted)
                break;
        }
        return count;
    }

    int Bound(size_t pos, int placed) const
    {
        int bound = placed;
        for (size_t k = pos < m_order.size() ? m_classOf[pos] : m_classes.size(); k < m_classes.size(); ++k)
            bound += ClassBound(m_classes[k], pos);
        return bound;
    }

    bool OutOfTime()
    {
        if (m_stopped)
            return true;
        if (++m_steps % 256 != 0)
            return false;
        const double used = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
        if (m_limits.cancel && m_limits.cancel->load()) {
            m_cancelled = true;
            m_stopped = true;
        } else if (used >= m_limits.budgetMs) {
            m_stopped = true;
        }
        if (m_limits.progress && used - m_reportedMs >= ReportEveryMs) {
            m_reportedMs = used;
            m_limits.progress(m_bestPlaced, std::min(1.0, used / std::max(1, m_limits.budgetMs)));
        }
        return m_stopped;
    }

    // The worst margin of a plan given by positions, the fixed carriers taking part.
    int MarginOf(const std::vector<int>& positions) const
    {
        std::vector<int> carriers;
        for (size_t d = 0; d < positions.size(); ++d)
            if (positions[d] >= 0)
                carriers.push_back(FreqKHz(m_devices[d].Idle[static_cast<size_t>(positions[d])].Freq));
        return WorstMarginKHz(m_rule, carriers, m_fixed);
    }

    void Record(int placed)
    {
        m_best = m_chosen;
        m_bestPlaced = placed;
        m_bestMargin = MarginOf(m_best);
        m_msToBest = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
        if (m_limits.progress)
            m_limits.progress(placed, std::min(1.0, m_msToBest / std::max(1, m_limits.budgetMs)));
    }

    // All devices on the same channels: a Russian-doll search. The most devices that fit on the
    // channels from p upwards is found for p from the top down; each answer bounds the searches
    // below it, and the last one is the most that fit at all.
    void RussianDoll()
    {
        const std::vector<int>& options = m_options[m_order.front()];
        const int devices = static_cast<int>(m_order.size());
        m_doll.assign(options.size() + 1, 0);
        for (size_t p = options.size(); p-- > 0 && !m_stopped;) {
            m_doll[p] = m_doll[p + 1];
            if (m_doll[p + 1] >= devices || !m_set.IsFreeAt(options[p]))
                continue;
            m_set.Add(m_set.CandidateAt(options[p]));
            m_chosen[m_order.front()] = static_cast<int>(p);
            if (Doll(p + 1, 1, m_doll[p + 1] + 1))
                m_doll[p] = m_doll[p + 1] + 1;
            m_chosen[m_order.front()] = -1;
            m_set.RemoveLast();
        }
    }

    // Places devices on the channels from `from` upwards until `target` are placed.
    bool Doll(size_t from, int placed, int target)
    {
        if (placed == target) {
            if (placed > m_bestPlaced)
                Record(placed);
            return true;
        }
        if (OutOfTime())
            return false;
        const std::vector<int>& options = m_options[m_order.front()];
        for (size_t q = from; q < options.size(); ++q) {
            if (placed + m_doll[q] < target)
                return false;
            if (!m_set.IsFreeAt(options[q]))
                continue;
            const size_t device = m_order[static_cast<size_t>(placed)];
            m_set.Add(m_set.CandidateAt(options[q]));
            m_chosen[device] = static_cast<int>(q);
            const bool found = Doll(q + 1, placed + 1, target);
            m_chosen[device] = -1;
            m_set.RemoveLast();
            if (found || m_stopped)
                return found;
        }
        return false;
    }

    void Visit(size_t pos, int placed)
    {
        if (pos == m_order.size()) {
            if (placed > m_bestPlaced)
                Record(placed);
            return;
        }
        if (OutOfTime() || Bound(pos, placed) <= m_bestPlaced || m_bestPlaced >= m_ceiling)
            return;
        const size_t device = m_order[pos];
        Class& cls = m_classes[m_classOf[pos]];
        if (!cls.closed) {
            const int lastBefore = cls.last;
            const std::vector<int>& options = m_options[device];
            // Quietest first: within a class the channels still ascend, whatever order they are tried in.
            for (size_t k = 0; k < options.size() && !m_stopped && m_bestPlaced < m_ceiling; ++k) {
                const size_t i = m_preference[device][k];
                if (options[i] <= lastBefore || !m_set.IsFreeAt(options[i]))
                    continue;
                m_set.Add(m_set.CandidateAt(options[i]));
                m_chosen[device] = static_cast<int>(i);
                cls.last = options[i];
                Visit(pos + 1, placed + 1);
                cls.last = lastBefore;
                m_chosen[device] = -1;
                m_set.RemoveLast();
            }
        }
        const bool wasClosed = cls.closed;
        cls.closed = true;
        Visit(pos + 1, placed);
        cls.closed = wasClosed;
    }

    const Rule m_rule;
    const std::vector<DeviceOptions>& m_devices;
    const std::vector<int>& m_fixed;
    const std::vector<std::vector<size_t>>& m_preference;
    const SearchLimits& m_limits;
    CarrierSet m_set;
    const Clock::time_point m_start;
    std::vector<std::vector<int>> m_options; // per device: candidate index of each idle channel
    std::vector<size_t> m_order;
    std::vector<Class> m_classes;
    std::vector<size_t> m_classOf; // per position in m_order
    std::vector<int> m_chosen;
    std::vector<int> m_best;
    std::vector<int> m_doll; // per channel position: the most devices that fit from there up
    int m_bestPlaced = 0;
    int m_bestMargin = 0;
    int m_ceiling = 0;
    long long m_spacing = 1;
    long long m_steps = 0;
    double m_msToBest = 0;
    double m_reportedMs = 0;
    bool m_stopped = false;
    bool m_cancelled = false;
    bool m_proved = false;
};

std::vector<int> PositionsOf(const Plan& plan)
{
    std::vector<int> positions(plan.devices.size(), -1);
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        const auto& idle = plan.devices[d].Idle;
        const auto it = std::find_if(
            idle.begin(), idle.end(), [&](const IdleChannel& c) { return c.Channel == plan.ChannelOf(d); });
        if (plan.ChannelOf(d) >= 0 && it != idle.end())
            positions[d] = static_cast<int>(it - idle.begin());
    }
    return positions;
}

// A device the search left out while one of its channels is still free beside the plan (a ruler
// plan places devices only on its marks) takes the most preferred such channel.
void PlaceOnFreeChannels(Plan& plan, const std::vector<std::vector<size_t>>& preference)
{
    std::vector<int> universe;
    for (const DeviceOptions& d : plan.devices)
        for (const IdleChannel& c : d.Idle)
            universe.push_back(FreqKHz(c.Freq));
    CarrierSet set(plan.rule, std::move(universe));
    for (const int kHz : CarriersOf(plan))
        set.Add(kHz);
    for (const NamedCarrier& c : plan.fixed)
        set.Add(c.kHz);
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        if (plan.chosen[d] >= 0)
            continue;
        for (const size_t i : preference[d]) {
            const IdleChannel& c = plan.devices[d].Idle[i];
            if (set.IsFree(FreqKHz(c.Freq))) {
                plan.chosen[d] = c.Channel;
                set.Add(FreqKHz(c.Freq));
                break;
            }
        }
    }
}

} // namespace

std::vector<int> CarriersOf(const Plan& plan)
{
    std::vector<int> carriers;
    for (size_t d = 0; d < plan.devices.size(); ++d)
        if (plan.ChannelOf(d) >= 0)
            carriers.push_back(FreqKHz(plan.FreqOf(d)));
    return carriers;
}

int LoadBudgetMs(const QString& configPath)
{
    const int value = IniReadInt(configPath, QStringLiteral("Coordination"), QStringLiteral("BudgetMs"), DefaultBudgetMs);
    return value >= 1000 && value <= MaxBudgetMs ? value : DefaultBudgetMs;
}

bool SaveBudgetMs(const QString& configPath, int budgetMs)
{
    IniFile file(configPath);
    if (!file.Load())
        return false;
    file.WriteInt(QStringLiteral("Coordination"), QStringLiteral("BudgetMs"), budgetMs);
    return file.Save();
}

std::vector<int> MarginsKHz(const Rule& rule, const std::vector<int>& carriersKHz)
{
    std::vector<long long> f(carriersKHz.begin(), carriersKHz.end());
    const size_t n = f.size();
    std::vector<long long> margins(n, MaxSettingKHz);
    const long long spacing = rule.level == Level::Off ? 1 : HitTolerance(rule.SpacingKHz);
    const long long guard = HitTolerance(rule.GuardKHz);
    const bool two = AtLeast(rule, Level::TwoTransmitter);
    const bool three = AtLeast(rule, Level::ThreeTransmitter);
    // The distance from a product to each carrier not taking part in it.
    const auto miss = [&](long long product, size_t a, size_t b, size_t c) {
        for (size_t t = 0; t < n; ++t)
            if (t != a && t != b && t != c)
                margins[t] = std::min(margins[t], std::llabs(product - f[t]) - guard);
    };
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            if (i == j)
                continue;
            margins[i] = std::min(margins[i], std::llabs(f[i] - f[j]) - spacing);
            if (two)
                miss(2 * f[i] - f[j], i, j, j);
            for (size_t k = 0; three && i < j && k < n; ++k)
                if (k != i && k != j)
                    miss(f[i] + f[j] - f[k], i, j, k);
        }
    }
    std::vector<int> out;
    for (long long m : margins)
        out.push_back(static_cast<int>(std::clamp(m, -static_cast<long long>(MaxSettingKHz), static_cast<long long>(MaxSettingKHz))));
    return out;
}

int WorstMarginKHz(const Rule& rule, const std::vector<int>& carriersKHz)
{
    const std::vector<int> margins = MarginsKHz(rule, carriersKHz);
    return margins.empty() ? MaxSettingKHz : *std::min_element(margins.begin(), margins.end());
}

int WorstMarginKHz(const Rule& rule, const std::vector<int>& movableKHz, const std::vector<int>& fixedKHz)
{
    std::vector<int> all = movableKHz;
    all.insert(all.end(), fixedKHz.begin(), fixedKHz.end());
    const std::vector<int> margins = MarginsKHz(rule, all);
    const auto movableEnd = margins.begin() + static_cast<std::ptrdiff_t>(movableKHz.size());
    return movableKHz.empty() ? MaxSettingKHz : *std::min_element(margins.begin(), movableEnd);
}

int WorstMarginKHz(const Plan& plan)
{
    std::vector<int> movable;
    for (size_t d = 0; d < plan.devices.size(); ++d)
        if (plan.ChannelOf(d) >= 0 && !plan.devices[d].locked)
            movable.push_back(FreqKHz(plan.FreqOf(d)));
    return WorstMarginKHz(plan.rule, movable, FixedKHzOf(plan));
}

SearchResult SearchBest(const Rule& rule, std::vector<DeviceOptions> devices, const SearchLimits& limits)
{
    return SearchBest(Plan { rule, std::move(devices), {} }, limits);
}

SearchResult SearchBest(Plan problem, const SearchLimits& limits)
{
    const Plan greedy = AssignAll(problem);
    problem.devices = greedy.devices; // idle lists ascending
    const std::vector<std::vector<size_t>> preference = PreferenceOrder(problem);

    // The locked devices are on air before the search starts, like the fixed carriers.
    std::vector<DeviceOptions> movable = problem.devices;
    std::vector<int> seed = PositionsOf(greedy);
    for (size_t d = 0; d < movable.size(); ++d) {
        if (movable[d].locked) {
            movable[d].Idle.clear();
            seed[d] = -1;
        }
    }
    const std::vector<int> fixed = FixedKHzOf(problem);
    BranchAndBound search(problem.rule, movable, fixed, preference, limits);
    search.Run(seed, static_cast<int>(std::count_if(seed.begin(), seed.end(), [](int p) { return p >= 0; })));

    SearchResult result;
    result.plan = std::move(problem);
    result.plan.chosen.clear();
    for (size_t d = 0; d < result.plan.devices.size(); ++d) {
        const DeviceOptions& device = result.plan.devices[d];
        const int position = device.locked ? 0 : search.BestPositions()[d];
        const bool placed = position >= 0 && static_cast<size_t>(position) < device.Idle.size();
        result.plan.chosen.push_back(placed ? device.Idle[static_cast<size_t>(position)].Channel : -1);
    }
    PlaceOnFreeChannels(result.plan, preference);
    result.proved = search.Proved();
    result.cancelled = search.Cancelled();
    result.msToBest = search.MsToBest();
    result.steps = search.Steps();
    result.worstMarginKHz = WorstMarginKHz(result.plan);
    return result;
}

} // namespace coordination
