// The idle channel rule and the coordination of several systems, in the core: no windows.
#include "coord/Explain.h"
#include "coord/OnAir.h"
#include "coord/Search.h"
#include "data/Coordination.h"
#include "data/IdleChannels.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <random>

using namespace coordination;

namespace
{

struct Scan {
    std::vector<int32_t> channels;
    std::vector<int32_t> levels;
    ScanView Points() const { return { channels, levels }; }
};

std::vector<int> Channels(const std::vector<IdleChannel>& idle)
{
    std::vector<int> out;
    for (const IdleChannel& c : idle)
        out.push_back(c.Channel);
    return out;
}

// A device whose band starts at startFreq with channel `first` and whose idle channels are all
// of its band's `count` channels.
DeviceOptions Device(int rxid, double startFreq, int first, int count)
{
    return { rxid, 1, IdleChannels({ startFreq, first, count }, {}, 10) };
}

Plan Fixed(Level level, std::initializer_list<double> freqs)
{
    Plan plan { { level, 400, 100 }, {}, {} };
    for (double f : freqs) {
        plan.devices.push_back({ 0, 1, { { static_cast<int>(plan.devices.size()), f } } });
        plan.chosen.push_back(static_cast<int>(plan.chosen.size()));
    }
    return plan;
}

std::vector<Violation::Kind> Kinds(const std::vector<Violation>& found)
{
    std::vector<Violation::Kind> kinds;
    for (const Violation& v : found)
        kinds.push_back(v.kind);
    return kinds;
}

// Found something, and only of this kind (a product is found once for each way it can be read).
bool Only(Violation::Kind kind, const std::vector<Violation>& found)
{
    return !found.empty()
        && std::all_of(found.begin(), found.end(), [&](const Violation& v) { return v.kind == kind; });
}

// The most carriers a band of `channels` channels of 250 kHz holds at the strictest rule with
// 400 kHz spacing and a 100 kHz guard, counted by brute force: no two neighbours, and every
// difference between two carriers different from all others (a product lands exactly on a
// carrier exactly when two differences agree).
int MostCarriersByBruteForce(int channels)
{
    int best = 0;
    std::vector<int> marks;
    std::vector<char> used(size_t(channels), 0);
    const auto extend = [&](const auto& self, int from) -> void {
        best = std::max(best, static_cast<int>(marks.size()));
        for (int c = from; c < channels; ++c) {
            bool clash = false;
            std::vector<int> added;
            for (int m : marks) {
                const int d = c - m;
                if (d < 2 || used[size_t(d)] || std::find(added.begin(), added.end(), d) != added.end()) {
                    clash = true;
                    break;
                }
                added.push_back(d);
            }
            if (clash)
                continue;
            for (int d : added)
                used[size_t(d)] = 1;
            marks.push_back(c);
            self(self, c + 2);
            marks.pop_back();
            for (int d : added)
                used[size_t(d)] = 0;
        }
    };
    extend(extend, 0);
    return best;
}

} // namespace

class TestCoordination : public QObject
{
    Q_OBJECT

private slots:
    void idleRule()
    {
        const BandOfChannels band { 640.0, 4, 100 };
        const std::vector<IdleChannel> all = IdleChannels(band, {}, 10);
        QCOMPARE(all.size(), size_t(100));
        QCOMPARE(all.front().Channel, 4);
        QCOMPARE(all.back().Channel, 103);
        QCOMPARE(IdleFrequencyText(all.back().Freq), QStringLiteral("664.750Mhz"));
        QVERIFY(std::is_sorted(all.begin(), all.end(), [](auto& a, auto& b) { return a.Channel < b.Channel; }));

        // Level equal to the threshold stays idle, one above is busy; channels outside the band
        // (below StartChannel, at StartChannel + MaxChannel, negative) change nothing.
        const Scan one { { 5, 6, 3, 104, -1, 200 }, { 10, 11, 90, 90, 90, 90 } };
        const Scan other { { 9, 6 }, { 60, -10 } }; // another device's scan: same channel numbers
        const std::array scans { one.Points(), other.Points() };
        const std::vector<int> idle = Channels(IdleChannels(band, scans, 10));
        QCOMPARE(idle.size(), size_t(98));
        QVERIFY(std::find(idle.begin(), idle.end(), 5) != idle.end());
        QVERIFY(std::find(idle.begin(), idle.end(), 6) == idle.end());
        QVERIFY(std::find(idle.begin(), idle.end(), 9) == idle.end());
        // A band that starts higher does not hold channel 6: only 9 is missing there.
        QCOMPARE(Channels(IdleChannels({ 700.0, 8, 3 }, scans, 10)), (std::vector<int> { 8, 10 }));

        QCOMPARE(ThresholdItemText(0), QStringLiteral("5"));
        QCOMPARE(ThresholdItemText(ThresholdItems - 1), QStringLiteral("60"));
        QCOMPARE(ThresholdOf(ThresholdItemText(DefaultThresholdIndex)), 10);
        QCOMPARE(ThresholdOf(QStringLiteral("x")), 10);
    }

    // Carriers at 640.000 and 640.500 put 2f1 - f2 on 641.000 (and on 639.500).
    void twoTransmitterProductByHand()
    {
        QVERIFY(check(Fixed(Level::Spacing, { 640.0, 640.5, 641.0 })).empty());
        QVERIFY(Only(Violation::TwoTransmitterProduct, check(Fixed(Level::TwoTransmitter, { 640.0, 640.5, 641.0 }))));
        QCOMPARE(Kinds(check(Fixed(Level::Spacing, { 640.0, 640.25 }))),
            (std::vector<Violation::Kind> { Violation::TooClose }));
        QVERIFY(check(Fixed(Level::Off, { 640.0, 640.25 })).empty());
        QCOMPARE(
            Kinds(check(Fixed(Level::Off, { 640.0, 640.0 }))), (std::vector<Violation::Kind> { Violation::TooClose }));

        const std::vector<int> candidates { 639500, 640250, 640750, 641000, 641500 };
        CarrierSet spaced({ Level::Spacing, 400, 100 }, candidates);
        CarrierSet products({ Level::TwoTransmitter, 400, 100 }, candidates);
        for (CarrierSet* set : { &spaced, &products }) {
            set->Add(640000);
            set->Add(640500);
        }
        QCOMPARE(spaced.Why(641000), Block::None);
        QCOMPARE(products.Why(641000), Block::Product);
        QCOMPARE(products.Why(639500), Block::Product);
        QCOMPARE(products.Why(640250), Block::TooClose); // midway: close to both before all else
        QCOMPARE(products.Why(641500), Block::None);
        // As the middle of a product: 2 x 641.000 - 640.000 lands on 642.000.
        CarrierSet middle({ Level::TwoTransmitter, 400, 100 }, { 641000, 641250 });
        middle.Add(640000);
        middle.Add(642000);
        QCOMPARE(middle.Why(641000), Block::Product);
        QCOMPARE(middle.Why(641250), Block::None);
    }

    // 640.000 + 642.000 - 641.250 = 640.750: a three-transmitter product, not a two-transmitter one.
    void threeTransmitterProductByHand()
    {
        for (Level level : { Level::TwoTransmitter, Level::ThreeTransmitter }) {
            CarrierSet set({ level, 400, 100 }, { 640750, 643250 });
            for (int f : { 640000, 641250, 642000 })
                set.Add(f);
            QCOMPARE(set.Why(640750), level == Level::TwoTransmitter ? Block::None : Block::Product);
            QCOMPARE(set.Why(643250), level == Level::TwoTransmitter ? Block::None : Block::Product);
        }
        QVERIFY(Only(Violation::ThreeTransmitterProduct,
            check(Fixed(Level::ThreeTransmitter, { 640.0, 641.25, 642.0, 640.75 }))));
        QVERIFY(check(Fixed(Level::TwoTransmitter, { 640.0, 641.25, 642.0, 640.75 })).empty());
    }

    // A product exactly at the guard is clear, one kHz inside it is not; a guard of 0 still
    // forbids a product that lands exactly on a carrier (it once switched checking off).
    void guardEdgesAndZeroGuard()
    {
        const std::vector<int> candidates { 641000, 641099, 641100, 639400, 639401 };
        for (int guard : { 100, 0 }) {
            const Rule rule { Level::TwoTransmitter, 400, guard };
            CarrierSet set(rule, candidates);
            set.Add(640000);
            set.Add(640500); // 2f1 - f2 on 641.000 and 639.500
            const std::vector<Block> fast = BlocksOnAir(rule, candidates, { 640500, 640000 });
            const std::vector<Block> expected = guard == 0
                ? std::vector<Block> { Block::Product, Block::None, Block::None, Block::None, Block::None }
                : std::vector<Block> { Block::Product, Block::Product, Block::None, Block::None, Block::Product };
            for (size_t i = 0; i < candidates.size(); ++i) {
                QCOMPARE(set.Why(candidates[i]), expected[i]);
                QCOMPARE(fast[i], expected[i]);
            }
        }
        Plan exact = Fixed(Level::ThreeTransmitter, { 640.0, 641.25, 642.0, 640.75 });
        exact.rule.GuardKHz = 0;
        QVERIFY(Only(Violation::ThreeTransmitterProduct, check(exact)));
        const Plan zeroSpacing { { Level::Spacing, 0, 0 }, { { 0, 1, { { 1, 640.0 } } }, { 0, 1, { { 1, 640.0 } } } }, { 1, 1 } };
        QCOMPARE(Kinds(check(zeroSpacing)), (std::vector<Violation::Kind> { Violation::TooClose }));
        const Plan assigned = AssignAll({ Level::ThreeTransmitter, 0, 0 }, { Device(1, 640.0, 0, 6), Device(2, 640.0, 0, 6),
                                                                           Device(3, 640.0, 0, 6), Device(4, 640.0, 0, 6) });
        QVERIFY(check(assigned).empty());
    }

    // The all-at-once look-up gives the same answer as carriers added one by one, at every level,
    // with carriers that share a frequency and guards wider than the spacing.
    void onAirMatchesTheCarrierSet()
    {
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> grid(0, 60);
        for (int round = 0; round < 60; ++round) {
            const Rule rule { static_cast<Level>(round % LevelCount), (round % 3) * 150, (round % 4) * 130 };
            std::vector<int> candidates;
            for (int c = 0; c <= 60; ++c)
                candidates.push_back(600000 + 125 * c);
            std::vector<int> carriers;
            for (int i = 0; i < 2 + round % 7; ++i)
                carriers.push_back(600000 + 125 * grid(rng));
            CarrierSet set(rule, candidates);
            for (int f : carriers)
                set.Add(f);
            const std::vector<Block> fast = BlocksOnAir(rule, candidates, carriers);
            for (size_t i = 0; i < candidates.size(); ++i)
                QVERIFY2(fast[i] == set.Why(candidates[i]), qPrintable(QStringLiteral("round %1 at %2").arg(round).arg(candidates[i])));
        }
    }

    // Assign all over the simulator's bands and over one crowded band: every plan passes the
    // independent check, and a device that cannot be placed is left unplaced, not dropped.
    void assignAllPassesTheCheck()
    {
        for (int level = 0; level < LevelCount; ++level) {
            std::vector<DeviceOptions> devices;
            for (int i = 0; i < 12; ++i)
                devices.push_back(i % 2 ? Device(i, 640.0, 0, 100) : Device(i, 660.125, 1, 96));
            const Plan plan = AssignAll({ static_cast<Level>(level), 400, 100 }, devices);
            QCOMPARE(plan.devices.size(), size_t(12));
            QCOMPARE(plan.PlacedCount(), 12);
            QVERIFY2(check(plan).empty(), qPrintable(QString::number(level)));
        }
        // Two devices share one usable channel: one is placed, the other named as not placed.
        const Plan crowded = AssignAll(
            { Level::Spacing, 400, 100 }, { Device(1, 640.0, 0, 1), Device(2, 640.0, 0, 1), Device(3, 640.0, 0, 8) });
        QCOMPARE(crowded.PlacedCount(), 2);
        QVERIFY((crowded.ChannelOf(0) < 0) != (crowded.ChannelOf(1) < 0));
        QVERIFY(crowded.ChannelOf(2) >= 2);
        QVERIFY(check(crowded).empty());
    }

    // About twenty carriers fit 100 MHz of the 250 kHz grid at the three-transmitter level.
    void threeTransmitterCapacityOf100MHz()
    {
        std::vector<DeviceOptions> devices;
        for (int i = 0; i < 30; ++i)
            devices.push_back(Device(i, 600.0, 0, 400));
        const Plan plan = AssignAll({ Level::ThreeTransmitter, 400, 100 }, devices);
        QVERIFY2(plan.PlacedCount() >= 17 && plan.PlacedCount() < 30, qPrintable(QString::number(plan.PlacedCount())));
        QVERIFY(check(plan).empty());
    }

    // On small spans the search places as many as fit by brute force and says so; given fewer
    // devices than fit it places them all; every plan passes the independent check.
    void searchReachesTheOptimum()
    {
        const Rule strictest { Level::ThreeTransmitter, 400, 100 };
        for (int channels : { 12, 20, 27, 34 }) {
            const int most = MostCarriersByBruteForce(channels);
            for (int count : { most - 2, most + 3 }) {
                std::vector<DeviceOptions> devices;
                for (int i = 0; i < count; ++i)
                    devices.push_back(Device(i, 600.0, 0, channels));
                const SearchResult found = SearchBest(strictest, devices);
                const QString what = QStringLiteral("%1 devices, %2 channels").arg(count).arg(channels);
                QVERIFY2(found.plan.PlacedCount() == std::min(count, most), qPrintable(what));
                QVERIFY2(found.proved, qPrintable(what));
                QVERIFY2(check(found.plan).empty(), qPrintable(what));
                QVERIFY(found.plan.PlacedCount() >= AssignAll(strictest, devices).PlacedCount());
                QVERIFY(found.worstMarginKHz >= 0);
            }
        }
        // 100 channels hold 12 (no 13-mark ruler is shorter than 106 steps); the greedy finds 11.
        std::vector<DeviceOptions> hundred;
        for (int i = 0; i < 16; ++i)
            hundred.push_back(Device(i, 600.0, 0, 100));
        const SearchResult twelve = SearchBest(strictest, hundred, { 300, nullptr, {} });
        QCOMPARE(twelve.plan.PlacedCount(), 12);
        QVERIFY(check(twelve.plan).empty());
        // Devices of two bands that overlap by a few channels.
        std::vector<DeviceOptions> mixed;
        for (int i = 0; i < 6; ++i)
            mixed.push_back(i % 2 ? Device(i, 600.0, 0, 16) : Device(i, 603.0, 12, 16));
        const SearchResult both = SearchBest(strictest, mixed);
        QVERIFY(both.proved && check(both.plan).empty());
        QCOMPARE(both.plan.PlacedCount(), std::min(6, MostCarriersByBruteForce(28)));
    }

    // Three 100 MHz bands, each overlapping the next by half: the devices share 200 MHz, where a
    // ruler cut from a long modular one holds far more carriers than the greedy's 25. The layings
    // that hold the most must come early, not after a short budget's share has gone.
    void searchFillsOverlappingBandsWithinAShortBudget()
    {
        const Rule strictest { Level::ThreeTransmitter, 400, 100 };
        std::vector<DeviceOptions> devices;
        for (const double start : { 600.0, 650.0, 700.0 })
            for (int i = 0; i < 20; ++i)
                devices.push_back(Device(static_cast<int>(devices.size()), start, 0, 400));
        // Stopped as soon as 30 are placed, so that a slow machine only takes longer.
        std::atomic_bool enough { false };
        const SearchLimits limits { MaxBudgetMs, &enough, [&](int placed, double) { enough = enough || placed >= 30; } };
        const SearchResult found = SearchBest(strictest, devices, limits);
        QVERIFY2(found.plan.PlacedCount() >= 30, qPrintable(QString::number(found.plan.PlacedCount())));
        QVERIFY(check(found.plan).empty());
    }

    // The budget ends the search with the best plan so far, not proved; Cancel ends it at once.
    void searchHonoursBudgetAndCancel()
    {
        std::vector<DeviceOptions> devices;
        for (int i = 0; i < 40; ++i)
            devices.push_back(Device(i, 600.0, 0, 400));
        const Rule strictest { Level::ThreeTransmitter, 400, 100 };
        int reports = 0;
        SearchLimits limits { 150, nullptr, [&](int, double used) { reports += used >= 0.0 && used <= 1.0; } };
        QElapsedTimer timer;
        timer.start();
        const SearchResult timed = SearchBest(strictest, devices, limits);
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!timed.proved && !timed.cancelled && reports > 0);
        QVERIFY(timed.plan.PlacedCount() >= AssignAll(strictest, devices).PlacedCount());
        QVERIFY(check(timed.plan).empty());

        const std::atomic_bool cancel { true };
        limits = { 60000, &cancel, {} };
        timer.restart();
        const SearchResult stopped = SearchBest(strictest, devices, limits);
        QVERIFY(timer.elapsed() < 1500 && stopped.cancelled && !stopped.proved);
        QVERIFY(check(stopped.plan).empty());
    }

    // Spares stand beside the whole plan and beside each other, two per band.
    void backupsCompatibleWithThePlan()
    {
        std::vector<DeviceOptions> devices;
        for (int i = 0; i < 6; ++i)
            devices.push_back(i % 2 ? Device(i, 640.0, 0, 40) : Device(i, 660.0, 80, 40));
        Plan plan = SearchBest({ Level::ThreeTransmitter, 400, 100 }, devices).plan;
        QCOMPARE(plan.PlacedCount(), 6);
        const std::vector<Backup> spares = Backups(plan, 2);
        QCOMPARE(spares.size(), size_t(4));
        QVERIFY(spares[0].band == 0 && spares[1].band == 0 && spares[2].band == 1 && spares[3].band == 1);
        QVERIFY(spares[0].kHz >= 660000 && spares[2].kHz < 660000); // band 0 is the first device's
        for (const Backup& spare : spares) {
            plan.devices.push_back({ 99, 1, { { 1000, spare.kHz / 1000.0 } } });
            plan.chosen.push_back(1000);
        }
        QVERIFY(check(plan).empty());
    }

    // 4:2 on 640.000 and 3:1 on 641.000 put 2f1 - f2 on 639.000 and 642.000; 640.250 lies
    // too close to 4:2, 640.750 to 3:1.
    void reasonForAnUnplacedDevice()
    {
        const Plan plan { { Level::TwoTransmitter, 400, 100 },
            { { 4, 2, { { 1, 640.0 } } }, { 3, 1, { { 5, 641.0 } } },
                { 9, 1, { { 0, 639.0 }, { 2, 640.25 }, { 8, 642.0 }, { 4, 640.75 } } }, { 7, 1, {} } },
            { 1, 5, -1, -1 } };
        QCOMPARE(WhyNotPlaced(plan, 2),
            QStringLiteral("all 4 idle channels blocked: 2 by products, 1 too close to 4:2, 1 too close to 3:1"));
        QCOMPARE(WhyNotPlaced(plan, 3), QStringLiteral("no idle channel"));
        QVERIFY(WhyNotPlaced(plan, 0).isEmpty());
    }

    // IEM 1 (foreign) on 640.000 and ours on 640.500 put 2f1 - f2 on 641.000: the device that
    // could take 641.000 or 641.500 takes 641.500; the plan placing it on 641.000 is caught, and a
    // device whose one channel lies beside IEM 1 is told so by the label.
    void foreignCarrierMakesAProductOnOurs()
    {
        Plan problem;
        problem.rule = { Level::TwoTransmitter, 400, 100 };
        problem.devices = { { 1, 1, { { 2, 640.5 } } }, { 2, 1, { { 4, 641.0 }, { 6, 641.5 } } },
            { 3, 1, { { 100, 639.75 } } } };
        problem.fixed = { { QStringLiteral("IEM 1"), 640000 } };
        for (const Plan& plan : { AssignAll(problem), SearchBest(problem).plan }) {
            QCOMPARE(plan.chosen, (std::vector<int> { 2, 6, -1 }));
            QVERIFY(check(plan).empty());
            QCOMPARE(WhyNotPlaced(plan, 2), QStringLiteral("all 1 idle channels blocked: 1 too close to IEM 1"));
        }
        Plan forced = problem;
        forced.chosen = { 2, 4, -1 };
        const std::vector<Violation> found = check(forced);
        QVERIFY(Only(Violation::TwoTransmitterProduct, found));
        QVERIFY(std::any_of(found.begin(), found.end(), [](const Violation& v) { return v.devices == std::vector<int> { 0, -1, 1 }; }));
        // Spares stay clear of the foreign carrier too.
        for (const Backup& spare : Backups(SearchBest(problem).plan, 2))
            QVERIFY(spare.kHz != 641000);
    }

    // A device locked on 640.250 stays there although IEM 1 sits 250 kHz away; the others are
    // planned around both, and what only the lock and IEM 1 do is not the plan's fault. A plan
    // that moved or dropped the lock is caught.
    void lockRespectedAndPlannedAround()
    {
        Plan problem;
        problem.rule = { Level::ThreeTransmitter, 400, 100 };
        for (int i = 0; i < 4; ++i)
            problem.devices.push_back(Device(i, 640.0, 0, 24));
        problem.devices[1] = { 9, 1, { { 1, 640.25 } }, true };
        problem.fixed = { { QStringLiteral("IEM 1"), 640500 } };
        const SearchResult found = SearchBest(problem);
        QCOMPARE(found.plan.ChannelOf(1), 1);
        QCOMPARE(found.plan.PlacedCount(), 4);
        QVERIFY(check(found.plan).empty());
        std::vector<int> ours = CarriersOf(found.plan);
        for (int kHz : ours)
            QVERIFY(kHz == 640250 || (std::abs(kHz - 640250) >= 400 && std::abs(kHz - 640500) >= 400));
        Plan moved = found.plan;
        moved.chosen[1] = -1;
        QCOMPARE(Kinds(check(moved)), (std::vector<Violation::Kind> { Violation::LockMoved }));
    }

    // Among channels that serve as well, the quietest any scan saw; a channel never scanned last.
    void quietestChannelChosen()
    {
        Plan problem;
        problem.rule = { Level::Spacing, 400, 100 };
        problem.devices = { Device(1, 640.0, 0, 6), Device(2, 640.0, 0, 6) };
        problem.levelDbm = { { 640000, -90 }, { 640250, -104 }, { 640500, -97 }, { 640750, -103 }, { 641000, -103 } };
        for (const Plan& plan : { AssignAll(problem), SearchBest(problem).plan }) {
            std::vector<int> carriers = CarriersOf(plan);
            std::sort(carriers.begin(), carriers.end());
            QCOMPARE(carriers, (std::vector<int> { 640250, 640750 })); // 641.000 is as quiet, but higher
        }
    }

    // The frequencies on air in words: each conflict with its kind and carriers, each margin.
    void analyzeNamesConflicts()
    {
        const std::vector<NamedCarrier> onAir { { "1:1", 640000 }, { "2:3", 640500 }, { "4:2", 641050 }, { "5:1", 641300 } };
        const QStringList lines = Analyze({ Level::ThreeTransmitter, 400, 100 }, onAir);
        QCOMPARE(lines,
            (QStringList { "3rd order 2×2:3 − 1:1 lands 50 kHz from 4:2", "3rd order 2×2:3 − 4:2 lands 50 kHz from 1:1",
                "4:2 and 5:1 only 250 kHz apart (spacing 400 kHz)", "1:1 640.000 MHz: margin -50 kHz",
                "2:3 640.500 MHz: margin 100 kHz", "4:2 641.050 MHz: margin -150 kHz", "5:1 641.300 MHz: margin -150 kHz" }));
        // 640.000 + 641.250 - 640.500 = 640.750: exactly on the fourth, and the other way round.
        const QStringList exact = Analyze(
            { Level::ThreeTransmitter, 0, 0 }, { { "a", 640000 }, { "b", 641250 }, { "c", 640500 }, { "d", 640750 } });
        QCOMPARE(exact.mid(0, 2),
            (QStringList { "3rd order a + b − d lands 0 kHz from c", "3rd order a + b − c lands 0 kHz from d" }));
        QCOMPARE(Analyze({ Level::Spacing, 400, 100 }, { { "1:1", 640000 }, { "2:3", 640500 } }),
            (QStringList { "No conflict", "1:1 640.000 MHz: margin 100 kHz", "2:3 640.500 MHz: margin 100 kHz" }));
    }

    void ruleInConfigIni()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Config.ini"));
        const Rule defaults = LoadRule(path);
        QVERIFY(defaults.level == Level::Off && defaults.SpacingKHz == 400 && defaults.GuardKHz == 100);
        QVERIFY(SaveRule(path, { Level::ThreeTransmitter, 500, 0 }));
        const Rule read = LoadRule(path);
        QVERIFY(read.level == Level::ThreeTransmitter && read.SpacingKHz == 500 && read.GuardKHz == 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Coordination]\r\nLevel=7\r\nSpacingKHz=-5\r\nGuardKHz=abc\r\n");
        file.close();
        const Rule bad = LoadRule(path);
        QVERIFY(bad.level == Level::Off && bad.SpacingKHz == 400 && bad.GuardKHz == 100);
    }
};

QTEST_GUILESS_MAIN(TestCoordination)
#include "CoordinationTests.moc"
