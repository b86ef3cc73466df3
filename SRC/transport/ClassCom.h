#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <thread>

// The RS-485 transport over termios: raw 8N1, reads that return at once, writes that never block
// the caller, and a watcher thread that posts MSG_SERIAL_DATA (wParam = port number) to the
// notification window UartDelayTime ms after input arrives.
class cnComm {
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
    // The device path port n names, given the executable's directory.
    static QString DevicePath(unsigned port, const QString& exeDir);

    // The process-wide serial port, created closed at start-up.
    static cnComm& Instance();

protected:
    virtual void OnReceive();
    virtual bool OpenPort();
    virtual bool SetupPort();

private:
    // implementation members are the serial helper's to choose
};
