#pragma once
// Equipment profiles: the guards a kind of equipment needs, in kHz. A rule is switched off only
// by leaving its guard unset ("off" in the coordination file); a guard of 0 still forbids an
// exact hit. A product is judged against a carrier with the guard of that carrier's profile.
#include "data/Coordination.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace coordination
{

struct Profile {
    QString name;
    std::optional<int> spacingKHz; // carrier to carrier
    std::optional<int> thirdTwoKHz; // 2f1 - f2
    std::optional<int> thirdThreeKHz; // f1 + f2 - f3
    std::optional<int> fifthKHz; // 3f1 - 2f2 and 2f1 + f2 - 2f3
};

// analog, digital, in-ear, conservative, then one profile per level ("level 0".."level 3") with
// the guards of `rule`.
std::vector<Profile> PresetProfiles(const Rule& rule);
// The profile of a level: what the window's level checks, with its spacing and guard.
Profile ProfileOfRule(const Rule& rule);
// The rule at least as strict as every profile given, for the search: a plan it accepts meets
// every third-order guard and spacing of the profiles (fifth order is left to CheckProfiles).
Rule EnvelopeRule(const std::vector<Profile>& profiles);

// True when every profile asks exactly what the envelope rule checks: a plan searched with that
// rule is then judged by the profiles' own rules, and its proof of the best count holds for them.
bool EnvelopeIsExact(const std::vector<Profile>& profiles);

struct ProfiledCarrier {
    int kHz = 0;
    const Profile* profile = nullptr;
};

struct ProfileViolation {
    enum Kind { TooClose, ThirdTwo, ThirdThree, FifthTwo, FifthThree } kind;
    std::vector<int> carriers; // indices; the hit carrier last
    int distanceKHz = 0; // from the product (or the neighbour) to the hit carrier
};

// Recomputes every carrier's guards from scratch, each pair spaced by the larger spacing of the
// two, each product tested against the guard of the carrier it lands near.
std::vector<ProfileViolation> CheckProfiles(const std::vector<ProfiledCarrier>& carriers);
// Takes out of the plan, one at a time, each device whose carrier a rule of the profiles still
// hits (devices[d] judged with deviceProfiles[d]); per device, why it was taken out ("5th order
// 3×1:1 − 2×2:1 lands 20 kHz from 3:1"), empty for the others.
std::vector<QString> DropProfileConflicts(Plan& plan, const std::vector<Profile>& deviceProfiles);
// The same with the plan's fixed carriers on air (plan.fixed[k] judged with fixedProfiles[k]): a
// device is taken out only for a conflict it takes part in; locked devices are never taken out.
std::vector<QString> DropProfileConflicts(
    Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles);
// Places devices left out (by the search or by DropProfileConflicts) on the most preferred idle
// channel the plan's rule and every profile still allow; true when it placed any.
bool PlaceUnderProfiles(
    Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles);
// What the fixed carriers and the locked devices do among themselves, which no plan can mend, in
// words ("3rd order 2×IEM 1 − 7:2 lands 0 kHz from IEM 2").
QStringList GivenConflicts(
    const Plan& plan, const std::vector<Profile>& deviceProfiles, const std::vector<Profile>& fixedProfiles);
// "5th order 3×1 − 2×2 lands 20 kHz from 3" with the carriers named by `names`.
QString Describe(const ProfileViolation& violation, const std::vector<QString>& names);

} // namespace coordination
