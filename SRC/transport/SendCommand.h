#pragma once
#include <QString>
#include <cstdint>

class TUDPServer;
class cnComm;

// The transports SendCommand chooses between; their owners register and clear them.
void SetSendTransports(TUDPServer* udp, cnComm* serial);

// Builds the frame and hands it to the transport ConnectType selects at this moment: the serial
// port when it is not 0, else one datagram to ip, port 5000. Returns the transport's result.
int SendCommand(const QString& ip, uint8_t rxid, uint8_t devIdx, uint8_t cmd, const uint8_t* payload, int len);

constexpr int ReceiverPort = 5000;
constexpr int LocalUdpPort = 1000;
