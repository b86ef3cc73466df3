#pragma once
#include <QEvent>
#include <QtGlobal>

// Window messages between threads and windows are posted Qt events whose type is the message's
// own number (WM_USER is 1024).
enum WindowMessage : int {
    MSG_NOTIFY = 1124,       // tiles, HandleFrame, the property window: wParam 1 close, 2 Sync Tx, 3 show text
    MSG_DATAGRAM = 1129,     // UDP receive thread -> main window: one datagram
    MSG_DEBUG_REDRAW = 1147, // DebugPrint -> debug window: a line was added
    MSG_SCAN_DONE = 1224,    // a scan or assignment window to itself
    MSG_SERIAL_DATA = 1642,  // serial watcher thread -> main window: input is waiting
};

constexpr QEvent::Type EventType(WindowMessage message)
{
    return static_cast<QEvent::Type>(static_cast<int>(message));
}

// A message with its two parameters.
class MessageEvent : public QEvent {
public:
    MessageEvent(WindowMessage message, quintptr wParam, qintptr lParam)
        : QEvent(EventType(message)), m_wParam(wParam), m_lParam(lParam)
    {
    }
    quintptr wParam() const { return m_wParam; }
    qintptr lParam() const { return m_lParam; }

private:
    quintptr m_wParam;
    qintptr m_lParam;
};

// lParam of MSG_NOTIFY for close and Sync Tx: RXID in the upper 16 bits, DevIdx in the lower.
constexpr qintptr PackChannel(int rxid, int devIdx)
{
    return static_cast<qintptr>((static_cast<unsigned>(rxid) % 65536u) * 65536u + static_cast<unsigned>(devIdx) % 65536u);
}
constexpr int ChannelRxid(qintptr lParam) { return static_cast<int>((static_cast<quint64>(lParam) >> 16) & 0xFFFF); }
constexpr int ChannelDevIdx(qintptr lParam) { return static_cast<int>(static_cast<quint64>(lParam) & 0xFFFF); }
