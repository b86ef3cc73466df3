#pragma once
// What the main window's tests share: a temporary ExeDir with Config.ini and a pseudo-terminal
// behind COM1, the replaceable clock, answered message boxes, frames and far-end UDP sockets.
#include "ui/FormMain.h"

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace fixture
{

// The clock every deadline of the window is measured on, held still until a test moves it.
void UseFakeClock(uint32_t start);
void SetNow(uint32_t t);
void Advance(uint32_t ms);
uint32_t Now();
void UseRealClock();

// Runs inside on the next modal window of class T once it is shown.
template <typename T> void WhenModal(std::function<void(T&)> inside)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inside] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget()); modal && modal->isVisible()) {
            poll->stop();
            poll->deleteLater();
            inside(*modal);
        }
    });
    poll->start(20);
}

struct BoxCall {
    QString message;
    QString title;
    int flags = 0;
    int timeout = 0;
};

// Answers every message box while it lives: the queued answers first, then 1.
class MessageBoxes
{
public:
    MessageBoxes();
    ~MessageBoxes();
    std::vector<BoxCall> calls;
    std::deque<int> answers;
    std::function<void()> whileShown; // runs inside the box, before it is answered
};

// One record's ten keys in [History].
struct StoredRecord {
    QString ip = QStringLiteral("127.0.0.2");
    int rxid = 1;
    int devIdx = 1;
    QString band = QStringLiteral("65");
    int channel = 0;
    int startChannel = 0;
    int maxChannel = 100;
    double startFreq = 640.0;
    double freq = 640.0;
    QString name = QStringLiteral("QX-500");
};

// A temporary ExeDir; PublicStruct is installed over it and the translation table is built.
// COM1 in it is a pseudo-terminal whose far end the test holds.
class ExeDir
{
public:
    explicit ExeDir(const QList<StoredRecord>& records = {}, const QByteArray& extraPublic = {});
    ~ExeDir();
    ExeDir(const ExeDir&) = delete;
    ExeDir& operator=(const ExeDir&) = delete;

    QString Path() const; // with a trailing '/'
    QString ConfigPath() const;
    QByteArray ConfigText() const;
    void WriteConfig(const QList<StoredRecord>& records, const QByteArray& extraPublic = {}) const;
    // [History] value of key, empty when missing.
    QString HistoryValue(const QString& key) const;

    // The far end of the serial line; a write returns once the bytes wait at the window's end.
    void WriteSerial(const QByteArray& bytes) const;
    QByteArray ReadSerial(int waitMs) const;
    int QueuedAtWindow() const; // bytes the window has not read yet
    // Lets the window read what is queued: events are processed until the line is empty.
    bool WaitSerialConsumed(int waitMs = 2000) const;

private:
    QTemporaryDir m_dir;
    int m_master = -1;
    int m_slave = -1;
};

// The window on an ephemeral UDP port (or the one given), its cycle timer stopped so that the
// test runs the cycle itself.
std::unique_ptr<TFrmMain> MakeWindow(int udpPort = 0, bool stopCycle = true);

QByteArray Frame(int rxid, int devIdx, int cmd, const QByteArray& payload);
QByteArray StatusPayload(int channel, int battery, int audio, int rfA, int rfB, int sq, int level, int antenna);
QByteArray DeviceInfoPayload(int freqInt, int freqFrac, int firstChannel, int lastChannel, const QByteArray& band,
    const QByteArray& name, const QByteArray& hw = "H1", const QByteArray& sw = "S2");
void Deliver(TFrmMain& window, const QByteArray& frame, const QString& source = QStringLiteral("127.0.0.2"));

QTreeWidget* DevList(TFrmMain& window);
QTreeWidgetItem* Row(TFrmMain& window, int index);
QStringList Messages(TFrmMain& window);
void SelectRow(TFrmMain& window, int index);
int RowValue(TFrmMain& window, int index); // the row's data value
QColor DrawnTextColour(TFrmMain& window, int row); // as the list's drawing sets it

// Counts the replacements of Config.ini in a folder: each save renames a new file over it.
class SaveCounter
{
public:
    explicit SaveCounter(const QString& directory);
    ~SaveCounter();
    SaveCounter(const SaveCounter&) = delete;
    SaveCounter& operator=(const SaveCounter&) = delete;
    int Saves();

private:
    int m_fd;
    int m_saves = 0;
};

// A UDP socket bound to ip:port on loopback, standing in for a receiver.
class FarEnd
{
public:
    FarEnd(const char* ip, int port);
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;
    bool IsOpen() const { return m_socket >= 0; }
    // Every datagram that arrives within waitMs of the last one (the first wait included).
    std::vector<QByteArray> Receive(int waitMs);
    bool SendTo(const char* ip, int port, const QByteArray& bytes) const;

private:
    int m_socket = -1;
};

} // namespace fixture
