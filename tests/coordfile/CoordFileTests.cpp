// The coordination file and tessaro-coord: faults named by field, and the tool run as a process
// on small files, its exit status, plan CSV and analysis.
#include "coord/CheckShow.h"
#include "coord/CoordFile.h"
#include "coord/PlanShow.h"
#include "coord/TvChannels.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace coordination;

namespace
{

// A valid file with `extra` spliced into its object, members given later overriding earlier ones.
QByteArray FileWith(const QByteArray& extra)
{
    return R"({"format": "tessaro-coordination", "version": 1,
        "bands": [{"name": "A", "start_mhz": 640.0, "channels": 8}],
        "devices": [{"rxid": 7, "channel": 2, "name": "Lead", "band": "A"}])"
        + (extra.isEmpty() ? QByteArray() : ", " + extra) + "}";
}

struct Run {
    int status = -1;
    QString plan;
    QString analysis;
    QString errors;
};

Run RunTool(const QByteArray& json, QStringList options = {})
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("show.json")));
    file.open(QIODevice::WriteOnly);
    file.write(json);
    file.close();
    QProcess tool;
    tool.start(QStringLiteral(TESSARO_COORD_PATH),
        options << QStringLiteral("--plan") << dir.filePath(QStringLiteral("plan.csv")) << QStringLiteral("--analysis")
                << dir.filePath(QStringLiteral("analysis.txt")) << file.fileName());
    Run run;
    if (!tool.waitForFinished(30000))
        return run;
    run.status = tool.exitCode();
    run.errors = QString::fromUtf8(tool.readAllStandardError());
    for (auto [name, text] : { std::pair { "plan.csv", &run.plan }, std::pair { "analysis.txt", &run.analysis } }) {
        QFile out(dir.filePath(QString::fromLatin1(name)));
        if (out.open(QIODevice::ReadOnly))
            *text = QString::fromUtf8(out.readAll());
    }
    return run;
}

} // namespace

class TestCoordFile : public QObject
{
    Q_OBJECT

private slots:
    void faultsNamedByField_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        QTest::newRow("version") << FileWith(R"("version": 7)") << "version: made by a newer Tessaro (version 7; this program reads 1)";
        QTest::newRow("older version") << FileWith(R"("version": 0)") << "version: unknown version 0 (this program reads 1)";
        QTest::newRow("text for a number") << FileWith(R"("bands": [{"name": "A", "start_mhz": "640", "channels": 8}])")
                                           << "bands[0].start_mhz: not a number";
        QTest::newRow("NaN as text") << FileWith(R"("busy_mhz": [641.0, "NaN"])") << "busy_mhz[1]: not a number";
        QTest::newRow("NaN bare") << FileWith(R"("busy_mhz": [NaN])") << "JSON at byte";
        QTest::newRow("upside down") << FileWith(R"("exclusions": [{"from_mhz": 652, "to_mhz": 650}])")
                                     << "exclusions[0]: range upside down (from_mhz above to_mhz)";
        QTest::newRow("unknown band") << FileWith(R"("devices": [{"rxid": 1, "channel": 1, "band": "Z"}])")
                                      << "devices[0].band: unknown band \"Z\"";
        QTest::newRow("channels") << FileWith(R"("bands": [{"name": "A", "start_mhz": 640.0, "channels": 0.5}])")
                                  << "bands[0].channels: 0.5 outside 1..4096";
        QTest::newRow("level") << FileWith(R"("rule": {"level": 4})") << "rule.level: 4 outside 0..3";
        QTest::newRow("no devices") << FileWith(R"("devices": [])") << "devices: no device to plan";
        QTest::newRow("format") << QByteArray(R"({"version": 1})") << "format: not \"tessaro-coordination\"";
        QTest::newRow("not an object") << QByteArray("[1]") << "the file is not a JSON object";
        const auto profile = [](const char* guards) {
            return FileWith(QByteArray(R"("profiles": [{"name": "iem", )") + guards + "}]");
        };
        QTest::newRow("guard as text") << profile(R"("spacing_khz": 600, "third_2tx_khz": "0ff", "third_3tx_khz": 50)")
                                       << "profiles[0].third_2tx_khz: neither a number of kHz nor \"off\"";
        QTest::newRow("guard missing") << profile(R"("third_2tx_khz": 200, "third_3tx_khz": "off")")
                                       << "profiles[0].spacing_khz: missing";
        QTest::newRow("guard negative") << profile(R"("spacing_khz": -1, "third_2tx_khz": 0, "third_3tx_khz": 0)")
                                        << "profiles[0].spacing_khz: -1 outside 0..10000";
        QTest::newRow("preset name taken") << FileWith(R"("profiles": [{"name": "analog", "spacing_khz": 1,
            "third_2tx_khz": 1, "third_3tx_khz": 1}])")
                                           << "profiles[0].name: empty or already taken: \"analog\"";
        QTest::newRow("tv region") << FileWith(R"("tv": {"region": "mars", "channels": [27]})")
                                   << "tv.region: unknown region \"mars\" (china, europe, usa)";
        QTest::newRow("tv channel") << FileWith(R"("tv": {"region": "europe", "channels": [27, 70]})")
                                    << "tv.channels[1]: no TV channel 70 in europe";
        QTest::newRow("tv channel as text")
            << FileWith(R"("tv": {"region": "usa", "channels": ["27"]})") << "tv.channels[0]: no TV channel 27 in usa";
        QTest::newRow("locked without frequency")
            << FileWith(R"("devices": [{"rxid": 1, "channel": 1, "band": "A", "locked": true}])")
            << "devices[0].locked: a locked device needs its current_mhz";
        QTest::newRow("unknown inclusion")
            << FileWith(R"("devices": [{"rxid": 1, "channel": 1, "band": "A", "inclusion": "L"}])")
            << "devices[0].inclusion: unknown inclusion list \"L\"";
        QTest::newRow("foreign NaN") << FileWith(R"("foreign": [{"mhz": "NaN", "label": "IEM"}])")
                                     << "foreign[0].mhz: not a number";
        QTest::newRow("scan not ascending")
            << FileWith(R"("scans": [{"name": "a.csv", "points": [[641.0, -80], [640.5, -81]]}])")
            << "scans[0].points[1]: frequency not ascending";
        QTest::newRow("scan point out of range")
            << FileWith(R"("scans": [{"name": "a.csv", "points": [[640.0, -80], [644440.0, -81]]}])")
            << "scans[0].points[1][0]: 644440 outside -1000..100000";
        QTest::newRow("level threshold") << FileWith(R"("scan_threshold_level": 91)")
                                         << "scan_threshold_level: 91 outside -10..90";
        QTest::newRow("plan size") << FileWith(R"("plan": {"mhz": [641.0, 642.0]})")
                                   << "plan.mhz: 2 frequencies for 1 devices";
        QTest::newRow("unknown profile") << FileWith(
            R"("devices": [{"rxid": 1, "channel": 1, "band": "A", "profile": "iem"}])")
                                         << "devices[0].profile: unknown profile \"iem\"";
    }

    void faultsNamedByField()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        const FileReading reading = ReadCoordinationFile(json);
        QVERIFY2(reading.error.startsWith(error), qPrintable(reading.error));
    }

    // Everything a show keeps comes back from the file as it was written.
    void writtenFileReadsBackTheSame()
    {
        const FileReading first = ReadCoordinationFile(FileWith(R"("show": {"name": "Gala", "venue": "Hall",
                "notes": "two;lines\nhere", "coordinator": "Wei"},
            "rule": {"level": 2, "spacing_khz": 300, "guard_khz": 50}, "budget_ms": 900, "backups_per_band": 3,
            "profiles": [{"name": "iem", "spacing_khz": 0, "third_2tx_khz": "off", "third_3tx_khz": 80}],
            "inclusions": [{"name": "licence A", "mhz": [640.25, 640.5]}],
            "devices": [{"rxid": 7, "channel": 2, "name": "Lead", "band": "A", "profile": "iem",
                         "current_mhz": 640.5, "locked": true},
                        {"rxid": 8, "channel": 1, "band": "A", "inclusion": "licence A"}],
            "busy_mhz": [641.0], "exclusions": [{"from_mhz": 641.5, "to_mhz": 641.75, "note": "intercom"}],
            "tv": {"region": "europe", "channels": [21]}, "foreign": [{"mhz": 640.1, "label": "IEM 1"}],
            "scan_threshold_dbm": -85.5, "scan_threshold_level": 25,
            "scans": [{"name": "hall.csv", "points": [[640.0, -92.5], [640.025, -88.0]]},
                      {"name": "7:2", "unit": "level", "points": [[640.25, 35]]}],
            "plan": {"mhz": [640.5, 0], "checked": true, "backups": [{"band": "A", "mhz": 641.25}]})"));
        QVERIFY2(first.error.isEmpty(), qPrintable(first.error));
        const QByteArray written = WriteCoordinationFile(first.file);
        const FileReading second = ReadCoordinationFile(written);
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QCOMPARE(WriteCoordinationFile(second.file), written);
        const CoordinationFile& f = second.file;
        QCOMPARE(f.coordinator, QStringLiteral("Wei"));
        QCOMPARE(f.scanThresholdLevel, 25);
        QVERIFY(f.devices[0].locked && f.devices[0].currentMHz == 640.5 && f.devices[1].inclusion == "licence A");
        QVERIFY(f.foreign.size() == 1 && f.inclusions[0].mhz == (std::vector<double> { 640.25, 640.5 }));
        QVERIFY(f.scans.size() == 2 && !f.scans[1].dbm && f.scans[0].points[1].second == -88.0);
        QVERIFY(f.plan && f.plan->checked && f.plan->mhz[1] == 0 && f.plan->backups[0].mhz == 641.25);
        QCOMPARE(f.tv.channels, std::vector<int> { 21 });
        QCOMPARE(f.exclusions.size(), size_t(1)); // the TV channel is not written twice
        QCOMPARE(ExclusionsOf(f).size(), size_t(2));
        QCOMPARE(f.profiles[0].spacingKHz, std::optional<int>(0));
        QVERIFY(!f.profiles[0].thirdTwoKHz);
    }

    // Busy channels (within half a step: 640.875 marks neither neighbour) and exclusions (edges
    // included) are not offered.
    void idleChannelsOfTheFile()
    {
        const FileReading reading = ReadCoordinationFile(
            FileWith(R"("busy_mhz": [640.3, 640.8, 640.875], "exclusions": [{"from_mhz": 641.25, "to_mhz": 641.5}])"));
        QVERIFY(reading.error.isEmpty());
        const std::vector<DeviceOptions> options = DeviceOptionsOf(reading.file);
        std::vector<int> channels;
        for (const IdleChannel& c : options.at(0).Idle)
            channels.push_back(c.Channel);
        QCOMPARE(channels, (std::vector<int> { 0, 2, 4, 7 }));
    }

    // Devices take their own profile, a preset or the file's, else the rule's level; the file's
    // "off" leaves a guard unset while 0 keeps it.
    void profilesOfTheDevices()
    {
        const FileReading reading = ReadCoordinationFile(FileWith(R"("rule": {"level": 2, "spacing_khz": 300},
            "profiles": [{"name": "iem", "spacing_khz": 0, "third_2tx_khz": "off", "third_3tx_khz": 80}],
            "devices": [{"rxid": 1, "channel": 1, "band": "A", "profile": "iem"},
                        {"rxid": 2, "channel": 1, "band": "A", "profile": "digital"},
                        {"rxid": 3, "channel": 1, "band": "A"}])"));
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
        const std::vector<Profile> profiles = DeviceProfilesOf(reading.file);
        QVERIFY(profiles[0].spacingKHz == 0 && !profiles[0].thirdTwoKHz && profiles[0].thirdThreeKHz == 80
            && !profiles[0].fifthKHz);
        QVERIFY(profiles[1].name == QStringLiteral("digital") && profiles[1].fifthKHz == 25);
        QVERIFY(profiles[2].spacingKHz == 300 && profiles[2].thirdTwoKHz == 100 && !profiles[2].thirdThreeKHz);
    }

    // Four devices on a spacing-only profile with a fifth-order guard: the searched plan puts
    // them 250 kHz apart, 3f1 − 2f2 lands on one, and the tool takes it out and says why; what
    // stays on air passes the profile check.
    void toolHonoursFifthOrder()
    {
        const Run run = RunTool(FileWith(R"("profiles": [{"name": "fifth", "spacing_khz": 250, "third_2tx_khz": "off",
            "third_3tx_khz": "off", "fifth_khz": 100}], "backups_per_band": 0,
            "bands": [{"name": "A", "start_mhz": 640.0, "channels": 4}],
            "devices": [{"rxid": 1, "channel": 1, "band": "A", "profile": "fifth"},
                        {"rxid": 2, "channel": 1, "band": "A", "profile": "fifth"},
                        {"rxid": 3, "channel": 1, "band": "A", "profile": "fifth"},
                        {"rxid": 4, "channel": 1, "band": "A", "profile": "fifth"}])"));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.analysis.contains(QStringLiteral("searched at the strictest profile (not proved best)"))
                && run.analysis.contains(QStringLiteral(": 5th order ")),
            qPrintable(run.analysis));
        const Profile fifth { QStringLiteral("fifth"), 250, {}, {}, 100 };
        std::vector<ProfiledCarrier> onAir;
        for (const QString& line : run.plan.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).mid(1))
            if (!line.section(QLatin1Char(','), 3, 3).isEmpty())
                onAir.push_back({ FreqKHz(line.section(QLatin1Char(','), 3, 3).toDouble()), &fifth });
        QVERIFY(onAir.size() >= 2 && onAir.size() < 4);
        QVERIFY(CheckProfiles(onAir).empty());
    }

    // Channel edges from the public plans: the first and last of each run, and the gaps.
    void tvTables()
    {
        const auto edges = [](TvRegion region, int number) {
            const std::optional<TvChannel> c = TvChannelOf(region, number);
            return c ? std::pair { c->fromMHz, c->toMHz } : std::pair { -1.0, -1.0 };
        };
        QCOMPARE(edges(TvRegion::Europe, 21), std::pair(470.0, 478.0));
        QCOMPARE(edges(TvRegion::Europe, 69), std::pair(854.0, 862.0));
        QCOMPARE(edges(TvRegion::Europe, 20), std::pair(-1.0, -1.0));
        QCOMPARE(edges(TvRegion::China, 24), std::pair(558.0, 566.0));
        QCOMPARE(edges(TvRegion::China, 25), std::pair(606.0, 614.0));
        QCOMPARE(edges(TvRegion::China, 68), std::pair(950.0, 958.0));
        QCOMPARE(edges(TvRegion::Usa, 14), std::pair(470.0, 476.0));
        QCOMPARE(edges(TvRegion::Usa, 36), std::pair(602.0, 608.0));
        QCOMPARE(edges(TvRegion::Usa, 37), std::pair(-1.0, -1.0));
    }

    // TV 21 on air takes 470.000..478.000 (33 channels, both edges) from the band; the device
    // left out is told so beside what blocks the rest.
    void tvChannelsBecomeExclusions()
    {
        const Run run = RunTool(FileWith(R"("rule": {"level": 1}, "backups_per_band": 0,
            "bands": [{"name": "A", "start_mhz": 470.0, "channels": 35}],
            "devices": [{"rxid": 1, "channel": 1, "band": "A"}, {"rxid": 2, "channel": 1, "band": "A"}],
            "tv": {"region": "europe", "channels": [21]})"));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.plan.contains(QStringLiteral("1:1,,A,478.250,")), qPrintable(run.plan));
        QVERIFY2(run.analysis.contains(
                     QStringLiteral("2:1 : all 2 idle channels blocked: 2 too close to 1:1; 33 excluded (TV 21)")),
            qPrintable(run.analysis));
    }

    // A show with everything a coordinator knows: TV 43 on air (646..654 MHz), the house
    // intercom, two in-ear monitors we do not control, a device locked on 642.000, licences, a
    // dBm scan (640.000 loud) and one of ours on the receiver's scale (645.750 loud).
    void showAroundEverythingKnown()
    {
        const QByteArray json = FileWith(R"("backups_per_band": 1,
            "bands": [{"name": "A", "start_mhz": 640.0, "channels": 40}],
            "tv": {"region": "europe", "channels": [43]},
            "exclusions": [{"from_mhz": 644.0, "to_mhz": 644.5, "note": "house intercom"}],
            "foreign": [{"mhz": 641.1, "label": "IEM 1", "profile": "in-ear"}, {"mhz": 643.25, "label": "IEM 2"}],
            "inclusions": [{"name": "licence A", "mhz": [640.5, 645.0, 645.5, 700.0]},
                           {"name": "licence B", "mhz": [644.25, 644.5]}],
            "devices": [{"rxid": 9, "channel": 1, "band": "A", "current_mhz": 642.0, "locked": true},
                        {"rxid": 7, "channel": 1, "band": "A", "inclusion": "licence A"},
                        {"rxid": 8, "channel": 1, "band": "A", "inclusion": "licence B"},
                        {"rxid": 1, "channel": 1, "band": "A"}, {"rxid": 2, "channel": 1, "band": "A"}],
            "scans": [{"name": "venue.csv", "points": [[640.0, -70], [640.25, -100]]},
                      {"name": "9:1", "unit": "level", "points": [[645.75, 40]]}])");
        const Run run = RunTool(json, { QStringLiteral("--budget-ms"), QStringLiteral("300") });
        QCOMPARE(run.status, 1);
        QVERIFY2(run.plan.contains(QStringLiteral("\r\n9:1,,A,642.000,,")), qPrintable(run.plan));
        QVERIFY2(run.analysis.contains(QStringLiteral("8:1 : none of licence B's 2 frequencies is idle; 3 excluded (house intercom), 16 excluded (TV 43)")),
            qPrintable(run.analysis));

        const FileReading reading = ReadCoordinationFile(json);
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
        SearchLimits limits;
        limits.budgetMs = 300;
        const ShowPlan shown = PlanShow(reading.file, limits);
        const FilePlan plan = FilePlanOf(reading.file, shown);
        QVERIFY2(CheckShow(reading.file, plan).isEmpty(), qPrintable(CheckShow(reading.file, plan).join('\n')));
        QVERIFY(plan.checked && plan.mhz[2] == 0);
        QVERIFY(plan.mhz[1] == 640.5 || plan.mhz[1] == 645.0 || plan.mhz[1] == 645.5);
        QVERIFY(plan.mhz[3] > 0);
        QVERIFY2(run.analysis.contains(QStringLiteral("2:1 : all 19 idle channels blocked: ")) && run.analysis.contains(QStringLiteral(" too close to IEM 1")),
            qPrintable(run.analysis));

        // Each rule broken on its own is named.
        const std::pair<std::pair<size_t, double>, QString> faults[] = {
            { { 0, 642.25 }, "9:1 is locked on 642.000 MHz, the plan gives 642.250 MHz" },
            { { 1, 640.75 }, "7:1 640.750 MHz: not on licence A" },
            { { 3, 647.0 }, "1:1 647.000 MHz: excluded (TV 43)" },
            { { 3, 640.0 }, "1:1 640.000 MHz: scan venue.csv above its threshold at 640.000 MHz" },
            { { 3, 645.75 }, "1:1 645.750 MHz: scan 9:1 above its threshold at 645.750 MHz" },
            { { 3, 643.5 }, "1:1 too close to IEM 2 (250 kHz)" },
            { { 3, 640.75 }, "3rd order 2×9:1 − IEM 2 lands 0 kHz from 1:1" },
            { { 3, 640.1 }, "1:1 640.100 MHz: not a channel of band A" },
        };
        for (const auto& [change, expected] : faults) {
            FilePlan broken = plan;
            broken.mhz[change.first] = change.second;
            const QStringList found = CheckShow(reading.file, broken);
            QVERIFY2(found.contains(expected), qPrintable(found.join('\n')));
        }
    }

    void toolPlansAndExplains()
    {
        // Two devices fit one 4-channel band at the spacing level, the third is told why not.
        const Run some = RunTool(FileWith(R"("rule": {"level": 1}, "backups_per_band": 1,
            "bands": [{"name": "A", "start_mhz": 640.0, "channels": 4}],
            "devices": [{"rxid": 7, "channel": 2, "name": "Lead, vocal", "band": "A"},
                        {"rxid": 8, "channel": 1, "name": "Choir", "band": "A"},
                        {"rxid": 9, "channel": 1, "name": "Spare", "band": "A"}])"));
        QCOMPARE(some.status, 1);
        QCOMPARE(some.plan,
            QStringLiteral("device,name,band,frequency_mhz,backup_of,margin_khz\r\n"
                           "7:2,\"Lead, vocal\",A,640.000,,100\r\n8:1,Choir,A,640.500,,100\r\n9:1,Spare,A,,,\r\n"));
        QVERIFY2(some.analysis.startsWith(QStringLiteral("Plan: 2 of 3 devices placed, worst margin 100 kHz, proved best\n"))
                && some.analysis.contains(QStringLiteral("9:1 Spare: all 4 idle channels blocked: 2 too close to 7:2, 2 too close to 8:1")),
            qPrintable(some.analysis));

        const Run all = RunTool(FileWith({}), { QStringLiteral("--budget-ms"), QStringLiteral("100") });
        QCOMPARE(all.status, 0);
        QVERIFY(all.plan.contains(QStringLiteral("\r\n7:2,Lead,A,640.000,,10000\r\n,,A,640.500,A,\r\n")));

        // A scan given on the command line: 640.000 loud, 640.250 the quietest of the rest.
        QTemporaryDir scans;
        QFile scan(scans.filePath(QStringLiteral("venue.csv")));
        QVERIFY(scan.open(QIODevice::WriteOnly));
        scan.write("640.000,-60.0\n640.250,-110.0\n640.500,-100.0\n641.000,-100.0\n");
        scan.close();
        const Run scanned = RunTool(FileWith({}), { QStringLiteral("--scan"), scan.fileName() });
        QCOMPARE(scanned.status, 0);
        QVERIFY2(scanned.plan.contains(QStringLiteral("\r\n7:2,Lead,A,640.250,,")), qPrintable(scanned.plan));
        const Run unreadable = RunTool(FileWith({}), { QStringLiteral("--scan"), scans.filePath(QStringLiteral("none.csv")) });
        QCOMPARE(unreadable.status, 2);
        QVERIFY2(unreadable.errors.contains(QStringLiteral("none.csv")), qPrintable(unreadable.errors));

        const Run bad = RunTool(FileWith(R"("version": 2)"));
        QCOMPARE(bad.status, 2);
        QVERIFY2(bad.errors.contains(QStringLiteral("version: made by a newer Tessaro (version 2")), qPrintable(bad.errors));
        QVERIFY(bad.plan.isEmpty());
        QCOMPARE(RunTool(FileWith({}), { QStringLiteral("--budget-ms"), QStringLiteral("x") }).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestCoordFile)
#include "CoordFileTests.moc"
