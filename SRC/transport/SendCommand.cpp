#include "transport/SendCommand.h"

#include "data/PublicStruct.h"
#include "protocol/Frame.h"
#include "transport/ClassCom.h"
#include "transport/UDPServer.h"

namespace
{

// Set by the owners of the transports on the GUI thread, the only thread that sends.
TUDPServer* g_udp = nullptr;
cnComm* g_serial = nullptr;

// What the transports answer when there is nothing to send through.
constexpr int NoSocket = -1;
constexpr int SerialClosed = 0;

} // namespace

void SetSendTransports(TUDPServer* udp, cnComm* serial)
{
    g_udp = udp;
    g_serial = serial;
}

int SendCommand(const QString& ip, uint8_t rxid, uint8_t devIdx, uint8_t cmd, const uint8_t* payload, int len)
{
    const bool serial = PublicStruct::Instance().ConnectType != 0;
    // A payload that cannot be framed goes nowhere: no byte is sent on either transport.
    const std::vector<uint8_t> frame
        = len < 0 ? std::vector<uint8_t>() : BuildFrame(rxid, devIdx, cmd, payload, static_cast<size_t>(len));
    if (frame.empty())
        return 0;
    const int size = static_cast<int>(frame.size());
    if (serial)
        return g_serial ? g_serial->Write(frame.data(), size) : SerialClosed;
    return g_udp ? g_udp->SendTo(ip, ReceiverPort, frame.data(), size) : NoSocket;
}
