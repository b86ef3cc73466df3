#pragma once
#include <QString>

// What the status bar says after the serial port was opened. The port is opened whatever the
// connection type; on the LAN a port that cannot be opened is no fault, and saying "fail" there
// would send the operator looking for one.
QString SerialPortStatusText(bool opened, int port, int connectType);
