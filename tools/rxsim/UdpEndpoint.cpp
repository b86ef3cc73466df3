#include "UdpEndpoint.h"

#include "SimConfig.h"

#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

struct UdpEndpoint::Socket {
    int Fd = -1;
    uint32_t Address = 0;
    int Unit = 0;
    std::unique_ptr<QSocketNotifier> Notifier;

    ~Socket()
    {
        Notifier.reset();
        if (Fd >= 0)
            ::close(Fd);
    }
};

namespace
{

sockaddr_in SocketAddress(uint32_t address, int port)
{
    sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(static_cast<uint16_t>(port));
    return sa;
}

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A port no socket uses on any address at this moment: what the kernel hands out for 0.0.0.0
// without SO_REUSEADDR.
int ProbeFreePort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in sa = SocketAddress(INADDR_ANY, 0);
    socklen_t length = sizeof sa;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &length) == 0)
        port = ntohs(sa.sin_port);
    ::close(fd);
    return port;
}

} // namespace

UdpEndpoint::UdpEndpoint(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
}

UdpEndpoint::~UdpEndpoint()
{
    CloseAll();
}

void UdpEndpoint::CloseAll()
{
    m_retired.clear();
    m_sockets.clear();
    m_broadcast.reset();
}

std::unique_ptr<UdpEndpoint::Socket> UdpEndpoint::Bind(uint32_t address, int port, int unit, QString* error)
{
    auto socket = std::make_unique<Socket>();
    socket->Address = address;
    socket->Unit = unit;
    socket->Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    const sockaddr_in sa = SocketAddress(address, port);
    if (socket->Fd < 0 || ::setsockopt(socket->Fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || ::setsockopt(socket->Fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0
        || ::bind(socket->Fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        *error = QStringLiteral("cannot bind UDP %1:%2: %3").arg(Ipv4Text(address)).arg(port).arg(ErrnoText());
        return nullptr;
    }
    socket->Notifier = std::make_unique<QSocketNotifier>(socket->Fd, QSocketNotifier::Read);
    Socket* raw = socket.get();
    connect(socket->Notifier.get(), &QSocketNotifier::activated, this, [this, raw] { ReadAll(*raw); });
    return socket;
}

bool UdpEndpoint::Open(const std::vector<uint32_t>& addresses, int port, bool broadcast, QString* error)
{
    constexpr int Attempts = 20;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        CloseAll();
        const int chosen = port != 0 ? port : ProbeFreePort();
        if (chosen <= 0) {
            *error = QStringLiteral("no free UDP port: %1").arg(ErrnoText());
            return false;
        }
        bool ok = true;
        for (size_t i = 0; ok && i < addresses.size(); ++i) {
            auto socket = Bind(addresses[i], chosen, static_cast<int>(i), error);
            ok = socket != nullptr;
            if (ok)
                m_sockets.push_back(std::move(socket));
        }
        if (ok && broadcast) {
            m_broadcast = Bind(INADDR_ANY, chosen, BroadcastSocket, error);
            ok = m_broadcast != nullptr;
        }
        if (ok) {
            m_port = chosen;
            return true;
        }
        // A chosen port may have been taken between the probe and the binds: try another one.
        if (port != 0 || errno != EADDRINUSE)
            break;
    }
    CloseAll();
    return false;
}

bool UdpEndpoint::Move(int unit, uint32_t address, QString* error)
{
    auto socket = Bind(address, m_port, unit, error);
    if (!socket)
        return false;
    // The old socket may be the one whose notifier is being handled: retire it after this turn.
    std::unique_ptr<Socket>& slot = m_sockets[static_cast<size_t>(unit)];
    slot->Notifier->setEnabled(false);
    m_retired.push_back(std::move(slot));
    slot = std::move(socket);
    QTimer::singleShot(0, this, [this] { m_retired.clear(); });
    return true;
}

uint32_t UdpEndpoint::Address(int unit) const
{
    return unit == BroadcastSocket ? INADDR_ANY : m_sockets[static_cast<size_t>(unit)]->Address;
}

int UdpEndpoint::SendFrom(int unit, UdpPeer to, const uint8_t* data, size_t size)
{
    const Socket& socket = unit == BroadcastSocket ? *m_broadcast : *m_sockets[static_cast<size_t>(unit)];
    const sockaddr_in sa = SocketAddress(to.Ip, to.Port);
    return static_cast<int>(::sendto(socket.Fd, data, size, 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa));
}

void UdpEndpoint::ReadAll(Socket& socket)
{
    uint8_t buffer[65536];
    for (;;) {
        sockaddr_in from {};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        iovec io { buffer, sizeof buffer };
        msghdr message {};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(socket.Fd, &message, 0);
        if (n < 0)
            return; // EAGAIN: all read; anything else: nothing to take either
        uint32_t destination = socket.Address;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                destination = ntohl(info.ipi_addr.s_addr);
            }
        }
        const int unit = socket.Unit; // the handler may move this very socket
        if (n > 0)
            m_handler(unit, buffer, static_cast<size_t>(n), { ntohl(from.sin_addr.s_addr), ntohs(from.sin_port) },
                destination);
        if (unit != BroadcastSocket && m_sockets[static_cast<size_t>(unit)].get() != &socket)
            return;
    }
}
