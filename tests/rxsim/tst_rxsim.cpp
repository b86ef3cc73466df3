// The receiver simulator seen from the system's side of the wire: every reply checked with the
// project's own frame codec, over UDP and over a pseudo-terminal.
#include "NetNamespace.h"
#include "RxSim.h"
#include "SystemSide.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <arpa/inet.h>
#include <csignal>
#include <memory>

using testsupport::RxSim;

namespace {

const QString OneReceiver = QStringLiteral("rxid=7,channels=3,start=640.125,first=4,last=20,band=K,name=舞台左,hw=H5,sw=S6");

std::unique_ptr<Link> OpenLink(RxSim& sim, const QString& via, const QString& ip)
{
    if (via == QLatin1String("pty"))
        return std::make_unique<SerialLink>(sim.SerialPath());
    auto udp = std::make_unique<UdpLink>("127.0.0.1", 0);
    udp->Target(ip, sim.Port());
    return udp;
}

// The reply to one request, or an empty frame when none came within timeoutMs.
std::vector<uint8_t> Ask(Link& link, const std::vector<uint8_t>& request, int timeoutMs = 2000,
                         QString* source = nullptr)
{
    if (!link.Send(request))
        return {};
    const auto r = link.Next(timeoutMs);
    if (source && r)
        *source = r->Source;
    return r ? r->Bytes : std::vector<uint8_t>{};
}

std::optional<StatusReply> PollStatus(Link& link, uint8_t rxid, uint8_t devIdx)
{
    const auto reply = Ask(link, Request(rxid, devIdx, CMD_GET_STATUS));
    return DecodeStatus(reply.data(), reply.size());
}

} // namespace

class TestRxSim : public QObject {
    Q_OBJECT

private slots:
    void everyRequestAnswered_data();
    void everyRequestAnswered();
    void settingsShowInLaterStatus();
    void scanStopsOnRequest();
    void onlyTheAddressedReceiverAnswers();
    void serialBusAddressingAndSearch();
    void broadcastSearchGivesOneReplyPerReceiver();
    void ipChangeMovesReceiver_data();
    void ipChangeMovesReceiver();
    void levelsAndBatteryBehaveLikeHardware();
    void syncAnswersAfterDelay_data();
    void syncAnswersAfterDelay();
    void dropShareIsRoughAndSeeded();
    void silence();
    void scriptedEpisodes();
    void damagedReplies();
    void garbageOnSerialLine();
    void delayHoldsRepliesBack();
    void hexlogShowsFrames();
    void receiverFile();
    void badUsageIsRefused();
    void exitsCleanlyOnSignal_data();
    void exitsCleanlyOnSignal();
};

void TestRxSim::everyRequestAnswered_data()
{
    QTest::addColumn<QString>("via");
    QTest::newRow("udp") << "udp";
    QTest::newRow("pty") << "pty";
}

void TestRxSim::everyRequestAnswered()
{
    QFETCH(QString, via);
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--pty", "--sync-delay", "50", "--scan-interval", "2", "--rx", OneReceiver}),
             qPrintable(sim.Error()));
    QCOMPARE(sim.Receivers().size(), 1);
    const QString ownAddress = QStringLiteral("127.0.0.2:%1").arg(sim.Port());
    auto link = OpenLink(sim, via, "127.0.0.2");
    const QString expectedSource = via == QLatin1String("udp") ? ownAddress : QString();

    QString source;
    auto reply = Ask(*link, Request(7, 2, CMD_CONNECT), 2000, &source);
    const auto info = DecodeDeviceInfo(reply.data(), reply.size());
    QVERIFY(info);
    QCOMPARE(FrameRxid(reply.data()), uint8_t{7});
    QCOMPARE(FrameDevIdx(reply.data()), uint8_t{2});
    QCOMPARE(source, expectedSource);
    QCOMPARE(info->StartFreq, 640.125);
    QCOMPARE(info->StartChannel, 4);
    QCOMPARE(info->MaxChannel, 17);
    QCOMPARE(info->Band, QStringLiteral("K"));
    QCOMPARE(info->Name, QStringLiteral("舞台左"));
    QCOMPARE(info->HWVer, QStringLiteral("H5"));
    QCOMPARE(info->SWVer, QStringLiteral("S6"));

    reply = Ask(*link, Request(7, 3, CMD_GET_STATUS), 2000, &source);
    const auto status = DecodeStatus(reply.data(), reply.size());
    QVERIFY(status);
    QCOMPARE(source, expectedSource);
    QCOMPARE(FrameDevIdx(reply.data()), uint8_t{3});
    QVERIFY(status->Channel >= 4 && status->Channel <= 20);
    QCOMPARE(status->Battery, uint8_t{3});
    QVERIFY(status->RfA <= 100 && status->RfB <= 100 && status->Audio <= 100);
    QVERIFY(status->SQ <= MaxSqStep);
    QVERIFY(status->Antenna == 1 || status->Antenna == 2);

    reply = Ask(*link, Request(7, 1, CMD_SYNC_TX));
    QCOMPARE(DecodeSyncResult(reply.data(), reply.size()), std::optional<uint8_t>(1));
    reply = Ask(*link, Request(7, 1, CMD_SET_CHANNEL, {10}));
    QCOMPARE(DecodeSetAck(reply.data(), reply.size()), std::optional<uint8_t>(CMD_SET_CHANNEL_ACK));
    reply = Ask(*link, Request(7, 1, CMD_SET_SQ, {6}));
    QCOMPARE(DecodeSetAck(reply.data(), reply.size()), std::optional<uint8_t>(CMD_SET_SQ_ACK));

    reply = Ask(*link, Request(SearchRxid, SearchDevIdx, CMD_SEARCH), 2000, &source);
    const auto search = DecodeSearchReply(reply.data(), reply.size());
    QVERIFY(search);
    QCOMPARE(source, expectedSource);
    QCOMPARE(search->Rxid, 7);
    QCOMPARE(search->ChannelCount, 3);
    QCOMPARE(search->Name, QStringLiteral("舞台左"));
    QCOMPARE(search->Band, QStringLiteral("K"));

    QVERIFY(link->Send(Request(7, 2, CMD_SCAN_START)));
    for (int channel = 4; channel <= 20; ++channel) {
        const auto r = link->Next(2000);
        QVERIFY2(r, qPrintable(QStringLiteral("no point for channel %1").arg(channel)));
        const auto point = DecodeScanPoint(r->Bytes.data(), r->Bytes.size());
        QVERIFY(point);
        QCOMPARE(int(point->Channel), channel);
        QCOMPARE(FrameDevIdx(r->Bytes.data()), uint8_t{2});
    }
    const auto end = link->Next(2000);
    QVERIFY(end && IsScanEnd(end->Bytes.data(), end->Bytes.size()));

    reply = Ask(*link, Request(7, 1, CMD_SET_IP, {127, 0, 0, 44, 255, 255, 255, 0, 127, 0, 0, 1}), 2000, &source);
    QVERIFY(IsSetIpAck(reply.data(), reply.size()));
    if (via == QLatin1String("udp"))
        QCOMPARE(source, QStringLiteral("127.0.0.44:%1").arg(sim.Port()));
    QCOMPARE(sim.Stop(), 0);
}

void TestRxSim::settingsShowInLaterStatus()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--no-broadcast", "--rx", OneReceiver}), qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    const auto before = PollStatus(link, 7, 1);
    QVERIFY(before);

    QVERIFY(!Ask(link, Request(7, 2, CMD_SET_CHANNEL, {12})).empty());
    QVERIFY(!Ask(link, Request(7, 2, CMD_SET_SQ, {2})).empty());
    auto after = PollStatus(link, 7, 2);
    QVERIFY(after);
    QCOMPARE(int(after->Channel), 12);
    QCOMPARE(int(after->SQ), 2);
    // Another channel of the same receiver keeps its own settings.
    const auto other = PollStatus(link, 7, 1);
    QVERIFY(other);
    QCOMPARE(other->Channel, before->Channel);
    QCOMPARE(other->SQ, before->SQ);

    // Outside the band, or past the deepest SQ step, nothing changes and nothing is acknowledged.
    QVERIFY(Ask(link, Request(7, 2, CMD_SET_CHANNEL, {21}), 400).empty());
    QVERIFY(Ask(link, Request(7, 2, CMD_SET_CHANNEL, {3}), 400).empty());
    QVERIFY(Ask(link, Request(7, 2, CMD_SET_SQ, {9}), 400).empty());
    after = PollStatus(link, 7, 2);
    QVERIFY(after);
    QCOMPARE(int(after->Channel), 12);
    QCOMPARE(int(after->SQ), 2);
}

void TestRxSim::scanStopsOnRequest()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--scan-interval", "20", "--rx", "rxid=1,first=0,last=199"}),
             qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QVERIFY(link.Send(Request(1, 1, CMD_SCAN_START)));
    for (int i = 0; i < 5; ++i)
        QVERIFY(link.Next(2000));
    QVERIFY(link.Send(Request(1, 1, CMD_SCAN_STOP)));
    // At most the point already under way follows the stop; no end is sent.
    const auto late = link.Collect(600);
    QVERIFY2(late.size() <= 1, qPrintable(QString::number(late.size())));
    for (const Received& r : late)
        QVERIFY(DecodeScanPoint(r.Bytes.data(), r.Bytes.size()));
}

void TestRxSim::onlyTheAddressedReceiverAnswers()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--no-broadcast"}), qPrintable(sim.Error()));
    QCOMPARE(sim.Receivers().size(), 4);
    const auto* second = sim.Receiver(2);
    QVERIFY(second);
    UdpLink link("127.0.0.1", 0);
    link.Target(second->Ip, sim.Port());

    QVERIFY(Ask(link, Request(1, 1, CMD_GET_STATUS), 400).empty()); // RXID 1 lives elsewhere
    QVERIFY(Ask(link, Request(2, 0, CMD_GET_STATUS), 400).empty());
    QVERIFY(Ask(link, Request(2, static_cast<uint8_t>(second->Channels + 1), CMD_GET_STATUS), 400).empty());
    auto corrupt = Request(2, 1, CMD_GET_STATUS);
    corrupt.back() ^= 0x01;
    QVERIFY(Ask(link, corrupt, 400).empty());
    QVERIFY(Ask(link, Request(2, 1, CMD_GET_STATUS, {}), 400).empty()); // a request always has a payload

    QString source;
    const auto reply = Ask(link, Request(2, static_cast<uint8_t>(second->Channels), CMD_GET_STATUS), 2000, &source);
    QVERIFY(DecodeStatus(reply.data(), reply.size()));
    QCOMPARE(source, QStringLiteral("%1:%2").arg(second->Ip).arg(sim.Port()));
}

void TestRxSim::serialBusAddressingAndSearch()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--no-udp", "--pty", "--baud", "115200"}), qPrintable(sim.Error()));
    QVERIFY(!sim.SerialPath().isEmpty());
    QVERIFY(sim.Receivers().size() == 4);
    SerialLink bus(sim.SerialPath());
    QVERIFY(bus.IsOpen());

    QVERIFY(bus.Send(Request(3, 1, CMD_GET_STATUS)));
    const auto replies = bus.Collect(500);
    QCOMPARE(replies.size(), size_t{1});
    QCOMPARE(FrameRxid(replies[0].Bytes.data()), uint8_t{3});

    QVERIFY(bus.Send(Request(SearchRxid, SearchDevIdx, CMD_SEARCH)));
    const auto found = bus.Collect(1000);
    QCOMPARE(found.size(), size_t{4});
    for (size_t i = 0; i < found.size(); ++i) {
        const auto search = DecodeSearchReply(found[i].Bytes.data(), found[i].Bytes.size());
        QVERIFY(search);
        QCOMPARE(search->Rxid, sim.Receivers()[static_cast<qsizetype>(i)].Rxid);
        QCOMPARE(search->ChannelCount, sim.Receivers()[static_cast<qsizetype>(i)].Channels);
    }
}

void TestRxSim::broadcastSearchGivesOneReplyPerReceiver()
{
    REQUIRE_PRIVATE_NETNS();
    RxSim sim;
    QVERIFY2(sim.Start(), qPrintable(sim.Error()));
    QCOMPARE(sim.BroadcastEndpoint(), QStringLiteral("0.0.0.0:5000"));
    UdpLink system("0.0.0.0", 1000, true);
    QVERIFY(system.IsOpen());
    system.Target(BroadcastAddress, 5000);
    QVERIFY(system.Send(Request(SearchRxid, SearchDevIdx, CMD_SEARCH)));
    const auto replies = system.Collect(1000);
    QCOMPARE(replies.size(), size_t(sim.Receivers().size()));
    QSet<int> seen;
    for (const Received& r : replies) {
        const auto search = DecodeSearchReply(r.Bytes.data(), r.Bytes.size());
        QVERIFY(search);
        const auto* receiver = sim.Receiver(search->Rxid);
        QVERIFY(receiver);
        QCOMPARE(r.Source, QStringLiteral("%1:5000").arg(receiver->Ip));
        QCOMPARE(search->ChannelCount, receiver->Channels);
        seen.insert(search->Rxid);
    }
    QCOMPARE(seen.size(), sim.Receivers().size());
}

void TestRxSim::ipChangeMovesReceiver_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("newIp");
    QTest::newRow("loopback") << QStringList{} << "127.0.0.9";
    QTest::newRow("namespace address") << QStringList{"--netns-addresses"} << "10.20.30.40";
}

void TestRxSim::ipChangeMovesReceiver()
{
    REQUIRE_PRIVATE_NETNS();
    QFETCH(QStringList, options);
    QFETCH(QString, newIp);
    RxSim sim;
    QVERIFY2(sim.Start(options), qPrintable(sim.Error()));
    const QString oldIp = sim.Receiver(3)->Ip;
    UdpLink system("0.0.0.0", 1000, true);
    QVERIFY(system.IsOpen());
    system.Target(BroadcastAddress, 5000);

    uint32_t ip = 0;
    QVERIFY(inet_pton(AF_INET, newIp.toLatin1().constData(), &ip) == 1);
    const auto* o = reinterpret_cast<const uint8_t*>(&ip);
    QString source;
    // An address no host can have is refused: the receiver stays where it is.
    QVERIFY(Ask(system, Request(3, 1, CMD_SET_IP, {0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 1}), 400).empty());
    auto reply = Ask(system, Request(3, 1, CMD_SET_IP, {o[0], o[1], o[2], o[3], 255, 0, 0, 0, o[0], 0, 0, 1}), 2000,
                     &source);
    QVERIFY(IsSetIpAck(reply.data(), reply.size()));
    QCOMPARE(FrameRxid(reply.data()), uint8_t{3});
    QCOMPARE(source, newIp + ":5000");
    QVERIFY(sim.WaitForLine(QRegularExpression("^MOVED rxid=3 ip=" + QRegularExpression::escape(newIp) + " "), 2000));

    system.Target(newIp, 5000);
    QVERIFY(PollStatus(system, 3, 1));
    system.Target(oldIp, 5000);
    QVERIFY(Ask(system, Request(3, 1, CMD_GET_STATUS), 400).empty());

    system.Target(BroadcastAddress, 5000);
    QVERIFY(system.Send(Request(SearchRxid, SearchDevIdx, CMD_SEARCH)));
    bool foundMoved = false;
    for (const Received& r : system.Collect(800))
        foundMoved = foundMoved || (FrameRxid(r.Bytes.data()) == 3 && r.Source == newIp + ":5000");
    QVERIFY(foundMoved);
    QCOMPARE(sim.Stop(), 0);
}

void TestRxSim::levelsAndBatteryBehaveLikeHardware()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--no-broadcast", "--battery-drain", "0.4", "--rx", "rxid=1"}),
             qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QSet<int> rfA, rfB, audio;
    QList<int> battery;
    for (int i = 0; i < 25; ++i) {
        const auto s = PollStatus(link, 1, 1);
        QVERIFY(s);
        QVERIFY(s->RfA <= 100 && s->RfB <= 100 && s->Audio <= 100);
        if (s->RfA >= s->RfB + 5)
            QCOMPARE(int(s->Antenna), 1);
        if (s->RfB >= s->RfA + 5)
            QCOMPARE(int(s->Antenna), 2);
        rfA.insert(s->RfA);
        rfB.insert(s->RfB);
        audio.insert(s->Audio);
        battery.append(s->Battery);
        QThread::msleep(60);
    }
    QVERIFY2(rfA.size() > 3 && rfB.size() > 3 && audio.size() > 1, "the levels do not move");
    QCOMPARE(battery.first(), 3);
    QCOMPARE(battery.last(), 1);
    QVERIFY(battery.contains(2));
    QVERIFY(std::is_sorted(battery.rbegin(), battery.rend())); // never recharges by itself
}

void TestRxSim::syncAnswersAfterDelay_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("result");
    QTest::newRow("success") << QStringList{} << 1;
    QTest::newRow("failure") << QStringList{"--sync-fail"} << 2;
}

void TestRxSim::syncAnswersAfterDelay()
{
    QFETCH(QStringList, options);
    QFETCH(int, result);
    RxSim sim;
    QVERIFY2(sim.Start(options + QStringList{"--port", "0", "--sync-delay", "400"}), qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QVERIFY(link.Send(Request(1, 1, CMD_SYNC_TX)));
    QVERIFY(!link.Next(200));
    const auto r = link.Next(3000);
    QVERIFY(r);
    QCOMPARE(DecodeSyncResult(r->Bytes.data(), r->Bytes.size()), std::optional<uint8_t>(result));
}

void TestRxSim::dropShareIsRoughAndSeeded()
{
    constexpr int Polls = 200;
    auto answered = [](const QString& seed) {
        RxSim sim;
        if (!sim.Start({"--port", "0", "--drop", "0.5", "--seed", seed}))
            return -1;
        UdpLink link("127.0.0.1", 0);
        link.Target("127.0.0.2", sim.Port());
        for (int i = 0; i < Polls; ++i)
            link.Send(Request(1, 1, CMD_GET_STATUS));
        int count = 0;
        for (const Received& r : link.Collect(1000))
            count += DecodeStatus(r.Bytes.data(), r.Bytes.size()) ? 1 : 0;
        return count;
    };
    const int first = answered("7");
    QVERIFY2(first > Polls * 3 / 10 && first < Polls * 7 / 10, qPrintable(QString::number(first)));
    QCOMPARE(answered("7"), first);
}

void TestRxSim::silence()
{
    RxSim all;
    QVERIFY2(all.Start({"--port", "0", "--silent"}), qPrintable(all.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", all.Port());
    QVERIFY(Ask(link, Request(1, 1, CMD_GET_STATUS), 400).empty());
    QVERIFY(all.IsRunning());
    QCOMPARE(all.Stop(), 0);

    RxSim chosen;
    QVERIFY2(chosen.Start({"--port", "0", "--silent-rx", "2,4"}), qPrintable(chosen.Error()));
    for (const auto& receiver : chosen.Receivers()) {
        link.Target(receiver.Ip, chosen.Port());
        const bool answered = PollStatus(link, static_cast<uint8_t>(receiver.Rxid), 1).has_value();
        QCOMPARE(answered, receiver.Rxid != 2 && receiver.Rxid != 4);
    }
}

// Receiver 1 silent for its first 3 s, then back; receiver 2 without RF and with its battery at
// the lowest level soon after the start.
void TestRxSim::scriptedEpisodes()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--no-broadcast", "--rx", "rxid=1", "--rx", "rxid=2", "--silence", "1@0-3",
                 "--rf-loss", "2@0-600", "--battery-empty", "2@0.6"}),
        qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QVERIFY(!PollStatus(link, 1, 1));
    QElapsedTimer waited;
    waited.start();
    bool back = false;
    while (!back && waited.elapsed() < 15000)
        back = PollStatus(link, 1, 1).has_value();
    QVERIFY(back);

    link.Target("127.0.0.3", sim.Port());
    int battery = 3;
    while (battery != 1 && waited.elapsed() < 30000) {
        const auto s = PollStatus(link, 2, 1);
        QVERIFY(s);
        QVERIFY(s->RfA <= 2 && s->RfB <= 2 && s->RfA < s->Level && s->RfB < s->Level);
        battery = s->Battery;
    }
    QCOMPARE(battery, 1);
}

void TestRxSim::damagedReplies()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--bad-crc", "1"}), qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    auto reply = Ask(link, Request(1, 1, CMD_GET_STATUS));
    QVERIFY(IsWellFormedDatagram(reply.data(), reply.size()));
    QVERIFY(!FrameChecksumOk(reply.data(), reply.size()));
    QCOMPARE(sim.Stop(), 0);

    QVERIFY2(sim.Start({"--port", "0", "--bad-len", "1"}), qPrintable(sim.Error()));
    link.Target("127.0.0.2", sim.Port());
    reply = Ask(link, Request(1, 1, CMD_GET_STATUS));
    QVERIFY(!reply.empty());
    QVERIFY(FrameChecksumOk(reply.data(), reply.size()));
    QVERIFY(!IsWellFormedDatagram(reply.data(), reply.size()));
}

void TestRxSim::garbageOnSerialLine()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--no-udp", "--pty", "--garbage", "1"}), qPrintable(sim.Error()));
    SerialLink bus(sim.SerialPath());
    QVERIFY(bus.Send(Request(1, 1, CMD_GET_STATUS)));
    const std::vector<uint8_t> raw = bus.RawFor(500);
    QVERIFY(raw.size() > static_cast<size_t>(FrameOverhead + StatusMinLen));
    QVERIFY(raw[0] != FrameHead); // noise first
    SerialFrameCutter cutter;
    cutter.Append(raw.data(), static_cast<int>(raw.size()));
    std::vector<uint8_t> frame;
    QVERIFY(cutter.NextFrame(frame)); // the frame behind it is intact
    QVERIFY(FrameChecksumOk(frame.data(), frame.size()));
    QVERIFY(DecodeStatus(frame.data(), frame.size()));
}

void TestRxSim::delayHoldsRepliesBack()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--delay", "400"}), qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QVERIFY(link.Send(Request(1, 1, CMD_CONNECT)));
    QVERIFY(!link.Next(200));
    const auto r = link.Next(3000);
    QVERIFY(r && DecodeDeviceInfo(r->Bytes.data(), r->Bytes.size()));
}

void TestRxSim::hexlogShowsFrames()
{
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--hexlog"}), qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QVERIFY(!Ask(link, Request(1, 1, CMD_GET_STATUS)).empty());
    const QString port = QString::number(sim.Port());
    QVERIFY(sim.WaitForLine(QRegularExpression("^RX udp 127\\.0\\.0\\.2:" + port + " <- 127\\.0\\.0\\.1:\\d+ \\[8\\] "
                                               "C8 01 01 C9 03 01 00 35$"),
                            2000));
    QVERIFY(sim.WaitForLine(QRegularExpression("^TX udp 127\\.0\\.0\\.2:" + port + " -> 127\\.0\\.0\\.1:\\d+ \\[16\\] "
                                               "C8 01 01 C9 04 09 01"),
                            2000));
}

void TestRxSim::receiverFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("receivers.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# two receivers\n\nrxid=20 ip=127.0.0.20 channels=4 start=520.5 band=Q name=\"Hall B\"\n"
               "rxid=21, ip=127.0.0.21, channels=1\n");
    file.close();
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--config", path}), qPrintable(sim.Error()));
    QCOMPARE(sim.Receivers().size(), 2);
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.20", sim.Port());
    auto reply = Ask(link, Request(20, 4, CMD_CONNECT));
    const auto info = DecodeDeviceInfo(reply.data(), reply.size());
    QVERIFY(info);
    QCOMPARE(info->StartFreq, 520.5);
    QCOMPARE(info->Name, QStringLiteral("Hall B"));
    link.Target("127.0.0.21", sim.Port());
    reply = Ask(link, Request(SearchRxid, SearchDevIdx, CMD_SEARCH));
    const auto search = DecodeSearchReply(reply.data(), reply.size());
    QVERIFY(search);
    QCOMPARE(search->ChannelCount, 1);
    QCOMPARE(sim.Stop(), 0);

    QVERIFY(file.open(QIODevice::Append));
    file.write("rxid=22 start=640.05\n"); // a fraction the device information cannot carry
    file.close();
    QVERIFY(!sim.Start({"--port", "0", "--config", path}));
    QCOMPARE(sim.Process().exitCode(), 2);
    QVERIFY2(sim.ErrorOutput().contains(path + ":5:"), qPrintable(sim.ErrorOutput()));
}

void TestRxSim::badUsageIsRefused()
{
    const QList<QStringList> cases = {
        {"--drop", "1.5"},
        {"--rx", "rxid=1,name=ThisNameIsTooLong"},
        {"--rx", "rxid=1", "--rx", "rxid=1,ip=127.0.0.3"},
        {"--no-udp"},
        {"--rx", "rxid=1,colour=red"},
        {"--baud", "12345", "--pty", "--no-udp"},
        {"--silence", "1@5-3"},
        {"--battery-empty", "1@2-3"},
    };
    for (const QStringList& options : cases) {
        RxSim sim;
        QVERIFY2(!sim.Start(options), qPrintable(options.join(' ')));
        QVERIFY2(sim.Process().exitCode() != 0, qPrintable(options.join(' ')));
        QVERIFY2(!sim.ErrorOutput().isEmpty(), qPrintable(options.join(' ')));
    }
}

void TestRxSim::exitsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestRxSim::exitsCleanlyOnSignal()
{
    QFETCH(int, signal);
    RxSim sim;
    QVERIFY2(sim.Start({"--port", "0", "--pty", "--scan-interval", "5"}), qPrintable(sim.Error()));
    UdpLink link("127.0.0.1", 0);
    link.Target("127.0.0.2", sim.Port());
    QVERIFY(link.Send(Request(1, 1, CMD_SCAN_START))); // mid-scan, timers running
    QVERIFY(link.Next(2000));
    ::kill(static_cast<pid_t>(sim.Process().processId()), signal);
    QVERIFY(sim.Process().waitForFinished(5000));
    QCOMPARE(sim.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.Process().exitCode(), 0);
}

TESSARO_NETNS_TEST_MAIN(QCoreApplication, TestRxSim)
#include "tst_rxsim.moc"
