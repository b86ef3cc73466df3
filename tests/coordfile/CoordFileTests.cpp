// The coordination file and tessaro-coord: faults named by field, and the tool run as a process
// on small files, its exit status, plan CSV and analysis.
#include "coord/CoordFile.h"

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
        QTest::newRow("version") << FileWith(R"("version": 7)") << "version: unknown version 7 (this program reads 1)";
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
    }

    void faultsNamedByField()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        const FileReading reading = ReadCoordinationFile(json);
        QVERIFY2(reading.error.startsWith(error), qPrintable(reading.error));
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

        const Run bad = RunTool(FileWith(R"("version": 2)"));
        QCOMPARE(bad.status, 2);
        QVERIFY2(bad.errors.contains(QStringLiteral("version: unknown version 2")), qPrintable(bad.errors));
        QVERIFY(bad.plan.isEmpty());
        QCOMPARE(RunTool(FileWith({}), { QStringLiteral("--budget-ms"), QStringLiteral("x") }).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestCoordFile)
#include "CoordFileTests.moc"
