#pragma once
#include <QString>
#include <cstdint>

class DeviceList;

// Over UDP a reply is only believed from where it belongs: an acknowledgement (set channel, set
// squelch, sync result) from the address its command went to, a status reply from its record's
// address. Both are the record's IP, to which every command of that channel is sent. Serial
// replies (empty source) and the replies that may move a record or come from addresses not yet
// known (device information, search replies, the IP-change acknowledgement) are not checked here.
//
// True when the reply may be handled. A refused one is counted and named in the debug window.
bool ReplyFromItsAddress(const DeviceList& devices, const QString& source, int rxid, int devIdx, uint8_t cmd);

// Replies refused since start (or since ResetRefusedReplies).
int RefusedReplies();
void ResetRefusedReplies();
