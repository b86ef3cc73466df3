// The idle frequency windows against a loopback socket in each receiver's place: the lists they
// build, the Set exchange and its outcomes, and Assign all with a receiver that never answers.
#include "../mainwindow/MainFixture.h"

#include "data/Device.h"
#include "data/PublicStruct.h"
#include "data/ReplySource.h"
#include "protocol/Commands.h"
#include "ui/FormDebug.h"
#include "ui/rf/FormSetFreq.h"
#include "ui/rf/FormSetMuiltFreq.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace fixture;

namespace
{

// Two receivers: 7:2 on 640.000 MHz from channel 4 (100 channels), 8:1 on 660.000 from
// channel 0 (40 channels), and 9:1 on the first one's band.
QList<StoredRecord> Records()
{
    return { { "127.0.0.9", 7, 2, "A", 4, 4, 100, 640.0, 640.0, "Lead" },
        { "127.0.0.10", 8, 1, "B", 0, 0, 40, 660.0, 660.0, "Choir" },
        { "127.0.0.11", 9, 1, "A", 10, 4, 100, 640.0, 641.5, "Spare" } };
}

struct Scan {
    std::vector<int32_t> channels;
    std::vector<int32_t> levels;
    ScanView View() const { return { channels, levels }; }
};

QStringList Column(const QTreeWidget& list, int column)
{
    QStringList cells;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        cells << list.topLevelItem(i)->text(column);
    return cells;
}

// The "RXID:DevIdx" of the rows the list shows highlighted, read from its pixels at the right
// end of each row, where no text is drawn.
QStringList HighlightedRows(QTreeWidget& list)
{
    const QImage shown = list.viewport()->grab().toImage();
    const QColor base = list.palette().color(QPalette::Base);
    QStringList rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QRect row = list.visualItemRect(list.topLevelItem(i));
        if (shown.pixelColor(list.viewport()->width() - 3, row.center().y()) != base)
            rows << Column(list, 0)[i] + QLatin1Char(':') + Column(list, 1)[i];
    }
    return rows;
}

void Select(QTreeWidget& list, int row)
{
    list.setCurrentItem(list.topLevelItem(row));
}

struct Bench {
    Bench()
        : dir(Records())
        , window(MakeWindow())
        , lead("127.0.0.9", ReceiverPort)
        , choir("127.0.0.10", ReceiverPort)
    {
    }
    const TTMICListObj& record(int i) { return *window->Devices().At(i); }
    void Ack(int rxid, int devIdx, int cmd = CMD_SET_CHANNEL_ACK)
    {
        const TTMICListObj* device = FindDevice(window->Devices(), rxid, devIdx);
        Deliver(*window, Frame(rxid, devIdx, cmd, QByteArray(1, '\x05')), device ? device->IP : QString());
        QCoreApplication::processEvents();
    }
    // "cmd:byte" of each command a receiver got.
    static QStringList Received(FarEnd& end, int waitMs = 400)
    {
        QStringList seen;
        for (const QByteArray& f : end.Receive(waitMs))
            seen << QStringLiteral("%1:%2").arg(static_cast<uint8_t>(f[4])).arg(static_cast<uint8_t>(f[6]));
        return seen;
    }
    QString LastShown() const { return boxes.calls.empty() ? QString() : boxes.calls.back().message; }

    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    FarEnd lead;
    FarEnd choir;
    MessageBoxes boxes;
};

// The compatibility window's list: RXID, DevIdx, Name, IP, every row checked but the last.
std::unique_ptr<QTreeWidget> SourceList(const QList<QStringList>& rows)
{
    auto list = std::make_unique<QTreeWidget>();
    list->setColumnCount(4);
    for (const QStringList& cells : rows) {
        auto* row = new QTreeWidgetItem(list.get(), cells);
        row->setCheckState(0, Qt::Checked);
    }
    list->topLevelItem(list->topLevelItemCount() - 1)->setCheckState(0, Qt::Unchecked);
    return list;
}

} // namespace

class TestIdleFreq : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        PublicStruct::Instance().LanguageIndex = 1;
        QVERIFY(!FrmSetFreq && !FrmSetMuiltFreq);
        QVERIFY(!PublicStruct::Instance().ScanBusy);
    }

    void singleListAndSetExchange()
    {
        Bench bench;
        const Scan scan { { 5, 6, 7, 3, 104 }, { 10, 11, 25, 90, 90 } };
        bool done = true;
        TFrmSetFreq set(bench.window.get(), done, scan.View(), bench.record(0));
        set.show();
        QVERIFY(!done && FrmSetFreq == &set);
        QCOMPARE(set.lbRxID->text(), QStringLiteral("7"));
        QCOMPARE(set.cbMaxRF->count(), 12);
        QCOMPARE(set.cbMaxRF->currentText(), QStringLiteral("10"));
        QCOMPARE(set.lvFreq->topLevelItemCount(), 98);
        QCOMPARE(Column(*set.lvFreq, 0).mid(0, 3), (QStringList { "4", "5", "8" }));
        QCOMPARE(set.lvFreq->topLevelItem(2)->text(1), QStringLiteral("641.000Mhz"));

        set.cbMaxRF->setCurrentIndex(5);
        emit set.cbMaxRF->activated(5); // 30: channels 6 and 7 come back, once each
        QCOMPARE(set.lvFreq->topLevelItemCount(), 100);
        QCOMPARE(Column(*set.lvFreq, 0).removeDuplicates(), 0);

        set.btSetClick(); // no row chosen
        QVERIFY(Bench::Received(bench.lead).isEmpty() && !set.Timer1->isActive());
        Select(*set.lvFreq, 2);
        set.btSetClick();
        QCOMPARE(Bench::Received(bench.lead), QStringList { "11:6" });
        bench.Ack(7, 2, CMD_SET_SQ_ACK);
        bench.Ack(7, 1);
        bench.Ack(8, 2);
        QVERIFY(set.Timer1->isActive() && bench.boxes.calls.empty());
        QTRY_COMPARE_WITH_TIMEOUT(bench.LastShown(), QStringLiteral("Set fail!"), 4000);
        QVERIFY(set.isVisible() && !done);
        // The right RXID and DevIdx from an address the Set did not go to confirm nothing; the
        // debug window says so.
        TFrmDebug* debug = CreateDebugWindow(bench.window.get());
        const int refused = RefusedReplies();
        Deliver(*bench.window, Frame(7, 2, CMD_SET_CHANNEL_ACK, QByteArray(1, '\x05')), QStringLiteral("127.0.0.66"));
        QCOMPARE(RefusedReplies(), refused + 1);
        QCOMPARE(bench.LastShown(), QStringLiteral("Set fail!"));
        QVERIFY(debug->LiveLines().last().startsWith("Refused reply 0x0C for [7:2] from 127.0.0.66"));
        DestroyDebugWindow();
        bench.Ack(7, 2); // after the time-out: the receiver did take it
        QTRY_COMPARE(bench.LastShown(), QStringLiteral("Set success!"));
        QVERIFY(done && !set.isVisible() && set.result() == QDialog::Accepted);
        QCOMPARE(bench.boxes.calls.size(), size_t(2));
    }

    // Every checked row is listed; a channel busy in any scan is missing from every band that
    // holds its number; the threshold rebuilds the device on show.
    void multiListsFollowEveryScan()
    {
        Bench bench;
        const Scan first { { 6, 30 }, { 40, 40 } };
        const Scan second { { 12, 200 }, { 50, 90 } };
        auto source = SourceList({ { "7", "2", "Lead", "127.0.0.9" }, { "8", "1", "Choir", "127.0.0.10" },
            { "9", "1", "Spare", "127.0.0.11" }, { "8", "1", "Choir", "127.0.0.10" } });
        bool done = false;
        TFrmSetMuiltFreq multi(
            bench.window.get(), done, { first.View(), second.View() }, *source, bench.window->Devices());
        multi.show();
        QCOMPARE(Column(*multi.lbDevList, 0), (QStringList { "7", "8", "9" }));
        QCOMPARE(multi.lbDevList->currentItem(), multi.lbDevList->topLevelItem(0));
        QCOMPARE(multi.lbRxID->text(), QStringLiteral("7:2"));
        QCOMPARE(multi.lvFreq->topLevelItemCount(), 97); // 6, 12, 30
        multi.lbDevListClick(multi.lbDevList->topLevelItem(1));
        QCOMPARE(multi.lbRxID->text(), QStringLiteral("8:1"));
        QCOMPARE(multi.lbBand->text(), QStringLiteral("B"));
        QCOMPARE(multi.lvFreq->topLevelItemCount(), 37);
        QVERIFY(!Column(*multi.lvFreq, 0).contains("6") && Column(*multi.lvFreq, 0).contains("4"));

        multi.cbMaxRF->setCurrentIndex(8); // 45: only the 50 dB point stays busy
        emit multi.cbMaxRF->activated(8);
        QCOMPARE(multi.lbRxID->text(), QStringLiteral("8:1"));
        QCOMPARE(multi.lvFreq->topLevelItemCount(), 39);

        // Set: polling pauses until the acknowledgement; the window stays for the next device.
        Select(*multi.lvFreq, 0);
        multi.btSetClick();
        QVERIFY(PublicStruct::Instance().ScanBusy);
        QCOMPARE(Bench::Received(bench.choir), QStringList { "11:0" });
        bench.Ack(8, 1);
        QTRY_COMPARE(bench.LastShown(), QStringLiteral("Set success!"));
        QVERIFY(done && multi.isVisible() && !PublicStruct::Instance().ScanBusy);
    }

    // Beside Lead, Spare is on 641.500 and Choir on 660.000: their two-transmitter product
    // 2 x 660.000 - 641.500 lies outside Lead's band, but a carrier on 650.750 would make
    // 2 x 650.750 - 641.500 = 660.000; 641.250 to 641.750 lie too close to Spare, 659.750 to
    // 660.250 to Choir.
    void intermodulationHidesChannels()
    {
        Bench bench;
        auto source = SourceList(
            { { "7", "2", "Lead", "" }, { "9", "1", "Spare", "" }, { "8", "1", "Choir", "" }, { "1", "1", "-", "" } });
        bool done = false;
        TFrmSetMuiltFreq multi(bench.window.get(), done, {}, *source, bench.window->Devices());
        QCOMPARE(multi.Rule().level, coordination::Level::Off);
        QCOMPARE(multi.lvFreq->topLevelItemCount(), 100);
        QVERIFY(multi.lbHidden->text().isEmpty());

        multi.cbIntermod->setCurrentIndex(2);
        emit multi.cbIntermod->activated(2);
        const QStringList shown = Column(*multi.lvFreq, 1);
        for (const char* hidden : { "641.250Mhz", "641.500Mhz", "641.750Mhz", "650.750Mhz" })
            QVERIFY2(!shown.contains(hidden), hidden);
        QVERIFY(shown.contains("641.000Mhz") && shown.contains("642.000Mhz") && shown.contains("650.500Mhz"));
        QCOMPARE(
            multi.lbHidden->text(), QStringLiteral("7 channels hidden: 6 too close, 1 on intermodulation products"));
        QVERIFY(bench.dir.ConfigText().contains("[Coordination]\r\nLevel=2\r\n"));
        PublicStruct::Instance().LanguageIndex = 0;
        emit multi.cbMaxRF->activated(1);
        QCOMPARE(multi.lbHidden->text(), QStringLiteral("已隐藏 7 个通道: 6 个间隔过近, 1 个位于互调产物上"));
    }

    // Assign all proposes, asks, sets one device after another and reports each outcome: Lead
    // acknowledges, Choir never does.
    void assignAllSetsEachDeviceAndReports()
    {
        Bench bench;
        auto source = SourceList({ { "7", "2", "Lead", "" }, { "8", "1", "Choir", "" }, { "1", "1", "-", "" } });
        bool done = false;
        TFrmSetMuiltFreq multi(bench.window.get(), done, {}, *source, bench.window->Devices());
        multi.show();
        bench.boxes.answers = { 2 }; // the first proposal is declined
        multi.btAssignAllClick();
        QCOMPARE(
            Column(*multi.lbDevList, TFrmSetMuiltFreq::ColProposedFreq), (QStringList { "640.000Mhz", "660.000Mhz" }));
        QCOMPARE(bench.LastShown(), QStringLiteral("Set 2 devices to the proposed frequencies?"));
        QVERIFY(!multi.Assigning() && Bench::Received(bench.lead, 300).isEmpty());

        multi.btAssignAllClick();
        QVERIFY(multi.Assigning() && PublicStruct::Instance().ScanBusy && !multi.btSet->isEnabled());
        QCOMPARE(Bench::Received(bench.lead), QStringList { "11:4" });
        bench.Ack(7, 2);
        QCOMPARE(Bench::Received(bench.choir), QStringList { "11:0" }); // sent as the ack was handled
        QTRY_VERIFY_WITH_TIMEOUT(!multi.Assigning(), 5000);
        QCOMPARE(bench.LastShown(), QStringLiteral("Set success: 7:2 640.000Mhz\nSet fail: 8:1 660.000Mhz"));
        QCOMPARE(Column(*multi.lbDevList, TFrmSetMuiltFreq::ColResult), (QStringList { "Set success!", "Set fail!" }));
        // The panel and the highlighted row name the same device: the last one set.
        QCOMPARE(multi.lbRxID->text(), QStringLiteral("8:1"));
        QCOMPARE(HighlightedRows(*multi.lbDevList), QStringList { "8:1" });
        QVERIFY(done && multi.btSet->isEnabled() && !PublicStruct::Instance().ScanBusy);
    }

    // Lead acknowledges three times before the window has handled the first: Choir and Spare,
    // which never answer, are not confirmed by Lead's repeats.
    void repeatedAckConfirmsOnlyItsOwnSet()
    {
        Bench bench;
        auto source = SourceList(
            { { "7", "2", "Lead", "" }, { "8", "1", "Choir", "" }, { "9", "1", "Spare", "" }, { "1", "1", "-", "" } });
        bool done = false;
        TFrmSetMuiltFreq multi(bench.window.get(), done, {}, *source, bench.window->Devices());
        multi.btAssignAllClick();
        QCOMPARE(Bench::Received(bench.lead), QStringList { "11:4" });
        const QByteArray ack = Frame(7, 2, CMD_SET_CHANNEL_ACK, QByteArray(1, '\x05'));
        for (int i = 0; i < 3; ++i)
            bench.window->HandleFrame(QStringLiteral("127.0.0.9"), reinterpret_cast<const uint8_t*>(ack.constData()),
                static_cast<int>(ack.size()));
        QTRY_VERIFY_WITH_TIMEOUT(!multi.Assigning(), 8000);
        QCOMPARE(Column(*multi.lbDevList, TFrmSetMuiltFreq::ColResult),
            (QStringList { "Set success!", "Set fail!", "Set fail!" }));
    }

    // A device for which no channel is compatible is named, and the others still proposed (the
    // busy channels 4..39 are missing on Lead's band too).
    void deviceWithoutChannelIsNamed()
    {
        Bench bench;
        std::vector<int32_t> channels;
        for (int c = 0; c < 40; ++c)
            channels.push_back(c);
        const Scan choirBusy { channels, std::vector<int32_t>(40, 80) }; // all of Choir's band
        auto source = SourceList({ { "7", "2", "Lead", "" }, { "8", "1", "Choir", "" }, { "1", "1", "-", "" } });
        bool done = false;
        TFrmSetMuiltFreq multi(bench.window.get(), done, { choirBusy.View() }, *source, bench.window->Devices());
        multi.btAssignAllClick();
        QCOMPARE(bench.boxes.calls[0].message,
            QStringLiteral("No compatible channel for: 8:1\nSet 1 devices to the proposed frequencies?"));
        QCOMPARE(Column(*multi.lbDevList, TFrmSetMuiltFreq::ColProposedFreq), (QStringList { "649.000Mhz", "none" }));
        QVERIFY2(multi.lbPlan->text().contains("Plan: 1 of 2 devices placed, proved best\n")
                && multi.lbPlan->text().contains("\n8:1: no idle channel"),
            qPrintable(multi.lbPlan->text()));
        QCOMPARE(Bench::Received(bench.lead), QStringList { "11:40" });
        bench.Ack(7, 2);
        QTRY_COMPARE(bench.LastShown(), QStringLiteral("Set success: 7:2 649.000Mhz\nNo compatible channel for: 8:1"));
        QVERIFY(Bench::Received(bench.choir, 200).isEmpty());
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestIdleFreq)

#include "IdleFreqTests.moc"
