// Scan files other coordination tools exchange: exact bytes written, hand-made files of each form
// read, refusals named by file, line and reason, and the idle channels an imported scan leaves.
#include "interchange/ScanFiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace interchange;

namespace
{

const std::vector<LevelPoint> SmallScan { { 470.250, 18 }, { 470.500, 35 }, { 470.750, -10 } };
const ScanHeader Header { QStringLiteral("rx;1\n2"), QDateTime(QDate(2026, 3, 7), QTime(9, 5, 2)) };

std::vector<std::pair<double, double>> Pairs(const ScanReading& reading)
{
    std::vector<std::pair<double, double>> pairs;
    for (const ScanSample& s : reading.Samples)
        pairs.emplace_back(s.Mhz, s.Dbm);
    return pairs;
}

using Points = std::vector<std::pair<double, double>>;

} // namespace

class TestScanFiles : public QObject
{
    Q_OBJECT
private slots:
    void exportsAreByteExact()
    {
        const auto samples = DbmSamplesOf(SmallScan, -97.5);
        QCOMPARE(
            WriteScan(ScanForm::Receiver, samples, -97.5, Header), QByteArray("470.250,18\n470.500,35\n470.750,-10\n"));
        QCOMPARE(WriteScan(ScanForm::Wwb, samples, -97.5, Header),
            QByteArray("470.250,-79.5\n470.500,-62.5\n470.750,-107.5\n"));
        QCOMPARE(WriteScan(ScanForm::Wsm, samples, -97.5, Header),
            QByteArray("Receiver;rx 1 2\r\nDate/Time;07-03-2026 09-05-02\r\nRFUnit;dBm\r\n"
                       "Frequency Range [kHz];470250;470750;3\r\nFrequency;RF level (%);RF level\r\n"
                       "470250;;-79.5\r\n470500;;-62.5\r\n470750;;-107.5\r\n"));
    }

    void exportsReadBackWithinATenthOfADecibel()
    {
        const std::vector<ScanSample> fine { { 470.125, -80.04 }, { 470.2, -99.96 }, { 606.0, -60.5 } };
        for (const ScanForm form : { ScanForm::Wwb, ScanForm::Wsm }) {
            const ScanReading back = ReadScan(WriteScan(form, fine, 0.0, Header), QStringLiteral("x.csv"));
            QVERIFY2(back.Ok(), qPrintable(back.Error));
            QCOMPARE(back.Kind, form == ScanForm::Wsm ? ScanFileKind::Wsm : ScanFileKind::TwoColumn);
            QCOMPARE(back.Samples.size(), fine.size());
            for (size_t i = 0; i < fine.size(); ++i) {
                QCOMPARE(back.Samples[i].Mhz, fine[i].Mhz);
                QVERIFY(std::abs(back.Samples[i].Dbm - fine[i].Dbm) <= 0.1);
            }
        }
        // The receiver's scale comes back as whole levels: dBm - offset, rounded.
        const ScanReading levels
            = ReadScan(WriteScan(ScanForm::Receiver, fine, -100.0, Header), QStringLiteral("r.csv"));
        QCOMPARE(Pairs(levels), (Points { { 470.125, 20 }, { 470.2, 0 }, { 606.0, 40 } }));
    }

    void handMadeFilesOfEachForm()
    {
        // RF Explorer: BOM, CRLF, header lines, a space after the comma.
        const ScanReading rfe = ReadScan("\xEF\xBB\xBF"
                                         "RF Explorer CSV data file\r\nFrequency (MHz), Amplitude (dBm)\r\n"
                                         "470.000, -101.5\r\n\r\n470.100, -88\r\n",
            QStringLiteral("rfe.csv"));
        QVERIFY2(rfe.Ok(), qPrintable(rfe.Error));
        QCOMPARE(Pairs(rfe), (Points { { 470.0, -101.5 }, { 470.1, -88.0 } }));
        // Semicolons with decimal commas, and tabs.
        QCOMPARE(Pairs(ReadScan("470,25;-82,5\n470,5;-90\n", QStringLiteral("s.csv"))),
            (Points { { 470.25, -82.5 }, { 470.5, -90 } }));
        QCOMPARE(Pairs(ReadScan("470.25\t-82.5\n", QStringLiteral("t.csv"))), (Points { { 470.25, -82.5 } }));
        // WSM: decimal commas, a units line, CRLF.
        const ScanReading wsm = ReadScan("Receiver;EM 1\r\nDate/Time;01-02-2025 10-00-00\r\nRFUnit;dBm\r\n"
                                         "Frequency Range [kHz];470000;470025;2\r\nFrequency;RF level (%);RF level\r\n"
                                         "kHz;%;dBm\r\n470000;12;-97,5\r\n470025;;-60,25\r\n",
            QStringLiteral("w.csv"));
        QVERIFY2(wsm.Ok(), qPrintable(wsm.Error));
        QCOMPARE(Pairs(wsm), (Points { { 470.0, -97.5 }, { 470.025, -60.25 } }));
        // sdb2: no-data values left out, two data sets merged by their highest level.
        const ScanReading sdb2 = ReadScan(R"(<?xml version="1.0" encoding="UTF-8"?>
<scan_data_source ver="1"><data_sets count="2">
 <freq_set><f>470000</f><f>470125</f><f>470250</f></freq_set>
 <data_set index="0" freq_units="KHz" ampl_units="dBm" no_data_value="-140"><v>-90.5</v><v>-140</v><v>-60</v></data_set>
 <data_set index="1" freq_units="KHz" ampl_units="dBm" no_data_value="-140"><v>-95</v><v>-140</v><v>-55.5</v></data_set>
</data_sets></scan_data_source>)",
            QStringLiteral("s.sdb2"));
        QVERIFY2(sdb2.Ok(), qPrintable(sdb2.Error));
        QCOMPARE(sdb2.Kind, ScanFileKind::Sdb2);
        QCOMPARE(Pairs(sdb2), (Points { { 470.0, -90.5 }, { 470.25, -55.5 } }));
    }

    void refusalsNameFileLineAndReason_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("columns") << QByteArray("470.0,-80\n470.1,-80,3\n")
                                 << "f: line 2: expected 2 columns (MHz, dBm), found 3";
        QTest::newRow("text") << QByteArray("Freq,Level\n470.0,-80\n470.1,strong\n")
                              << "f: line 3: not a number: \"strong\"";
        QTest::newRow("nan") << QByteArray("470.0,nan\n") << "f: line 1: not a number: \"nan\"";
        QTest::newRow("descending") << QByteArray("470.1,-80\r\n470.0,-80\r\n")
                                    << "f: line 2: frequency 470 MHz does not ascend (after 470.1 MHz)";
        QTest::newRow("level") << QByteArray("470.0,35\n470.1,120\n")
                               << "f: line 2: level 120 dBm out of range (-200..50)";
        QTest::newRow("empty") << QByteArray("Frequency,Level\n") << "f: no scan points";
        QTest::newRow("wsm unit") << QByteArray("Receiver;x\nRFUnit;dBuV\n470000;;30\n")
                                  << "f: line 2: RF unit \"dBuV\" is not dBm";
        QTest::newRow("wsm count") << QByteArray(
            "Receiver;x\nFrequency Range [kHz];470000;470025;3\n470000;;-80\n470025;;-80\n")
                                   << "f: line 2: the frequency range announces 3 points, the file holds 2";
        QTest::newRow("wsm columns") << QByteArray("Receiver;x\n470000;-80\n")
                                     << "f: line 2: expected 3 columns (kHz;RF level %;dBm), found 2";
        QTest::newRow("xml bomb") << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE l [<!ENTITY a "
                                                "\"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>\n<l>&b;</l>")
                                  << "f: line 2: document type declarations and entities are not accepted";
        QTest::newRow("sdb2 units") << QByteArray(
            "<s><freq_set><f>1</f></freq_set><data_set freq_units=\"MHz\" ampl_units=\"dBm\"><v>1</v></data_set></s>")
                                    << "f: line 1, <data_set>: freq_units \"MHz\" is not KHz";
        QTest::newRow("sdb2 count") << QByteArray("<s><freq_set><f>470000</f><f>470100</f></freq_set>\n<data_set "
                                                  "ampl_units=\"dBm\"><v>-80</v></data_set></s>")
                                    << "f: <data_set> 1: 1 values for 2 frequencies";
        QTest::newRow("sdb2 value") << QByteArray("<s><freq_set>\n<f>47O000</f></freq_set></s>")
                                    << "f: line 2, <f>: not a number: \"47O000\"";
        QTest::newRow("sdb2 broken") << QByteArray("<s><freq_set><f>470000</f></s>")
                                     << "f: line 1: not well-formed XML";
    }

    void refusalsNameFileLineAndReason()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const ScanReading reading = ReadScan(bytes, QStringLiteral("f"));
        QVERIFY2(reading.Error.startsWith(message), qPrintable(reading.Error));
        QVERIFY(reading.Samples.empty()); // nothing in part
    }

    void oversizedFileRefusedUnread()
    {
        QTemporaryDir dir;
        QFile big(dir.filePath(QStringLiteral("big.csv")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write("470.0,-80\n") == 10 && big.resize(MaxScanFileBytes + 1));
        big.close();
        QCOMPARE(ReadScanFile(big.fileName()).Error, QStringLiteral("big.csv: larger than 64 MB"));
    }

    void pointsLandInTheirGridSlots()
    {
        const BandOfChannels band { 470.0, 8, 4 }; // channels 8..11: 470.000 .. 470.750
        const std::vector<ScanSample> samples { { 469.874, -20 }, { 469.875, -85 }, { 470.124, -70 }, { 470.125, -95 },
            { 470.3, -60 }, { 470.874, -89 }, { 470.875, -10 } };
        const GridScan grid = MapToGrid(band, samples);
        QCOMPARE(grid.ChannelDbm, (std::map<int, double> { { 8, -70 }, { 9, -60 }, { 11, -89 } }));
        QCOMPARE(grid.Outside.size(), size_t(2)); // 469.874 and 470.875: kept for the chart only
        // Channel 8 and 9 are busy above -90 dBm; 10 has no point, 11 is just below.
        const std::vector<GridScan> imported { grid };
        std::vector<int> idle;
        for (const IdleChannel& c : IdleChannelsWithImports(band, {}, 10, imported, -89.0))
            idle.push_back(c.Channel);
        QCOMPARE(idle, (std::vector<int> { 10, 11 }));
    }

    void exportedScanImportedGivesTheSameIdleChannels()
    {
        const BandOfChannels band { 606.0, 20, 12 };
        ScanPoints points;
        const uint8_t levels[12] = { 5, 19, 20, 21, 60, 100, 0, 40, 10, 30, 22, 200 };
        for (int i = 0; i < 12; ++i)
            points.Add(static_cast<uint8_t>(band.StartChannel + i), levels[i]);
        const int threshold = 10;
        const double offset = -103.5;
        const std::vector<ScanView> ours { ViewOf(points) };
        const auto expected = IdleChannels(band, ours, threshold);
        for (const ScanForm form : { ScanForm::Wwb, ScanForm::Wsm }) {
            const auto exported = WriteScan(form,
                DbmSamplesOf(LevelPointsOf(LatestLevels(points), band.StartFreq, band.StartChannel, band.MaxChannel), offset), offset,
                Header);
            const ScanReading back = ReadScan(exported, QStringLiteral("tessaro.csv"));
            QVERIFY2(back.Ok(), qPrintable(back.Error));
            const std::vector<GridScan> imported { MapToGrid(band, back.Samples) };
            const auto idle = IdleChannelsWithImports(band, {}, threshold, imported, threshold + offset);
            QCOMPARE(idle.size(), expected.size());
            for (size_t i = 0; i < idle.size(); ++i)
                QCOMPARE(idle[i].Channel, expected[i].Channel);
        }
    }

    void convertScanRunsAsAProcess()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(QStringLiteral("in.csv"));
        const QString out = dir.filePath(QStringLiteral("out.csv"));
        QFile file(in);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Receiver;EM\r\nRFUnit;dBm\r\nFrequency;RF level (%);RF level\r\n470000;;-80,26\r\n470250;;-60\r\n");
        file.close();
        const auto run = [](const QStringList& args) {
            QProcess tool;
            tool.start(QStringLiteral(TESSARO_COORD_PATH), QStringList { QStringLiteral("convert-scan") } + args);
            tool.waitForFinished(10000);
            return std::pair { tool.exitCode(), QString::fromUtf8(tool.readAllStandardError()) };
        };
        QCOMPARE(run({ in, out, QStringLiteral("--to"), QStringLiteral("wwb") }).first, 0);
        const auto contents = [&out] {
            QFile written(out);
            return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
        };
        QCOMPARE(contents(), QByteArray("470.000,-80.3\n470.250,-60.0\n"));
        QCOMPARE(run({ in, out, QStringLiteral("--to"), QStringLiteral("receiver"), QStringLiteral("--dbm-offset"),
                         QStringLiteral("-90") })
                     .first,
            0);
        QCOMPARE(contents(), QByteArray("470.000,10\n470.250,30\n"));

        QVERIFY(file.open(QIODevice::Append));
        file.write("470100;;-70\r\n");
        file.close();
        const auto [status, message] = run({ in, out, QStringLiteral("--to"), QStringLiteral("wsm") });
        QCOMPARE(status, 2);
        QCOMPARE(message,
            QStringLiteral("tessaro-coord: in.csv: line 6: frequency 470.1 MHz does not ascend (after 470.25 MHz)\n"));
        QCOMPARE(run({ in, out, QStringLiteral("--to"), QStringLiteral("pdf") }).first, 2);
    }
};

QTEST_GUILESS_MAIN(TestScanFiles)
#include "ScanFileTests.moc"
