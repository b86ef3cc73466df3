// Serial bytes per second through a pseudo-terminal, link activity log included: frames written
// through cnComm and read at the far end, frames written at the far end and read back with
// ReadAvailable, and the same again driven by MSG_SERIAL_DATA notifications as the main window
// reads them. A 115200 baud line carries about 11520 bytes per second.
#include "data/PublicStruct.h"
#include "protocol/Messages.h"
#include "transport/ClassCom.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int FrameSize = 32;
constexpr int Frames = 20000;

void Report(const char* what, qint64 bytes, qint64 ms)
{
    const double seconds = static_cast<double>(std::max<qint64>(ms, 1)) / 1000.0;
    std::printf("%-52s %12.0f bytes per second (%lld bytes in %.3f s)\n", what, bytes / seconds,
        static_cast<long long>(bytes), seconds);
}

qint64 ReadFarEnd(int master)
{
    char chunk[4096];
    qint64 total = 0;
    ssize_t got = 0;
    while ((got = ::read(master, chunk, sizeof chunk)) > 0)
        total += got;
    return total;
}

// Writes at the far end as much of the remaining bytes as the line takes.
qint64 WriteFarEnd(int master, const std::vector<char>& frame, qint64 remaining)
{
    qint64 written = 0;
    while (remaining - written >= FrameSize) {
        if (::write(master, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            break;
        written += FrameSize;
    }
    return written;
}

class Reader : public QObject
{
public:
    std::function<void()> onNotify;
    bool event(QEvent* e) override
    {
        if (e->type() != EventType(MSG_SERIAL_DATA))
            return QObject::event(e);
        onNotify();
        return true;
    }
};

void BenchWrite(cnComm& port, int master)
{
    std::vector<uint8_t> frame(FrameSize, 0x5A);
    const qint64 total = qint64(Frames) * FrameSize;
    qint64 received = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Frames; ++i) {
        port.Write(frame.data(), FrameSize);
        received += ReadFarEnd(master);
        QCoreApplication::processEvents();
    }
    while (received < total && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
        received += ReadFarEnd(master);
    }
    Report("Write, far end reads (32-byte frames)", received, clock.elapsed());
}

void BenchReadAvailable(cnComm& port, int master)
{
    const std::vector<char> frame(FrameSize, 0x3C);
    const qint64 total = qint64(Frames) * FrameSize;
    std::vector<uint8_t> buffer(4096);
    qint64 sent = 0;
    qint64 received = 0;
    QElapsedTimer clock;
    clock.start();
    while (received < total && clock.elapsed() < 10000) {
        sent += WriteFarEnd(master, frame, total - sent);
        received += port.ReadAvailable(buffer.data(), static_cast<int>(buffer.size()), 10);
    }
    Report("far end writes, ReadAvailable reads (4096 buffer)", received, clock.elapsed());
}

void BenchNotified(cnComm& port, int master, int delayMs)
{
    const std::vector<char> frame(FrameSize, 0x66);
    const qint64 total = qint64(Frames / 10) * FrameSize;
    std::vector<uint8_t> buffer(256);
    qint64 sent = 0;
    qint64 received = 0;
    Reader window;
    window.onNotify = [&] { received += port.ReadAvailable(buffer.data(), static_cast<int>(buffer.size()), 10); };
    port.SetNotifyWindow(&window);
    port.SetDelay(delayMs);
    QElapsedTimer clock;
    clock.start();
    while (received < total && clock.elapsed() < 20000) {
        sent += WriteFarEnd(master, frame, total - sent);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    port.SetNotifyWindow(nullptr);
    QCoreApplication::removePostedEvents(&window);
    char what[80];
    std::snprintf(what, sizeof what, "notified reads, delay %d ms (256 buffer)", delayMs);
    Report(what, received, clock.elapsed());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    PublicStruct::Install(std::make_unique<PublicStruct>(dir.path() + QLatin1Char('/')));
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0
        || fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0
        || !QFile::link(QString::fromLocal8Bit(name), dir.filePath(QStringLiteral("COM1")))) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    cnComm port;
    if (!port.Open(1, 115200)) {
        std::fprintf(stderr, "cannot open %s\n", name);
        return 1;
    }
    BenchWrite(port, master);
    BenchReadAvailable(port, master);
    BenchNotified(port, master, 5);
    BenchNotified(port, master, 30);
    port.Close();
    ::close(master);
    ::close(slave);
    return 0;
}
