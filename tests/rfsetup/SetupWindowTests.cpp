// The single band and compatibility setup windows over the main window: the scan sequence and
// what the chart and legend show, the hand-over to the idle frequency windows, the main window's
// commands, and a compatibility setup with Assign all against the receiver simulator.
#include "../mainwindow/MainFixture.h"

#include "data/IniFile.h"
#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "ui/rf/FormMulitSet.h"
#include "ui/rf/FormSetFreq.h"
#include "ui/rf/FormSetMuiltFreq.h"
#include "ui/rf/FormSingleSet.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"

#include <NetNamespace.h>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <RxSim.h>
#include <functional>

using namespace fixture;

namespace
{

// Receivers 1..n on one line at 127.0.0.9: receiver 1 on 640 MHz (100 channels), 2 on 600 MHz
// (40 channels), 3 on 700 MHz (20 channels), the others like receiver 1.
struct Bench {
    explicit Bench(int records = 3)
        : dir(Records(records))
        , window(MakeWindow())
        , receiver("127.0.0.9", ReceiverPort)
    {
        for (int i = 0; i < window->Devices().Count(); ++i)
            window->Devices().At(i)->Connected = true;
    }
    static QList<StoredRecord> Records(int n)
    {
        QList<StoredRecord> records;
        for (int rxid = 1; rxid <= n; ++rxid) {
            StoredRecord r;
            r.ip = QStringLiteral("127.0.0.9");
            r.rxid = rxid;
            r.startFreq = rxid == 2 ? 600.0 : rxid == 3 ? 700.0 : 640.0;
            r.maxChannel = rxid == 2 ? 40 : rxid == 3 ? 20 : 100;
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
    void Point(int rxid, int channel, int level)
    {
        const char payload[] = { char(channel), char(level), 0, 0 };
        Send(rxid, CMD_SCAN_POINT, QByteArray(payload, 4));
    }
    void End(int rxid) { Send(rxid, CMD_SCAN_END, QByteArray(1, '\0')); }
    // "rxid:cmd" of each command that went out.
    QStringList Received(int waitMs = 400)
    {
        QStringList seen;
        for (const QByteArray& f : receiver.Receive(waitMs))
            seen << QStringLiteral("%1:%2").arg(uint8_t(f[1])).arg(uint8_t(f[4]));
        return seen;
    }
    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    FarEnd receiver;
    MessageBoxes boxes;
};

void Check(QTreeWidget* list, std::initializer_list<int> rows)
{
    for (int row : rows)
        list->topLevelItem(row)->setCheckState(0, Qt::Checked);
}

int CountColour(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

} // namespace

class TestSetupWindows : public QObject
{
    Q_OBJECT

private slots:
    void init() { REQUIRE_PRIVATE_NETNS(); }
    void cleanup() { QVERIFY(!FrmSingleSet && !FrmMulitSet && !FrmSetFreq && !FrmSetMuiltFreq); }

    void singleSetScanThenAssign()
    {
        Bench b;
        auto single = std::make_unique<TFrmSingleSet>(b.window.get(), b.window->Devices());
        single->show();
        QVERIFY(single->btSetFreq->isEnabled());
        bool opened = false;
        WhenModal<TFrmSetFreq>([&](TFrmSetFreq& set) {
            opened = true;
            set.reject();
        });
        single->btSetFreqClick(); // before any scan: nothing to offer
        QVERIFY(!opened);

        Check(single->lbDevList, { 0 });
        single->btStart->click();
        QVERIFY(!single->btSetFreq->isEnabled());
        QCOMPARE(b.Received(), QStringList { "1:7" });
        b.End(1); // a scan without points
        QTRY_COMPARE(b.boxes.calls.size(), size_t(1));
        QVERIFY(single->btSetFreq->isEnabled() && !PublicStruct::Instance().ScanBusy);

        int offered = 0;
        single->btSetFreqClick(); // WhenModal above is still armed: it cancels
        QVERIFY(opened && single->isVisible());
        WhenModal<TFrmSetFreq>([&](TFrmSetFreq& set) {
            offered = set.lvFreq->topLevelItemCount();
            set.lvFreq->setCurrentItem(set.lvFreq->topLevelItem(3));
            set.btSetClick();
            b.Send(1, CMD_SET_CHANNEL_ACK, QByteArray(1, '\3'));
        });
        single->btSetFreqClick();
        QCOMPARE(offered, 100);
        QCOMPARE(b.Received(), QStringList { "1:11" });
        QCOMPARE(b.boxes.calls.back().message, QStringLiteral("Set success!"));
        QVERIFY(!single->isVisible() && single->result() == QDialog::Accepted);
    }

    // Points and ends that come after the scan ended change neither the idle list nor the boxes.
    void lateRepliesAfterTheEnd()
    {
        Bench b;
        auto single = std::make_unique<TFrmSingleSet>(b.window.get(), b.window->Devices());
        Check(single->lbDevList, { 0 });
        single->btStart->click();
        b.End(1);
        QTRY_COMPARE(b.boxes.calls.size(), size_t(1));
        for (int c = 0; c < 50; ++c)
            b.Point(1, c * 2, 90);
        b.End(1);
        QCOMPARE(single->Points().PointCount, 0);
        QCOMPARE(b.boxes.calls.size(), size_t(1));
        int offered = 0;
        WhenModal<TFrmSetFreq>([&](TFrmSetFreq& set) {
            offered = set.lvFreq->topLevelItemCount();
            set.reject();
        });
        single->btSetFreqClick();
        QCOMPARE(offered, 100);
    }

    // Three rows: three scans in row order, each curve in its colour with its legend, the X range
    // over all three bands, and the assignment gets three scans.
    void threeScansDrawnTogether()
    {
        Bench b;
        auto multi = std::make_unique<TFrmMulitSet>(b.window.get(), b.window->Devices());
        multi->resize(1089, 535);
        multi->show();
        QVERIFY(QTest::qWaitForWindowExposed(multi.get()));
        QVERIFY(multi->lbDevCol[0]->isVisible() && multi->lbDev[0]->text().isEmpty() && !multi->lbDev[1]->isVisible());
        Check(multi->lbDevList, { 2, 0, 1 });
        multi->btStart->click();
        for (int rxid = 1; rxid <= 3; ++rxid) {
            QCOMPARE(b.Received(), QStringList { QStringLiteral("%1:7").arg(rxid) });
            for (int c = 0; c < 20; ++c)
                b.Point(rxid, c, c % 2 ? 80 : 30);
            b.End(rxid);
        }
        QTRY_COMPARE(b.boxes.calls.size(), size_t(1));
        QCOMPARE(b.boxes.calls[0].message, QStringLiteral("Scan RF finish!"));
        QCOMPARE(multi->CompleteScans(), 3);
        QVERIFY(multi->btSetFreq->isEnabled());
        QCOMPARE(multi->MinFreq(), 600.0);
        QCOMPARE(multi->MaxFreq(), 705.0);
        QCOMPARE(multi->GraphDraw1->GraphCount(), 3);

        const QImage shown = multi->grab().toImage();
        const QRect chart(multi->GraphDraw1->mapTo(multi.get(), QPoint()), multi->GraphDraw1->size());
        for (int i = 0; i < 3; ++i) {
            const QColor colour = TFrmMulitSet::SeriesColour(i);
            QVERIFY2(CountColour(shown.copy(chart), colour.rgb()) > 50, qPrintable(colour.name()));
            QCOMPARE(multi->lbDev[static_cast<size_t>(i)]->text(), QStringLiteral("%1:1").arg(i + 1));
            const QRect legend(multi->lbDevCol[static_cast<size_t>(i)]->mapTo(multi.get(), QPoint()),
                multi->lbDevCol[static_cast<size_t>(i)]->size());
            QVERIFY(CountColour(shown.copy(legend), colour.rgb()) > 10);
            QVERIFY(!legend.intersects(chart)); // beside the curves, never over them
        }
        QVERIFY(multi->lbNotScanned->text().isEmpty());

        // The pointer just below a point of the second curve names its device, frequency and level.
        const TGraphData& second = multi->GraphDraw1->Graph(1);
        const QPoint onCurve = multi->GraphDraw1->PointPosition(second.X(5), second.Y(5)) + QPoint(0, 3);
        QMouseEvent move(QEvent::MouseMove, onCurve, multi->GraphDraw1->mapToGlobal(onCurve), Qt::NoButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(multi->GraphDraw1, &move);
        QCOMPARE(multi->GraphDraw1->toolTip(),
            QStringLiteral("2:1  %1 MHz  70 dB").arg(second.X(5), 0, 'f', 3)); // level byte 80, less 10
        QCOMPARE(TFrmMulitSet::SeriesColour(1), QColor(0, 255, 0));

        int listed = -1;
        WhenModal<TFrmSetMuiltFreq>([&](TFrmSetMuiltFreq& set) {
            listed = set.lbDevList->topLevelItemCount();
            set.reject();
        });
        multi->btSetFreqClick();
        QCOMPARE(listed, 3);
        QVERIFY(multi->isVisible()); // cancelled: nothing was assigned

        // Export CSV in dBm: all three scans in one file, ascending, with the offset of Config.ini.
        QVERIFY(IniWriteDouble(PublicStruct::Instance().ConfigPath(), QStringLiteral("Coordination"),
            QStringLiteral("ScanDbmOffset"), -95.5));
        QTemporaryDir out;
        SetExportPathHook([&](const QString& suggested) { return out.filePath(suggested); });
        multi->cbScanForm->setCurrentIndex(1);
        multi->btExportCsv->click();
        SetExportPathHook({});
        QFile csv(out.filePath(QStringLiteral("scan_compatibility_dbm.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 61);
        QCOMPARE(lines[0], QByteArray("600.000,-75.5"));
        QCOMPARE(lines[21], QByteArray("640.250,-25.5"));
        QCOMPARE(lines[59], QByteArray("704.750,-25.5"));

        // A new run hides the last run's legends and removes its curves.
        Check(multi->lbDevList, {});
        multi->btStart->click();
        QCOMPARE(multi->GraphDraw1->GraphCount(), 1);
        QVERIFY(multi->lbDev[0]->isVisible() && !multi->lbDev[1]->isVisible() && !multi->lbDev[2]->isVisible());
        multi->btStop->click();
    }

    // Twelve rows give ten scans and twelve listed devices; Stop during the second leaves one
    // complete scan; points after the sequence are ignored and a block holds 1024 points.
    void tenScansAtMostAndStop()
    {
        Bench b(12);
        auto multi = std::make_unique<TFrmMulitSet>(b.window.get(), b.window->Devices());
        multi->show();
        Check(multi->lbDevList, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 });
        multi->btStart->click();
        for (int i = 0; i < 1030; ++i)
            b.Point(1, i % 100, 20);
        QCOMPARE(multi->Scan(0).Points.PointCount, 1024);
        for (int rxid = 1; rxid <= 10; ++rxid)
            b.End(rxid);
        QTRY_COMPARE(b.boxes.calls.size(), size_t(1));
        QCOMPARE(multi->CompleteScans(), 10);
        QCOMPARE(multi->GraphDraw1->GraphCount(), 10);
        QVERIFY(multi->lbDev[9]->isVisible());
        QCOMPARE(
            multi->lbNotScanned->text(), QStringLiteral("2 devices not scanned: at most ten per run (11:1, 12:1)"));
        QVERIFY(multi->GraphDraw1->Graph(8).Dashed && !multi->GraphDraw1->Graph(6).Dashed);
        b.Point(10, 3, 50); // after the sequence
        b.End(10); // repeated
        QCOMPARE(multi->Scan(9).Points.PointCount, 0);
        QCOMPARE(multi->CompleteScans(), 10);
        int listed = -1;
        WhenModal<TFrmSetMuiltFreq>([&](TFrmSetMuiltFreq& set) {
            listed = set.lbDevList->topLevelItemCount();
            set.reject();
        });
        multi->btSetFreqClick();
        QCOMPARE(listed, 12);

        QCOMPARE(b.Received().size(), 10); // one start per scan
        multi->btStart->click();
        b.End(1);
        b.Point(2, 5, 50);
        multi->btStop->click();
        QVERIFY(!multi->btSetFreq->isEnabled() && !PublicStruct::Instance().ScanBusy);
        b.Point(2, 6, 50); // after Stop
        QCOMPARE(multi->Scan(1).Points.PointCount, 1);
        b.End(2);
        QTRY_COMPARE(b.boxes.calls.size(), size_t(2));
        b.End(2);
        QCOMPARE(multi->CompleteScans(), 1);
        QCOMPARE(b.Received(), (QStringList { "1:7", "2:7", "2:9" })); // nothing started after the end
        QVERIFY(multi->btSetFreq->isEnabled());
    }

    void mainWindowCommandsOpenTheWindows()
    {
        Bench b;
        QStringList opened;
        for (const char* name : { "tbSingleSet", "mnSingleSetup", "tbCompSetup", "mnCompSetup" }) {
            WhenModal<QDialog>([&](QDialog& window) {
                opened << QString::fromLatin1(window.metaObject()->className());
                window.reject();
            });
            b.window->findChild<QAction*>(QString::fromLatin1(name))->trigger();
        }
        QCOMPARE(opened, (QStringList { "TFrmSingleSet", "TFrmSingleSet", "TFrmMulitSet", "TFrmMulitSet" }));
    }

    // The simulator's receivers: scanned together, Assign all at the three-transmitter level; the
    // channel that never acknowledges is reported failed, the others reach the main window's rows.
    void compatibilitySetupAgainstTheSimulator()
    {
        testsupport::RxSim sim;
        QVERIFY2(sim.Start({ "--scan-interval", "3", "--no-set-ack", "2:1" }), qPrintable(sim.Error()));
        QList<StoredRecord> records;
        for (auto [rxid, devIdx] : { std::pair { 1, 1 }, { 1, 2 }, { 2, 1 }, { 2, 2 } }) {
            StoredRecord r;
            r.ip = sim.Receiver(rxid)->Ip;
            r.rxid = rxid;
            r.devIdx = devIdx;
            records << r;
        }
        ExeDir dir(records);
        auto window = MakeWindow(0, false);
        MessageBoxes boxes;
        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(window->Devices().begin(), window->Devices().end(),
                                     [](const auto& r) { return r->Connected && r->Freq > 600; }),
            5000);

        TFrmMulitSet multi(window.get(), window->Devices());
        multi.show();
        Check(multi.lbDevList, { 0, 1, 2, 3 });
        multi.btStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(multi.btSetFreq->isEnabled(), 10000);
        QCOMPARE(multi.CompleteScans(), 4);

        QStringList proposed;
        WhenModal<TFrmSetMuiltFreq>([&](TFrmSetMuiltFreq& set) {
            set.cbIntermod->setCurrentIndex(3);
            set.btAssignAllClick();
            QTRY_VERIFY_WITH_TIMEOUT(!set.Assigning(), 15000);
            for (int i = 0; i < set.lbDevList->topLevelItemCount(); ++i)
                proposed << set.lbDevList->topLevelItem(i)->text(TFrmSetMuiltFreq::ColProposedFreq);
            set.reject();
        });
        multi.btSetFreqClick();
        QVERIFY(!multi.isVisible()); // at least one was confirmed
        QCOMPARE(proposed.size(), 4);
        QVERIFY2(boxes.calls.back().message.contains(QStringLiteral("Set fail: 2:1 ")),
            qPrintable(boxes.calls.back().message));
        QVERIFY(!PublicStruct::Instance().ScanBusy);
        for (int row : { 0, 1, 3 })
            QTRY_COMPARE_WITH_TIMEOUT(
                Row(*window, row)->text(TFrmMain::ColFreq) + QStringLiteral("Mhz"), proposed[row], 5000);
        QVERIFY(Row(*window, 2)->text(TFrmMain::ColFreq) + QStringLiteral("Mhz") != proposed[2]
            || proposed[2] == QStringLiteral("none"));
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestSetupWindows)

#include "SetupWindowTests.moc"
