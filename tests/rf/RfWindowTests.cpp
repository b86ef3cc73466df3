// The RF history and frequency scan windows inside the real main window: replies through
// HandleFrame, requests to a loopback socket in the receiver's place (inside a private network
// namespace), what the chart shows, the exports, the main window's commands, and the whole road
// against the receiver simulator.
#include "../mainwindow/MainFixture.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "transport/ClassCom.h"
#include "ui/Discovery.h"
#include "ui/rf/FormRFHistory.h"
#include "ui/rf/FormScanRF.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"

#include <NetNamespace.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <RxSim.h>
#include <algorithm>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace fixture;

namespace
{

const QRgb Red = qRgb(255, 0, 0) & 0xFFFFFF;
const QRgb Yellow = qRgb(255, 255, 0) & 0xFFFFFF;

// Receiver 1 at 127.0.0.9 with channels 1 and 2 (band from 640 MHz, channels 0..99) and
// receiver 2 at 127.0.0.10, all connected.
struct Bench {
    Bench()
        : dir({ Record(1, 1), Record(1, 2), Record(2, 1) })
        , window(MakeWindow())
        , receiver("127.0.0.9", ReceiverPort)
    {
        for (int i = 0; i < window->Devices().Count(); ++i)
            window->Devices().At(i)->Connected = true;
    }
    static StoredRecord Record(int rxid, int devIdx)
    {
        StoredRecord r;
        r.ip = rxid == 1 ? QStringLiteral("127.0.0.9") : QStringLiteral("127.0.0.10");
        r.rxid = rxid;
        r.devIdx = devIdx;
        return r;
    }
    void Deliver(int rxid, int devIdx, int cmd, const QByteArray& payload)
    {
        fixture::Deliver(*window, Frame(rxid, devIdx, cmd, payload), Record(rxid, devIdx).ip);
    }
    void Point(int rxid, int channel, int level, int devIdx = 1)
    {
        const char payload[] = { char(channel), char(level), 0, 0 };
        Deliver(rxid, devIdx, CMD_SCAN_POINT, QByteArray(payload, 4));
    }
    // "cmd:payload byte" of each command the receiver got.
    QStringList Received(int waitMs = 400)
    {
        QStringList seen;
        for (const QByteArray& f : receiver.Receive(waitMs))
            seen << QStringLiteral("%1:%2").arg(uint8_t(f[4])).arg(uint8_t(f[6]));
        return seen;
    }
    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    FarEnd receiver;
    MessageBoxes boxes;
};

void CheckRow(QTreeWidget* list, int row)
{
    QTreeWidgetItem* item = list->topLevelItem(row);
    item->setCheckState(0, Qt::Checked);
    emit list->itemClicked(item, 0);
}

// The colour of a chart pixel as the window shows it.
QRgb Shown(QWidget& window, TGraphDraw& chart, QPoint at)
{
    const QImage image = window.grab().toImage();
    return image.pixel(chart.mapTo(&window, at)) & 0xFFFFFF;
}

QString Pick(const char* chinese, const char* english)
{
    return QString::fromUtf8(PublicStruct::Instance().LanguageIndex == 0 ? chinese : english);
}

} // namespace

class TestRfWindows : public QObject
{
    Q_OBJECT

private slots:
    void init() { REQUIRE_PRIVATE_NETNS(); }

    void scanProcedureStepByStep()
    {
        Bench b;
        auto scan = std::make_unique<TFrmScanRF>(b.window.get(), b.window->Devices());
        scan->show();
        QCOMPARE(scan->lbDevList->topLevelItemCount(), 3);

        scan->btStart->click(); // nothing checked
        QCOMPARE(b.boxes.calls.back().message, Pick("请先勾选一个设备!", "Please select device!"));
        QCOMPARE(b.boxes.calls.back().timeout, 3000);
        QVERIFY(b.Received(200).isEmpty());

        CheckRow(scan->lbDevList, 2);
        CheckRow(scan->lbDevList, 0); // the single-check rule
        QCOMPARE(scan->lbDevList->topLevelItem(2)->checkState(0), Qt::Unchecked);
        QCOMPARE(scan->cbStartFreq->currentText(), QStringLiteral("640.000"));
        QCOMPARE(scan->cbEndFreq->currentText(), QStringLiteral("665.000"));
        scan->btStart->click();
        QVERIFY(PublicStruct::Instance().ScanBusy);
        QCOMPARE(b.Received(), QStringList { "7:0" });
        QVERIFY(!scan->btStart->isEnabled() && scan->btStop->isEnabled() && !scan->lbDevList->isEnabled());

        b.Point(1, 4, 120); // capped: 100 shown, 90 plotted
        b.Point(2, 5, 50); // another receiver: ignored
        b.Point(1, 8, 0, 2); // another channel of the same receiver: kept, at -10
        QCOMPARE(scan->Points().PointCount, 2);
        QCOMPARE(scan->lbRFVal->text(), QStringLiteral("0dB"));
        b.Point(1, 6, 120);
        QCOMPARE(scan->lbRFVal->text(), QStringLiteral("100dB"));
        TGraphDraw& chart = *scan->GraphDraw1;
        QCOMPARE(chart.MinAxisX, 640.0);
        QCOMPARE(chart.MaxAxisX, 665.0);
        QCOMPARE(Shown(*scan, chart, chart.PointPosition(641.0, 90)), Red);
        QCOMPARE(Shown(*scan, chart, chart.PointPosition(642.0, -10)), Red);
        QCOMPARE(Shown(*scan, chart, chart.PointPosition(641.5, 90)), Red);

        // At most 1024 points: later ones are ignored, the read-out still follows them.
        for (int i = 3; i < 1030; ++i)
            b.Point(1, i % 100, 40);
        b.Point(1, 50, 77);
        QCOMPARE(scan->Points().PointCount, 1024);
        QCOMPARE(scan->Scan().IgnoredPoints(), 7);
        QCOMPARE(scan->lbRFVal->text(), QStringLiteral("77dB"));

        b.Deliver(2, 1, CMD_SCAN_END, QByteArray(1, 0)); // another receiver's end
        QCoreApplication::processEvents();
        QVERIFY(PublicStruct::Instance().ScanBusy);
        b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
        QTRY_VERIFY(!PublicStruct::Instance().ScanBusy);
        QCOMPARE(b.boxes.calls.back().message, Pick("扫频结束", "Scan RF finish!"));
        QVERIFY(scan->btStart->isEnabled() && !scan->btStop->isEnabled() && scan->lbDevList->isEnabled());

        // Stop sends one stop with one payload byte; closing during a scan sends exactly one more.
        scan->btStart->click();
        QCOMPARE(b.Received(), QStringList { "7:0" });
        scan->btStop->click();
        QVERIFY(!PublicStruct::Instance().ScanBusy);
        const std::vector<QByteArray> stop = b.receiver.Receive(400);
        QCOMPARE(stop.size(), size_t(1));
        QCOMPARE(stop[0].size(), 8);
        QCOMPARE(uint8_t(stop[0][4]), uint8_t(CMD_SCAN_STOP));
        scan->btStart->click();
        QCOMPARE(b.Received(), QStringList { "7:0" });
        QVERIFY(PublicStruct::Instance().ScanBusy);
        scan.reset();
        QCOMPARE(b.Received(), QStringList { "9:0" });
        QVERIFY(!PublicStruct::Instance().ScanBusy);
        QVERIFY(!FrmScanRF);
    }

    // A start that could not be sent says why and leaves the window idle, polling not paused.
    void scanStartThatCannotBeSent()
    {
        Bench b;
        TFrmScanRF scan(b.window.get(), b.window->Devices());
        CheckRow(scan.lbDevList, 0);
        PublicStruct::Instance().ConnectType = 1;
        cnComm::Instance().Close();
        scan.btStart->click();
        QCOMPARE(b.boxes.calls.back().message, SendFailureText(0)); // "... the serial port is not open!"
        PublicStruct::Instance().ConnectType = 0;
        QVERIFY(!PublicStruct::Instance().ScanBusy);
        QVERIFY(scan.btStart->isEnabled() && !scan.btStop->isEnabled());
    }

    // Ends from a scan that is not running open no box, however many come and however they
    // nest; points after Stop are not kept; a receiver that falls silent ends the scan itself.
    void erraticRepliesAfterTheScan()
    {
        Bench b;
        TFrmScanRF scan(b.window.get(), b.window->Devices());
        CheckRow(scan.lbDevList, 0);
        scan.btStart->click();
        b.Point(1, 4, 40);
        int depth = 0;
        int deepest = 0;
        b.boxes.whileShown = [&] {
            deepest = std::max(deepest, ++depth);
            if (depth == 1)
                for (int i = 0; i < 20; ++i) {
                    b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
                    QCoreApplication::processEvents();
                }
            --depth;
        };
        for (int i = 0; i < 5; ++i)
            b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
        QTRY_COMPARE(b.boxes.calls.size(), size_t(1));
        for (int i = 0; i < 20; ++i)
            b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
        QCoreApplication::processEvents();
        QCOMPARE(b.boxes.calls.size(), size_t(1));
        QCOMPARE(deepest, 1);

        scan.btStart->click();
        b.Point(1, 5, 40);
        scan.btStop->click();
        for (int i = 0; i < 50; ++i)
            b.Point(1, i, 90);
        b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
        QCoreApplication::processEvents();
        QCOMPARE(scan.Points().PointCount, 1);
        QCOMPARE(b.boxes.calls.size(), size_t(1));
        b.Received();

        // Silence: the scan ends as Stop ends it, points kept, polling no longer paused.
        PublicStruct::Instance().ScanQuietSeconds = 1;
        scan.btStart->click();
        b.Point(1, 7, 40);
        b.Point(1, 8, 41);
        QCOMPARE(b.Received(), QStringList { "7:0" });
        QTRY_VERIFY_WITH_TIMEOUT(!PublicStruct::Instance().ScanBusy, 3000);
        QCOMPARE(b.boxes.calls.back().message, QStringLiteral("Scan ended: the receiver stopped answering"));
        QCOMPARE(b.Received(), QStringList { "9:0" });
        QCOMPARE(scan.Points().PointCount, 2);
        QVERIFY(scan.btStart->isEnabled() && !scan.btStop->isEnabled());
        PublicStruct::Instance().ScanQuietSeconds = 5;
    }

    void maxHoldAndExports()
    {
        Bench b;
        TFrmScanRF scan(b.window.get(), b.window->Devices());
        scan.show();
        CheckRow(scan.lbDevList, 0);
        scan.cbMaxHold->click();
        scan.btStart->click();
        b.Point(1, 2, 45);
        b.Point(1, 1, 30);
        b.Point(1, 2, 90); // scanned twice: the latest level counts
        b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
        QTRY_VERIFY(!PublicStruct::Instance().ScanBusy);

        QTemporaryDir out;
        QString asked;
        SetExportPathHook([&](const QString& suggested) {
            asked = suggested;
            return out.filePath(suggested);
        });
        scan.btExportCsv->click();
        QCOMPARE(asked, QStringLiteral("scan_1_1.csv"));
        QFile csv(out.filePath(asked));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("640.250,20\n640.500,80\n"));
        // The same scan in dBm for coordination tools, with the default offset of -100 dB.
        QVERIFY(scan.cbScanForm->isVisible());
        scan.cbScanForm->setCurrentIndex(1);
        scan.btExportCsv->click();
        QCOMPARE(asked, QStringLiteral("scan_1_1_dbm.csv"));
        QFile dbm(out.filePath(asked));
        QVERIFY(dbm.open(QIODevice::ReadOnly));
        QCOMPARE(dbm.readAll(), QByteArray("640.250,-80.0\n640.500,-20.0\n"));
        scan.cbScanForm->setCurrentIndex(0);

        // A second scan of the same channel: the held maximum stays as the yellow curve.
        scan.btStart->click();
        b.Point(1, 1, 10);
        b.Point(1, 2, 10);
        TGraphDraw& chart = *scan.GraphDraw1;
        QCOMPARE(Shown(scan, chart, chart.PointPosition(640.5, 80)), Yellow);
        QCOMPARE(Shown(scan, chart, chart.PointPosition(640.5, 0)), Red);
        scan.cbMaxHold->click(); // off: the held curve goes
        QVERIFY(Shown(scan, chart, chart.PointPosition(640.5, 80)) != Yellow);

        scan.btSavePicture->click();
        QImage saved(out.filePath(QStringLiteral("scan.png")));
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), chart.GetDrawBmp());

        // A path that cannot be written says so with the reason; nothing is reported saved.
        SetExportPathHook([&](const QString&) { return out.filePath(QStringLiteral("missing/dir/scan.csv")); });
        const size_t before = b.boxes.calls.size();
        scan.btExportCsv->click();
        QCOMPARE(b.boxes.calls.size(), before + 1);
        QVERIFY2(b.boxes.calls.back().message.contains(QStringLiteral("missing/dir/scan.csv")),
            qPrintable(b.boxes.calls.back().message));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("missing/dir/scan.csv"))));
        SetExportPathHook({});
    }

    // A point outside the device's band stays out of the CSV; a full device reports the failure
    // (a node of its own, so that the machine's /dev/full is never at stake).
    void exportsOnlyWhatTheBandHoldsAndOnlyWhenWritten()
    {
        Bench b;
        TFrmScanRF scan(b.window.get(), b.window->Devices());
        CheckRow(scan.lbDevList, 0);
        scan.btStart->click();
        b.Point(1, 99, 30);
        b.Point(1, 100, 40); // channels 0..99 only
        b.Point(1, 250, 50);
        b.Deliver(1, 1, CMD_SCAN_END, QByteArray(1, 0));
        QTRY_VERIFY(!PublicStruct::Instance().ScanBusy);
        QTemporaryDir out;
        SetExportPathHook([&](const QString& suggested) { return out.filePath(suggested); });
        scan.btExportCsv->click();
        QFile csv(out.filePath(QStringLiteral("scan_1_1.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("664.750,20\n"));

        const QString full = out.filePath(QStringLiteral("full"));
        if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            QSKIP("no device node can be made here");
        SetExportPathHook([&](const QString&) { return full; });
        scan.btExportCsv->click();
        SetExportPathHook({});
        QVERIFY2(b.boxes.calls.back().message.startsWith(QStringLiteral("Could not save")),
            qPrintable(b.boxes.calls.back().message));
        QVERIFY(!QFileInfo(full).isFile());
    }

    void historyRecordsPagesAndDropouts()
    {
        Bench b;
        auto history = std::make_unique<TFrmRFHistory>(b.window.get(), b.window->Devices());
        history->show();
        history->btStart->click();
        QCOMPARE(b.boxes.calls.back().message, Pick("请先勾选一个设备!", "Please select device!"));
        QCOMPARE(b.boxes.calls.back().timeout, 3000);

        CheckRow(history->lbDevList, 1); // 1:2
        history->btStart->click();
        QVERIFY(PublicStruct::Instance().RFHistoryBusy);
        QTest::qWait(250);
        const QStringList polls = b.Received(300);
        QVERIFY2(polls.contains(QStringLiteral("3:0")), qPrintable(polls.join(' ')));

        // Status replies go to the window while it records; another channel's adds nothing.
        const QByteArray strong = StatusPayload(3, 3, 40, 130, 0, 4, 40, 1); // A 90, B -10, SQ 40
        const QByteArray weak = StatusPayload(3, 3, 0, 30, 20, 4, 40, 1); // A 20, B 10: a dropout
        b.Deliver(1, 1, CMD_STATUS, strong);
        QCOMPARE(history->Record().SampleCount(), 0);
        b.Deliver(1, 2, CMD_STATUS, strong);
        b.Deliver(1, 2, CMD_STATUS, weak);
        QCOMPARE(history->Record().SampleCount(), 2);
        QCOMPARE(history->Record().LevelA(0), 90);
        QCOMPARE(history->Record().LevelB(0), -10);
        QCOMPARE(b.window->Devices().At(1)->SQ, -1); // the main window did not take them
        // While recording the mouse leaves the read-outs alone.
        history->Timer1Timer();
        history->Timer1Timer();
        const QString live = history->lbRF1->text();
        QTest::mouseMove(history->GraphDraw1, QPoint(300, 100));
        QTest::mouseMove(history->GraphDraw1, QPoint(310, 100));
        QVERIFY(history->GraphDraw1->TrackShown()); // the chart did follow the mouse
        QCOMPARE(history->lbRF1->text(), live);

        // 601 samples: two pages, page 2 shows samples 1..600 at X 0.1 .. 60.0.
        for (int i = 2; i < 601; ++i)
            history->OnStatus(1, 2, reinterpret_cast<const uint8_t*>((i % 100 < 3 ? weak : strong).constData()));
        history->btStopClick();
        QVERIFY(!PublicStruct::Instance().RFHistoryBusy);
        QVERIFY(history->ScrollBar1->isVisible());
        QCOMPARE(history->ScrollBar1->maximum(), 2);
        history->ScrollBar1->setValue(2);
        const TGraphData& a = history->GraphDraw1->Graph(0);
        QCOMPARE(a.Count(), 600);
        QCOMPARE(a.X(0), 0.1);
        QCOMPARE(a.X(599), 60.0);
        QCOMPARE(history->lbDropouts->text(), Pick("信号中断: %1", "Dropouts: %1").arg(18));

        // Page 1 holds samples 100..102, dropouts: their columns are shaded, the curves on top.
        history->ScrollBar1->setValue(1);
        TGraphDraw& chart = *history->GraphDraw1;
        QCOMPARE(Shown(*history, chart, chart.PointPosition(10.1, 60)), TFrmRFHistory::DropoutShade.rgb() & 0xFFFFFF);
        QCOMPARE(Shown(*history, chart, chart.PointPosition(10.1, 20)), Red);
        QVERIFY(
            Shown(*history, chart, chart.PointPosition(35.5, 60)) != (TFrmRFHistory::DropoutShade.rgb() & 0xFFFFFF));

        // The mouse read-out writes the tracked curve's value after Stop.
        QTest::mouseMove(&chart, QPoint(chart.PointPosition(35.0, 90).x(), 100));
        QTRY_VERIFY(chart.TrackShown());
        QVERIFY2(QStringList({ "89 %", "90 %" }).contains(history->lbRF1->text()), qPrintable(history->lbRF1->text()));

        // CSV: the header and every kept sample, oldest first.
        QTemporaryDir out;
        SetExportPathHook([&](const QString& suggested) { return out.filePath(suggested); });
        history->btExportCsv->click();
        QFile csv(out.filePath(QStringLiteral("rf_history_1_2.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 603);
        QCOMPARE(lines[0], QByteArray("time_s,rf_a_db,rf_b_db,squelch"));
        QCOMPARE(lines[1], QByteArray("0.0,90,-10,40"));
        QCOMPARE(lines[2], QByteArray("0.1,20,10,40"));
        SetExportPathHook({});

        // Recording again, then closing: the main window's polling may resume.
        history->btStart->click();
        QVERIFY(PublicStruct::Instance().RFHistoryBusy);
        history.reset();
        QVERIFY(!PublicStruct::Instance().RFHistoryBusy);
        b.Deliver(1, 2, CMD_STATUS, strong);
        QCOMPARE(b.window->Devices().At(1)->SQ, 4);
    }

    void historyRingKeeps35999()
    {
        RfHistoryRing ring;
        // A at i % 100 - 10 dB against a squelch of 50: every sample with i % 100 below 60 drops out.
        int dropouts = 0;
        for (int i = 0; i < 36005; ++i) {
            ring.Add(static_cast<uint8_t>(i % 100), 0, 50);
            dropouts += i >= 6 && i % 100 < 60 ? 1 : 0;
        }
        QCOMPARE(ring.SampleCount(), 35999);
        QCOMPARE(ring.WriteIndex(), 5);
        QCOMPARE(ring.OldestSlot(), 6);
        QCOMPARE(ring.LevelA(ring.SlotOf(0)), 6 % 100 - 10); // sample 6 is the oldest kept
        QCOMPARE(ring.PageCount(), 60);
        QCOMPARE(ring.PageStart(60), 35999 - 600);
        QCOMPARE(ring.DropoutCount(), dropouts);

        // 600 samples fit one page (no page selector); 601 make two, the second from sample 1.
        ring.Reset();
        for (int i = 0; i < 600; ++i)
            ring.Add(50, 50, 0);
        QCOMPARE(ring.PageCount(), 0);
        ring.Add(50, 50, 0);
        QCOMPARE(ring.PageCount(), 2);
        QCOMPARE(ring.PageStart(2), 1);
    }

    // A scan of a simulated band shows its busy channels (and the receiver's own) as peaks at their
    // frequencies, with the sweep sending more points than a scan keeps; a short history record
    // holds samples at about 10 per second.
    void againstTheSimulator()
    {
        testsupport::RxSim sim;
        QVERIFY2(sim.Start({ "--rx", "rxid=1,ip=127.0.0.2,channels=2,busy=30/55/80", "--scan-points", "1100",
                     "--scan-interval", "2" }),
            qPrintable(sim.Error()));
        const testsupport::RxSimReceiver& rx = sim.Receivers()[0];
        QCOMPARE(rx.Busy, QList<int>({ 30, 55, 80 }));
        StoredRecord stored;
        stored.ip = rx.Ip;
        stored.rxid = rx.Rxid;
        ExeDir dir({ stored });
        MessageBoxes boxes;
        auto window = MakeWindow(LocalUdpPort, false);
        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(window->Devices().At(0)->Connected, 5000);

        TFrmScanRF scan(window.get(), window->Devices());
        scan.show();
        CheckRow(scan.lbDevList, 0);
        scan.btStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(!PublicStruct::Instance().ScanBusy, 30000);
        QCOMPARE(scan.Points().PointCount, 1024);
        QCOMPARE(scan.Scan().IgnoredPoints(), 76);

        // The highest red pixel in each channel's column: the peaks stand above 25 dB, the
        // channels two or more away from any peak stay below 10 dB.
        TGraphDraw& chart = *scan.GraphDraw1;
        const QImage shown = scan.grab().toImage();
        auto topOfCurve = [&](int channel) {
            const int x = chart.PointPosition(640.0 + channel * 0.25, 0).x();
            for (int y = 20; y < chart.height() - 25; ++y)
                if ((shown.pixel(chart.mapTo(&scan, QPoint(x, y))) & 0xFFFFFF) == Red)
                    return chart.height() - 25 - y;
            return -1;
        };
        const QList<int> peaks = { 3, 10, 30, 55, 80 }; // own channels 3 and 10, then the busy ones
        const int high = chart.height() - 25 - chart.PointPosition(640, 25).y();
        const int low = chart.height() - 25 - chart.PointPosition(640, 10).y();
        for (int channel = 1; channel < 99; ++channel) {
            const bool peak = peaks.contains(channel);
            const bool nearPeak
                = std::any_of(peaks.begin(), peaks.end(), [&](int p) { return std::abs(p - channel) < 2; });
            if (peak)
                QVERIFY2(topOfCurve(channel) > high, qPrintable(QString::number(channel)));
            else if (!nearPeak)
                QVERIFY2(topOfCurve(channel) < low, qPrintable(QString::number(channel)));
        }

        TFrmRFHistory history(window.get(), window->Devices());
        history.show();
        CheckRow(history.lbDevList, 0);
        QElapsedTimer clock;
        clock.start();
        history.btStart->click();
        QTest::qWait(3000);
        history.btStop->click();
        const double expected = clock.elapsed() / 100.0;
        const int samples = history.Record().SampleCount();
        QVERIFY2(samples >= expected * 0.5 && samples <= expected + 2,
            qPrintable(QStringLiteral("%1 samples in %2 ms").arg(samples).arg(clock.elapsed())));
    }

    void commandsOpenTheWindows()
    {
        Bench b;
        b.window->show();
        struct Entry {
            const char* action;
            bool history;
        };
        for (const Entry& e :
            { Entry { "tbRFHistory", true }, Entry { "mnRFHistory", true }, Entry { "mnRFHistory2", true },
                Entry { "tbScanRF", false }, Entry { "mnFreqScan", false }, Entry { "mnScanFreq", false } }) {
            bool opened = false;
            QTimer::singleShot(0, [&] {
                QDialog* open = e.history ? static_cast<QDialog*>(FrmRFHistory) : static_cast<QDialog*>(FrmScanRF);
                auto* list = open ? open->findChild<QTreeWidget*>(QStringLiteral("lbDevList")) : nullptr;
                opened = open && open->isVisible() && list && list->topLevelItemCount() == 3;
                if (open)
                    open->reject();
            });
            QAction* action = b.window->findChild<QAction*>(QString::fromLatin1(e.action));
            QVERIFY2(action, e.action);
            action->trigger();
            QVERIFY2(opened, e.action);
            QVERIFY(!FrmRFHistory && !FrmScanRF);
        }
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestRfWindows)

#include "RfWindowTests.moc"
