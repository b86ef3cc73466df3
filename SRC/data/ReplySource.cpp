#include "data/ReplySource.h"

#include "data/DebugPrint.h"
#include "data/Device.h"
#include "protocol/Commands.h"

#include <atomic>

namespace
{

std::atomic<int> refused { 0 };

bool IsCheckedReply(uint8_t cmd)
{
    return cmd == CMD_STATUS || cmd == CMD_SET_CHANNEL_ACK || cmd == CMD_SET_SQ_ACK || cmd == CMD_SYNC_RESULT;
}

} // namespace

bool ReplyFromItsAddress(const DeviceList& devices, const QString& source, int rxid, int devIdx, uint8_t cmd)
{
    if (source.isEmpty() || !IsCheckedReply(cmd))
        return true;
    // A channel without a record had no command sent to it and moves nothing.
    const TTMICListObj* record = FindDevice(devices, rxid, devIdx);
    if (!record || record->IP == source)
        return true;
    const int count = ++refused;
    DebugPrint("Refused reply 0x%02X for [%d:%d] from %s (expected %s); %d refused so far", cmd, rxid, devIdx,
        source.toLatin1().constData(), record->IP.toLatin1().constData(), count);
    return false;
}

int RefusedReplies()
{
    return refused.load();
}

void ResetRefusedReplies()
{
    refused = 0;
}
