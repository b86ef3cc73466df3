// Equipment profiles worked by hand: guard edges (exactly at the guard is clear, 1 kHz inside
// hits), a product judged by the guard of the carrier it lands near, "off" against a guard of 0,
// both fifth-order forms, and a plan cleared of what its profiles forbid.
#include "coord/Profiles.h"

#include <QTest>
#include <algorithm>

using namespace coordination;

namespace
{

const Profile& Preset(const QString& name)
{
    static const std::vector<Profile> presets = PresetProfiles({ Level::ThreeTransmitter, 400, 100 });
    return *std::find_if(presets.begin(), presets.end(), [&](const Profile& p) { return p.name == name; });
}

bool Has(
    const std::vector<ProfileViolation>& found, ProfileViolation::Kind kind, std::vector<int> carriers, int distance)
{
    return std::any_of(found.begin(), found.end(), [&](const ProfileViolation& v) {
        return v.kind == kind && v.carriers == carriers && v.distanceKHz == distance;
    });
}

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT

private slots:
    // 2×600000 − 601000 = 599000; an analog carrier (guard 100) at 599100 is clear, at 599099 hit.
    void thirdOrderGuardEdge()
    {
        const Profile& analog = Preset(QStringLiteral("analog"));
        QVERIFY(CheckProfiles({ { 600000, &analog }, { 601000, &analog }, { 599100, &analog } }).empty());
        const auto inside = CheckProfiles({ { 600000, &analog }, { 601000, &analog }, { 599099, &analog } });
        QVERIFY(Has(inside, ProfileViolation::ThirdTwo, { 0, 1, 2 }, 99));
        // Spacing takes the larger of the two: analog 350 beside in-ear 600.
        const Profile& inEar = Preset(QStringLiteral("in-ear"));
        QVERIFY(CheckProfiles({ { 600000, &analog }, { 600600, &inEar } }).empty());
        QVERIFY(
            Has(CheckProfiles({ { 600000, &analog }, { 600599, &inEar } }), ProfileViolation::TooClose, { 0, 1 }, 599));
    }

    // The same product 60 kHz from the third carrier: clear for a digital carrier (guard 50),
    // a hit for an in-ear one (guard 200), whatever the profiles of the carriers that make it.
    void productJudgedByTheHitCarriersGuard()
    {
        const Profile& digital = Preset(QStringLiteral("digital"));
        const Profile& inEar = Preset(QStringLiteral("in-ear"));
        QVERIFY(CheckProfiles({ { 600000, &digital }, { 601000, &digital }, { 599060, &digital } }).empty());
        const auto hit = CheckProfiles({ { 600000, &digital }, { 601000, &digital }, { 599060, &inEar } });
        QVERIFY(Has(hit, ProfileViolation::ThirdTwo, { 0, 1, 2 }, 60));
        QVERIFY(std::all_of(hit.begin(), hit.end(), [](const ProfileViolation& v) { return v.carriers.back() == 2; }));
    }

    // A guard of 0 still forbids an exact hit; only "off" lets it through.
    void offIsNotZero()
    {
        const Profile zero { QStringLiteral("zero"), 0, 0, 0, 0 };
        const Profile off { QStringLiteral("off"), {}, {}, {}, {} };
        QVERIFY(Has(CheckProfiles({ { 600000, &zero }, { 600000, &zero } }), ProfileViolation::TooClose, { 0, 1 }, 0));
        QVERIFY(Has(CheckProfiles({ { 600000, &zero }, { 601000, &zero }, { 599000, &zero } }),
            ProfileViolation::ThirdTwo, { 0, 1, 2 }, 0));
        QVERIFY(CheckProfiles({ { 600000, &off }, { 600000, &off }, { 601000, &off }, { 599000, &off } }).empty());
        QCOMPARE(EnvelopeRule({ off }).level, Level::Off);
        const Rule zeroRule = EnvelopeRule({ zero });
        QCOMPARE(zeroRule.level, Level::ThreeTransmitter);
        QCOMPARE(zeroRule.GuardKHz, 0);
    }

    // 3×600000 − 2×601000 = 598000 and 2×600000 + 601000 − 2×602000 = 597000, fifth order only.
    void fifthOrderForms()
    {
        const Profile fifth { QStringLiteral("fifth"), {}, {}, {}, 50 };
        QVERIFY(Has(CheckProfiles({ { 600000, &fifth }, { 601000, &fifth }, { 598049, &fifth } }),
            ProfileViolation::FifthTwo, { 0, 1, 2 }, 49));
        QVERIFY(CheckProfiles({ { 600000, &fifth }, { 601000, &fifth }, { 598050, &fifth } }).empty());
        QVERIFY(Has(CheckProfiles({ { 600000, &fifth }, { 601000, &fifth }, { 602000, &fifth }, { 597000, &fifth } }),
            ProfileViolation::FifthThree, { 0, 1, 2, 3 }, 0));
    }

    void envelopeAndLevels()
    {
        const Rule mixed = EnvelopeRule({ Preset(QStringLiteral("analog")), Preset(QStringLiteral("digital")) });
        QCOMPARE(mixed.level, Level::ThreeTransmitter);
        QCOMPARE(mixed.SpacingKHz, 350);
        QCOMPARE(mixed.GuardKHz, 100);
        // A level's profile checks what the level checks, so the search sees today's rule.
        const Rule spacing { Level::Spacing, 300, 80 };
        QCOMPARE(EnvelopeRule({ ProfileOfRule(spacing) }).level, Level::Spacing);
        QCOMPARE(EnvelopeRule({ ProfileOfRule(spacing) }).SpacingKHz, 300);
        const Profile two = ProfileOfRule({ Level::TwoTransmitter, 300, 80 });
        QVERIFY(two.thirdTwoKHz == 80 && !two.thirdThreeKHz && !two.fifthKHz);
        QVERIFY(EnvelopeIsExact({ two, ProfileOfRule({ Level::TwoTransmitter, 300, 80 }) }));
        QVERIFY(!EnvelopeIsExact({ two, ProfileOfRule({ Level::TwoTransmitter, 300, 79 }) }));
        QVERIFY(!EnvelopeIsExact({ Preset(QStringLiteral("digital")) })); // 2Tx 50 but 3Tx 25, fifth 25
    }

    // A plan with a fifth-order hit loses the hit device and says why; the rest stay.
    void planClearedOfProfileConflicts()
    {
        const Profile fifth { QStringLiteral("fifth"), 100, {}, {}, 50 };
        Plan plan;
        plan.rule = EnvelopeRule({ fifth });
        for (const auto& [rxid, mhz] : { std::pair { 1, 600.0 }, std::pair { 2, 601.0 }, std::pair { 3, 598.0 } })
            plan.devices.push_back({ rxid, 1, { { 0, mhz } } });
        plan.chosen = { 0, 0, 0 };
        const std::vector<QString> why = DropProfileConflicts(plan, { fifth, fifth, fifth });
        QCOMPARE(plan.chosen, (std::vector<int> { 0, 0, -1 }));
        QCOMPARE(why[2], QStringLiteral("5th order 3×1:1 − 2×2:1 lands 0 kHz from 3:1"));
        QVERIFY(why[0].isEmpty() && why[1].isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "ProfilesTests.moc"
