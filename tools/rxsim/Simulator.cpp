#include "Simulator.h"

#include "NetAddresses.h"
#include "data/DebugPrint.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>

namespace
{

constexpr uint32_t LimitedBroadcast = 0xFFFFFFFFu;

bool IsUsableHostAddress(uint32_t address)
{
    const uint32_t first = address >> 24;
    return first != 0 && first < 224; // not "this network", multicast, reserved or broadcast
}

uint32_t ReadAddress(const uint8_t* bytes)
{
    return (uint32_t { bytes[0] } << 24) | (uint32_t { bytes[1] } << 16) | (uint32_t { bytes[2] } << 8) | bytes[3];
}

QString CommandName(uint8_t cmd)
{
    return QStringLiteral("0x%1").arg(cmd, 2, 16, QLatin1Char('0'));
}


// "12/30/31", or "none".
QString BusyText(const Receiver& receiver)
{
    QStringList channels;
    for (int channel : receiver.BusyChannels())
        channels << QString::number(channel);
    return channels.isEmpty() ? QStringLiteral("none") : channels.join(u'/');
}
} // namespace

QString HexBytes(const uint8_t* bytes, size_t size)
{
    QString text;
    text.reserve(static_cast<qsizetype>(size * 3));
    for (size_t i = 0; i < size; ++i) {
        if (i > 0)
            text += u' ';
        text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

Simulator::Simulator(const SimOptions& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_world(options.Seed)
    , m_faults(options.Faults, options.Seed)
{
    for (const ReceiverSetup& setup : m_options.Receivers) {
        auto unit = std::make_unique<Unit>();
        unit->Model = std::make_unique<Receiver>(setup, m_options.BusyShare, m_world);
        unit->ScanTimer.setInterval(m_options.ScanIntervalMs);
        const int index = static_cast<int>(m_units.size());
        connect(&unit->ScanTimer, &QTimer::timeout, this, [this, index] { ScanStep(index); });
        m_units.push_back(std::move(unit));
    }
    m_levelTimer.setInterval(Receiver::LevelStepMs);
    connect(&m_levelTimer, &QTimer::timeout, this, [this] {
        const auto drainMs = static_cast<int64_t>(m_options.BatteryStepSeconds * 1000.0);
        for (auto& unit : m_units) {
            Receiver& model = *unit->Model;
            const double lowest = m_options.RfStorm ? Receiver::StormLowest : Receiver::CalmLowest;
            model.Advance(m_world, m_clock.elapsed(), drainMs, lowest);
            model.ApplyScenario(InEpisode(m_options.Script.RfLosses, model.Rxid()), BatteryCap(model.Rxid()));
        }
    });
}

bool Simulator::InEpisode(const std::vector<TimedEpisode>& episodes, int rxid) const
{
    const double now = static_cast<double>(m_clock.elapsed()) / 1000.0;
    return std::any_of(episodes.begin(), episodes.end(), [&](const TimedEpisode& e) { return e.Covers(rxid, now); });
}

// Full until half-way to the moment given, then half, then the lowest level.
uint8_t Simulator::BatteryCap(int rxid) const
{
    const double now = static_cast<double>(m_clock.elapsed()) / 1000.0;
    uint8_t cap = 3;
    for (const TimedEpisode& e : m_options.Script.EmptyBatteries) {
        if (e.Rxid != rxid)
            continue;
        if (now >= e.FromSeconds)
            cap = 1;
        else if (now >= e.FromSeconds / 2)
            cap = std::min<uint8_t>(cap, 2);
    }
    return cap;
}

Simulator::~Simulator()
{
    m_udp.reset();
    for (uint32_t address : m_addedAddresses)
        RemoveLoopbackAddress(address);
}

bool Simulator::PrepareAddresses(QString* error)
{
    if (m_options.NetnsAddresses && !m_privateNetwork) {
        *error
            = QStringLiteral("--netns-addresses works only inside a private network namespace (no interface but lo)");
        return false;
    }
    for (const ReceiverSetup& setup : m_options.Receivers) {
        if (IsLoopback(setup.Ip))
            continue;
        if (!m_privateNetwork) {
            *error = QStringLiteral("%1 is not a loopback address: outside a private network namespace receivers "
                                    "live in 127.0.0.0/8")
                         .arg(Ipv4Text(setup.Ip));
            return false;
        }
        if (m_options.NetnsAddresses && !AddressIsLocal(setup.Ip)) {
            if (!AddLoopbackAddress(setup.Ip, error))
                return false;
            m_addedAddresses.push_back(setup.Ip);
        }
    }
    return true;
}

bool Simulator::Start(QString* error)
{
    m_privateNetwork = NetworkIsPrivate();
    if (m_options.Udp && !PrepareAddresses(error))
        return false;
    if (m_options.Udp) {
        m_udp = std::make_unique<UdpEndpoint>(
            [this](int unit, const uint8_t* data, size_t size, UdpPeer from, uint32_t destination) {
                OnDatagram(unit, data, size, from, destination);
            });
        std::vector<uint32_t> addresses;
        for (const ReceiverSetup& setup : m_options.Receivers)
            addresses.push_back(setup.Ip);
        // Only inside a private namespace: on the host it would take broadcasts from the LAN.
        const bool broadcast = m_options.Broadcast && m_privateNetwork;
        if (!m_udp->Open(addresses, m_options.Port, broadcast, error)) {
            m_udp.reset();
            return false;
        }
    }
    if (m_options.Pty || !m_options.SerialPath.isEmpty()) {
        m_serial = std::make_unique<SerialLine>([this](const std::vector<uint8_t>& frame) { OnSerialFrame(frame); },
            [this](const uint8_t* bytes, size_t size) {
                if (m_options.HexLog || m_options.DebugWindow)
                    Log(QStringLiteral("RX serial [%1] %2").arg(size).arg(HexBytes(bytes, size)));
            });
        const bool opened = m_options.Pty ? m_serial->OpenPty(m_options.Baud, error)
                                          : m_serial->OpenDevice(m_options.SerialPath, m_options.Baud, error);
        if (!opened) {
            m_serial.reset();
            m_udp.reset();
            return false;
        }
    }
    m_clock.start();
    m_levelTimer.start();
    return true;
}

QStringList Simulator::AnnouncementLines() const
{
    QStringList lines;
    QStringList udp;
    for (size_t i = 0; i < m_units.size(); ++i) {
        const Receiver& r = *m_units[i]->Model;
        const ReceiverSetup& s = r.Setup();
        lines << QStringLiteral("RECEIVER rxid=%1 ip=%2 port=%3 channels=%4 start=%5 first=%6 last=%7 band=%8 hw=%9 "
                                "sw=%10 name=\"%11\" busy=%12")
                     .arg(s.Rxid)
                     .arg(Ipv4Text(r.Ip()))
                     .arg(m_udp ? m_udp->Port() : 0)
                     .arg(s.Channels)
                     .arg(s.StartFreqText)
                     .arg(s.FirstChannel)
                     .arg(s.LastChannel)
                     .arg(QLatin1Char(s.Band))
                     .arg(QString::fromLatin1(s.HWVer), QString::fromLatin1(s.SWVer), s.Name, BusyText(r));
        if (m_udp)
            udp << UdpName(static_cast<int>(i));
    }
    const QString broadcast
        = m_udp && m_udp->HasBroadcast() ? QStringLiteral("0.0.0.0:%1").arg(m_udp->Port()) : QStringLiteral("none");
    lines << QStringLiteral("READY udp=%1 broadcast=%2 serial=%3")
                 .arg(udp.isEmpty() ? QStringLiteral("none") : udp.join(u','), broadcast,
                     m_serial ? m_serial->Path() : QStringLiteral("none"));
    return lines;
}

QString Simulator::UdpName(int unit) const
{
    return QStringLiteral("%1:%2").arg(Ipv4Text(m_udp->Address(unit))).arg(m_udp->Port());
}

void Simulator::Log(const QString& line) const
{
    if (m_options.HexLog) {
        std::fprintf(stdout, "%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    }
    if (m_options.DebugWindow)
        DebugPrint("%s", line.toUtf8().constData());
}

bool Simulator::AcceptFrame(const uint8_t* data, size_t size)
{
    if (!IsWellFormedDatagram(data, size)) {
        Log(QStringLiteral("IGNORED not a frame"));
        return false;
    }
    if (!FrameChecksumOk(data, size)) {
        Log(QStringLiteral("IGNORED bad checksum"));
        return false;
    }
    return true;
}

void Simulator::OnDatagram(int unit, const uint8_t* data, size_t size, UdpPeer from, uint32_t destination)
{
    Log(QStringLiteral("RX udp %1:%2 <- %3:%4 [%5] %6")
            .arg(Ipv4Text(destination))
            .arg(m_udp->Port())
            .arg(Ipv4Text(from.Ip))
            .arg(from.Port)
            .arg(size)
            .arg(HexBytes(data, size)));
    if (!AcceptFrame(data, size))
        return;
    const Route route { Route::Udp, from };
    const uint8_t cmd = FrameCmd(data);
    if (unit != UdpEndpoint::BroadcastSocket) {
        // A receiver's own address: it answers what names its RXID, and any search.
        if (cmd == CMD_SEARCH || FrameRxid(data) == m_units[static_cast<size_t>(unit)]->Model->Rxid())
            Handle(unit, data, route);
        else
            Log(QStringLiteral("IGNORED rxid=%1 is not the receiver at %2").arg(FrameRxid(data)).arg(UdpName(unit)));
        return;
    }
    if (destination != LimitedBroadcast) {
        Log(QStringLiteral("IGNORED no receiver at %1").arg(Ipv4Text(destination)));
        return;
    }
    // A broadcast reaches every receiver: all answer a search, the addressed one anything else.
    for (size_t i = 0; i < m_units.size(); ++i) {
        if (cmd == CMD_SEARCH || FrameRxid(data) == m_units[i]->Model->Rxid())
            Handle(static_cast<int>(i), data, route);
    }
}

void Simulator::OnSerialFrame(const std::vector<uint8_t>& frame)
{
    if (!AcceptFrame(frame.data(), frame.size()))
        return;
    // On the bus every receiver hears every frame; only the addressed one may talk, and the
    // answers to a search follow one another.
    const bool search = FrameCmd(frame.data()) == CMD_SEARCH;
    int slot = 0;
    for (size_t i = 0; i < m_units.size(); ++i) {
        if (search || FrameRxid(frame.data()) == m_units[i]->Model->Rxid())
            Handle(static_cast<int>(i), frame.data(), { Route::Serial, {} }, slot++);
    }
}

void Simulator::Handle(int unit, const uint8_t* frame, const Route& route, int busSlot)
{
    Unit& u = *m_units[static_cast<size_t>(unit)];
    Receiver& r = *u.Model;
    const uint8_t devIdx = FrameDevIdx(frame);
    const uint8_t cmd = FrameCmd(frame);
    const uint8_t len = FrameLen(frame);
    const uint8_t* payload = FramePayload(frame);
    if (m_faults.IsSilent(r.Rxid()) || InEpisode(m_options.Script.Silences, r.Rxid())) {
        Log(QStringLiteral("SILENT rxid=%1 cmd=%2").arg(r.Rxid()).arg(CommandName(cmd)));
        return;
    }
    const bool receiverWide = cmd == CMD_SEARCH || cmd == CMD_SET_IP;
    if (!receiverWide && !r.HasChannel(devIdx)) {
        Log(QStringLiteral("IGNORED rxid=%1 has no channel %2").arg(r.Rxid()).arg(devIdx));
        return;
    }
    if (len < 1) {
        Log(QStringLiteral("IGNORED cmd=%1 without payload").arg(CommandName(cmd)));
        return;
    }
    switch (cmd) {
    case CMD_CONNECT:
        Reply(unit, devIdx, CMD_DEVICE_INFO, r.DeviceInfo(), route);
        break;
    case CMD_GET_STATUS:
        Reply(unit, devIdx, CMD_STATUS, r.Status(devIdx), route);
        break;
    case CMD_SYNC_TX:
        Reply(unit, devIdx, CMD_SYNC_RESULT, { static_cast<uint8_t>(m_options.SyncFail ? 2 : 1) }, route,
            m_options.SyncDelayMs);
        break;
    case CMD_SCAN_START:
        StartScan(unit, devIdx, route);
        break;
    case CMD_SCAN_STOP:
        if (u.ScanTimer.isActive())
            Log(QStringLiteral("SCAN rxid=%1 stopped after %2 points").arg(r.Rxid()).arg(u.ScanSent));
        u.ScanTimer.stop();
        break;
    case CMD_SET_CHANNEL:
        if (m_faults.IgnoresSetChannel(r.Rxid(), devIdx)) {
            Log(QStringLiteral("IGNORED rxid=%1 devidx=%2 set channel (--no-set-ack)").arg(r.Rxid()).arg(devIdx));
            break;
        }
        // Outside the band nothing changes and nothing is acknowledged: the requester's time-out tells.
        if (r.SetChannel(devIdx, payload[0]))
            Reply(unit, devIdx, CMD_SET_CHANNEL_ACK, { payload[0] }, route);
        else
            Log(QStringLiteral("REFUSED rxid=%1 channel %2 lies outside the band").arg(r.Rxid()).arg(payload[0]));
        break;
    case CMD_SET_SQ:
        if (r.SetSq(devIdx, payload[0]))
            Reply(unit, devIdx, CMD_SET_SQ_ACK, { payload[0] }, route);
        else
            Log(QStringLiteral("REFUSED rxid=%1 SQ step %2").arg(r.Rxid()).arg(payload[0]));
        break;
    case CMD_SEARCH:
        Reply(unit, 1, CMD_SEARCH_REPLY, r.SearchReply(), route, busSlot * m_options.BusGapMs);
        break;
    case CMD_SET_IP:
        ChangeNetwork(unit, frame, route);
        break;
    default:
        Log(QStringLiteral("IGNORED unknown cmd=%1").arg(CommandName(cmd)));
        break;
    }
}

void Simulator::StartScan(int unit, uint8_t devIdx, const Route& route)
{
    Unit& u = *m_units[static_cast<size_t>(unit)];
    // One sweep per receiver: a new start begins the band again.
    u.ScanSent = 0;
    u.ScanDevIdx = devIdx;
    u.ScanRoute = route;
    u.ScanTimer.start();
    Log(QStringLiteral("SCAN rxid=%1 started").arg(u.Model->Rxid()));
}

void Simulator::ScanStep(int unit)
{
    Unit& u = *m_units[static_cast<size_t>(unit)];
    const ReceiverSetup& setup = u.Model->Setup();
    // With --scan-points the sweep goes round the band until that many points went out.
    const int channel = setup.FirstChannel + u.ScanSent % setup.BandSize();
    ++u.ScanSent;
    const uint8_t level = u.Model->ScanLevel(channel, m_world);
    Reply(unit, u.ScanDevIdx, CMD_SCAN_POINT, { static_cast<uint8_t>(channel), level, 0, 0 }, u.ScanRoute);
    const int total = m_options.ScanPoints > 0 ? m_options.ScanPoints : setup.BandSize();
    if (u.ScanSent >= total) {
        u.ScanTimer.stop();
        Reply(unit, u.ScanDevIdx, CMD_SCAN_END, { 0 }, u.ScanRoute);
    }
}

bool Simulator::MoveAddress(int unit, uint32_t address, QString* error)
{
    for (size_t i = 0; i < m_units.size(); ++i) {
        if (static_cast<int>(i) != unit && m_units[i]->Model->Ip() == address) {
            *error = QStringLiteral("%1 belongs to receiver %2").arg(Ipv4Text(address)).arg(m_units[i]->Model->Rxid());
            return false;
        }
    }
    if (!m_udp)
        return true;
    if (!IsLoopback(address)) {
        if (!m_privateNetwork) {
            *error = QStringLiteral("%1 lies outside loopback and this is no private network namespace")
                         .arg(Ipv4Text(address));
            return false;
        }
        if (m_options.NetnsAddresses && !AddressIsLocal(address)) {
            if (!AddLoopbackAddress(address, error))
                return false;
            m_addedAddresses.push_back(address);
        }
    }
    return m_udp->Move(unit, address, error);
}

void Simulator::ChangeNetwork(int unit, const uint8_t* frame, const Route& route)
{
    Receiver& r = *m_units[static_cast<size_t>(unit)]->Model;
    if (FrameLen(frame) != SetIpLen) {
        Log(QStringLiteral("IGNORED set-ip with Len %1").arg(FrameLen(frame)));
        return;
    }
    const uint8_t* p = FramePayload(frame);
    const uint32_t address = ReadAddress(p);
    const uint32_t mask = ReadAddress(p + 4);
    const uint32_t gateway = ReadAddress(p + 8);
    QString why;
    if (!IsUsableHostAddress(address))
        why = QStringLiteral("%1 is no host address").arg(Ipv4Text(address));
    else if (address != r.Ip())
        MoveAddress(unit, address, &why);
    if (!why.isEmpty()) {
        std::fprintf(
            stderr, "rxsim: receiver %d keeps %s: %s\n", r.Rxid(), qPrintable(Ipv4Text(r.Ip())), qPrintable(why));
        Log(QStringLiteral("REFUSED rxid=%1 set-ip: %2").arg(r.Rxid()).arg(why));
        return;
    }
    r.SetNetwork(address, mask, gateway);
    std::fprintf(stdout, "MOVED rxid=%d ip=%s mask=%s gateway=%s\n", r.Rxid(), qPrintable(Ipv4Text(address)),
        qPrintable(Ipv4Text(mask)), qPrintable(Ipv4Text(gateway)));
    std::fflush(stdout);
    // Acknowledged from the new address: the receiver has already moved.
    Reply(unit, FrameDevIdx(frame), CMD_SET_IP_ACK, { 1 }, route);
}

void Simulator::Reply(
    int unit, uint8_t devIdx, uint8_t cmd, const std::vector<uint8_t>& payload, const Route& route, int extraDelayMs)
{
    const uint8_t rxid = m_units[static_cast<size_t>(unit)]->Model->Rxid();
    std::vector<uint8_t> frame = BuildFrame(rxid, devIdx, cmd, payload.data(), payload.size());
    FaultPlan::Decision fault = m_faults.Decide();
    if (fault.Drop) {
        Log(QStringLiteral("DROP rxid=%1 devidx=%2 cmd=%3").arg(rxid).arg(devIdx).arg(CommandName(cmd)));
        return;
    }
    if (fault.BadCrc)
        FaultPlan::BreakChecksum(frame);
    if (fault.BadLen)
        FaultPlan::BreakLength(frame);
    const int delay = fault.DelayMs + extraDelayMs;
    if (delay <= 0) {
        Transmit(unit, fault.Garbage, frame, route);
        return;
    }
    QTimer::singleShot(delay, this, [this, unit, garbage = std::move(fault.Garbage), frame = std::move(frame), route] {
        Transmit(unit, garbage, frame, route);
    });
}

bool Simulator::MaySendTo(uint32_t address) const
{
    return IsLoopback(address) || address == INADDR_ANY || m_privateNetwork;
}

void Simulator::Transmit(
    int unit, const std::vector<uint8_t>& garbage, const std::vector<uint8_t>& frame, const Route& route)
{
    if (route.Via == Route::Serial) {
        std::vector<uint8_t> bytes = garbage;
        bytes.insert(bytes.end(), frame.begin(), frame.end());
        Log(QStringLiteral("TX serial [%1] %2").arg(bytes.size()).arg(HexBytes(bytes.data(), bytes.size())));
        m_serial->Write(bytes);
        return;
    }
    if (!MaySendTo(route.Peer.Ip)) {
        std::fprintf(stderr,
            "rxsim: not answering %s: only loopback is reachable outside a private network namespace\n",
            qPrintable(Ipv4Text(route.Peer.Ip)));
        return;
    }
    auto send = [&](const std::vector<uint8_t>& bytes) {
        Log(QStringLiteral("TX udp %1 -> %2:%3 [%4] %5")
                .arg(UdpName(unit), Ipv4Text(route.Peer.Ip))
                .arg(route.Peer.Port)
                .arg(bytes.size())
                .arg(HexBytes(bytes.data(), bytes.size())));
        if (m_udp->SendFrom(unit, route.Peer, bytes.data(), bytes.size()) < 0)
            std::perror("rxsim: sendto");
    };
    if (!garbage.empty())
        send(garbage);
    send(frame);
}
