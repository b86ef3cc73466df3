#include "SystemSide.h"

#include "protocol/Frame.h"

#include <QDeadlineTimer>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool WaitReadable(int fd, const QDeadlineTimer& deadline)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(qMax<qint64>(deadline.remainingTime(), 0))) > 0;
}

} // namespace

std::vector<uint8_t> Request(uint8_t rxid, uint8_t devIdx, uint8_t cmd, std::vector<uint8_t> payload)
{
    return BuildFrame(rxid, devIdx, cmd, payload.data(), payload.size());
}

std::vector<Received> Link::Collect(int ms)
{
    std::vector<Received> all;
    const QDeadlineTimer deadline(ms);
    while (auto r = Next(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 0))))
        all.push_back(*r);
    return all;
}

UdpLink::UdpLink(const char* bindIp, int bindPort, bool broadcast)
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(bindPort));
    ::inet_pton(AF_INET, bindIp, &sa.sin_addr);
    if (m_fd < 0 || (broadcast && ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        || ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
}

UdpLink::~UdpLink()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void UdpLink::Target(const QString& ip, int port)
{
    m_targetIp = ip;
    m_targetPort = port;
}

bool UdpLink::Send(const std::vector<uint8_t>& bytes)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(m_targetPort));
    ::inet_pton(AF_INET, m_targetIp.toLatin1().constData(), &sa.sin_addr);
    return ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa)
        == static_cast<ssize_t>(bytes.size());
}

std::optional<Received> UdpLink::Next(int timeoutMs)
{
    if (!WaitReadable(m_fd, QDeadlineTimer(timeoutMs)))
        return std::nullopt;
    uint8_t buffer[65536];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0)
        return std::nullopt;
    char ip[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    return Received{std::vector<uint8_t>(buffer, buffer + n), QStringLiteral("%1:%2").arg(ip).arg(ntohs(from.sin_port))};
}

SerialLink::SerialLink(const QString& path)
{
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
}

SerialLink::~SerialLink()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SerialLink::Send(const std::vector<uint8_t>& bytes)
{
    return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<uint8_t> SerialLink::RawFor(int ms)
{
    std::vector<uint8_t> all;
    const QDeadlineTimer deadline(ms);
    while (WaitReadable(m_fd, deadline)) {
        uint8_t buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        all.insert(all.end(), buffer, buffer + n);
    }
    return all;
}

std::optional<Received> SerialLink::Next(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        SerialFrameCutter cutter;
        const int taken = cutter.Append(m_stream.data(), static_cast<int>(m_stream.size()));
        std::vector<uint8_t> frame;
        if (cutter.NextFrame(frame)) {
            // What the cutter skipped plus the frame are consumed from the stream.
            m_stream.erase(m_stream.begin(), m_stream.begin() + (taken - cutter.Count()));
            return Received{frame, QString()};
        }
        if (!WaitReadable(m_fd, deadline))
            return std::nullopt;
        uint8_t buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            m_stream.insert(m_stream.end(), buffer, buffer + n);
    }
}
