#pragma once
// Runs the receiver simulator tessaro-rxsim (path from the environment variable TESSARO_RXSIM)
// as the far end of a test.
//
//     testsupport::RxSim sim;
//     QVERIFY2(sim.Start({"--port", "0"}), qPrintable(sim.Error()));
//     sim.Receivers()[0].Ip;  // "127.0.0.2"
//     sim.Port();             // the UDP port every receiver listens on
//     sim.SerialPath();       // with --pty: the pseudo-terminal to open
//     QVERIFY(sim.WaitForLine(QRegularExpression("^MOVED rxid=3 "), 2000));
//     QCOMPARE(sim.Stop(), 0);  // SIGTERM; the exit code
//
// Start waits for the READY line; the receivers come from the RECEIVER lines printed before it.
// Every later line on standard output (MOVED, and with --hexlog the frames) is kept in Output().
// The destructor stops a simulator that is still running.
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace testsupport {

struct RxSimReceiver {
    int Rxid = 0;
    QString Ip;
    int Port = 0;
    int Channels = 0;
    QString StartFreq; // as the simulator was given it, e.g. "640.125"
    int FirstChannel = 0;
    int LastChannel = 0;
    QString Band;
    QString HWVer;
    QString SWVer;
    QString Name;
    QList<int> Busy; // channels other systems use: a scan shows them strong
};

class RxSim {
public:
    RxSim() = default;
    ~RxSim();
    RxSim(const RxSim&) = delete;
    RxSim& operator=(const RxSim&) = delete;

    // The simulator's path from TESSARO_RXSIM; empty when it is not set.
    static QString Program();

    // Starts it with these options and waits up to timeoutMs for READY. False, with Error()
    // telling why (and what it printed on stderr), when it did not get ready.
    bool Start(const QStringList& options = {}, int timeoutMs = 10000);
    // SIGTERM, then waits up to timeoutMs (kills it after that). The exit code, or -1 when it
    // crashed, had to be killed or never ran.
    int Stop(int timeoutMs = 5000);
    bool IsRunning() const;

    QString Error() const { return m_error; }
    const QList<RxSimReceiver>& Receivers() const { return m_receivers; }
    // The receiver with this RXID, or nullptr.
    const RxSimReceiver* Receiver(int rxid) const;
    int Port() const { return m_port; }
    QString BroadcastEndpoint() const { return m_broadcast; } // "0.0.0.0:5000" or empty
    QString SerialPath() const { return m_serialPath; }       // empty without --pty / --serial

    // The lines printed after READY so far (standard output), and those on standard error.
    QStringList Output();
    QString ErrorOutput();
    // Waits until a line after READY matches; true when one did within timeoutMs.
    bool WaitForLine(const QRegularExpression& pattern, int timeoutMs);

    QProcess& Process() { return m_process; }

private:
    void TakeOutput();
    bool ParseAnnouncement(const QString& line);

    QProcess m_process;
    QString m_error;
    QByteArray m_partial;
    QStringList m_lines; // after READY
    QString m_stderr;
    bool m_ready = false;
    bool m_started = false;
    QList<RxSimReceiver> m_receivers;
    int m_port = 0;
    QString m_broadcast;
    QString m_serialPath;
};

} // namespace testsupport
