#include "protocol/Commands.h"
#include "protocol/Frame.h"

#include <QTest>
#include <arpa/inet.h>
#include <functional>
#include <random>

using Bytes = std::vector<uint8_t>;

namespace
{

Bytes Reply(uint8_t cmd, const Bytes& payload, uint8_t rxid = 3, uint8_t devIdx = 2)
{
    return BuildFrame(rxid, devIdx, cmd, payload.data(), payload.size());
}

Bytes Padded(Bytes bytes, size_t size)
{
    bytes.resize(size, 0x00);
    return bytes;
}

// 640.25 MHz, channels 4..80, versions "A1" / "B2", band "U", then the 12-byte name.
Bytes DeviceInfoPayload(const Bytes& name)
{
    Bytes p { 0x02, 0x80, 0x00, 0x19, 0x04, 0x50, 'A', '1', 'B', '2', 'U', 0x00 };
    p.insert(p.end(), name.begin(), name.end());
    return Padded(p, DeviceInfoLen);
}

Bytes SearchPayload(const Bytes& name)
{
    Bytes p { 'H', '3', 'S', '7', 'V', 4 };
    p.insert(p.end(), name.begin(), name.end());
    return Padded(p, SearchReplyLen);
}

// Each decoder as the yes/no the dispatcher asks of it.
struct DecoderCase {
    const char* name;
    uint8_t cmd;
    int len;
    bool longerAccepted; // the status reply takes any Len from its minimum up
    std::function<bool(const uint8_t*, size_t)> accepts;
};

const std::vector<DecoderCase>& DecoderCases()
{
    static const std::vector<DecoderCase> cases {
        { "device info", CMD_DEVICE_INFO, DeviceInfoLen, false,
            [](auto f, auto n) { return DecodeDeviceInfo(f, n).has_value(); } },
        { "status", CMD_STATUS, StatusMinLen, true, [](auto f, auto n) { return DecodeStatus(f, n).has_value(); } },
        { "sync result", CMD_SYNC_RESULT, AckLen, false,
            [](auto f, auto n) { return DecodeSyncResult(f, n).has_value(); } },
        { "scan point", CMD_SCAN_POINT, ScanPointLen, false,
            [](auto f, auto n) { return DecodeScanPoint(f, n).has_value(); } },
        { "scan end", CMD_SCAN_END, AckLen, false, IsScanEnd },
        { "channel ack", CMD_SET_CHANNEL_ACK, AckLen, false,
            [](auto f, auto n) { return DecodeSetAck(f, n) == CMD_SET_CHANNEL_ACK; } },
        { "sq ack", CMD_SET_SQ_ACK, AckLen, false,
            [](auto f, auto n) { return DecodeSetAck(f, n) == CMD_SET_SQ_ACK; } },
        { "search reply", CMD_SEARCH_REPLY, SearchReplyLen, false,
            [](auto f, auto n) { return DecodeSearchReply(f, n).has_value(); } },
        { "set ip ack", CMD_SET_IP_ACK, AckLen, false, IsSetIpAck },
    };
    return cases;
}

// Exactly sized copies, so that the sanitizer sees any read past the end.
bool Accepts(const DecoderCase& decoder, const Bytes& frame)
{
    const Bytes exact(frame.begin(), frame.end());
    return decoder.accepts(exact.empty() ? nullptr : exact.data(), exact.size());
}

} // namespace

class ProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void checksumMatchesCrc8Polynomial07()
    {
        const auto text = reinterpret_cast<const uint8_t*>("123456789");
        QCOMPARE(FrameCrc8(text, 9), 0x0B);
        QCOMPARE(FrameCrc8(nullptr, 0), 0xFF);
        // Single bytes expose the table: T[b] ^ 0xFF.
        for (auto [byte, entry] : { std::pair { 0x01, 0x07 }, { 0x02, 0x0E }, { 0x80, 0x89 }, { 0xFF, 0xF3 } }) {
            const uint8_t b = static_cast<uint8_t>(byte);
            QCOMPARE(FrameCrc8(&b, 1), entry ^ 0xFF);
        }
    }

    void buildsTheKnownFrames()
    {
        QCOMPARE(BuildFrame(1, 1, CMD_GET_STATUS, EmptyRequest, 1),
            (Bytes { 0xC8, 0x01, 0x01, 0xC9, 0x03, 0x01, 0x00, 0x35 }));
        QCOMPARE(BuildFrame(SearchRxid, SearchDevIdx, CMD_SEARCH, EmptyRequest, 1),
            (Bytes { 0xC8, 0xFF, 0x01, 0xC9, 0x11, 0x01, 0x00, 0xC7 }));

        const Bytes empty = BuildFrame(7, 2, CMD_SCAN_END, nullptr, 0);
        QCOMPARE(empty.size(), size_t(7));
        QCOMPARE(empty[5], 0);
        QCOMPARE(empty[6], FrameCrc8(empty.data(), 6));
    }

    void buildRefusesPayloadsBeyondTheBuffer()
    {
        const Bytes payload(MaxPayload + 1, 0x5A);
        const Bytes largest = BuildFrame(1, 1, CMD_SET_IP, payload.data(), MaxPayload);
        QCOMPARE(largest.size(), size_t(FrameBufferSize));
        QCOMPARE(largest[5], MaxPayload);
        QVERIFY(FrameChecksumOk(largest.data(), largest.size()));
        QVERIFY(BuildFrame(1, 1, CMD_SET_IP, payload.data(), MaxPayload + 1).empty());
        QVERIFY(BuildFrame(1, 1, CMD_SET_IP, nullptr, 3).empty());
    }

    void checksumAndStructureTests()
    {
        Bytes frame = BuildFrame(1, 1, CMD_GET_STATUS, EmptyRequest, 1);
        QVERIFY(FrameChecksumOk(frame.data(), frame.size()));
        QVERIFY(IsWellFormedDatagram(frame.data(), frame.size()));
        for (int wrong = 0; wrong < 256; ++wrong) {
            frame.back() = static_cast<uint8_t>(wrong);
            QCOMPARE(FrameChecksumOk(frame.data(), frame.size()), wrong == 0x35);
        }
        QVERIFY(!FrameChecksumOk(nullptr, 0));

        const Bytes six { 0xC8, 1, 1, 0xC9, 3, 0 };
        QVERIFY(!IsWellFormedDatagram(six.data(), six.size()));
        Bytes wrongLen = BuildFrame(1, 1, CMD_GET_STATUS, EmptyRequest, 1);
        wrongLen[5] = 2;
        QVERIFY(!IsWellFormedDatagram(wrongLen.data(), wrongLen.size()));
        Bytes wrongMark = BuildFrame(1, 1, CMD_GET_STATUS, EmptyRequest, 1);
        wrongMark[3] = 0xC8;
        QVERIFY(!IsWellFormedDatagram(wrongMark.data(), wrongMark.size()));
    }

    void requestPayloads()
    {
        QCOMPARE(SetChannelPayload(0), SingleBytePayload { 0 });
        QCOMPARE(SetChannelPayload(255), SingleBytePayload { 255 });
        QVERIFY(!SetChannelPayload(-1) && !SetChannelPayload(256));
        QCOMPARE(SetSqPayload(8), SingleBytePayload { 8 });
        QVERIFY(!SetSqPayload(-1) && !SetSqPayload(9));
        const auto ip = SetIpPayload(inet_addr("192.168.1.20"), inet_addr("255.255.255.0"), inet_addr("192.168.1.1"));
        QCOMPARE(ip, (std::array<uint8_t, SetIpLen> { 192, 168, 1, 20, 255, 255, 255, 0, 192, 168, 1, 1 }));
    }

    void decodersCheckCmdLenAndSize_data()
    {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < DecoderCases().size(); ++i)
            QTest::newRow(DecoderCases()[i].name) << int(i);
    }

    void decodersCheckCmdLenAndSize()
    {
        QFETCH(int, index);
        const DecoderCase& d = DecoderCases()[size_t(index)];
        const Bytes good = Reply(d.cmd, Padded({}, size_t(d.len)));
        QVERIFY(Accepts(d, good));
        QVERIFY(!Accepts(d, Reply(d.cmd, Padded({}, size_t(d.len - 1)))));
        QCOMPARE(Accepts(d, Reply(d.cmd, Padded({}, size_t(d.len + 1)))), d.longerAccepted);
        QVERIFY(!Accepts(d, Reply(uint8_t(d.cmd - 1), Padded({}, size_t(d.len)))));
        QVERIFY(!Accepts(d, Bytes(good.begin(), good.end() - 1))); // Len promises one byte more
        Bytes longer = good;
        longer.push_back(0);
        QVERIFY(!Accepts(d, longer));
        Bytes noHead = good;
        noHead[0] = 0x00;
        QVERIFY(!Accepts(d, noHead));
        QVERIFY(!Accepts(d, Bytes(good.begin(), good.begin() + 6)));
        QVERIFY(!Accepts(d, {}));
    }

    void decodesDeviceInformation()
    {
        const Bytes frame = Reply(CMD_DEVICE_INFO, DeviceInfoPayload({ 'R', 'x', '-', '1' }));
        const auto info = DecodeDeviceInfo(frame.data(), frame.size());
        QVERIFY(info);
        QCOMPARE(info->StartFreq, 640.25);
        QCOMPARE(info->StartChannel, 4);
        QCOMPARE(info->MaxChannel, 77);
        QCOMPARE(info->HWVer, QStringLiteral("A1"));
        QCOMPARE(info->SWVer, QStringLiteral("B2"));
        QCOMPARE(info->Band, QStringLiteral("U"));
        QCOMPARE(info->Name, QStringLiteral("Rx-1"));

        const Bytes fullName = Reply(CMD_DEVICE_INFO, DeviceInfoPayload(Bytes(12, 'N')));
        QCOMPARE(DecodeDeviceInfo(fullName.data(), fullName.size())->Name, QString(12, QChar('N')));

        Bytes reversed = DeviceInfoPayload({});
        reversed[4] = 0x50;
        reversed[5] = 0x04;
        const Bytes bad = Reply(CMD_DEVICE_INFO, reversed);
        QVERIFY(!DecodeDeviceInfo(bad.data(), bad.size()));
    }

    void fractionDigitsFollowTheDecimalPoint_data()
    {
        QTest::addColumn<int>("fraction");
        QTest::addColumn<double>("expected");
        QTest::newRow("25") << 25 << 640.25;
        QTest::newRow("5") << 5 << 640.5;
        QTest::newRow("500") << 500 << 640.5;
        QTest::newRow("125") << 125 << 640.125;
        QTest::newRow("0") << 0 << 640.0;
        QTest::newRow("1") << 1 << 640.1;
        QTest::newRow("65535") << 65535 << 640.65535;
    }

    void fractionDigitsFollowTheDecimalPoint()
    {
        QFETCH(int, fraction);
        QFETCH(double, expected);
        QCOMPARE(DecodeStartFreq(640, uint16_t(fraction)), expected);
        Bytes payload = DeviceInfoPayload({});
        payload[2] = uint8_t(fraction >> 8);
        payload[3] = uint8_t(fraction);
        const Bytes frame = Reply(CMD_DEVICE_INFO, payload);
        QCOMPARE(DecodeDeviceInfo(frame.data(), frame.size())->StartFreq, expected);
    }

    void decodesTheShortReplies()
    {
        const Bytes status = Reply(CMD_STATUS, { 0, 9, 3, 55, 70, 20, 4, 33, 2, 0xEE });
        const auto s = DecodeStatus(status.data(), status.size());
        QVERIFY(s);
        QCOMPARE((std::array { s->Channel, s->Battery, s->Audio, s->RfA, s->RfB, s->SQ, s->Level, s->Antenna }),
            (std::array<uint8_t, 8> { 9, 3, 55, 70, 20, 4, 33, 2 }));

        const Bytes sync = Reply(CMD_SYNC_RESULT, { 3 });
        QCOMPARE(DecodeSyncResult(sync.data(), sync.size()), uint8_t(3));
        const Bytes point = Reply(CMD_SCAN_POINT, { 17, 120, 0, 0 });
        QCOMPARE(DecodeScanPoint(point.data(), point.size())->Channel, 17);
        QCOMPARE(DecodeScanPoint(point.data(), point.size())->Level, 120);
    }

    void decodesSearchReplyWithGbkName()
    {
        const Bytes frame = Reply(CMD_SEARCH_REPLY, SearchPayload({ 0xCE, 0xDE, 0xCF, 0xDF }), 42, 1);
        const auto reply = DecodeSearchReply(frame.data(), frame.size());
        QVERIFY(reply);
        QCOMPARE(reply->Rxid, 42);
        QCOMPARE(reply->HWVer, QStringLiteral("H3"));
        QCOMPARE(reply->SWVer, QStringLiteral("S7"));
        QCOMPARE(reply->Band, QStringLiteral("V"));
        QCOMPARE(reply->ChannelCount, 4);
        QCOMPARE(reply->Name, QStringLiteral("无线"));
    }

    void cutterSkipsLeadingGarbage()
    {
        SerialFrameCutter cutter;
        const Bytes stream { 0x00, 0xC8, 0x01, 0x01, 0xC9, 0x06, 0x01, 0x01, 0xF2 };
        QCOMPARE(cutter.Append(stream.data(), int(stream.size())), int(stream.size()));
        Bytes frame;
        QVERIFY(cutter.NextFrame(frame));
        QCOMPARE(frame, Bytes(stream.begin() + 1, stream.end()));
        QVERIFY(!cutter.NextFrame(frame));
        QCOMPARE(cutter.Count(), 0);
    }

    void cutterReassemblesAndResynchronises()
    {
        SerialFrameCutter cutter;
        const Bytes first = Reply(CMD_SCAN_POINT, { 1, 2, 3, 4 });
        const Bytes second = Reply(CMD_SCAN_END, { 0 });
        Bytes stream { 0xC8, 0x11, 0xC9, 0xC8, 0x00, 0xC9, 0x77 };
        stream.insert(stream.end(), first.begin(), first.end());
        stream.insert(stream.end(), second.begin(), second.end());
        stream.insert(stream.end(), { 0x01, 0x02, 0x03, 0x04, 0x05 });

        Bytes frame;
        const int split = 10; // inside the first frame
        QVERIFY(cutter.Append(stream.data(), split) == split && !cutter.NextFrame(frame));
        QVERIFY(cutter.Commit(0) && !cutter.Commit(-1) && !cutter.Commit(cutter.FreeSpace() + 1));
        cutter.Append(stream.data() + split, int(stream.size()) - split);
        QVERIFY(cutter.NextFrame(frame));
        QCOMPARE(frame, first);
        QVERIFY(cutter.NextFrame(frame));
        QCOMPARE(frame, second);
        QVERIFY(!cutter.NextFrame(frame));
        QCOMPARE(cutter.Count(), 5); // fewer than six bytes are kept to be judged later
        QCOMPARE(cutter.WritePointer()[-5], 0x01);
    }

    // A Len the buffer cannot hold never stops the line, and a header cut short (whose length
    // byte is the next frame's 0xC8) gives up one byte only: every good frame behind them comes
    // through (17 of these 200 did before).
    void cutterSkipsOversizedAndCorruptCandidates()
    {
        SerialFrameCutter cutter;
        Bytes frame;
        Bytes stream { 0xC8, 7, 7, 0xC9, CMD_DEVICE_INFO, 0xFF };
        stream.resize(4406, 0x00);
        std::vector<Bytes> sent;
        for (int i = 0; i < 200; ++i) {
            sent.push_back(Reply(CMD_STATUS, Bytes(9, uint8_t(i)), uint8_t(i)));
            stream.insert(stream.end(), sent.back().begin(), sent.back().begin() + 4 + i % 2);
            stream.insert(stream.end(), sent.back().begin(), sent.back().end());
        }
        std::vector<Bytes> received;
        size_t fed = 0;
        while (fed < stream.size()) {
            QVERIFY(cutter.FreeSpace() > 0);
            fed += size_t(cutter.Append(stream.data() + fed, int(std::min<size_t>(stream.size() - fed, 100))));
            while (cutter.NextFrame(frame))
                received.push_back(frame);
        }
        // The stream ends on a cut-off header that waits for 207 bytes: the 500 ms rule gives up
        // on it, not on the frames behind it.
        while (cutter.NextFrame(frame, true))
            received.push_back(frame);
        QCOMPARE(received.size(), sent.size());
        QVERIFY(received == sent);
    }

    // A scan point's header cut after its command borrows the next frame's 0xC8 as Len: a
    // 207-byte candidate whose checksum happens to pass. A scan point is never that long, so the
    // twenty points behind it all come through.
    void cutterRefusesALenItsCommandNeverHas()
    {
        // Whole frames leave the running checksum where they found it: only the first bytes of
        // the nineteenth frame, which the candidate cuts, decide whether its checksum passes.
        const Bytes cut { 0xC8, 3, 2, 0xC9, CMD_SCAN_POINT };
        std::vector<Bytes> sent;
        Bytes stream;
        for (int id = 0; id < 256 * 256; ++id) {
            sent.clear();
            stream = cut;
            for (int i = 0; i < 20; ++i) {
                sent.push_back(i == 18 ? Reply(CMD_SCAN_POINT, { uint8_t(i), 9, 0, 0 }, uint8_t(id), uint8_t(id >> 8))
                                       : Reply(CMD_SCAN_POINT, { uint8_t(i), 9, 0, 0 }));
                stream.insert(stream.end(), sent.back().begin(), sent.back().end());
            }
            if (FrameChecksumOk(stream.data(), 207))
                break;
        }
        QVERIFY(FrameChecksumOk(stream.data(), 207));
        SerialFrameCutter cutter;
        QCOMPARE(cutter.Append(stream.data(), int(stream.size())), int(stream.size()));
        std::vector<Bytes> received;
        Bytes frame;
        while (cutter.NextFrame(frame, true))
            received.push_back(frame);
        QVERIFY(received == sent);
        QVERIFY(!LenFitsCommand(CMD_SCAN_END, 2) && LenFitsCommand(CMD_STATUS, 12) && LenFitsCommand(0x55, 200));
    }

    // Stands in for replaying a fuzz corpus: under the sanitizers any read past a frame shows.
    void randomInputNeverBreaksTheParsers()
    {
        std::mt19937 random(20240607);
        auto byte = [&] { return uint8_t(random()); };
        SerialFrameCutter cutter;
        int accepted = 0, cut = 0;
        Bytes frame;
        for (int round = 0; round < 300000; ++round) {
            Bytes input;
            const int shape = int(random() % 3);
            if (shape == 0) {
                input.resize(random() % 40);
                for (auto& b : input)
                    b = byte();
            } else {
                const DecoderCase& d = DecoderCases()[random() % DecoderCases().size()];
                Bytes payload(size_t(std::max(0, d.len + int(random() % 5) - 2)));
                for (auto& b : payload)
                    b = byte();
                input = Reply(d.cmd, payload, byte(), byte());
                if (shape == 2 && !input.empty())
                    input.resize(random() % (input.size() + 2), byte());
            }
            for (const DecoderCase& d : DecoderCases()) {
                if (!Accepts(d, input))
                    continue;
                ++accepted;
                QVERIFY(IsWellFormedDatagram(input.data(), input.size()) && FrameCmd(input.data()) == d.cmd);
            }
            cutter.Append(input.data(), int(input.size()));
            while (cutter.NextFrame(frame)) {
                ++cut;
                QVERIFY(IsWellFormedDatagram(frame.data(), frame.size()));
                for (const DecoderCase& d : DecoderCases())
                    Accepts(d, frame);
            }
            if (cutter.FreeSpace() == 0)
                cutter.Discard();
        }
        QVERIFY(accepted > 10000 && cut > 10000);
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "ProtocolTest.moc"
