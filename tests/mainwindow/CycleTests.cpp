// The monitoring cycle, run by hand on a replaceable clock, with the window on port 1000 and
// receivers on 127.0.0.N:5000 inside a private network namespace.
#include "MainFixture.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QTest>

using namespace fixture;

namespace
{

StoredRecord At(const char* ip, int rxid)
{
    StoredRecord r;
    r.ip = QString::fromLatin1(ip);
    r.rxid = rxid;
    return r;
}

QByteArray Request(int rxid, int cmd)
{
    return Frame(rxid, 1, cmd, QByteArray(1, '\0'));
}

// Three receivers and the window; none of the records is connected yet.
struct Stage {
    Stage()
        : dir({ At("127.0.0.2", 1), At("127.0.0.3", 2), At("127.0.0.4", 3) })
        , window(MakeWindow(LocalUdpPort))
        , a("127.0.0.2", ReceiverPort)
        , b("127.0.0.3", ReceiverPort)
        , c("127.0.0.4", ReceiverPort)
    {
    }
    TTMICListObj& Record(int i) { return *window->Devices().At(i); }
    void ConnectAll()
    {
        for (int i = 0; i < window->Devices().Count(); ++i)
            Record(i).Connected = true;
    }
    // Runs the cycle once and says which receivers got what.
    QStringList Run()
    {
        window->Timer1Timer();
        QStringList got;
        using Named = std::pair<FarEnd*, const char*>;
        for (const auto& [end, name] : { Named { &a, "A" }, Named { &b, "B" }, Named { &c, "C" } })
            for (const QByteArray& frame : end->Receive(30))
                got << QStringLiteral("%1:%2").arg(QLatin1String(name)).arg(static_cast<int>(frame[4]));
        return got;
    }
    QStringList RunAt(uint32_t t)
    {
        SetNow(t);
        return Run();
    }

    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    FarEnd a, b, c;
};

const QString ConnectTo = QStringLiteral("%1:1");
const QString PollTo = QStringLiteral("%1:3");

} // namespace

class TestCycle : public QObject
{
    Q_OBJECT

private slots:
    void init() { UseFakeClock(100000); }
    void cleanup()
    {
        UseRealClock();
        PublicStruct& ps = PublicStruct::Instance();
        ps.ScanBusy = ps.RFHistoryBusy = false;
        ps.SyncStartTick = 0;
    }

    void connectRequestsAreSpacedAndTimeOut()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        QVERIFY(s.a.IsOpen() && s.b.IsOpen() && s.c.IsOpen());
        s.window->Devices().RemoveFirst(3, 1);
        s.window->tbConnectClick();

        QCOMPARE(s.RunAt(100100), QStringList());
        QCOMPARE(s.RunAt(100200), QStringList()); // exactly due is not yet passed
        QCOMPARE(s.RunAt(100201), QStringList { ConnectTo.arg("A") });
        QCOMPARE(s.Record(0).ConnectDeadline, 102201u);
        QCOMPARE(s.RunAt(100400), QStringList());
        QCOMPARE(s.RunAt(100450), QStringList { ConnectTo.arg("B") });
        QCOMPARE(s.a.Receive(30).size(), size_t(0));

        QCOMPARE(s.RunAt(102201), QStringList());
        QVERIFY(Messages(*s.window).isEmpty());
        QCOMPARE(s.RunAt(102202), QStringList());
        QCOMPARE(Messages(*s.window), QStringList { "Cannot Connect Device [1:1]" });
        QCOMPARE(s.RunAt(102451), QStringList());
        QCOMPARE(Messages(*s.window), (QStringList { "Cannot Connect Device [1:1]", "Cannot Connect Device [2:1]" }));
        QVERIFY(!s.Record(0).Connected);
        QCOMPARE(s.Record(0).ConnectDeadline, 0u);

        // Two due together go out in list order, one per run; the request carries 00.
        s.window->tbConnectClick();
        QVERIFY(Messages(*s.window).isEmpty());
        SetNow(110000);
        QCOMPARE(s.Run(), QStringList { ConnectTo.arg("A") });
        QCOMPARE(s.Run(), QStringList { ConnectTo.arg("B") });
        QCOMPARE(s.Run(), QStringList());
    }

    void aConnectAnsweredInTimeJoinsThePolling()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        s.window->tbConnectClick();
        QCOMPARE(s.RunAt(100201), QStringList { ConnectTo.arg("A") });
        QVERIFY(s.a.SendTo(
            "127.0.0.1", LocalUdpPort, Frame(1, 1, CMD_DEVICE_INFO, DeviceInfoPayload(640, 0, 0, 99, "A", "MIC"))));
        QTRY_VERIFY(s.Record(0).Connected);
        QCOMPARE(Messages(*s.window), QStringList { "Connect DeviceID 1 success!" });
        // The connect phase comes first; polls go out in runs without a connect request.
        QCOMPARE(s.RunAt(100401), QStringList { ConnectTo.arg("B") });
        QCOMPARE(s.RunAt(100500), QStringList { PollTo.arg("A") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });
        // The deadline of an answered request is cleared: no failure line for A later.
        s.RunAt(104000);
        QCOMPARE(Messages(*s.window).filter("[1:1]").size(), 0);
        QVERIFY(Messages(*s.window).contains("Cannot Connect Device [2:1]"));
    }

    void pollsGoRoundOnePerRun()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        QCOMPARE(s.Run(), QStringList());

        s.ConnectAll();
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("B") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("C") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });

        // Records that are not connected are passed over.
        s.Record(1).Connected = false;
        QCOMPARE(s.Run(), QStringList { PollTo.arg("C") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });

        // None connected: the index ends where it began (a full round further).
        for (int i = 0; i < 3; ++i)
            s.Record(i).Connected = false;
        const int before = s.window->PollIndex();
        QCOMPARE(s.Run(), QStringList());
        QCOMPARE(s.window->PollIndex() % 3, before % 3);
        s.Record(2).Connected = true;
        QCOMPARE(s.Run(), QStringList { PollTo.arg("C") });
    }

    void removalBehindThePollIndexStartsAtTheFirstRecord()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        MessageBoxes boxes;
        s.ConnectAll();
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("B") });
        QCOMPARE(s.window->PollIndex(), 2);
        SelectRow(*s.window, 0);
        s.window->mnDelDeviceClick();
        QCOMPARE(s.window->Devices().Count(), 2);
        QCOMPARE(s.Run(), QStringList { PollTo.arg("B") });
        QCOMPARE(s.Run(), QStringList { PollTo.arg("C") });
    }

    void pausesStopPollsButNotConnects()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        s.ConnectAll();
        PublicStruct& ps = PublicStruct::Instance();
        for (int pause = 0; pause < 3; ++pause) {
            ps.ScanBusy = pause == 0;
            ps.RFHistoryBusy = pause == 1;
            ps.SyncStartTick = pause == 2 ? Now() : 0;
            QCOMPARE(s.Run(), QStringList());
        }
        ps.SyncStartTick = 0;
        ps.RFHistoryBusy = true;
        s.window->tbConnectClick();
        QCOMPARE(s.RunAt(Now() + 201), QStringList { ConnectTo.arg("A") });
        ps.RFHistoryBusy = false;
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });
    }

    void syncTxWaitsFortySecondsThenFails()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        MessageBoxes boxes;
        s.ConnectAll();
        SelectRow(*s.window, 1);
        s.window->lbDevListDblClick();
        QCoreApplication::sendEvent(s.window.get(), new MessageEvent(MSG_NOTIFY, 2, PackChannel(2, 1)));
        QCOMPARE(s.b.Receive(200), std::vector<QByteArray> { Request(2, CMD_SYNC_TX) });
        const uint32_t sent = Now();
        QCOMPARE(PublicStruct::Instance().SyncStartTick, sent);

        QCOMPARE(s.RunAt(sent + 20000), QStringList());
        QCOMPARE(s.RunAt(sent + 40000), QStringList());
        QVERIFY(boxes.calls.empty());
        QCOMPARE(s.RunAt(sent + 40001), QStringList());
        QCOMPARE(boxes.calls.size(), size_t(1));
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Sync Error!"));
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
        QCOMPARE(PublicStruct::Instance().SyncStartTick, 0u);
        QCOMPARE(s.Run(), QStringList { PollTo.arg("A") });
        QCOMPARE(boxes.calls.size(), size_t(1));
    }

    void aPendingSyncTimesOutWithAnEmptyList()
    {
        ExeDir dir;
        auto window = MakeWindow();
        MessageBoxes boxes;
        PublicStruct::Instance().SyncStartTick = 0xFFFFF000; // the deadline lies past the wrap
        SetNow(0xFFFFF000 + 40000);
        window->Timer1Timer();
        QVERIFY(boxes.calls.empty());
        Advance(1);
        window->Timer1Timer();
        QCOMPARE(boxes.calls.size(), size_t(1));
    }

    void deadlinesSurviveTheCounterWrap()
    {
        REQUIRE_PRIVATE_NETNS();
        Stage s;
        s.window->Devices().RemoveFirst(2, 1);
        s.window->Devices().RemoveFirst(3, 1);
        SetNow(0xFFFFFF00);
        s.window->tbConnectClick();
        QCOMPARE(s.Record(0).ConnectDue, 0xFFFFFFC8u);
        QCOMPARE(s.RunAt(0xFFFFFFC8), QStringList());
        QCOMPARE(s.RunAt(0x10), QStringList { ConnectTo.arg("A") });
        QCOMPARE(s.Record(0).ConnectDeadline, 0x10u + 2000);
        QCOMPARE(s.RunAt(0x10 + 2000), QStringList());
        QVERIFY(Messages(*s.window).isEmpty());
        QCOMPARE(s.RunAt(0x10 + 2001), QStringList());
        QCOMPARE(Messages(*s.window), QStringList { "Cannot Connect Device [1:1]" });

        // A deadline that would land on 0 is kept a millisecond later instead of being lost.
        SetNow(uint32_t(0) - 2201);
        s.window->tbConnectClick();
        QCOMPARE(s.RunAt(uint32_t(0) - 2000), QStringList { ConnectTo.arg("A") });
        QCOMPARE(s.Record(0).ConnectDeadline, 1u);
        QCOMPARE(s.RunAt(1), QStringList());
        QVERIFY(Messages(*s.window).isEmpty());
        QCOMPARE(s.RunAt(2), QStringList());
        QCOMPARE(Messages(*s.window), QStringList { "Cannot Connect Device [1:1]" });
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestCycle)
#include "CycleTests.moc"
