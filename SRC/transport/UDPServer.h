#pragma once
#include <QEvent>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

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

struct DatagramBlock {
    int32_t length = 0;
    uint8_t data[DatagramCapacity];
};

struct SourceBlock {
    char sourceAddress[16] = {};
    int sourcePort = 0;
    char localAddress[16] = {};
    int localPort = 0;
};

// MSG_DATAGRAM: owns both blocks; they are freed with the event, handled or not.
class DatagramEvent : public QEvent {
public:
    DatagramEvent(std::unique_ptr<SourceBlock> source, std::unique_ptr<DatagramBlock> datagram);
    const SourceBlock& Source() const { return *m_source; }
    const DatagramBlock& Datagram() const { return *m_datagram; }

private:
    std::unique_ptr<SourceBlock> m_source;
    std::unique_ptr<DatagramBlock> m_datagram;
};

// One UDP socket bound to localPort with broadcast enabled and a receive thread that posts every
// datagram to the window as a DatagramEvent.
class TUDPServer {
public:
    TUDPServer(QObject* window, int localPort, const char* localAddress = nullptr);
    ~TUDPServer(); // stop flag, close, wait at most 2000 ms for the receive thread
    TUDPServer(const TUDPServer&) = delete;
    TUDPServer& operator=(const TUDPServer&) = delete;

    // -1 no socket, -2 empty host or port 0, -3 host name not resolved, -4 not a dotted address;
    // otherwise the bytes sent or the socket error value.
    int SendTo(const QString& host, int port, const uint8_t* data, int length);
    static bool IsValidAddress(const QString& text);
    int LocalPort() const { return m_localPort; }

private:
    void ReceiveLoop();

    std::thread m_thread;
    QObject* m_window = nullptr;
    int m_socket = -1;
    int m_localPort = 0;
    char m_localAddress[16] = {};
    std::atomic<int> m_stop{0};
};
