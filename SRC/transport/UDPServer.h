#pragma once
#include <QEvent>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <thread>

// Codes of UDPServerException. A bind refused for any cause but a taken port has its own code, so
// that a missing privilege is never reported as a port in use.
enum UDPServerError : int {
    UDP_SUCCESS = 0,
    UDP_SOCKET_FAILED = -1,
    UDP_BROADCAST_FAILED = -2,
    UDP_PORT_IN_USE = -3,
    UDP_BUFFER_FAILED = -4,
    UDP_BIND_FAILED = -5,
};

// Raised when the endpoint cannot be created. Message: "%s[%d]: %s" from the code's name, the
// code and the detail text.
class UDPServerException {
public:
    UDPServerException(int code, const QString& detail = QString());
    virtual ~UDPServerException() = default;
    int Code() const { return m_code; }
    const QString& Message() const { return m_message; }
    static QString CodeName(int code);

private:
    int m_code;
    QString m_message;
};

constexpr int DatagramCapacity = 6416;

// One datagram as received, allocated at its size.
struct DatagramBlock {
    explicit DatagramBlock(int32_t size);
    int32_t length;
    std::unique_ptr<uint8_t[]> storage;
    uint8_t* data;
};

// What waits between the receive thread and the window: datagram events posted and not yet
// destroyed, their bytes, and the datagrams dropped because the bound was reached.
struct IntakeGauge {
    std::atomic<int> pendingEvents { 0 };
    std::atomic<int64_t> pendingBytes { 0 };
    std::atomic<uint64_t> dropped { 0 };
};
// A window that falls behind a flood lets at most this much wait; the rest is dropped.
constexpr int MaxPendingDatagrams = 1024;
constexpr int64_t MaxPendingDatagramBytes = 1024 * 1024;

struct SourceBlock {
    char sourceAddress[16] = {};
    int sourcePort = 0;
    char localAddress[16] = {};
    int localPort = 0;
};

// MSG_DATAGRAM: owns both blocks; they are freed with the event, handled or not, and the event
// is counted in the gauge (when one is given) until then.
class DatagramEvent : public QEvent {
public:
    DatagramEvent(std::unique_ptr<SourceBlock> source, std::unique_ptr<DatagramBlock> datagram,
        std::shared_ptr<IntakeGauge> gauge = {});
    ~DatagramEvent() override;
    DatagramEvent(const DatagramEvent&) = delete;
    DatagramEvent& operator=(const DatagramEvent&) = delete;
    const SourceBlock& Source() const { return *m_source; }
    const DatagramBlock& Datagram() const { return *m_datagram; }
    // What the event accounts for in the gauge: its blocks and itself.
    int64_t Footprint() const;

private:
    std::unique_ptr<SourceBlock> m_source;
    std::unique_ptr<DatagramBlock> m_datagram;
    std::shared_ptr<IntakeGauge> m_gauge;
};

// The bytes one datagram of this length holds while it waits: its blocks and its event.
int64_t DatagramFootprint(int32_t length);

// Binds a UDP socket to port (all addresses) and keeps it for the whole run: a TUDPServer later
// made for that port without a local address receives and sends through a duplicate of it, so
// that no later bind needs the privilege a port below 1024 takes. 0, or the errno of the failure.
int ReserveUdpPort(int port);

// One UDP socket bound to localPort with broadcast enabled and a receive thread that posts every
// datagram to the window as a DatagramEvent.
class TUDPServer {
public:
    // Port 0 binds an ephemeral port; LocalPort() then tells which.
    TUDPServer(QObject* window, int localPort, const char* localAddress = nullptr);
    ~TUDPServer(); // Stop()
    TUDPServer(const TUDPServer&) = delete;
    TUDPServer& operator=(const TUDPServer&) = delete;

    // -1 no socket, -2 empty host or port 0, -3 host name not resolved, -4 not a dotted address;
    // otherwise the bytes sent or the socket error value.
    int SendTo(const QString& host, int port, const uint8_t* data, int length);
    static bool IsValidAddress(const QString& text);
    int LocalPort() const { return m_localPort; }
    // Datagram events waiting for the window, and the datagrams dropped so far at the bound.
    int PendingDatagrams() const { return m_gauge->pendingEvents.load(); }
    int64_t PendingDatagramBytes() const { return m_gauge->pendingBytes.load(); }
    uint64_t DroppedDatagrams() const { return m_gauge->dropped.load(); }

    // Teardown: sets the stop flag, shuts the socket down, waits at most 2000 ms for the receive
    // thread and releases the socket; SendTo returns -1 afterwards. A thread that has not finished
    // by then is reported on stderr and left to end on its own; it keeps the socket until it does.
    void Stop();

private:
    struct ReceiveState;
    static void ReceiveLoop(ReceiveState& state);
    static bool Admit(ReceiveState& state, int size);
    static void ReportDrops(ReceiveState& state);

    std::thread m_thread;
    std::future<void> m_threadFinished;
    // The socket, the stop flag and what the thread copies into each source block; shared with the
    // receive thread, so that a thread left running after teardown never touches a released object.
    std::shared_ptr<ReceiveState> m_state;
    std::shared_ptr<IntakeGauge> m_gauge = std::make_shared<IntakeGauge>();
    int m_localPort = 0;
};
