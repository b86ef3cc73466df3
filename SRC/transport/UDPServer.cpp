#include "transport/UDPServer.h"

#include "data/DebugPrint.h"
#include "lang/Language.h"
#include "protocol/Messages.h"

#include <QCoreApplication>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netdb.h>
#include <netinet/in.h>
#include <new>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int SendBufferSize = 32768;
// Measured on loopback: an 11-byte scan point takes about 840 bytes of receive buffer, so a
// 1024-point sweep needs about 860 KB while the window is busy; 32 KiB lost a sweep's tail and
// its end. The kernel doubles the value asked for and caps it at net.core.rmem_max.
constexpr int ReceiveBufferSize = 1024 * 1024;

// The socket bound at start-up, while the program still held the capability a port below 1024
// needs; every endpoint on that port receives through a duplicate of it for the whole run.
int reservedSocket = -1;
int reservedPort = 0;
constexpr int WaitSliceMicroseconds = 10 * 1000;
constexpr int NotReadyPauseMicroseconds = 1000;
constexpr auto TeardownWait = std::chrono::milliseconds(2000);
constexpr auto DropReportInterval = std::chrono::seconds(1);
constexpr char LimitedBroadcast[] = "255.255.255.255";

QString ExecutablePath()
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? QStringLiteral("<path of the executable>") : QString::fromStdString(path.string());
}

// Ports below 1024 are privileged on Linux; a refusal says how to grant the privilege.
UDPServerException BindFailure(int error, int port)
{
    // The code and its Chinese name stay as they were, for logs and scripts that look for them.
    if (error == EADDRINUSE)
        return UDPServerException(UDP_PORT_IN_USE,
            LanguageText("UDP 端口 %1 已被占用: 可能另一个 Tessaro 正在运行。",
                "UDP port %1 is in use: another copy of Tessaro may be running.")
                .arg(port));
    QString detail = QStringLiteral("bind to port %1: %2").arg(port).arg(QString::fromLocal8Bit(std::strerror(error)));
    if (error == EACCES || error == EPERM)
        detail += QStringLiteral(". Ports below 1024 need root or the capability CAP_NET_BIND_SERVICE: "
                                 "sudo setcap cap_net_bind_service=+ep %1 (or run as root)")
                      .arg(ExecutablePath());
    return UDPServerException(UDP_BIND_FAILED, detail);
}

bool SetBufferSize(int socket, int option, int size)
{
    return setsockopt(socket, SOL_SOCKET, option, &size, sizeof size) == 0;
}

// A datagram socket with broadcast on and the buffers sized; throws what failed.
int NewDatagramSocket()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw UDPServerException(UDP_SOCKET_FAILED, QString::fromLocal8Bit(std::strerror(errno)));
    const int enable = 1;
    int failure = UDP_SUCCESS;
    if (fd >= FD_SETSIZE) // select could not wait on it
        failure = UDP_SOCKET_FAILED;
    else if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0)
        failure = UDP_BROADCAST_FAILED;
    else if (!SetBufferSize(fd, SO_RCVBUF, ReceiveBufferSize) || !SetBufferSize(fd, SO_SNDBUF, SendBufferSize))
        failure = UDP_BUFFER_FAILED;
    if (failure == UDP_SUCCESS)
        return fd;
    close(fd);
    throw UDPServerException(
        failure, failure == UDP_SOCKET_FAILED ? QStringLiteral("descriptor beyond FD_SETSIZE") : QString());
}

sockaddr_in AnyAddress(int port)
{
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return local;
}

bool ResolveHostName(const QByteArray& name, in_addr* address)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || !found)
        return false;
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    return true;
}

bool BeginsWithDigit(const QByteArray& text)
{
    return !text.isEmpty() && text[0] >= '0' && text[0] <= '9';
}

bool ParsesAsDottedAddress(const QByteArray& text, in_addr_t* address)
{
    *address = inet_addr(text.constData());
    // inet_addr cannot tell the limited broadcast from a failure: both are INADDR_NONE.
    return *address != INADDR_NONE || text == LimitedBroadcast;
}

} // namespace

UDPServerException::UDPServerException(int code, const QString& detail)
    : m_code(code)
    , m_message(QStringLiteral("%1[%2]: %3").arg(CodeName(code), QString::number(code), detail))
{
}

QString UDPServerException::CodeName(int code)
{
    switch (code) {
    case UDP_SUCCESS:
        return QStringLiteral("成功");
    case UDP_SOCKET_FAILED:
        return QStringLiteral("创建套接字失败");
    case UDP_BROADCAST_FAILED:
        return QStringLiteral("设置广播失败");
    case UDP_PORT_IN_USE:
        return QStringLiteral("端口已被占用");
    case UDP_BIND_FAILED:
        return QStringLiteral("绑定端口失败");
    default:
        return QStringLiteral("未知错误");
    }
}

DatagramBlock::DatagramBlock(int32_t size)
    : length(size)
    , storage(new uint8_t[static_cast<size_t>(std::max(size, 1))])
    , data(storage.get())
{
}

DatagramEvent::DatagramEvent(
    std::unique_ptr<SourceBlock> source, std::unique_ptr<DatagramBlock> datagram, std::shared_ptr<IntakeGauge> gauge)
    : QEvent(EventType(MSG_DATAGRAM))
    , m_source(std::move(source))
    , m_datagram(std::move(datagram))
    , m_gauge(std::move(gauge))
{
    if (m_gauge) {
        m_gauge->pendingEvents.fetch_add(1);
        m_gauge->pendingBytes.fetch_add(Footprint());
    }
}

DatagramEvent::~DatagramEvent()
{
    if (m_gauge) {
        m_gauge->pendingEvents.fetch_sub(1);
        m_gauge->pendingBytes.fetch_sub(Footprint());
    }
}

int64_t DatagramEvent::Footprint() const
{
    return DatagramFootprint(m_datagram->length);
}

int64_t DatagramFootprint(int32_t length)
{
    return static_cast<int64_t>(sizeof(DatagramEvent) + sizeof(SourceBlock) + sizeof(DatagramBlock)) + length;
}

struct TUDPServer::ReceiveState {
    ~ReceiveState()
    {
        if (socket >= 0)
            close(socket);
    }

    QObject* window = nullptr;
    std::shared_ptr<IntakeGauge> gauge;
    // Touched by the receive thread only.
    int droppedUnreported = 0;
    std::chrono::steady_clock::time_point lastDropReport {};
    int socket = -1;
    int localPort = 0;
    char localAddress[16] = {};
    bool reserved = false; // a duplicate of the start-up socket: never shut down
    std::atomic<int> stop { 0 };
};

int ReserveUdpPort(int port)
{
    try {
        const int fd = NewDatagramSocket();
        const sockaddr_in local = AnyAddress(port);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            const int error = errno;
            close(fd);
            return error;
        }
        if (reservedSocket >= 0)
            close(reservedSocket);
        reservedSocket = fd;
        reservedPort = port;
        return 0;
    } catch (const UDPServerException&) {
        return errno != 0 ? errno : EINVAL;
    }
}

TUDPServer::TUDPServer(QObject* window, int localPort, const char* localAddress)
    : m_localPort(localPort)
{
    // Every failure below releases the socket with the state.
    auto state = std::make_shared<ReceiveState>();
    state->window = window;
    state->gauge = m_gauge;
    sockaddr_in local = AnyAddress(localPort);
    if (!localAddress && localPort != 0 && localPort == reservedPort) {
        state->socket = fcntl(reservedSocket, F_DUPFD_CLOEXEC, 0);
        if (state->socket < 0 || state->socket >= FD_SETSIZE)
            throw UDPServerException(UDP_SOCKET_FAILED, QString::fromLocal8Bit(std::strerror(errno)));
        state->reserved = true;
    } else {
        state->socket = NewDatagramSocket();
        if (localAddress) {
            local.sin_addr.s_addr = inet_addr(localAddress);
            std::snprintf(state->localAddress, sizeof state->localAddress, "%.15s", localAddress);
        }
        if (bind(state->socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
            throw BindFailure(errno, localPort);
    }
    socklen_t boundLength = sizeof local;
    if (getsockname(state->socket, reinterpret_cast<sockaddr*>(&local), &boundLength) == 0)
        m_localPort = ntohs(local.sin_port);
    state->localPort = m_localPort;

    m_state = state;
    if (!window)
        return;
    std::promise<void> finished;
    m_threadFinished = finished.get_future();
    m_thread = std::thread([state, finished = std::move(finished)]() mutable {
        ReceiveLoop(*state);
        finished.set_value_at_thread_exit();
    });
}

TUDPServer::~TUDPServer()
{
    Stop();
}

void TUDPServer::Stop()
{
    if (!m_state)
        return;
    m_state->stop = 1;
    // Wakes a pending select at once. The descriptor itself is closed only after the thread is
    // gone, so that it can never wait on a number the process has reused meanwhile. The socket
    // reserved at start-up stays open for a later endpoint: its thread sees the flag within a
    // wait slice.
    if (!m_state->reserved)
        shutdown(m_state->socket, SHUT_RDWR);
    if (m_thread.joinable()) {
        if (m_threadFinished.wait_for(TeardownWait) == std::future_status::ready) {
            m_thread.join();
        } else {
            std::fprintf(stderr,
                "TUDPServer: the receive thread of port %d did not stop within 2000 ms; left to end on its own\n",
                m_localPort);
            m_thread.detach();
        }
    }
    m_state.reset();
}

void TUDPServer::ReceiveLoop(ReceiveState& state)
{
    std::vector<uint8_t> received(DatagramCapacity);
    while (!state.stop) {
        ReportDrops(state);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(state.socket, &readable);
        timeval wait { 0, WaitSliceMicroseconds };
        const int ready = select(state.socket + 1, &readable, nullptr, nullptr, &wait);
        if (ready < 0 && errno == EINTR)
            continue; // a signal is no reason to stop receiving
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        if (!FD_ISSET(state.socket, &readable)) {
            usleep(NotReadyPauseMicroseconds);
            continue;
        }
        sockaddr_in from {};
        socklen_t fromLength = sizeof from;
        // MSG_TRUNC reports the whole length, so a datagram that did not fit is dropped like any
        // other receive error instead of being passed on cut short.
        const ssize_t count = recvfrom(
            state.socket, received.data(), DatagramCapacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (count < 1 || count > DatagramCapacity)
            continue;
        if (!Admit(state, static_cast<int>(count)))
            continue;
        std::unique_ptr<DatagramBlock> datagram(new (std::nothrow) DatagramBlock(static_cast<int32_t>(count)));
        if (!datagram || !datagram->data)
            continue;
        std::memcpy(datagram->data, received.data(), static_cast<size_t>(count));
        std::unique_ptr<SourceBlock> source(new (std::nothrow) SourceBlock {});
        if (!source)
            continue;
        inet_ntop(AF_INET, &from.sin_addr, source->sourceAddress, sizeof source->sourceAddress);
        source->sourcePort = ntohs(from.sin_port);
        std::memcpy(source->localAddress, state.localAddress, sizeof source->localAddress);
        source->localPort = state.localPort;
        // The event owns both blocks from here on; Qt deletes it, and them, even when it cannot be
        // delivered.
        QCoreApplication::postEvent(
            state.window, new DatagramEvent(std::move(source), std::move(datagram), state.gauge));
    }
    state.stop = 1;
}

// A window that cannot keep up (a flood, or a nested loop) must not let what waits for it grow
// without end: beyond the bound datagrams are dropped, counted, and said once a second.
bool TUDPServer::Admit(ReceiveState& state, int size)
{
    IntakeGauge& gauge = *state.gauge;
    const int64_t footprint = DatagramFootprint(size);
    if (gauge.pendingEvents.load() < MaxPendingDatagrams
        && gauge.pendingBytes.load() + footprint <= MaxPendingDatagramBytes)
        return true;
    gauge.dropped.fetch_add(1);
    ++state.droppedUnreported;
    ReportDrops(state);
    return false;
}

// At most one line a second, the first at once; drops not yet said are said a second after the
// last line even when the flood has stopped meanwhile.
void TUDPServer::ReportDrops(ReceiveState& state)
{
    if (state.droppedUnreported == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - state.lastDropReport < DropReportInterval)
        return;
    const IntakeGauge& gauge = *state.gauge;
    DebugPrint("UDP receive queue full (%d datagrams, %lld bytes waiting): %d datagrams dropped, %llu in all",
        gauge.pendingEvents.load(), static_cast<long long>(gauge.pendingBytes.load()), state.droppedUnreported,
        static_cast<unsigned long long>(gauge.dropped.load()));
    state.lastDropReport = now;
    state.droppedUnreported = 0;
}

int TUDPServer::SendTo(const QString& host, int port, const uint8_t* data, int length)
{
    if (!m_state)
        return -1;
    if (host.isEmpty() || port <= 0 || port > 65535)
        return -2;
    const QByteArray text = host.toUtf8();
    sockaddr_in target {};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    if (!BeginsWithDigit(text)) {
        if (!ResolveHostName(text, &target.sin_addr))
            return -3;
    } else if (!ParsesAsDottedAddress(text, &target.sin_addr.s_addr)) {
        return -4;
    }
    // -1 (errno set) when the send fails, as a socket error is reported here.
    return static_cast<int>(sendto(m_state->socket, data, static_cast<size_t>(length), 0,
        reinterpret_cast<const sockaddr*>(&target), sizeof target));
}

bool TUDPServer::IsValidAddress(const QString& text)
{
    in_addr_t address;
    return text.count(QLatin1Char('.')) >= 3 && ParsesAsDottedAddress(text.toUtf8(), &address);
}
