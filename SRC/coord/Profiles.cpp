#include "coord/Profiles.h"

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
        return QStringLiteral("%1 too close to %2 (%3 kHz)").arg(name(0), name(1)).arg(v.distanceKHz);
    case ProfileViolation::ThirdTwo:
        return QStringLiteral("3rd order 2×%1 − %2 lands %3 kHz from %4")
            .arg(name(0), name(1))
            .arg(v.distanceKHz)
            .arg(hit);
    case ProfileViolation::ThirdThree:
        return QStringLiteral("3rd order %1 + %2 − %3 lands %4 kHz from %5")
            .arg(name(0), name(1), name(2))
            .arg(v.distanceKHz)
            .arg(hit);
    case ProfileViolation::FifthTwo:
        return QStringLiteral("5th order 3×%1 − 2×%2 lands %3 kHz from %4")
            .arg(name(0), name(1))
            .arg(v.distanceKHz)
            .arg(hit);
    case ProfileViolation::FifthThree:
        return QStringLiteral("5th order 2×%1 + %2 − 2×%3 lands %4 kHz from %5")
            .arg(name(0), name(1), name(2))
            .arg(v.distanceKHz)
            .arg(hit);
    }
    return {};
}

std::vector<QString> DropProfileConflicts(Plan& plan, const std::vector<Profile>& deviceProfiles)
{
    std::vector<QString> dropped(plan.devices.size());
    for (;;) {
        std::vector<ProfiledCarrier> carriers;
        std::vector<size_t> deviceOf;
        std::vector<QString> names;
        for (size_t d = 0; d < plan.devices.size(); ++d) {
            if (plan.ChannelOf(d) < 0)
                continue;
            carriers.push_back({ FreqKHz(plan.FreqOf(d)), &deviceProfiles[d] });
            deviceOf.push_back(d);
            names.push_back(QStringLiteral("%1:%2").arg(plan.devices[d].RXID).arg(plan.devices[d].DevIdx));
        }
        const std::vector<ProfileViolation> found = CheckProfiles(carriers);
        if (found.empty())
            return dropped;
        const size_t victim = deviceOf[size_t(found.front().carriers.back())];
        dropped[victim] = Describe(found.front(), names);
        plan.chosen[victim] = -1;
    }
}

} // namespace coordination
