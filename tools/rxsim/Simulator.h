#pragma once
// Plays the receivers: takes requests in over UDP and the serial bus, answers them as hardware
// would, and sends each reply through the fault plan. Single-threaded, driven by Qt's loop.
#include "Faults.h"
#include "Receiver.h"
#include "SerialLine.h"
#include "SimConfig.h"
#include "UdpEndpoint.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <random>
#include <vector>

class Simulator : public QObject
{
public:
    explicit Simulator(const SimOptions& options, QObject* parent = nullptr);
    ~Simulator() override;

    // Opens the transports; false with the reason (nothing is left open then).
    bool Start(QString* error);
    // One "RECEIVER ..." line per receiver, then the "READY ..." line.
    QStringList AnnouncementLines() const;

private:
    struct Route {
        enum Kind { Udp, Serial } Via = Udp;
        UdpPeer Peer; // the requester, for Udp
    };
    struct Unit {
        std::unique_ptr<Receiver> Model;
        QTimer ScanTimer;
        int ScanSent = 0; // points of the current sweep sent so far
        uint8_t ScanDevIdx = 1;
        Route ScanRoute;
    };

    bool PrepareAddresses(QString* error);
    void OnDatagram(int unit, const uint8_t* data, size_t size, UdpPeer from, uint32_t destination);
    void OnSerialFrame(const std::vector<uint8_t>& frame);
    bool AcceptFrame(const uint8_t* data, size_t size);
    // busSlot spaces the answers of several receivers to one search on the serial bus.
    void Handle(int unit, const uint8_t* frame, const Route& route, int busSlot = 0);
    void ChangeNetwork(int unit, const uint8_t* frame, const Route& route);
    bool MoveAddress(int unit, uint32_t address, QString* error);
    void StartScan(int unit, uint8_t devIdx, const Route& route);
    void ScanStep(int unit);
    void Reply(int unit, uint8_t devIdx, uint8_t cmd, const std::vector<uint8_t>& payload, const Route& route,
        int extraDelayMs = 0);
    void Transmit(int unit, const std::vector<uint8_t>& garbage, const std::vector<uint8_t>& frame, const Route& route);
    bool MaySendTo(uint32_t address) const;
    void Log(const QString& line) const;
    QString UdpName(int unit) const;
    // Whether one of these episodes covers the receiver now.
    bool InEpisode(const std::vector<TimedEpisode>& episodes, int rxid) const;
    uint8_t BatteryCap(int rxid) const;

    SimOptions m_options;
    std::mt19937 m_world; // levels, busy channels, scan readings
    FaultPlan m_faults;
    std::vector<std::unique_ptr<Unit>> m_units;
    std::unique_ptr<UdpEndpoint> m_udp;
    std::unique_ptr<SerialLine> m_serial;
    QTimer m_levelTimer;
    QElapsedTimer m_clock;
    bool m_privateNetwork = false;
    std::vector<uint32_t> m_addedAddresses; // put on lo by us, taken off at the end
};

// "C8 01 01 C9 ..." for the logs.
QString HexBytes(const uint8_t* bytes, size_t size);
