// The whole path of a status reply: a loopback socket, the receive thread, the event queue,
// OnDatagram and HandleFrame, and the repaint of the tile in a shown main window (offscreen).
// Figures: replies handled per CPU-second of the window's process (the sender's own CPU time left
// out) with 12 and 64 tiles; the time from sending to the repaint of the tile's audio bar (median
// and p99); and a 10 s flood of 10,000 replies a second, after which polling, memory and the
// event loop's longest stall are reported, each stall over 100 ms with where its time went.
// Polls go to 127.77.0.1:5000 on loopback.
#include "BenchSupport.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/Messages.h"
#include "transport/UDPServer.h"
#include "ui/FormMain.h"
#include "ui/TTMICObject.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace bench;

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int Records = 64;
constexpr char PollTarget[] = "127.77.0.1";

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// A reply for record r; its audio level changes from one reply to the next of the same record,
// so that each one has something to repaint. Four extra bytes carry the sequence number.
std::vector<uint8_t> StatusReply(int record, uint32_t sequence)
{
    const uint32_t turn = sequence / Records;
    uint8_t payload[13] = { 0, 0, 3, static_cast<uint8_t>(turn * 37 % 101), 60, 40, 2, 50, 1 };
    std::memcpy(payload + 9, &sequence, sizeof sequence);
    return BuildFrame(static_cast<uint8_t>(record / 4 + 1), static_cast<uint8_t>(record % 4 + 1), CMD_STATUS, payload,
        sizeof payload);
}

// A port nobody holds on this machine right now, for the window to bind.
// 64 connected records polled at PollTarget, `tiles` of them with a tile, in a shown window large
// enough for every tile to be painted.
struct Stage {
    explicit Stage(int tiles)
    {
        PublicStruct::Install(std::make_unique<PublicStruct>(dir.path() + QLatin1Char('/')));
        const QByteArray text = "[Public]\r\nUartPort=0\r\n" + PolledRecordsIni(Records, PollTarget);
        window = ShownWindow(text, port, tiles);
    }

    QTemporaryDir dir;
    int port = FreeUdpPort();
    std::unique_ptr<TFrmMain> window;
};

// Sends replies round the records at `rate` a second for `duration` from its own thread and
// socket, noting when each one left.
class Sender
{
public:
    Sender(int port, int rate, Clock::duration duration, std::vector<Clock::time_point>* sentAt = nullptr)
        : m_thread([=, this] { Run(port, rate, duration, sentAt); })
    {
    }
    ~Sender() { Join(); }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    double Cpu() const { return m_cpu.load(); }
    bool Finished() const { return m_finished.load(); }
    uint32_t Sent() const { return m_sent.load(); }

private:
    void Run(int port, int rate, Clock::duration duration, std::vector<Clock::time_point>* sentAt)
    {
        const int fd = ReplySocketFrom(PollTarget);
        sockaddr_in target {};
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<uint16_t>(port));
        target.sin_addr.s_addr = inet_addr("127.0.0.1");
        const auto start = Clock::now();
        uint32_t sequence = 0;
        for (auto slice = start; slice - start < duration; slice += std::chrono::milliseconds(1)) {
            std::this_thread::sleep_until(slice);
            const auto due = static_cast<uint32_t>(Seconds(slice - start + std::chrono::milliseconds(1)) * rate);
            for (; sequence < due; ++sequence) {
                const std::vector<uint8_t> frame = StatusReply(static_cast<int>(sequence % Records), sequence);
                if (sentAt && sequence < sentAt->size())
                    (*sentAt)[sequence] = Clock::now();
                sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
            }
        }
        close(fd);
        m_sent = sequence;
        m_cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        m_finished = true;
    }

    std::atomic<double> m_cpu { 0 };
    std::atomic<uint32_t> m_sent { 0 };
    std::atomic<bool> m_finished { false };
    std::thread m_thread;
};

// Keeps the event loop running until the sender has sent its last reply. A sender on a loaded
// machine ends later than its nominal duration; joining it from the GUI thread would block the
// very loop whose stalls are measured.
void RunLoopUntilSent(const Sender& sender)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (sender.Finished())
            loop.quit();
    });
    check.start(5);
    loop.exec();
}

// Counts the datagram events the window takes and, per tile, the replies waiting for its audio
// bar to be repainted; at each repaint those replies get their latency.
class PathProbe : public QObject
{
public:
    PathProbe(TFrmMain& window, const std::vector<Clock::time_point>& sentAt)
        : m_sentAt(sentAt)
    {
        window.installEventFilter(this);
        for (const auto& tile : window.Tiles()) {
            auto* bar = tile->findChild<QProgressBar*>(QStringLiteral("VoiceLevel"));
            m_tiles[bar] = tile->RXID() * 256 + tile->DevIdx();
            m_keys.insert(tile->RXID() * 256 + tile->DevIdx());
            bar->installEventFilter(this);
        }
    }
    uint64_t handled = 0;
    std::vector<double> latencyMs;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == EventType(MSG_DATAGRAM)) {
            ++handled;
            const DatagramBlock& block = static_cast<DatagramEvent*>(e)->Datagram();
            uint32_t sequence = 0;
            const int key = block.length >= 19 ? block.data[1] * 256 + block.data[2] : -1;
            if (m_keys.count(key)) {
                std::memcpy(&sequence, block.data + 15, sizeof sequence);
                m_waiting[key].push_back(sequence);
            }
        } else if (e->type() == QEvent::Paint) {
            const auto tile = m_tiles.find(watched);
            if (tile != m_tiles.end()) {
                const auto now = Clock::now();
                for (uint32_t sequence : m_waiting[tile->second])
                    if (sequence < m_sentAt.size())
                        latencyMs.push_back(Seconds(now - m_sentAt[sequence]) * 1000);
                m_waiting[tile->second].clear();
            }
        }
        return false;
    }

private:
    const std::vector<Clock::time_point>& m_sentAt;
    std::map<QObject*, int> m_tiles;
    std::set<int> m_keys;
    std::map<int, std::vector<uint32_t>> m_waiting;
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

// Replies handled per CPU-second of the window's side, at a rate above what it can take.
void BenchThroughput(int tiles)
{
    Stage stage(tiles);
    const std::vector<Clock::time_point> none;
    PathProbe probe(*stage.window, none);
    const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    Sender sender(stage.port, 40000, std::chrono::seconds(3));
    RunLoop(3500);
    sender.Join();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore - sender.Cpu();
    std::printf("whole path, %2d tiles: %6u replies sent, %6llu handled, %8.0f handled per CPU-second (goal with 64 "
                "tiles: 20000)\n",
        tiles, sender.Sent(), static_cast<unsigned long long>(probe.handled), probe.handled / cpu);
}

// From sending to the repaint of the tile, at a rate the window keeps up with.
void BenchLatency(int tiles)
{
    Stage stage(tiles);
    constexpr int Rate = 2000;
    std::vector<Clock::time_point> sentAt(Rate * 3);
    PathProbe probe(*stage.window, sentAt);
    Sender sender(stage.port, Rate, std::chrono::seconds(3), &sentAt);
    RunLoop(3500);
    sender.Join();
    std::printf("arrival to repaint, %2d tiles, %d replies/s: median %.2f ms, p99 %.2f ms (%zu replies timed)\n", tiles,
        Rate, Percentile(probe.latencyMs, 0.5), Percentile(probe.latencyMs, 0.99), probe.latencyMs.size());
}

// Where the window's polls arrive: the moments they came.
class PollListener
{
public:
    PollListener()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local {};
        local.sin_family = AF_INET;
        local.sin_port = htons(5000);
        local.sin_addr.s_addr = inet_addr(PollTarget);
        m_bound = bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
        m_thread = std::thread([this] {
            while (!m_stop) {
                pollfd p { m_fd, POLLIN, 0 };
                if (poll(&p, 1, 20) <= 0)
                    continue;
                char buffer[64];
                if (recv(m_fd, buffer, sizeof buffer, 0) > 0) {
                    const std::lock_guard lock(m_mutex);
                    m_arrivals.push_back(Clock::now());
                }
            }
        });
    }
    ~PollListener()
    {
        m_stop = true;
        m_thread.join();
        close(m_fd);
    }
    bool Bound() const { return m_bound; }
    int CountBetween(Clock::time_point from, Clock::time_point to)
    {
        const std::lock_guard lock(m_mutex);
        return static_cast<int>(std::count_if(
            m_arrivals.begin(), m_arrivals.end(), [&](Clock::time_point t) { return t >= from && t < to; }));
    }
    // When polling ran again at 10 a second: the first poll after `from` that starts a second
    // holding at least 9 polls.
    double ResumedAfter(Clock::time_point from)
    {
        const std::lock_guard lock(m_mutex);
        for (auto t : m_arrivals) {
            if (t < from)
                continue;
            const auto inSecond = std::count_if(m_arrivals.begin(), m_arrivals.end(),
                [&](Clock::time_point u) { return u >= t && u < t + std::chrono::seconds(1); });
            if (inSecond >= 9)
                return Seconds(t - from);
        }
        return -1;
    }

private:
    int m_fd = -1;
    bool m_bound = false;
    std::atomic<bool> m_stop { false };
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_arrivals;
    std::thread m_thread;
};

// The gaps between the runs of a 10 ms timer: how long the event loop answered nothing. For each
// gap over 100 ms, where the GUI thread's time went by the kernel's account (schedstat): on a
// CPU (work in the window), waiting for one (a busy machine) or asleep (a blocking call, a page
// read from disk, or a wait for Qt's own painting threads, which need a CPU too).
class StallWatch
{
public:
    StallWatch()
    {
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        m_sinceTick.start();
        m_sinceStart.start();
        m_last = ThreadSched();
        m_ticker.start(10);
    }
    void Stop() { m_ticker.stop(); }
    void Print() const
    {
        std::printf("event loop: longest stall %lld ms, %d stalls over 200 ms (goal: none)\n",
            static_cast<long long>(m_longest), m_over200);
        for (const Stall& s : m_stalls)
            std::printf("  stall of %lld ms from %.2f s: %.0f ms on a CPU, %.0f ms waiting for one, %.0f ms asleep, "
                        "%ld page faults read from disk\n",
                static_cast<long long>(s.length), s.from / 1000.0, s.runMs, s.waitMs,
                std::max(0.0, static_cast<double>(s.length) - s.runMs - s.waitMs), s.majorFaults);
    }

private:
    struct Sched {
        double runMs = 0, waitMs = 0;
        long majorFaults = 0;
    };
    struct Stall {
        qint64 from = 0, length = 0;
        double runMs = 0, waitMs = 0;
        long majorFaults = 0;
    };

    static QByteArray Read(const char* path)
    {
        QFile file(QString::fromLatin1(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // schedstat: time on a CPU and waiting for one (ns); stat: major faults, field 12, counted
    // after the command name, which ends with ") ".
    static Sched ThreadSched()
    {
        Sched sched;
        const QList<QByteArray> times = Read("/proc/thread-self/schedstat").split(' ');
        if (times.size() >= 2)
            sched = { times[0].toDouble() / 1e6, times[1].toDouble() / 1e6 };
        const QByteArray stat = Read("/proc/thread-self/stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 9)
            sched.majorFaults = fields[9].toLong();
        return sched;
    }

    void Tick()
    {
        const qint64 gap = m_sinceTick.restart();
        const Sched now = ThreadSched();
        m_longest = std::max(m_longest, gap);
        m_over200 += gap > 200;
        if (gap > 100 && m_stalls.size() < 20)
            m_stalls.push_back({ m_sinceStart.elapsed() - gap, gap, now.runMs - m_last.runMs,
                now.waitMs - m_last.waitMs, now.majorFaults - m_last.majorFaults });
        m_last = now;
    }

    QTimer m_ticker;
    QElapsedTimer m_sinceTick, m_sinceStart;
    Sched m_last;
    qint64 m_longest = 0;
    int m_over200 = 0;
    std::vector<Stall> m_stalls;
};

// 10,000 status replies a second for 10 s, then 3 s of quiet: polling, memory and stalls.
void BenchFlood()
{
    Stage stage(12);
    PollListener polls;
    if (!polls.Bound()) {
        std::printf("flood: %s:5000 is taken, polls cannot be watched; skipped\n", PollTarget);
        return;
    }
    const std::vector<Clock::time_point> none;
    PathProbe probe(*stage.window, none);
    StallWatch stalls;
    long rssPeak = 0;
    QTimer memory;
    QObject::connect(&memory, &QTimer::timeout, [&] { rssPeak = std::max(rssPeak, ResidentKb()); });
    RunLoop(1000);
    const long rssBefore = ResidentKb();
    const auto floodStart = Clock::now();
    stalls.Start();
    memory.start(100);
    Sender sender(stage.port, 10000, std::chrono::seconds(10));
    RunLoopUntilSent(sender);
    sender.Join();
    const auto floodEnd = Clock::now();
    RunLoop(3000);
    stalls.Stop();
    memory.stop();
    const long rssAfter = ResidentKb();
    std::printf("flood 10 s x 10000/s: %u sent, %llu handled; polls during it %.1f/s\n", sender.Sent(),
        static_cast<unsigned long long>(probe.handled), polls.CountBetween(floodStart, floodEnd) / 10.0);
    std::printf("after the flood: polling at 10/s again after %.2f s (goal: 2 s), %d polls in the 2 s after\n",
        polls.ResumedAfter(floodEnd), polls.CountBetween(floodEnd, floodEnd + std::chrono::seconds(2)));
    std::printf("resident memory: %+.1f MB at the peak, %+.1f MB 3 s after (goal: 20 MB)\n",
        (rssPeak - rssBefore) / 1024.0, (rssAfter - rssBefore) / 1024.0);
    stalls.Print();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    cLanguage::Install(std::make_unique<cLanguage>());
    for (const int tiles : { 12, 64 })
        BenchThroughput(tiles);
    for (const int tiles : { 12, 64 })
        BenchLatency(tiles);
    BenchFlood();
    return 0;
}
