// The remote view's cost on the intake path: 64 live tiles in a shown main window take status
// replies from a loopback socket while the web server pushes each change to 32 WebSocket clients
// and the MQTT client publishes it to a Mosquitto with one subscriber. Figures: replies handled
// per CPU-second of the window's process with no clients and with all of them (goal: at most 20 %
// lost), and the time from sending a reply to its arrival at a WebSocket client (median, p99).
// The clients and the subscriber run in a child process, so their CPU time is not the window's.
#include "BenchSupport.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/Messages.h"
#include "remote/AccessGate.h"
#include "ui/FormMain.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWebSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace bench;

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int Records = 64;
constexpr int WebClients = 32;

qint64 NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

quint16 FreeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The audio level of a record's n-th reply: different each time, so each reply is a change.
int AudioOf(uint32_t sequence)
{
    return static_cast<int>(sequence / Records % 101);
}

std::vector<uint8_t> Reply(uint32_t sequence)
{
    const int record = static_cast<int>(sequence % Records);
    const uint8_t payload[9] = { 0, 0, 3, static_cast<uint8_t>(AudioOf(sequence)), 60, 40, 2, 50, 1 };
    return BuildFrame(static_cast<uint8_t>(record / 4 + 1), static_cast<uint8_t>(record % 4 + 1), CMD_STATUS, payload, sizeof payload);
}

// Sends replies round the records at `rate` a second from its own thread; notes when each left.
struct Sender {
    Sender(int port, int rate, double seconds, std::vector<qint64>* sentAt)
        : thread([=, this] {
            const int fd = ReplySocketFrom("127.77.0.1");
            sockaddr_in target {};
            target.sin_family = AF_INET;
            target.sin_port = htons(static_cast<uint16_t>(port));
            target.sin_addr.s_addr = inet_addr("127.0.0.1");
            const auto start = Clock::now();
            uint32_t sequence = 0;
            for (auto slice = start; slice - start < std::chrono::duration<double>(seconds); slice += std::chrono::milliseconds(1)) {
                std::this_thread::sleep_until(slice);
                const auto due = static_cast<uint32_t>(std::chrono::duration<double>(slice - start).count() * rate);
                for (; sequence < due; ++sequence) {
                    const std::vector<uint8_t> frame = Reply(sequence);
                    if (sentAt && sequence < sentAt->size())
                        (*sentAt)[sequence] = NowUs();
                    sendto(fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
                }
            }
            close(fd);
            sent = sequence;
            cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        })
    {
    }
    ~Sender() { Join(); }
    void Join()
    {
        if (thread.joinable())
            thread.join();
    }
    std::atomic<double> cpu { 0 };
    std::atomic<uint32_t> sent { 0 };
    std::thread thread;
};

// 64 connected records, a tile each, in a shown window; remote view and broker client as given.
struct Stage {
    Stage(quint16 webPort, quint16 brokerPort)
    {
        PublicStruct::Install(std::make_unique<PublicStruct>(dir.path() + QLatin1Char('/')));
        QByteArray text = "[Public]\r\nUartPort=0\r\n" + PolledRecordsIni(Records, "127.77.0.1");
        if (webPort)
            text += "[Remote]\r\nEnabled=1\r\nAddress=127.0.0.1\r\nPort=" + QByteArray::number(webPort) + "\r\nCode="
                + code.toUtf8() + "\r\nMqttEnabled=1\r\nMqttHost=127.0.0.1\r\nMqttPort=" + QByteArray::number(brokerPort)
                + "\r\nStation=bench\r\n";
        window = ShownWindow(text, port, Records);
    }
    QTemporaryDir dir;
    QString code = AccessGate::NewCode();
    int port = FreeUdpPort();
    std::unique_ptr<TFrmMain> window;
};

int CountDatagrams(TFrmMain& window, double seconds, int rate, std::vector<qint64>* sentAt, double* cpu)
{
    struct Counter : QObject {
        int handled = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            handled += e->type() == EventType(MSG_DATAGRAM);
            return false;
        }
    } counter;
    window.installEventFilter(&counter);
    const double before = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    double senderCpu = 0;
    {
        Sender sender(window.property("benchPort").toInt(), rate, seconds, sentAt);
        RunLoop(static_cast<int>(seconds * 1000) + 500);
        sender.Join();
        senderCpu = sender.cpu;
    }
    *cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - before - senderCpu;
    window.removeEventFilter(&counter);
    return counter.handled;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

// The child: 32 WebSocket clients and an MQTT subscriber; prints "READY" once all are in, then
// for each message of client 0 a line "id audio microseconds" (wall clock, as the parent's).
int RunClients(const QString& url, int brokerPort)
{
    mosquitto_lib_init();
    mosquitto* sub = mosquitto_new(nullptr, true, nullptr);
    std::atomic<int> mqttMessages { 0 };
    mosquitto_user_data_set(sub, &mqttMessages);
    mosquitto_connect_callback_set(sub, [](mosquitto* m, void*, int) { mosquitto_subscribe(m, nullptr, "tessaro/#", 1); });
    mosquitto_message_callback_set(sub, [](mosquitto*, void* count, const mosquitto_message*) { ++*static_cast<std::atomic<int>*>(count); });
    mosquitto_connect(sub, "127.0.0.1", brokerPort, 10);
    mosquitto_loop_start(sub);
    std::vector<std::unique_ptr<QWebSocket>> clients;
    int open = 0;
    for (int i = 0; i < WebClients; ++i) {
        clients.push_back(std::make_unique<QWebSocket>());
        QObject::connect(clients.back().get(), &QWebSocket::connected, [&open] {
            if (++open == WebClients)
                std::printf("READY\n");
        });
        if (i == 0)
            QObject::connect(clients.back().get(), &QWebSocket::textMessageReceived, [](const QString& text) {
                const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
                if (m.value("type") == "channel")
                    std::printf("%s %d %lld\n", qPrintable(m.value("channel").toObject().value("id").toString()),
                        m.value("channel").toObject().value("audio").toInt(), static_cast<long long>(NowUs()));
            });
        clients.back()->open(QUrl(url));
    }
    QCoreApplication::exec();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--clients") == 0) {
        QCoreApplication app(argc, argv);
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        return RunClients(QString::fromUtf8(argv[2]), std::atoi(argv[3]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    cLanguage::Install(std::make_unique<cLanguage>());
    constexpr double Seconds = 3;
    constexpr int FloodRate = 40000;

    double cpuQuiet = 0;
    int handledQuiet = 0;
    {
        Stage stage(0, 0);
        stage.window->setProperty("benchPort", stage.port);
        handledQuiet = CountDatagrams(*stage.window, Seconds, FloodRate, nullptr, &cpuQuiet);
    }

    QTemporaryDir brokerDir;
    const quint16 brokerPort = FreeTcpPort();
    QFile conf(brokerDir.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(brokerPort).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(QStringLiteral("mosquitto"), { "-c", conf.fileName() });
    if (!broker.waitForStarted(5000)) {
        std::printf("remote view: mosquitto does not start; skipped\n");
        return 0;
    }
    RunLoop(500);
    const quint16 webPort = FreeTcpPort();
    Stage stage(webPort, brokerPort);
    stage.window->setProperty("benchPort", stage.port);
    QProcess clients;
    clients.start(QCoreApplication::applicationFilePath(),
        { "--clients", QStringLiteral("ws://127.0.0.1:%1/api/v1/live?code=%2").arg(webPort).arg(stage.code), QString::number(brokerPort) });
    QByteArray said;
    for (int i = 0; i < 100 && !said.contains("READY"); ++i) {
        RunLoop(100);
        said += clients.readAllStandardOutput();
    }
    if (!said.contains("READY")) {
        std::printf("remote view: the clients did not connect; skipped\n");
        return 0;
    }
    double cpuClients = 0;
    const int handledClients = CountDatagrams(*stage.window, Seconds, FloodRate, nullptr, &cpuClients);
    const double quietRate = handledQuiet / cpuQuiet;
    const double clientsRate = handledClients / cpuClients;
    std::printf("intake, 64 tiles, no clients: %8.0f replies per CPU-second (%d handled)\n", quietRate, handledQuiet);
    std::printf("intake, 64 tiles, %d WebSocket clients + MQTT subscriber: %8.0f replies per CPU-second (%d handled), "
                "%.1f %% lost (goal: at most 20 %%)\n",
        WebClients, clientsRate, handledClients, 100.0 * (1 - clientsRate / quietRate));

    // Latency at a show's pace: every channel answering 5 times a second.
    clients.readAllStandardOutput();
    constexpr int PaceRate = Records * 5;
    std::vector<qint64> sentAt(static_cast<size_t>(PaceRate * Seconds) + 10, 0);
    double cpu = 0;
    CountDatagrams(*stage.window, Seconds, PaceRate, &sentAt, &cpu);
    RunLoop(300);
    std::vector<double> latencyMs;
    for (const QByteArray& line : clients.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 3)
            continue;
        const QList<QByteArray> id = f[0].split('-');
        const int record = (id.value(0).toInt() - 1) * 4 + id.value(1).toInt() - 1;
        const int audio = f[1].toInt();
        const qint64 at = f[2].toLongLong();
        // The newest reply of that record with that level sent before the message came.
        for (size_t s = sentAt.size(); s-- > 0;)
            if (sentAt[s] != 0 && sentAt[s] <= at && static_cast<int>(s % Records) == record && AudioOf(static_cast<uint32_t>(s)) == audio) {
                latencyMs.push_back((at - sentAt[s]) / 1000.0);
                break;
            }
    }
    std::printf("reply to WebSocket client, %d replies/s: median %.2f ms, p99 %.2f ms (%zu messages timed)\n", PaceRate,
        Percentile(latencyMs, 0.5), Percentile(latencyMs, 0.99), latencyMs.size());
    clients.kill();
    clients.waitForFinished();
    broker.terminate();
    broker.waitForFinished();
    return 0;
}
