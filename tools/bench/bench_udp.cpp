// Datagrams per second from the receiver simulator through the real TUDPServer socket and receive
// thread to the GUI thread's event handler: status polls to the four simulated receivers on
// loopback, each answer counted when its DatagramEvent is handled. Two figures: a full pipeline
// (many polls outstanding) and one poll at a time (the round trip).
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "protocol/Messages.h"
#include "transport/UDPServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

constexpr int RunMs = 3000;

struct Simulator {
    QProcess Process;
    QStringList Addresses;
    int Port = 0;
};

bool StartSimulator(Simulator& sim)
{
    const QString program = qEnvironmentVariableIsSet("TESSARO_RXSIM") ? qEnvironmentVariable("TESSARO_RXSIM")
                                                                        : QStringLiteral(TESSARO_RXSIM_PATH);
    // A port of its own on loopback: no namespace needed, nothing leaves the machine.
    sim.Process.start(program, {"--port", "0", "--no-broadcast"});
    QByteArray output;
    static const QRegularExpression ready(QStringLiteral("^READY udp=(\\S+)"), QRegularExpression::MultilineOption);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        sim.Process.waitForReadyRead(100);
        output += sim.Process.readAllStandardOutput();
        const QRegularExpressionMatch m = ready.match(QString::fromUtf8(output));
        if (m.hasMatch()) {
            for (const QString& endpoint : m.captured(1).split(u',')) {
                sim.Addresses << endpoint.section(u':', 0, 0);
                sim.Port = endpoint.section(u':', 1).toInt();
            }
            return true;
        }
        if (sim.Process.state() == QProcess::NotRunning)
            break;
    }
    std::fprintf(stderr, "bench_udp: %s did not get ready: %s\n", qPrintable(program),
                 sim.Process.readAllStandardError().constData());
    return false;
}

// The main window's part: handles each DatagramEvent and keeps `window` polls outstanding.
class PollWindow : public QObject {
public:
    PollWindow(const Simulator& sim, int window) : m_sim(sim), m_window(window)
    {
        m_poll = BuildFrame(1, 1, CMD_GET_STATUS, EmptyRequest, sizeof EmptyRequest);
        // A lost datagram would shrink the pipeline: refill it when nothing came for a while.
        m_watchdog.setInterval(200);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            if (m_handled == m_handledAtLastCheck) {
                m_lost += m_outstanding;
                m_outstanding = 0;
                Fill();
            }
            m_handledAtLastCheck = m_handled;
        });
    }

    void Run(TUDPServer& udp, int ms)
    {
        m_udp = &udp;
        m_watchdog.start();
        m_clock.start();
        Fill();
        QTimer::singleShot(ms, this, [this] {
            m_seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
            m_window = 0; // send no more
            QCoreApplication::exit();
        });
        QCoreApplication::exec();
        m_watchdog.stop();
    }

    long Handled() const { return m_handled; }
    long Lost() const { return m_lost; }
    long Invalid() const { return m_invalid; }
    double Seconds() const { return m_seconds; }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != EventType(MSG_DATAGRAM))
            return QObject::event(e);
        const auto& block = static_cast<DatagramEvent*>(e)->Datagram();
        const auto* data = block.data;
        const auto size = static_cast<size_t>(block.length);
        if (!IsWellFormedDatagram(data, size) || !FrameChecksumOk(data, size) || !DecodeStatus(data, size))
            ++m_invalid;
        ++m_handled;
        if (m_outstanding > 0)
            --m_outstanding;
        Fill();
        return true;
    }

private:
    void Fill()
    {
        while (m_outstanding < m_window) {
            // The simulator's receivers are RXID 1, 2, ... in the order of their addresses.
            const auto index = static_cast<qsizetype>(m_next++ % m_sim.Addresses.size());
            const QString& ip = m_sim.Addresses[index];
            m_poll[1] = static_cast<uint8_t>(index + 1);
            m_poll.back() = FrameCrc8(m_poll.data(), m_poll.size() - 1);
            if (m_udp->SendTo(ip, m_sim.Port, m_poll.data(), static_cast<int>(m_poll.size())) < 0)
                return;
            ++m_outstanding;
        }
    }

    const Simulator& m_sim;
    int m_window;
    TUDPServer* m_udp = nullptr;
    std::vector<uint8_t> m_poll;
    QTimer m_watchdog;
    QElapsedTimer m_clock;
    long m_next = 0;
    int m_outstanding = 0;
    long m_handled = 0;
    long m_handledAtLastCheck = 0;
    long m_lost = 0;
    long m_invalid = 0;
    double m_seconds = 0;
};

void Measure(const Simulator& sim, int window, const char* what)
{
    PollWindow receiver(sim, window);
    TUDPServer udp(&receiver, 0);
    receiver.Run(udp, RunMs);
    const double perSecond = receiver.Handled() / std::max(receiver.Seconds(), 1e-9);
    std::printf("%-44s %10.0f datagrams per second (%ld in %.2f s", what, perSecond, receiver.Handled(),
                receiver.Seconds());
    if (window == 1 && receiver.Handled() > 0)
        std::printf(", %.1f us per round trip", receiver.Seconds() * 1e6 / receiver.Handled());
    std::printf(", %ld lost, %ld invalid)\n", receiver.Lost(), receiver.Invalid());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Simulator sim;
    if (!StartSimulator(sim))
        return 1;
    int status = 0;
    try {
        Measure(sim, 32, "UDP status replies, 32 polls outstanding");
        Measure(sim, 1, "UDP status replies, one poll at a time");
    } catch (const UDPServerException& e) {
        std::fprintf(stderr, "bench_udp: %s\n", qPrintable(e.Message()));
        status = 1;
    }
    ::kill(static_cast<pid_t>(sim.Process.processId()), SIGTERM);
    sim.Process.waitForFinished(5000);
    return status;
}
