// Scans from other tools in the scan windows: a scan exported by the compatibility setup and
// imported back gives the same idle channels, drawn as a curve of its own; a refused file is said
// with its reason and adds nothing.
#include "../mainwindow/MainFixture.h"

#include "coord/CurrentShow.h"
#include "data/IniFile.h"
#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "ui/rf/FormMulitSet.h"
#include "ui/rf/FormScanRF.h"
#include "ui/rf/FormSetMuiltFreq.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"
#include "ui/rf/ScanFileSettings.h"
#include "ui/rf/ScanImport.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

using namespace fixture;

namespace
{

// Receiver 1 on 640 MHz (100 channels), receiver 2 on 600 MHz (40 channels), at 127.0.0.9.
struct Bench {
    Bench()
        : dir(Records())
        , window(MakeWindow())
    {
        for (int i = 0; i < window->Devices().Count(); ++i)
            window->Devices().At(i)->Connected = true;
        coordination::TheShow() = {};
    }
    ~Bench() { coordination::TheShow() = {}; }
    static QList<StoredRecord> Records()
    {
        QList<StoredRecord> records;
        for (int rxid = 1; rxid <= 2; ++rxid) {
            StoredRecord r;
            r.ip = QStringLiteral("127.0.0.9");
            r.rxid = rxid;
            r.startFreq = rxid == 1 ? 640.0 : 600.0;
            r.maxChannel = rxid == 1 ? 100 : 40;
            r.freq = r.startFreq;
            records << r;
        }
        return records;
    }
    void Send(int rxid, int cmd, const QByteArray& payload)
    {
        Deliver(*window, Frame(rxid, 1, cmd, payload), QStringLiteral("127.0.0.9"));
        QCoreApplication::processEvents();
    }
    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    MessageBoxes boxes;
};

// The idle frequencies Set Freq offers each listed device, one list per device.
QList<QStringList> OfferedIdle(TFrmMulitSet& multi)
{
    QList<QStringList> offered;
    WhenModal<TFrmSetMuiltFreq>([&](TFrmSetMuiltFreq& set) {
        for (int row = 0; row < set.lbDevList->topLevelItemCount(); ++row) {
            set.lbDevListClick(set.lbDevList->topLevelItem(row));
            QStringList idle;
            for (int i = 0; i < set.lvFreq->topLevelItemCount(); ++i)
                idle << set.lvFreq->topLevelItem(i)->text(1);
            offered << idle;
        }
        set.reject();
    });
    multi.btSetFreqClick();
    return offered;
}

int CountColour(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

} // namespace

class TestScanImport : public QObject
{
    Q_OBJECT

private slots:
    void init() { REQUIRE_PRIVATE_NETNS(); }
    void cleanup()
    {
        SetImportPathHook({});
        SetExportPathHook({});
        QVERIFY(!FrmMulitSet && !FrmScanRF && !FrmSetMuiltFreq);
    }

    void exportedScanImportedBackGivesTheSameIdleChannels()
    {
        Bench b;
        QTemporaryDir out;
        QList<QStringList> scanned;
        {
            TFrmMulitSet multi(b.window.get(), b.window->Devices());
            for (int row : { 0, 1 })
                multi.lbDevList->topLevelItem(row)->setCheckState(0, Qt::Checked);
            multi.btStart->click();
            // Level bytes 5..35 (-5..25 dB): channels above the threshold of 10 dB are busy.
            for (int rxid = 1; rxid <= 2; ++rxid) {
                for (int c = 0; c < (rxid == 1 ? 100 : 40); ++c) {
                    const char point[] = { char(c), char(5 + (c * 7 + rxid) % 31), 0, 0 };
                    b.Send(rxid, CMD_SCAN_POINT, QByteArray(point, 4));
                }
                b.Send(rxid, CMD_SCAN_END, QByteArray(1, '\0'));
            }
            QTRY_COMPARE(multi.CompleteScans(), 2);
            scanned = OfferedIdle(multi);
            SetExportPathHook([&](const QString& suggested) { return out.filePath(suggested); });
            multi.cbScanForm->setCurrentIndex(1); // MHz, dBm
            multi.btExportCsv->click();
        }
        QCOMPARE(scanned.size(), 2);
        QVERIFY(scanned[0].size() > 20 && scanned[0].size() < 80);

        TFrmMulitSet multi(b.window.get(), b.window->Devices());
        multi.resize(1089, 535);
        multi.show();
        QVERIFY(QTest::qWaitForWindowExposed(&multi));
        QVERIFY(!multi.btSetFreq->isEnabled() && !multi.Imported().Legend()[0]->isVisible());
        for (int row : { 0, 1 })
            multi.lbDevList->topLevelItem(row)->setCheckState(0, Qt::Checked);
        SetImportPathHook([&] { return out.filePath(QStringLiteral("scan_compatibility_dbm.csv")); });
        multi.btImportScan->click();
        const coordination::CoordinationFile& show = coordination::TheShow().file;
        QCOMPARE(show.scans.size(), size_t(1));
        QCOMPARE(show.scans[0].points.size(), size_t(140));
        QCOMPARE(show.scans[0].name, QStringLiteral("scan_compatibility_dbm.csv"));
        QVERIFY(show.scans[0].dbm && coordination::TheShow().modified);
        QCOMPARE(OfferedIdle(multi), scanned);

        // Drawn in its colour over both bands, named in the legend under the chart.
        QLabel* legend = multi.Imported().Legend()[0];
        QVERIFY(legend->isVisible() && legend->text().endsWith(QStringLiteral("scan_compatibility_dbm.csv")));
        QCOMPARE(multi.GraphDraw1->MinAxisX, 600.0);
        QCOMPARE(multi.GraphDraw1->MaxAxisX, 664.75);
        const QImage shown = multi.grab().toImage();
        const QRect chart(multi.GraphDraw1->mapTo(&multi, QPoint()), multi.GraphDraw1->size());
        QVERIFY(CountColour(shown.copy(chart), ImportedCurves::Colour(0).rgb()) > 200);
        if (!qEnvironmentVariableIsEmpty("TESSARO_KEEP_SHOTS"))
            shown.save(qEnvironmentVariable("TESSARO_KEEP_SHOTS") + QStringLiteral("/compatibility-import.png"));
        QVERIFY(!legend->geometry().translated(legend->parentWidget()->mapTo(&multi, QPoint())).intersects(chart));

        // The import threshold of the settings group: at 0 dBm nothing imported is busy.
        ScanFileSettingsBox settings(nullptr, PublicStruct::Instance().ConfigPath());
        QCOMPARE(settings.seImportThresholdDbm->value(), -90.0);
        settings.seImportThresholdDbm->setValue(0.0);
        IniFile config(PublicStruct::Instance().ConfigPath());
        QVERIFY(config.Load());
        settings.Write(config);
        QVERIFY(config.Save());
        const QList<QStringList> loose = OfferedIdle(multi);
        QCOMPARE(loose[0].size(), 100);
        QCOMPARE(loose[1].size(), 40);
    }

    void refusedFileImportsNothing()
    {
        Bench b;
        QTemporaryDir in;
        TFrmScanRF scan(b.window.get(), b.window->Devices());
        scan.resize(947, 551);
        scan.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scan));
        const QString bad = WriteFile(in, QStringLiteral("bad.csv"), "470.000,-80.0\r\n470.250,-7O.5\r\n");
        SetImportPathHook([&] { return bad; });
        scan.btImportScan->click();
        QCOMPARE(b.boxes.calls.size(), size_t(1));
        QCOMPARE(
            b.boxes.calls[0].message, QStringLiteral("Scan not imported: bad.csv: line 2: not a number: \"-7O.5\""));
        QVERIFY(coordination::TheShow().file.scans.empty() && scan.Imported().Empty());

        // A WSM file with decimal commas, drawn alone (no band chosen) on the receiver's scale.
        const QString wsm = WriteFile(in, QStringLiteral("venue.csv"),
            "Receiver;R1\r\nRFUnit;dBm\r\nFrequency;RF level (%);RF level\r\n470000;;-95,5\r\n470250;;-40\r\n"
            "470500;;-99\r\n");
        SetImportPathHook([&] { return wsm; });
        scan.btImportScan->click();
        QCOMPARE(b.boxes.calls.size(), size_t(1));
        QCOMPARE(coordination::TheShow().file.scans.size(), size_t(1));
        QCOMPARE(coordination::TheShow().file.scans[0].points[0], std::make_pair(470.0, -95.5));
        QCOMPARE(scan.GraphDraw1->MinAxisX, 470.0);
        QCOMPARE(scan.GraphDraw1->MaxAxisX, 470.5);
        const QImage chart = scan.GraphDraw1->grab().toImage();
        QVERIFY(CountColour(chart, ImportedCurves::Colour(0).rgb()) > 100);
        // -40 dBm is level 60 with the default offset: the curve's peak is drawn at that height.
        const QPoint peak = scan.GraphDraw1->PointPosition(470.25, 60);
        QCOMPARE(chart.pixel(peak) & 0xFFFFFF, ImportedCurves::Colour(0).rgb() & 0xFFFFFF);
        QVERIFY(scan.Imported().Legend()[0]->text().endsWith(QStringLiteral("venue.csv")));
        if (!qEnvironmentVariableIsEmpty("TESSARO_KEEP_SHOTS"))
            scan.grab().save(qEnvironmentVariable("TESSARO_KEEP_SHOTS") + QStringLiteral("/scan-import.png"));
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestScanImport)

#include "ScanImportTests.moc"
