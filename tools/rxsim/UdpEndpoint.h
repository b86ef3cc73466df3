#pragma once
// The receivers' UDP side: one POSIX socket per receiver bound to its own address and the common
// port (so that every reply leaves from the receiver's own address), and optionally one on
// 0.0.0.0 for the broadcasts of device search and IP change. Qt's UDP socket is not used: it
// cannot be told which address to send from.
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct UdpPeer {
    uint32_t Ip = 0; // host byte order
    uint16_t Port = 0;
};

class UdpEndpoint : public QObject
{
public:
    static constexpr int BroadcastSocket = -1;
    // unit: index of the receiver's socket, or BroadcastSocket; destination: the address the
    // datagram was sent to.
    using Handler = std::function<void(int unit, const uint8_t* data, size_t size, UdpPeer from, uint32_t destination)>;

    UdpEndpoint(Handler handler, QObject* parent = nullptr);
    ~UdpEndpoint() override;

    // Binds one socket per address, all to port (0: a port free on every address), and the
    // broadcast socket when asked. False with the reason; nothing stays bound then.
    bool Open(const std::vector<uint32_t>& addresses, int port, bool broadcast, QString* error);
    // The receiver's socket moves to a new address; on failure the old one stays.
    bool Move(int unit, uint32_t address, QString* error);
    // The bytes sent, or -1 (errno kept).
    int SendFrom(int unit, UdpPeer to, const uint8_t* data, size_t size);

    int Port() const { return m_port; }
    bool HasBroadcast() const { return m_broadcast != nullptr; }
    uint32_t Address(int unit) const;

private:
    struct Socket;
    std::unique_ptr<Socket> Bind(uint32_t address, int port, int unit, QString* error);
    void ReadAll(Socket& socket);
    void CloseAll();

    Handler m_handler;
    int m_port = 0;
    std::vector<std::unique_ptr<Socket>> m_sockets;
    std::unique_ptr<Socket> m_broadcast;
    std::vector<std::unique_ptr<Socket>> m_retired; // moved away from, closed after this turn
};
