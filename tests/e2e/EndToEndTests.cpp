// The real main window, its own timer and clock, against the receiver simulator: over UDP from
// port 1000 to 127.0.0.N:5000 inside a private network namespace, and over the serial line on
// the simulator's pseudo-terminal.
#include "MainFixture.h"

#include "data/PublicStruct.h"
#include "ui/TTMICObject.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <RxSim.h>

using namespace fixture;
using testsupport::RxSim;
using testsupport::RxSimReceiver;

namespace
{

constexpr int ConnectWaitMs = 5000;
constexpr int LiveWaitMs = 5000;

StoredRecord ChannelOf(const RxSimReceiver& receiver, int devIdx)
{
    StoredRecord r;
    r.ip = receiver.Ip;
    r.rxid = receiver.Rxid;
    r.devIdx = devIdx;
    r.band = QStringLiteral("0");
    r.name = QStringLiteral("QX-500");
    return r;
}

bool AllRowsRed(TFrmMain& window)
{
    for (int i = 0; i < DevList(window)->topLevelItemCount(); ++i)
        if (RowValue(window, i) == 0)
            return false;
    return true;
}

TTMICObject& OpenTile(TFrmMain& window, int row)
{
    SelectRow(window, row);
    window.lbDevListDblClick();
    return *window.Tiles().back();
}

// The record's values after a device information reply from this receiver.
void VerifyDeviceInfo(TFrmMain& window, int row, const RxSimReceiver& receiver)
{
    const TTMICListObj& record = *window.Devices().At(row);
    QCOMPARE(record.Name, receiver.Name);
    QCOMPARE(record.Band, receiver.Band);
    QCOMPARE(record.StartFreq, receiver.StartFreq.toDouble());
    QCOMPARE(record.StartChannel, receiver.FirstChannel);
    QCOMPARE(record.MaxChannel, receiver.LastChannel - receiver.FirstChannel + 1);
    QCOMPARE(record.HWVer, receiver.HWVer);
    QCOMPARE(record.SWVer, receiver.SWVer);
    QVERIFY(record.Connected);
    QCOMPARE(Row(window, row)->text(TFrmMain::ColName), receiver.Name);
    QCOMPARE(Row(window, row)->text(TFrmMain::ColBand), receiver.Band);
}

// Status polls reach the tile and the row: battery 1..3, levels on the bars, the frequency of
// the reported channel within the band.
void VerifyLiveTile(TFrmMain& window, int row, const TTMICObject& tile)
{
    QTRY_VERIFY_WITH_TIMEOUT(tile.BatterySymbol() >= 1 && tile.BatterySymbol() <= 3, LiveWaitMs);
    QVERIFY(tile.RFLevelA() >= 0 && tile.RFLevelA() <= 100);
    QVERIFY(tile.RFLevelB() >= 0 && tile.RFLevelB() <= 100);
    const TTMICListObj& record = *window.Devices().At(row);
    QVERIFY(record.Freq >= record.StartFreq);
    QVERIFY(record.Freq <= record.StartFreq + (record.MaxChannel - 1) * 0.25);
    QCOMPARE(Row(window, row)->text(TFrmMain::ColFreq), TFrmMain::FrequencyCellText(record.Freq));
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init() { UseRealClock(); }

    void connectAndWatchOverUdp()
    {
        REQUIRE_PRIVATE_NETNS();
        RxSim sim;
        QVERIFY2(sim.Start({ "--hexlog" }), qPrintable(sim.Error()));
        const RxSimReceiver& one = sim.Receivers()[0];
        const RxSimReceiver& two = sim.Receivers()[1];
        ExeDir dir({ ChannelOf(one, 1), ChannelOf(one, 2), ChannelOf(two, 3) });
        auto window = MakeWindow(LocalUdpPort, false);

        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(AllRowsRed(*window), ConnectWaitMs);
        QCOMPARE(Messages(*window),
            (QStringList {
                "Connect DeviceID 1 success!", "Connect DeviceID 1 success!", "Connect DeviceID 2 success!" }));
        VerifyDeviceInfo(*window, 0, one);
        VerifyDeviceInfo(*window, 2, two);

        TTMICObject& tile = OpenTile(*window, 2);
        QCOMPARE(tile.RXID(), 2);
        QCOMPARE(tile.DevIdx(), 3);
        VerifyLiveTile(*window, 2, tile);
        // Every request went out from port 1000 to the receiver's own address.
        QVERIFY(sim.WaitForLine(
            QRegularExpression("^RX udp 127\\.0\\.0\\.3:5000 <- 127\\.0\\.0\\.1:1000 .* C9 03 "), 2000));
        for (const QString& line : sim.Output().filter(QRegularExpression("^RX udp ")))
            QVERIFY2(line.contains(QStringLiteral(" <- 127.0.0.1:1000 ")), qPrintable(line));
    }

    void connectAndWatchOverTheSerialLine()
    {
        REQUIRE_PRIVATE_NETNS();
        RxSim sim;
        QVERIFY2(sim.Start({ "--no-udp", "--pty" }), qPrintable(sim.Error()));
        const RxSimReceiver& three = sim.Receivers()[2];
        const RxSimReceiver& four = sim.Receivers()[3];
        ExeDir dir({ ChannelOf(three, 2), ChannelOf(four, 1) }, "ConnectType=1\r\nUartPort=2\r\n");
        QVERIFY(QFile::link(sim.SerialPath(), dir.Path() + QStringLiteral("COM2")));
        auto window = MakeWindow(LocalUdpPort, false);
        QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel), QStringLiteral("Open port 2 success"));

        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(AllRowsRed(*window), ConnectWaitMs);
        VerifyDeviceInfo(*window, 0, three);
        VerifyDeviceInfo(*window, 1, four);
        QCOMPARE(window->Devices().At(0)->IP, QString()); // a serial reply carries no address

        VerifyLiveTile(*window, 0, OpenTile(*window, 0));
        VerifyLiveTile(*window, 1, OpenTile(*window, 1));
    }

    void silentReceiverCannotBeConnected()
    {
        REQUIRE_PRIVATE_NETNS();
        RxSim sim;
        QVERIFY2(sim.Start({ "--silent-rx", "2" }), qPrintable(sim.Error()));
        ExeDir dir({ ChannelOf(sim.Receivers()[1], 1), ChannelOf(sim.Receivers()[0], 1) });
        auto window = MakeWindow(LocalUdpPort, false);

        window->tbConnectClick();
        QTRY_COMPARE_WITH_TIMEOUT(Messages(*window).size(), 2, ConnectWaitMs);
        QCOMPARE(Messages(*window), (QStringList { "Connect DeviceID 1 success!", "Cannot Connect Device [2:1]" }));
        QCOMPARE(RowValue(*window, 0), 0);
        QVERIFY(!window->Devices().At(0)->Connected);
        QVERIFY(RowValue(*window, 1) != 0);
    }

    // Receiver 2 falls silent 4 s after the simulator's start and answers again 4 s later.
    void silentReceiverIsLostAndRestored()
    {
        REQUIRE_PRIVATE_NETNS();
        RxSim sim;
        QVERIFY2(sim.Start({ "--silence", "2@4-8" }), qPrintable(sim.Error()));
        ExeDir dir({ ChannelOf(sim.Receivers()[0], 1), ChannelOf(sim.Receivers()[1], 1) });
        auto window = MakeWindow(LocalUdpPort, false);
        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(AllRowsRed(*window), ConnectWaitMs);
        const TTMICObject& tile = OpenTile(*window, 1);

        QTRY_VERIFY_WITH_TIMEOUT(tile.IsLost(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!tile.IsLost(), 20000);
        // RF loss lines may come between them: the simulated levels wander.
        QCOMPARE(Messages(*window).filter(QStringLiteral("onnection")),
            (QStringList { "Lost connection [2:1]", "Connection restored [2:1]" }));
    }

    void syncTxFromATile_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("result");
        QTest::newRow("success") << QStringList { "--sync-delay", "300" } << "Sync Successfully!";
        QTest::newRow("failure") << QStringList { "--sync-delay", "300", "--sync-fail" } << "Sync Error!";
    }
    void syncTxFromATile()
    {
        REQUIRE_PRIVATE_NETNS();
        QFETCH(QStringList, options);
        RxSim sim;
        QVERIFY2(sim.Start(options), qPrintable(sim.Error()));
        ExeDir dir({ ChannelOf(sim.Receivers()[0], 2) });
        auto window = MakeWindow(LocalUdpPort, false);
        MessageBoxes boxes;
        window->tbConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(AllRowsRed(*window), ConnectWaitMs);
        TTMICObject& tile = OpenTile(*window, 0);

        QTest::mouseClick(tile.findChild<QPushButton*>(QStringLiteral("btSet")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(PublicStruct::Instance().SyncStartTick != 0, 1000); // the tile posts the request
        QTRY_COMPARE_WITH_TIMEOUT(boxes.calls.size(), size_t(1), 5000);
        QTEST(boxes.calls[0].message, "result");
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
        QCOMPARE(PublicStruct::Instance().SyncStartTick, 0u);
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestEndToEnd)
#include "EndToEndTests.moc"
