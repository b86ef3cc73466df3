#include "transport/ClassCom.h"

#include "data/DebugPrint.h"
#include "data/LogFile.h"
#include "data/PublicStruct.h"
#include "data/SettingsFolder.h"
#include "protocol/Messages.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace
{

constexpr unsigned HighestPort = 1024;
// How long a frame may wait for a line that does not drain before the rest of it is dropped.
constexpr int WriteTimeoutMs = 2000;
// While bytes wait unread the watcher looks for more at this pace instead of spinning on poll.
constexpr int UnreadPaceMs = 2;

constexpr std::array<std::pair<int, speed_t>, 30> StandardRates { {
    { 50, B50 },
    { 75, B75 },
    { 110, B110 },
    { 134, B134 },
    { 150, B150 },
    { 200, B200 },
    { 300, B300 },
    { 600, B600 },
    { 1200, B1200 },
    { 1800, B1800 },
    { 2400, B2400 },
    { 4800, B4800 },
    { 9600, B9600 },
    { 19200, B19200 },
    { 38400, B38400 },
    { 57600, B57600 },
    { 115200, B115200 },
    { 230400, B230400 },
    { 460800, B460800 },
    { 500000, B500000 },
    { 576000, B576000 },
    { 921600, B921600 },
    { 1000000, B1000000 },
    { 1152000, B1152000 },
    { 1500000, B1500000 },
    { 2000000, B2000000 },
    { 2500000, B2500000 },
    { 3000000, B3000000 },
    { 3500000, B3500000 },
    { 4000000, B4000000 },
} };


bool CharacterSize(int byteSize, tcflag_t* flags)
{
    static constexpr std::array<tcflag_t, 4> Sizes { CS5, CS6, CS7, CS8 };
    if (byteSize < 5 || byteSize > 8)
        return false;
    *flags = Sizes[static_cast<size_t>(byteSize - 5)];
    return true;
}

bool ParityFlags(char parity, tcflag_t* flags)
{
    switch (parity) {
    case 'N':
        *flags = 0;
        return true;
    case 'E':
        *flags = PARENB;
        return true;
    case 'O':
        *flags = PARENB | PARODD;
        return true;
    default:
        return false;
    }
}

// The operator's COM<n> links and the link activity log live beside Config.ini.
QString SettingsDirectory()
{
    return PublicStruct::HasInstance() ? PublicStruct::Instance().SettingsFolder()
                                       : ChooseSettingsFolder(PublicStruct::ExecutableDirectory());
}

int QueuedCount(int fd)
{
    int queued = 0;
    return ioctl(fd, FIONREAD, &queued) == 0 ? queued : -1;
}

} // namespace

bool StandardSpeed(int baud, speed_t* speed)
{
    const auto found = std::find_if(
        StandardRates.begin(), StandardRates.end(), [baud](const auto& rate) { return rate.first == baud; });
    if (found == StandardRates.end())
        return false;
    *speed = found->second;
    return true;
}

cnComm::cnComm() = default;

cnComm::~cnComm()
{
    Close();
}

cnComm& cnComm::Instance()
{
    static cnComm port;
    return port;
}

void cnComm::SetNotifyWindow(QObject* window)
{
    m_notifyWindow.store(window);
}

void cnComm::SetDelay(int milliseconds)
{
    m_delayMs.store(std::max(0, milliseconds));
}

QString cnComm::DevicePath(unsigned port, const QString& folder)
{
    // A dangling COM<n> link still names the port: opening it then fails instead of silently
    // falling back to a different device.
    const QFileInfo entry(folder + QStringLiteral("COM%1").arg(port));
    if (entry.exists() || entry.isSymLink())
        return entry.filePath();
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

void cnComm::SetPortName(unsigned port)
{
    m_port.store(port);
    m_portName = DevicePath(port, SettingsDirectory());
}

bool cnComm::Open(unsigned port, int baud)
{
    if (port == 0 || port > HighestPort)
        return false;
    SetPortName(port);
    if (OpenPort() && SetupPort() && SetState(baud, 8, 'N', 1))
        return true;
    // A port whose set-up failed is not left half configured on the line.
    Close();
    return false;
}

bool cnComm::OpenPort()
{
    if (IsOpen())
        Close();
    m_fd = ::open(QFile::encodeName(m_portName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        DebugPrint("Uart open %s failed: %s", qPrintable(m_portName), std::strerror(errno));
        return false;
    }
    if (ioctl(m_fd, TIOCEXCL) != 0) {
        DebugPrint("Uart %s cannot be claimed: %s", qPrintable(m_portName), std::strerror(errno));
        Close();
        return false;
    }
    if (!StartWatcher()) {
        Close();
        return false;
    }
    return true;
}

bool cnComm::SetupPort()
{
    if (!IsOpen() || tcgetattr(m_fd, &m_originalSettings) != 0)
        return false;
    m_haveOriginalSettings = true;
    termios raw = m_originalSettings;
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    // Reads return at once with whatever is waiting.
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    return tcsetattr(m_fd, TCSANOW, &raw) == 0 && tcflush(m_fd, TCIOFLUSH) == 0;
}

bool cnComm::SetState(int baud, int byteSize, char parity, int stopBits)
{
    if (!IsOpen())
        return false;
    speed_t speed = B0;
    tcflag_t size = 0;
    tcflag_t parityFlags = 0;
    if (!StandardSpeed(baud, &speed)) {
        DebugPrint("Uart rate %d is not a standard rate", baud);
        return false;
    }
    if (!CharacterSize(byteSize, &size) || !ParityFlags(parity, &parityFlags) || (stopBits != 1 && stopBits != 2))
        return false;
    termios settings {};
    if (tcgetattr(m_fd, &settings) != 0 || cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0)
        return false;
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    settings.c_cflag |= size | parityFlags | (stopBits == 2 ? CSTOPB : 0);
    return tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

bool cnComm::IsOpen() const
{
    return m_fd >= 0;
}

bool cnComm::Close()
{
    if (!IsOpen())
        return false;
    StopWatcher();
    DiscardPending();
    if (m_haveOriginalSettings)
        tcsetattr(m_fd, TCSANOW, &m_originalSettings);
    m_haveOriginalSettings = false;
    // The claim would outlive us on a device another process still holds open.
    ioctl(m_fd, TIOCNXCL);
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    return closed;
}

void cnComm::OnReceive()
{
    if (QObject* window = m_notifyWindow.load())
        QCoreApplication::postEvent(window, new MessageEvent(MSG_SERIAL_DATA, m_port.load(), 0));
}

// ---- watcher thread

bool cnComm::StartWatcher()
{
    if (m_watcher.joinable())
        return true;
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        DebugPrint("Uart watcher cannot be woken: %s", std::strerror(errno));
        return false;
    }
    m_running.store(true);
    try {
        m_watcher = std::thread(&cnComm::WatchLoop, this);
    } catch (const std::system_error& error) {
        DebugPrint("Uart watcher cannot start: %s", error.what());
        m_running.store(false);
        ::close(m_wakeFd);
        m_wakeFd = -1;
        return false;
    }
    return true;
}

void cnComm::StopWatcher()
{
    if (!m_watcher.joinable())
        return;
    m_running.store(false);
    // Every wait of the watcher includes the wake descriptor, so it returns at once.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_watcher.join();
    ::close(m_wakeFd);
    m_wakeFd = -1;
}

cnComm::InputSample cnComm::SampleInput() const
{
    // The GUI thread counts what it consumed only after the line gave it up, so a sample taken
    // between two equal counts never counts a byte twice: at worst it is low, which costs one
    // spare notification but never a missed arrival.
    for (;;) {
        const uint64_t before = m_bytesConsumed.load();
        const int queued = QueuedCount(m_fd);
        const uint64_t after = m_bytesConsumed.load();
        if (before == after)
            return { queued, after, after + static_cast<uint64_t>(std::max(queued, 0)) };
    }
}

bool cnComm::PauseOrStop(int milliseconds) const
{
    pollfd wake { m_wakeFd, POLLIN, 0 };
    return poll(&wake, 1, milliseconds) > 0 || !m_running.load();
}

bool cnComm::WaitForInputOrStop() const
{
    std::array<pollfd, 2> fds { { { m_wakeFd, POLLIN, 0 }, { m_fd, POLLIN, 0 } } };
    while (poll(fds.data(), fds.size(), -1) < 0) {
        if (errno != EINTR)
            return true;
    }
    if (fds[0].revents != 0 || !m_running.load())
        return true;
    // A readiness that brought no bytes must not turn the loop into a spin.
    if (QueuedCount(m_fd) == 0)
        return PauseOrStop(UnreadPaceMs);
    return false;
}

// poll alone is level-triggered and would repeat while bytes wait unread. So a notification goes
// out when new bytes have arrived since the last one, like a "character received" event, or when
// the reader took some but left others (its buffer was full), so that the rest is not stranded;
// bytes nobody reads wake no one.
void cnComm::WatchLoop()
{
    InputSample notified { 0, 0, 0 };
    while (m_running.load()) {
        const InputSample input = SampleInput();
        if (input.queued < 0) {
            // A hung-up line delivers nothing more; wait for Close.
            while (!PauseOrStop(-1)) { }
            return;
        }
        if (input.queued > 0 && (input.arrived > notified.arrived || input.consumed != notified.consumed)) {
            // Bytes arriving during the delay are read by this same notification.
            if (PauseOrStop(m_delayMs.load()))
                return;
            notified = SampleInput();
            OnReceive();
            continue;
        }
        // Input discarded by a flush lowers the count of arrivals.
        notified.arrived = std::min(notified.arrived, input.arrived);
        const bool stop = input.queued > 0 ? PauseOrStop(UnreadPaceMs) : WaitForInputOrStop();
        if (stop)
            return;
    }
}

// ---- output

int cnComm::WriteNow(const char* bytes, qsizetype count)
{
    for (;;) {
        const ssize_t written = ::write(m_fd, bytes, static_cast<size_t>(count));
        if (written >= 0)
            return static_cast<int>(written);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

int cnComm::Write(const uint8_t* bytes, int count)
{
    if (!IsOpen() || bytes == nullptr || count <= 0)
        return 0;
    SendPending();
    int result = 0;
    const char* data = reinterpret_cast<const char*>(bytes);
    const int taken = m_pending.empty() ? WriteNow(data, count) : 0;
    if (taken < 0) {
        DebugPrint("Uart Write failed: %s", std::strerror(errno));
    } else if (taken == count) {
        result = count;
    } else {
        // Frames leave in order: behind what is still queued, or the rest of this one.
        m_pending.push_back({ QByteArray(data, count), taken, QDeadlineTimer(WriteTimeoutMs) });
        ArmPendingOutput();
    }
    LogLink(LinkDirection::Write, bytes, count);
    return result;
}

void cnComm::SendPending()
{
    DropExpiredFrames();
    while (!m_pending.empty()) {
        PendingFrame& frame = m_pending.front();
        const int taken = WriteNow(frame.bytes.constData() + frame.sent, frame.bytes.size() - frame.sent);
        if (taken < 0) {
            DebugPrint("Uart Write failed: %s, %d of %d bytes dropped", std::strerror(errno),
                static_cast<int>(frame.bytes.size() - frame.sent), static_cast<int>(frame.bytes.size()));
            m_pending.pop_front();
            continue;
        }
        frame.sent += taken;
        if (frame.sent < frame.bytes.size())
            break;
        m_pending.pop_front();
    }
    ArmPendingOutput();
}

void cnComm::DropExpiredFrames()
{
    // Deadlines grow along the queue, so the expired frames are at its head.
    while (!m_pending.empty() && m_pending.front().deadline.hasExpired()) {
        const PendingFrame& frame = m_pending.front();
        DebugPrint("Uart Write timeout, %d of %d bytes dropped", static_cast<int>(frame.bytes.size() - frame.sent),
            static_cast<int>(frame.bytes.size()));
        m_pending.pop_front();
    }
}

void cnComm::ArmPendingOutput()
{
    if (m_pending.empty()) {
        if (m_writable)
            m_writable->setEnabled(false);
        if (m_writeTimeout)
            m_writeTimeout->stop();
        return;
    }
    if (!m_writable) {
        m_writable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
        QObject::connect(m_writable.get(), &QSocketNotifier::activated, m_writable.get(), [this] { SendPending(); });
    }
    if (!m_writeTimeout) {
        m_writeTimeout = std::make_unique<QTimer>();
        m_writeTimeout->setSingleShot(true);
        QObject::connect(m_writeTimeout.get(), &QTimer::timeout, m_writeTimeout.get(), [this] { SendPending(); });
    }
    m_writable->setEnabled(true);
    m_writeTimeout->start(static_cast<int>(std::max<qint64>(0, m_pending.front().deadline.remainingTime())));
}

void cnComm::DiscardPending()
{
    qsizetype unsent = 0;
    for (const PendingFrame& frame : m_pending)
        unsent += frame.bytes.size() - frame.sent;
    if (unsent > 0)
        DebugPrint("Uart closed, %d unsent bytes dropped", static_cast<int>(unsent));
    m_pending.clear();
    m_writable.reset();
    m_writeTimeout.reset();
}

// ---- input

int cnComm::QueuedBytes()
{
    if (!IsOpen())
        return 0;
    return std::max(QueuedCount(m_fd), 0);
}

int cnComm::ReadSome(uint8_t* buffer, int count, int waitMs)
{
    if (!IsOpen() || buffer == nullptr || count <= 0)
        return 0;
    const int waiting = QueuedBytes();
    if (waiting == 0)
        return 0;
    const size_t wanted = static_cast<size_t>(std::min(count, waiting));
    bool waited = false;
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, wanted);
        if (got > 0) {
            m_bytesConsumed.fetch_add(static_cast<uint64_t>(got));
            return static_cast<int>(got);
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || waited || waitMs <= 0)
            return 0;
        // The counted bytes are not readable yet: give them the caller's wait once.
        pollfd line { m_fd, POLLIN, 0 };
        poll(&line, 1, waitMs);
        waited = true;
    }
}

int cnComm::ReadAvailable(uint8_t* buffer, int count, int waitMs)
{
    int total = 0;
    while (total < count && QueuedBytes() > 0) {
        const int got = ReadSome(buffer + total, count - total, waitMs);
        if (got <= 0)
            break;
        total += got;
    }
    if (total > 0)
        LogLink(LinkDirection::Read, buffer, total);
    return total;
}

// ---- link activity log

void cnComm::LogLink(LinkDirection direction, const uint8_t* bytes, int count)
{
    QByteArray hex;
    hex.reserve(count * 3);
    for (int i = 0; i < count; ++i) {
        char group[4];
        std::snprintf(group, sizeof group, "%02X ", bytes[i]);
        hex.append(group, 3);
    }
    const char* verb = direction == LinkDirection::Write ? "Write" : "Read";
    const QByteArray time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toLatin1();
    const QByteArray line = time + " Uart " + verb + " [" + QByteArray::number(count) + "]" + hex + "\r\n";

    // Said once per run of failures: a line per byte read would bury the reason.
    static std::atomic<bool> failureSaid { false };
    QString error;
    if (AppendToLog(SettingsDirectory() + QStringLiteral(u"调试日志.Log"), line, &error))
        failureSaid = false;
    else if (!failureSaid.exchange(true))
        DebugPrint("Uart log not written: %s", error.toUtf8().constData());
    DebugPrint("Uart %s [%d]%s", verb, count, hex.constData());
}
