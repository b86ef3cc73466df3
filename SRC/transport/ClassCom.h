#pragma once
#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <termios.h>
#include <thread>

class QSocketNotifier;

// The termios speed of a standard baud rate (50 to 4000000); false for any other rate.
bool StandardSpeed(int baud, speed_t* speed);

class QTimer;

// The RS-485 transport over termios: raw 8N1, reads that return at once, writes that never block
// the caller, and a watcher thread that posts MSG_SERIAL_DATA (wParam = port number) to the
// notification window UartDelayTime ms after input arrives.
class cnComm
{
public:
    cnComm();
    virtual ~cnComm();
    cnComm(const cnComm&) = delete;
    cnComm& operator=(const cnComm&) = delete;

    void SetNotifyWindow(QObject* window);
    void SetDelay(int milliseconds);

    // Port n names the entry COM<n> in the executable's directory when it exists, otherwise
    // /dev/ttyS<n-1>. Fails at once for 0 or above 1024, leaving the current state as it is.
    bool Open(unsigned port, int baud);
    virtual bool Close();
    bool IsOpen() const;
    bool SetState(int baud, int byteSize, char parity, int stopBits);

    int Write(const uint8_t* bytes, int count);
    int QueuedBytes();
    int ReadSome(uint8_t* buffer, int count, int waitMs);
    int ReadAvailable(uint8_t* buffer, int count, int waitMs);

    unsigned Port() const { return m_port; }
    QString PortName() const { return m_portName; }
    // The device path port n names, given the settings folder that may hold a COM<n> link.
    static QString DevicePath(unsigned port, const QString& folder);

    // The process-wide serial port, created closed at start-up.
    static cnComm& Instance();

protected:
    virtual void OnReceive();
    virtual bool OpenPort();
    virtual bool SetupPort();

private:
    // The bytes a write could not hand to the line at once, sent as the line drains.
    struct PendingFrame {
        QByteArray bytes;
        qsizetype sent = 0;
        QDeadlineTimer deadline;
    };
    enum class LinkDirection { Write, Read };
    struct InputSample {
        int queued; // bytes waiting, -1 when the line has failed
        uint64_t consumed; // bytes the reads have taken since the port opened
        uint64_t arrived; // bytes the line has delivered since the port opened (never over-counted)
    };

    void SetPortName(unsigned port);
    bool StartWatcher();
    void StopWatcher();
    void WatchLoop();
    InputSample SampleInput() const;
    bool PauseOrStop(int milliseconds) const;
    bool WaitForInputOrStop() const;

    int WriteNow(const char* bytes, qsizetype count);
    void SendPending();
    void DropExpiredFrames();
    void ArmPendingOutput();
    void DiscardPending();
    static void LogLink(LinkDirection direction, const uint8_t* bytes, int count);

    std::atomic<unsigned> m_port { 0 };
    int m_fd = -1;
    QString m_portName;
    std::atomic<int> m_delayMs { 20 };
    termios m_originalSettings {};
    bool m_haveOriginalSettings = false;

    std::thread m_watcher;
    int m_wakeFd = -1;
    std::atomic<bool> m_running { false };
    std::atomic<QObject*> m_notifyWindow { nullptr };
    std::atomic<uint64_t> m_bytesConsumed { 0 };

    std::deque<PendingFrame> m_pending;
    std::unique_ptr<QSocketNotifier> m_writable;
    std::unique_ptr<QTimer> m_writeTimeout;
};
