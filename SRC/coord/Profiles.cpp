#include "coord/Profiles.h"

#include "coord/OnAir.h"
#include "lang/Language.h"

#include <algorithm>
#include <cstdlib>

namespace coordination
{

std::vector<Profile> PresetProfiles(const Rule& rule)
{
    std::vector<Profile> presets {
        { QStringLiteral("analog"), 350, 100, 50, 50 },
        { QStringLiteral("digital"), 200, 50, 25, 25 },
        { QStringLiteral("in-ear"), 600, 200, 100, 100 },
        { QStringLiteral("conservative"), 400, 150, 75, 75 },
    };
    for (int level = 0; level < LevelCount; ++level)
        presets.push_back(ProfileOfRule({ static_cast<Level>(level), rule.SpacingKHz, rule.GuardKHz }));
    return presets;
}

Profile ProfileOfRule(const Rule& rule)
{
    Profile profile { QStringLiteral("level %1").arg(static_cast<int>(rule.level)), {}, {}, {}, {} };
    const int level = static_cast<int>(rule.level);
    if (level >= static_cast<int>(Level::Spacing))
        profile.spacingKHz = rule.SpacingKHz;
    if (level >= static_cast<int>(Level::TwoTransmitter))
        profile.thirdTwoKHz = rule.GuardKHz;
    if (level >= static_cast<int>(Level::ThreeTransmitter))
        profile.thirdThreeKHz = rule.GuardKHz;
    return profile;
}

Rule EnvelopeRule(const std::vector<Profile>& profiles)
{
    Rule rule { Level::Off, 0, 0 };
    const auto raise = [&](Level level) { rule.level = std::max(rule.level, level); };
    for (const Profile& p : profiles) {
        if (p.spacingKHz) {
            raise(Level::Spacing);
            rule.SpacingKHz = std::max(rule.SpacingKHz, *p.spacingKHz);
        }
        for (const auto& [guard, level] : { std::pair { p.thirdTwoKHz, Level::TwoTransmitter },
                 std::pair { p.thirdThreeKHz, Level::ThreeTransmitter } }) {
            if (guard) {
                raise(level);
                rule.GuardKHz = std::max(rule.GuardKHz, *guard);
            }
        }
    }
    return rule;
}

bool EnvelopeIsExact(const std::vector<Profile>& profiles)
{
    const Profile envelope = ProfileOfRule(EnvelopeRule(profiles));
    return std::all_of(profiles.begin(), profiles.end(), [&](const Profile& p) {
        return p.spacingKHz == envelope.spacingKHz && p.thirdTwoKHz == envelope.thirdTwoKHz
            && p.thirdThreeKHz == envelope.thirdThreeKHz && p.fifthKHz == envelope.fifthKHz;
    });
}

std::vector<ProfileViolation> CheckProfiles(const std::vector<ProfiledCarrier>& carriers)
{
    std::vector<ProfileViolation> found;
    const int n = static_cast<int>(carriers.size());
    const auto f = [&](int i) { return static_cast<long long>(carriers[size_t(i)].kHz); };
    const auto& of = [&](int i) -> const Profile& { return *carriers[size_t(i)].profile; };
    // A product hits carrier t when it lies closer than t's guard (at least 1 kHz: exact hits).
    const auto test = [&](ProfileViolation::Kind kind, long long product, std::optional<int> Profile::*guard,
                          std::vector<int> sources) {
        for (int t = 0; t < n; ++t) {
            if (!(of(t).*guard) || std::find(sources.begin(), sources.end(), t) != sources.end())
                continue;
            const long long distance = std::llabs(product - f(t));
            if (distance < HitTolerance(*(of(t).*guard))) {
                std::vector<int> involved = sources;
                involved.push_back(t);
                found.push_back({ kind, involved, static_cast<int>(distance) });
            }
        }
    };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (i == j)
                continue;
            const std::optional<int> a = of(i).spacingKHz, b = of(j).spacingKHz;
            if (i < j && (a || b)) {
                const long long distance = std::llabs(f(i) - f(j));
                if (distance < HitTolerance(std::max(a.value_or(0), b.value_or(0))))
                    found.push_back({ ProfileViolation::TooClose, { i, j }, static_cast<int>(distance) });
            }
            test(ProfileViolation::ThirdTwo, 2 * f(i) - f(j), &Profile::thirdTwoKHz, { i, j });
            test(ProfileViolation::FifthTwo, 3 * f(i) - 2 * f(j), &Profile::fifthKHz, { i, j });
            for (int k = 0; k < n; ++k) {
                if (k == i || k == j)
                    continue;
                if (i < j)
                    test(ProfileViolation::ThirdThree, f(i) + f(j) - f(k), &Profile::thirdThreeKHz, { i, j, k });
                test(ProfileViolation::FifthThree, 2 * f(i) + f(j) - 2 * f(k), &Profile::fifthKHz, { i, j, k });
            }
        }
    }
    return found;
}

QString Describe(const ProfileViolation& v, const std::vector<QString>& names)
{
    const auto name = [&](size_t i) { return names[size_t(v.carriers[i])]; };
    const QString hit = name(v.carriers.size() - 1);
    switch (v.kind) {
    case ProfileViolation::TooClose:
        return LanguageText("%1 太靠近 %2 (%3 kHz)", "%1 too close to %2 (%3 kHz)").arg(name(0), name(1)).arg(v.distanceKHz);
    case ProfileViolation::ThirdTwo:
        return LanguageText("三阶 2×%1 − %2 落在距 %4 %3 kHz 处", "3rd order 2×%1 − %2 lands %3 kHz from %4")
            .arg(name(0), name(1))
            .arg(v.distanceKHz)
            .arg(hit);
    case ProfileViolation::ThirdThree:
        return LanguageText("三阶 %1 + %2 − %3 落在距 %5 %4 kHz 处", "3rd order %1 + %2 − %3 lands %4 kHz from %5")
            .arg(name(0), name(1), name(2))
            .arg(v.distanceKHz)
            .arg(hit);
    case ProfileViolation::FifthTwo:
        return LanguageText("五阶 3×%1 − 2×%2 落在距 %4 %3 kHz 处", "5th order 3×%1 − 2×%2 lands %3 kHz from %4")
            .arg(name(0), name(1))
            .arg(v.distanceKHz)
            .arg(hit);
    case ProfileViolation::FifthThree:
        return LanguageText("五阶 2×%1 + %2 − 2×%3 落在距 %5 %4 kHz 处", "5th order 2×%1 + %2 − 2×%3 lands %4 kHz from %5")
            .arg(name(0), name(1), name(2))
            .arg(v.distanceKHz)
            .arg(hit);
    }
    return {};
}

namespace
{

// Everything on air with its profile and name: the placed devices in order, then the fixed
// carriers; deviceOf is the device of each, or -1 for a fixed carrier or a locked device.
struct OnAir {
    std::vector<ProfiledCarrier> carriers;
    std::vector<QString> names;
    std::vector<int> deviceOf;
};

OnAir OnAirOf(const Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles)
{
    OnAir on;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        if (plan.ChannelOf(d) < 0)
            continue;
        on.carriers.push_back({ FreqKHz(plan.FreqOf(d)), &deviceProfiles[d] });
        on.names.push_back(QStringLiteral("%1:%2").arg(plan.devices[d].RXID).arg(plan.devices[d].DevIdx));
        on.deviceOf.push_back(plan.devices[d].locked ? -1 : static_cast<int>(d));
    }
    for (size_t k = 0; k < plan.fixed.size() && k < fixedProfiles.size(); ++k) {
        on.carriers.push_back({ plan.fixed[k].kHz, &fixedProfiles[k] });
        on.names.push_back(plan.fixed[k].name);
        on.deviceOf.push_back(-1);
    }
    return on;
}

// The device a conflict takes out: the hit carrier when it is one the plan placed, else the
// last such carrier taking part in it; -1 when only given carriers take part.
int VictimOf(const ProfileViolation& v, const OnAir& on)
{
    for (auto it = v.carriers.rbegin(); it != v.carriers.rend(); ++it)
        if (on.deviceOf[size_t(*it)] >= 0)
            return on.deviceOf[size_t(*it)];
    return -1;
}

} // namespace

std::vector<QString> DropProfileConflicts(Plan& plan, const std::vector<Profile>& deviceProfiles)
{
    return DropProfileConflicts(plan, deviceProfiles, {});
}

std::vector<QString> DropProfileConflicts(
    Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles)
{
    std::vector<QString> dropped(plan.devices.size());
    for (;;) {
        const OnAir on = OnAirOf(plan, deviceProfiles, fixedProfiles);
        const std::vector<ProfileViolation> found = CheckProfiles(on.carriers);
        const auto first = std::find_if(
            found.begin(), found.end(), [&](const ProfileViolation& v) { return VictimOf(v, on) >= 0; });
        if (first == found.end())
            return dropped;
        const auto victim = static_cast<size_t>(VictimOf(*first, on));
        dropped[victim] = Describe(*first, on.names);
        plan.chosen[victim] = -1;
    }
}

bool PlaceUnderProfiles(
    Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles)
{
    const std::vector<std::vector<size_t>> preference = PreferenceOrder(plan);
    bool placedAny = false;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        const DeviceOptions& device = plan.devices[d];
        if (plan.ChannelOf(d) >= 0 || device.locked)
            continue;
        std::vector<int> onAir = FixedKHzOf(plan);
        for (size_t other = 0; other < plan.devices.size(); ++other)
            if (plan.ChannelOf(other) >= 0 && !plan.devices[other].locked)
                onAir.push_back(FreqKHz(plan.FreqOf(other)));
        std::vector<int> idle;
        for (const IdleChannel& c : device.Idle)
            idle.push_back(FreqKHz(c.Freq));
        // The rule's look-up first, for all channels at once; the profiles' full check only for
        // the channels it leaves.
        const std::vector<Block> blocks = BlocksOnAir(plan.rule, idle, onAir);
        for (const size_t i : preference[d]) {
            if (blocks[i] != Block::None)
                continue;
            plan.chosen[d] = device.Idle[i].Channel;
            const OnAir on = OnAirOf(plan, deviceProfiles, fixedProfiles);
            const std::vector<ProfileViolation> found = CheckProfiles(on.carriers);
            if (std::none_of(found.begin(), found.end(), [&](const ProfileViolation& v) { return VictimOf(v, on) >= 0; })) {
                placedAny = true;
                break;
            }
            plan.chosen[d] = -1;
        }
    }
    return placedAny;
}

QStringList GivenConflicts(
    const Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles)
{
    const OnAir on = OnAirOf(plan, deviceProfiles, fixedProfiles);
    QStringList given;
    for (const ProfileViolation& v : CheckProfiles(on.carriers))
        if (VictimOf(v, on) < 0)
            given << Describe(v, on.names);
    return given;
}

} // namespace coordination
