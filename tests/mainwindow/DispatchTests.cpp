// Frame intake and dispatch: every branch of HandleFrame, datagrams from loopback sockets to the
// window's port 1000 (inside a private network namespace) and the serial stream on a
// pseudo-terminal, including a frame that arrives while a reply handler runs a nested loop.
#include "MainFixture.h"
#include "ToolWindowLog.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "ui/TTMICObject.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <set>

using namespace fixture;

namespace
{

QString TileText(const TTMICObject& tile, const char* label)
{
    return tile.findChild<QLabel*>(QString::fromLatin1(label))->text();
}

TTMICObject& OpenTile(TFrmMain& window, int row)
{
    SelectRow(window, row);
    window.lbDevListDblClick();
    return *window.Tiles().back();
}

// Which of a widget's children were painted since the last Clear.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget& parent)
    {
        for (QWidget* child : parent.findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    void Clear() { m_painted.clear(); }
    QStringList Painted() const { return QStringList(m_painted.begin(), m_painted.end()); }
    // True once a whole 100 ms went by without a paint.
    bool Settled()
    {
        Clear();
        QTest::qWait(100);
        return m_painted.empty();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !watched->objectName().isEmpty())
            m_painted.insert(watched->objectName());
        return false;
    }

private:
    std::set<QString> m_painted;
};

QByteArray Ack(int rxid, int devIdx, int cmd)
{
    return Frame(rxid, devIdx, cmd, QByteArray(1, '\0'));
}

} // namespace

class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        UseRealClock();
        PublicStruct::Instance().RFHistoryBusy = false;
    }

    void statusUpdatesRecordRowAndTileAndSavesOnlyOnChange()
    {
        ExeDir dir({ StoredRecord {} });
        auto window = MakeWindow();
        TTMICObject& tile = OpenTile(*window, 0);
        TTMICListObj& record = *window->Devices().At(0);

        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(3, 2, 40, 70, 20, 5, 9, 2)));
        QCOMPARE(record.Freq, 640.75);
        QCOMPARE(record.SQ, 5);
        QCOMPARE(Row(*window, 0)->text(3), QStringLiteral("640.750"));
        QCOMPARE(dir.HistoryValue("Freq0"), QStringLiteral("640.75"));
        QCOMPARE(TileText(tile, "lbBand"), QStringLiteral("Band 65"));
        QCOMPARE(TileText(tile, "lbFreq"), QStringLiteral("640.750M"));
        QCOMPARE(TileText(tile, "lbCH"), QStringLiteral("CH    3"));
        QCOMPARE(tile.BatterySymbol(), 2);
        QCOMPARE(tile.VoiceLevelValue(), 40);
        QCOMPARE(tile.RFLevelA(), 70);
        QCOMPARE(tile.RFLevelB(), 20);

        // The same frequency again: no row change, no save, but the tile is refreshed.
        QVERIFY(QFile::remove(dir.ConfigPath()));
        Row(*window, 0)->setText(3, QStringLiteral("untouched"));
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(3, 1, 41, 10, 90, 6, 9, 1)));
        QVERIFY(!QFile::exists(dir.ConfigPath()));
        QCOMPARE(Row(*window, 0)->text(3), QStringLiteral("untouched"));
        QCOMPARE(record.SQ, 6);
        QCOMPARE(tile.RFLevelA(), 10);
        QCOMPARE(tile.BatterySymbol(), 1);

        // A channel below the band's first one lies below StartFreq.
        record.StartChannel = 4;
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(2, 1, 41, 10, 90, 6, 9, 1)));
        QCOMPARE(record.Freq, 639.5);
        QCOMPARE(Row(*window, 0)->text(3), QStringLiteral("639.500"));
        QCOMPARE(TileText(tile, "lbCH"), QStringLiteral("CH    2"));

        // Longer status replies are read too; shorter ones, wrong checksums and unknown pairs change nothing.
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(5, 3, 1, 2, 3, 4, 5, 1) + "xyz"));
        QCOMPARE(record.Freq, 640.25);
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(9, 0, 50, 50, 50, 1, 1, 1).left(8)));
        QByteArray corrupt = Frame(1, 1, CMD_STATUS, StatusPayload(9, 0, 50, 50, 50, 1, 1, 1));
        corrupt[corrupt.size() - 1] = static_cast<char>(corrupt.back() ^ 0x01);
        Deliver(*window, corrupt);
        Deliver(*window, Frame(1, 2, CMD_STATUS, StatusPayload(9, 0, 50, 50, 50, 1, 1, 1)));
        QCOMPARE(record.Freq, 640.25);
        QCOMPARE(record.SQ, 4);
        QCOMPARE(tile.VoiceLevelValue(), 1);
    }

    // A flood of status replies froze the window: each one re-drew its tile even when nothing
    // changed. Now a reply repaints only the parts whose value changed.
    void statusRepaintsOnlyWhatChanged()
    {
        ExeDir dir({ StoredRecord {} });
        auto window = MakeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        TTMICObject& tile = OpenTile(*window, 0);
        PaintCounter paints(tile);
        const QByteArray status = Frame(1, 1, CMD_STATUS, StatusPayload(3, 2, 40, 70, 20, 5, 9, 2));
        Deliver(*window, status);
        QTRY_VERIFY(paints.Settled());

        paints.Clear();
        Deliver(*window, status);
        QTest::qWait(100);
        QCOMPARE(paints.Painted(), QStringList());
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(3, 2, 90, 70, 20, 5, 9, 2)));
        QTRY_VERIFY(paints.Painted().contains("VoiceLevel"));
        QVERIFY(!paints.Painted().contains("Image1"));
        QVERIFY(!paints.Painted().contains("lbChannelA"));
    }

    void statusGoesToTheRecordingHistoryWindowOnly()
    {
        ExeDir dir({ StoredRecord {} });
        auto window = MakeWindow();
        TTMICObject& tile = OpenTile(*window, 0);
        QStringList log;
        LoggingWindow history(ToolWindow::RFHistory, QStringLiteral("RFHistory"), log);

        PublicStruct::Instance().RFHistoryBusy = true;
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(7, 2, 40, 70, 20, 5, 9, 2)));
        Deliver(*window, Frame(2, 1, CMD_STATUS, StatusPayload(8, 2, 40, 70, 20, 5, 9, 2)));
        QCOMPARE(log, (QStringList { "RFHistory:Status 1 1 ch7", "RFHistory:Status 2 1 ch8" }));
        QCOMPARE(window->Devices().At(0)->Freq, 640.0);
        QCOMPARE(window->Devices().At(0)->SQ, -1);
        QCOMPARE(tile.RFLevelA(), 0);

        // Open but not recording: the main window takes the reply.
        PublicStruct::Instance().RFHistoryBusy = false;
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(7, 2, 40, 70, 20, 5, 9, 2)));
        QCOMPARE(log.size(), 2);
        QCOMPARE(window->Devices().At(0)->Freq, 641.75);
        QCOMPARE(tile.RFLevelA(), 70);
    }

    void syncResultEndsTheWaitAndShowsOneAndTwo()
    {
        ExeDir dir;
        auto window = MakeWindow();
        MessageBoxes boxes;
        PublicStruct& ps = PublicStruct::Instance();

        const std::pair<int, const char*> cases[] = { { 1, "Sync Successfully!" }, { 2, "Sync Error!" } };
        for (const auto& [result, text] : cases) {
            ps.SyncStartTick = 5;
            Deliver(*window, Frame(3, 1, CMD_SYNC_RESULT, QByteArray(1, static_cast<char>(result))));
            QCOMPARE(ps.SyncStartTick, 0u);
            QTRY_VERIFY(!boxes.calls.empty());
            QCOMPARE(boxes.calls.back().message, QString::fromLatin1(text));
            QCOMPARE(boxes.calls.back().title, QStringLiteral("提示"));
            boxes.calls.clear();
        }

        ps.SyncStartTick = 5;
        Deliver(*window, Frame(3, 1, CMD_SYNC_RESULT, QByteArray(1, 7)));
        QCOMPARE(ps.SyncStartTick, 0u);
        ps.SyncStartTick = 5;
        Deliver(*window, Frame(3, 1, CMD_SYNC_RESULT, QByteArray(2, 1)));
        QCOMPARE(ps.SyncStartTick, 5u);
        QTest::qWait(50);
        QVERIFY(boxes.calls.empty());
    }

    // A stream of results (5,000 per second once crashed the window) shows one box, and only
    // while a sync is pending; a result arriving while that box is open opens none inside it.
    void repeatedSyncResultsShowAtMostOneBox()
    {
        ExeDir dir;
        auto window = MakeWindow();
        MessageBoxes boxes;
        PublicStruct& ps = PublicStruct::Instance();
        const QByteArray success = Frame(1, 1, CMD_SYNC_RESULT, QByteArray(1, 1));
        boxes.whileShown = [&] {
            ps.SyncStartTick = 5;
            Deliver(*window, success);
            QCoreApplication::processEvents();
        };
        for (uint32_t pending : { 0u, 5u }) {
            ps.SyncStartTick = pending;
            for (int i = 0; i < 200; ++i)
                Deliver(*window, success);
            QTest::qWait(50);
            QCOMPARE(boxes.calls.size(), size_t { pending != 0 });
        }
    }

    void deviceInfoForAKnownChannelCompletesTheConnect()
    {
        ExeDir dir({ StoredRecord {} });
        auto window = MakeWindow();
        TTMICObject& tile = OpenTile(*window, 0);
        TTMICListObj& record = *window->Devices().At(0);
        record.ConnectDeadline = 1000;
        QVERIFY(QFile::remove(dir.ConfigPath()));

        const QByteArray reply = Frame(1, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 25, 4, 80, "B", "STAGE"));
        Deliver(*window, reply, QStringLiteral("127.0.0.5"));
        QCOMPARE(record.IP, QStringLiteral("127.0.0.5"));
        QCOMPARE(Row(*window, 0)->text(0), QStringLiteral("127.0.0.5"));
        QCOMPARE(record.StartFreq, 640.25);
        QCOMPARE(record.StartChannel, 4);
        QCOMPARE(record.MaxChannel, 77);
        QCOMPARE(record.Band, QStringLiteral("B"));
        QCOMPARE(record.Name, QStringLiteral("STAGE"));
        QCOMPARE(record.HWVer, QStringLiteral("H1"));
        QCOMPARE(record.SWVer, QStringLiteral("S2"));
        QCOMPARE(record.Freq, 640.0);
        QVERIFY(record.Connected);
        QCOMPARE(record.ConnectDeadline, 0u);
        QCOMPARE(Messages(*window), QStringList { "Connect DeviceID 1 success!" });
        QCOMPARE(Row(*window, 0)->text(3), QStringLiteral("640.000"));
        QCOMPARE(Row(*window, 0)->text(4), QStringLiteral("STAGE"));
        QCOMPARE(Row(*window, 0)->text(5), QStringLiteral("B"));
        QCOMPARE(RowValue(*window, 0), 1);
        QCOMPARE(TileText(tile, "lbTitle"), QStringLiteral("1-1: STAGE"));
        QCOMPARE(TileText(tile, "lbFreq"), QStringLiteral("640.000M"));
        QVERIFY(!QFile::exists(dir.ConfigPath()));

        // Without a pending request: values refreshed, no line; over the serial line the IP is empty.
        Deliver(*window, Frame(1, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "C", "AGAIN")), QString());
        QCOMPARE(Messages(*window).size(), 1);
        QCOMPARE(Row(*window, 0)->text(4), QStringLiteral("AGAIN"));
        QCOMPARE(record.IP, QString());
        QCOMPARE(window->Devices().Count(), 1);
    }

    void deviceInfoFromAnUnknownChannelAddsItUpToTheBound()
    {
        QList<StoredRecord> records;
        for (int i = 0; i < DeviceList::MaxRecords - 1; ++i) {
            StoredRecord r;
            r.rxid = i % 200;
            r.devIdx = 10 + i / 200;
            records << r;
        }
        ExeDir dir(records);
        auto window = MakeWindow();
        const int last = DeviceList::MaxRecords - 1;

        Deliver(*window, Frame(7, 2, CMD_DEVICE_INFO, DeviceInfoPayload(640, 25, 0, 99, "A", "NEW")),
            QStringLiteral("127.0.0.7"));
        QCOMPARE(window->Devices().Count(), DeviceList::MaxRecords);
        const TTMICListObj& added = *window->Devices().At(last);
        QCOMPARE(added.IP, QStringLiteral("127.0.0.7"));
        QCOMPARE(added.Freq, 640.25);
        QCOMPARE(added.Channel, 0);
        QVERIFY(!added.Connected);
        QCOMPARE(Row(*window, last)->text(0), QStringLiteral("127.0.0.7"));
        QCOMPARE(Row(*window, last)->text(3), QStringLiteral("640.25"));
        QCOMPARE(Row(*window, last)->text(4), QStringLiteral("NEW"));
        QCOMPARE(RowValue(*window, last), 0);
        QVERIFY(window->Tiles().empty());
        QVERIFY(Messages(*window).isEmpty());
        QCOMPARE(dir.HistoryValue("DevCnt"), QString::number(DeviceList::MaxRecords));
        QCOMPARE(dir.HistoryValue(QStringLiteral("Freq%1").arg(last)), QStringLiteral("640.25"));

        // Full: a further stranger is not taken.
        Deliver(*window, Frame(8, 2, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "MORE")));
        QCOMPARE(window->Devices().Count(), DeviceList::MaxRecords);
        QCOMPARE(DevList(*window)->topLevelItemCount(), DeviceList::MaxRecords);
        QVERIFY(!FindDevice(window->Devices(), 8, 2));
    }

    void repliesForToolWindowsGoToThoseOpenInOrder()
    {
        ExeDir dir;
        auto window = MakeWindow();
        QStringList log;
        LoggingWindow scan(ToolWindow::ScanRF, "ScanRF", log), single(ToolWindow::SingleSet, "SingleSet", log),
            multi(ToolWindow::MulitSet, "MulitSet", log), property(ToolWindow::DevProperty, "DevProperty", log),
            setFreq(ToolWindow::SetFreq, "SetFreq", log), setMulti(ToolWindow::SetMuiltFreq, "SetMuiltFreq", log),
            search(ToolWindow::SearceHR, "SearceHR", log), modifyIp(ToolWindow::ModifyHrIP, "ModifyHrIP", log);

        Deliver(*window, Ack(3, 2, CMD_SET_CHANNEL_ACK));
        Deliver(*window, Ack(3, 2, CMD_SET_SQ_ACK));
        Deliver(*window, Frame(3, 2, CMD_SCAN_POINT, QByteArray("\x05\x3c\x00\x00", 4)));
        Deliver(*window, Ack(3, 1, CMD_SCAN_END));
        QCOMPARE(log,
            (QStringList { "DevProperty:SetReply 3 2 12", "SetFreq:SetReply 3 2 12", "SetMuiltFreq:SetReply 3 2 12",
                "DevProperty:SetReply 3 2 14", "SetFreq:SetReply 3 2 14", "SetMuiltFreq:SetReply 3 2 14",
                "ScanRF:ScanPoint 3 5 60", "SingleSet:ScanPoint 3 5 60", "MulitSet:ScanPoint 3 5 60",
                "ScanRF:ScanEnd 3 10", "SingleSet:ScanEnd 3 10", "MulitSet:ScanEnd 3 10" }));
        log.clear();

        const QByteArray searchReply = Frame(9, 1, CMD_SEARCH_REPLY, QByteArray(18, 'a'));
        Deliver(*window, searchReply, QStringLiteral("127.0.0.9"));
        Deliver(*window, Ack(9, 1, CMD_SET_IP_ACK), QStringLiteral("127.0.0.9"));
        QCOMPARE(log, (QStringList { "SearceHR:Search 127.0.0.9 25", "ModifyHrIP:SetIp 127.0.0.9 8 rx9" }));
        QCOMPARE(search.lastFrame, searchReply);
        log.clear();

        // Wrong lengths reach nobody.
        Deliver(*window, Frame(3, 2, CMD_SET_CHANNEL_ACK, QByteArray(2, '\0')));
        Deliver(*window, Frame(3, 2, CMD_SCAN_POINT, QByteArray(5, '\0')));
        Deliver(*window, Frame(3, 2, CMD_SCAN_END, QByteArray(2, '\0')));
        Deliver(*window, Frame(9, 1, CMD_SEARCH_REPLY, QByteArray(17, 'a')));
        Deliver(*window, Frame(9, 1, CMD_SET_IP_ACK, QByteArray(12, '\0')));
        Deliver(*window, Frame(3, 2, CMD_DEVICE_INFO, QByteArray(23, '\0')));
        QVERIFY(log.isEmpty());
        QCOMPARE(window->Devices().Count(), 0);

        // A window that closes a later one while handling the reply: the closed one is not called.
        property.duringCall = [&setFreq] { UnregisterToolWindow(ToolWindow::SetFreq, &setFreq); };
        Deliver(*window, Ack(3, 2, CMD_SET_CHANNEL_ACK));
        QCOMPARE(log, (QStringList { "DevProperty:SetReply 3 2 12", "SetMuiltFreq:SetReply 3 2 12" }));
    }

    void datagramsFromLoopbackAreCheckedAndHandled()
    {
        REQUIRE_PRIVATE_NETNS();
        StoredRecord known;
        known.ip = QStringLiteral("127.0.0.3"); // a status counts from its record's address only
        ExeDir dir({ known });
        auto window = MakeWindow(LocalUdpPort);
        FarEnd receiver("127.0.0.3", ReceiverPort);
        QVERIFY(receiver.IsOpen());

        const QByteArray good = Frame(2, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "BAD"));
        QByteArray badLength = good;
        badLength[5] = 23;
        QByteArray badCrc = Frame(3, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "BAD"));
        badCrc[badCrc.size() - 1] = static_cast<char>(badCrc.back() ^ 0x40);
        QByteArray badMark = Frame(4, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "BAD"));
        badMark[3] = 0x00;
        for (const QByteArray& bad : { Frame(5, 1, CMD_SYNC_TX, {}).left(6), badLength, badCrc, badMark })
            QVERIFY(receiver.SendTo("127.0.0.1", LocalUdpPort, bad));
        QVERIFY(
            receiver.SendTo("127.0.0.1", LocalUdpPort, Frame(1, 1, CMD_STATUS, StatusPayload(4, 1, 1, 1, 1, 1, 1, 1))));
        QVERIFY(receiver.SendTo(
            "127.0.0.1", LocalUdpPort, Frame(6, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 5, 0, 99, "A", "GOOD"))));

        QTRY_COMPARE(window->Devices().Count(), 2);
        QCOMPARE(window->Devices().At(0)->Freq, 641.0);
        const TTMICListObj& added = *window->Devices().At(1);
        QCOMPARE(added.RXID, 6);
        QCOMPARE(added.IP, QStringLiteral("127.0.0.3"));
        QCOMPARE(added.StartFreq, 640.5);
        QCOMPARE(Row(*window, 1)->text(3), QStringLiteral("640.5"));
    }

    // 2,000 new channels once stalled polling for seconds with a rewrite of Config.ini each: a
    // burst handled in one turn is saved once, and a change not yet saved is saved on exit.
    void aBurstIsSavedOnceAndNothingIsLostOnExit()
    {
        ExeDir dir({ StoredRecord {} });
        auto window = MakeWindow();
        SaveCounter saves(dir.Path());
        for (int i = 0; i < 300; ++i) {
            const QByteArray reply = Frame(2 + i / 4, i % 4, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "N"));
            window->HandleFrame(QStringLiteral("127.0.0.3"), reinterpret_cast<const uint8_t*>(reply.constData()),
                int(reply.size()));
        }
        Deliver(*window, Frame(1, 1, CMD_STATUS, StatusPayload(3, 2, 40, 70, 20, 5, 9, 2)));
        QCOMPARE(saves.Saves(), 1);
        QCOMPARE(dir.HistoryValue("DevCnt"), QStringLiteral("301"));
        QCOMPARE(dir.HistoryValue("Freq0"), QStringLiteral("640.75"));

        const QByteArray moved = Frame(1, 1, CMD_STATUS, StatusPayload(5, 2, 40, 70, 20, 5, 9, 2));
        window->HandleFrame(QString(), reinterpret_cast<const uint8_t*>(moved.constData()), int(moved.size()));
        window.reset();
        QCOMPARE(saves.Saves(), 2);
        QCOMPARE(dir.HistoryValue("Freq0"), QStringLiteral("641.25"));
    }

    void serialStreamIsCutIntoFrames()
    {
        ExeDir dir;
        UseFakeClock(10000);
        auto window = MakeWindow();
        MessageBoxes boxes;
        PublicStruct& ps = PublicStruct::Instance();

        const QByteArray example = QByteArray::fromHex("00C80101C9060101F2");
        QCOMPARE(example.mid(1), Frame(1, 1, CMD_SYNC_RESULT, QByteArray(1, 1)));
        ps.SyncStartTick = 77;
        dir.WriteSerial(example);
        QVERIFY(dir.WaitSerialConsumed());
        QTRY_COMPARE(boxes.calls.size(), size_t(1));
        QCOMPARE(ps.SyncStartTick, 0u);
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Sync Successfully!"));

        // Split in two: kept across a pause of up to 500 ms, lost after a longer one.
        const auto sendSplit = [&](int rxid, uint32_t pause) {
            const QByteArray frame = Frame(rxid, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "SER"));
            dir.WriteSerial(frame.left(10));
            QVERIFY(dir.WaitSerialConsumed());
            Advance(pause);
            dir.WriteSerial(frame.mid(10));
            QVERIFY(dir.WaitSerialConsumed());
        };
        sendSplit(9, 400);
        QTRY_VERIFY(FindDevice(window->Devices(), 9, 1));
        QCOMPARE(FindDevice(window->Devices(), 9, 1)->IP, QString());
        sendSplit(10, 500);
        QTRY_VERIFY(FindDevice(window->Devices(), 10, 1));
        sendSplit(11, 501);
        QTest::qWait(50);
        QVERIFY(!FindDevice(window->Devices(), 11, 1));

        // The stream recovers at the next whole frame; frames of one read are handed on in order.
        dir.WriteSerial(Frame(12, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "A"))
            + QByteArray::fromHex("C9C8") + Frame(13, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "B")));
        QVERIFY(dir.WaitSerialConsumed());
        QTRY_COMPARE(window->Devices().Count(), 4);
        QCOMPARE(window->Devices().At(2)->RXID, 12);
        QCOMPARE(window->Devices().At(3)->RXID, 13);
    }

    // A header whose Len the buffer cannot hold, followed by more bytes than the line holds,
    // once stopped serial intake for good.
    void serialIntakeDrainsAfterAnOversizedHeader()
    {
        ExeDir dir;
        auto window = MakeWindow();
        QByteArray flood = QByteArray::fromHex("C80707C902FF") + QByteArray(4400, '\0');
        for (qsizetype sent = 0; sent < flood.size(); sent += 512) {
            dir.WriteSerial(flood.mid(sent, 512));
            QVERIFY(dir.WaitSerialConsumed());
        }
        QTest::qWait(20);
        dir.WriteSerial(Frame(9, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "SER")));
        QVERIFY(dir.WaitSerialConsumed());
        QTRY_VERIFY(FindDevice(window->Devices(), 9, 1));
    }

    void aFrameArrivingDuringANestedLoopWaitsItsTurn()
    {
        ExeDir dir;
        auto window = MakeWindow();
        QStringList log;
        LoggingWindow modifyIp(ToolWindow::ModifyHrIP, "ModifyHrIP", log);
        LoggingWindow scan(ToolWindow::ScanRF, "ScanRF", log);

        const QByteArray first = Ack(4, 1, CMD_SET_IP_ACK);
        const QByteArray second = Ack(4, 1, CMD_SCAN_END);
        const QByteArray third = Ack(5, 1, CMD_SCAN_END);
        QStringList seenInsideTheLoop;
        bool nestedLoopConsumed = false;
        bool boxShown = false;
        // The IP change window's success box: a nested loop in which more serial input is read.
        modifyIp.duringCall = [&] {
            if (std::exchange(boxShown, true))
                return;
            dir.WriteSerial(second.mid(3) + third);
            nestedLoopConsumed = dir.WaitSerialConsumed();
            QTest::qWait(30);
            seenInsideTheLoop = log;
        };
        dir.WriteSerial(first + second.left(3));
        QVERIFY(dir.WaitSerialConsumed());
        QTRY_COMPARE(log.size(), 3);
        QVERIFY(nestedLoopConsumed);
        QCOMPARE(seenInsideTheLoop, QStringList { "ModifyHrIP:SetIp  8 rx4" });
        QCOMPARE(log, (QStringList { "ModifyHrIP:SetIp  8 rx4", "ScanRF:ScanEnd 4 10", "ScanRF:ScanEnd 5 10" }));
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestDispatch)
#include "DispatchTests.moc"
