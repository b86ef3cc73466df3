#pragma once
// The discovery windows address every receiver at once: their requests go to the broadcast
// address (or, with the serial connection type, to the bus). A request that no transport took is
// shown to the user, since a search that never left would look like an empty network.
#include "lang/Language.h"

#include <QString>
#include <cstdint>

class QWidget;

// SendCommand to 255.255.255.255 with DevIdx 1. False, after a message box saying why, when the
// active transport did not take the frame.
bool SendBroadcastRequest(QWidget* owner, uint8_t rxid, uint8_t cmd, const uint8_t* payload, int len);

// Why SendCommand did not send (its result 0 or below), for the user.
QString SendFailureText(int result);

