#pragma once
// What the tool windows do to the receivers, for the timeline and Events.log: a channel or
// squelch setting when the receiver acknowledges it (with the value that was sent), a scan when
// its start has left and when it ends (by the receiver, or stopped), a Sync Tx when its result
// arrives. The senders and the intake say it in one line each; each happening is said once, to
// the sink the main window installs (its message list, so Events.log, and the timeline).
// GUI thread only.
#include "store/TimelineStore.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace ToolEvents
{

using Sink = std::function<void(const EventRow& event)>;

// The sink lives as long as its owner.
void SetSink(QObject* owner, Sink sink);

// A CMD_SET_CHANNEL or CMD_SET_SQ with this value was handed to the transport (sent > 0) or not.
void SettingSent(int rxid, int devIdx, uint8_t command, int value, int sent);
// CMD_SET_CHANNEL_ACK or CMD_SET_SQ_ACK arrived: said with the value sent, once per setting.
void SettingAcknowledged(int rxid, int devIdx, uint8_t ack);
// A scan command left (sent > 0) or not: CMD_SCAN_START starts, CMD_SCAN_STOP stops a scan.
void ScanCommand(int rxid, int devIdx, uint8_t command, int sent);
// CMD_SCAN_END of a receiver: the end of its scan, if one runs.
void ScanEndReceived(int rxid);
// The Sync Tx result: 1 success, 2 failure.
void SyncResult(int rxid, int devIdx, int result);

} // namespace ToolEvents
