#pragma once
// The system's end of the wire for the simulator tests: a plain UDP socket and a raw serial
// line, each sending frames and collecting what comes back.
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

struct Received {
    std::vector<uint8_t> Bytes;
    QString Source; // "ip:port"; empty on the serial line
};

std::vector<uint8_t> Request(uint8_t rxid, uint8_t devIdx, uint8_t cmd, std::vector<uint8_t> payload = {0x00});

class Link {
public:
    virtual ~Link() = default;
    virtual bool Send(const std::vector<uint8_t>& bytes) = 0;
    // The next frame (or datagram) within timeoutMs.
    virtual std::optional<Received> Next(int timeoutMs) = 0;
    // Everything that arrives within ms.
    std::vector<Received> Collect(int ms);
};

class UdpLink : public Link {
public:
    // Bound to bindIp:bindPort (0: any free port), with SO_BROADCAST when asked.
    UdpLink(const char* bindIp, int bindPort, bool broadcast = false);
    ~UdpLink() override;
    bool IsOpen() const { return m_fd >= 0; }
    void Target(const QString& ip, int port);
    bool Send(const std::vector<uint8_t>& bytes) override;
    std::optional<Received> Next(int timeoutMs) override;

private:
    int m_fd = -1;
    QString m_targetIp;
    int m_targetPort = 0;
};

class SerialLink : public Link {
public:
    explicit SerialLink(const QString& path); // raw 8N1, as the system opens its port
    ~SerialLink() override;
    bool IsOpen() const { return m_fd >= 0; }
    bool Send(const std::vector<uint8_t>& bytes) override;
    std::optional<Received> Next(int timeoutMs) override; // whole frames, cut from the stream
    // The bytes that arrive within ms, as they are.
    std::vector<uint8_t> RawFor(int ms);

private:
    int m_fd = -1;
    std::vector<uint8_t> m_stream;
};
