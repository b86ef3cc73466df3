#include "SerialLine.h"

#include "transport/ClassCom.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr int StaleFrameMs = 500;
constexpr int MaxPendingBytes = 1 << 20; // beyond this nobody reads the line: newer bytes are lost

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool MakeRaw(int fd, int baud, QString* error)
{
    speed_t speed = B0;
    if (!StandardSpeed(baud, &speed)) {
        *error = QStringLiteral("unsupported baud rate %1").arg(baud);
        return false;
    }
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        *error = QStringLiteral("tcgetattr: %1").arg(ErrnoText());
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        *error = QStringLiteral("tcsetattr: %1").arg(ErrnoText());
        return false;
    }
    return true;
}

} // namespace

SerialLine::SerialLine(Handler onFrame, RawHandler onBytes, QObject* parent)
    : QObject(parent)
    , m_onFrame(std::move(onFrame))
    , m_onBytes(std::move(onBytes))
{
    m_staleTimer.setSingleShot(true);
    m_staleTimer.setInterval(StaleFrameMs);
    connect(&m_staleTimer, &QTimer::timeout, this, [this] { m_cutter.Discard(); });
}

SerialLine::~SerialLine()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_ptySlave >= 0)
        ::close(m_ptySlave);
}

bool SerialLine::OpenPty(int baud, QString* error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("openpty: %1").arg(ErrnoText());
        return false;
    }
    // The line discipline sits on the slave: raw there, or newlines and echo would alter frames.
    if (!MakeRaw(slave, baud, error)) {
        ::close(master);
        ::close(slave);
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_ptySlave = slave;
    m_path = QString::fromLocal8Bit(name);
    return Start(master, error);
}

bool SerialLine::OpenDevice(const QString& path, int baud, QString* error)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("%1: %2").arg(path, ErrnoText());
        return false;
    }
    if (!MakeRaw(fd, baud, error)) {
        *error = QStringLiteral("%1: %2").arg(path, *error);
        ::close(fd);
        return false;
    }
    m_path = path;
    return Start(fd, error);
}

bool SerialLine::Start(int fd, QString* error)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = QStringLiteral("fcntl: %1").arg(ErrnoText());
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, [this] { ReadAvailable(); });
    m_writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, [this] { Flush(); });
    return true;
}

void SerialLine::ReadAvailable()
{
    uint8_t buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n <= 0) {
        // A device that went away (EIO on a hung-up line) would wake us for ever: stop listening.
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            std::fprintf(
                stderr, "rxsim: serial line %s: %s\n", qPrintable(m_path), n == 0 ? "closed" : std::strerror(errno));
            m_readNotifier->setEnabled(false);
        }
        return;
    }
    m_onBytes(buffer, static_cast<size_t>(n));
    std::vector<uint8_t> frame;
    for (ssize_t offset = 0; offset < n;) {
        offset += m_cutter.Append(buffer + offset, static_cast<int>(n - offset));
        while (m_cutter.NextFrame(frame))
            m_onFrame(frame);
        if (m_cutter.FreeSpace() == 0)
            m_cutter.Discard(); // a full buffer without a frame: nothing in it can be saved
    }
    if (m_cutter.Count() > 0)
        m_staleTimer.start();
    else
        m_staleTimer.stop();
}

void SerialLine::Write(const std::vector<uint8_t>& bytes)
{
    if (m_pending.size() + static_cast<qsizetype>(bytes.size()) > MaxPendingBytes) {
        std::fprintf(stderr, "rxsim: serial line %s is not read: %zu bytes lost\n", qPrintable(m_path), bytes.size());
        return;
    }
    m_pending.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    Flush();
}

void SerialLine::Flush()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_pending.constData(), static_cast<size_t>(m_pending.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN) {
                std::fprintf(stderr, "rxsim: serial write %s: %s\n", qPrintable(m_path), std::strerror(errno));
                m_pending.clear();
            }
            break;
        }
        m_pending.remove(0, n);
    }
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
}
