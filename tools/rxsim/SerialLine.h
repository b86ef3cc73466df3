#pragma once
// The receivers' serial bus: a pseudo-terminal the simulator creates, or a given device, in raw
// 8N1 at the chosen baud rate. Received bytes are cut into frames; writes never block.
#include "protocol/Frame.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class SerialLine : public QObject
{
public:
    using Handler = std::function<void(const std::vector<uint8_t>& frame)>;
    using RawHandler = std::function<void(const uint8_t* bytes, size_t size)>;

    SerialLine(Handler onFrame, RawHandler onBytes, QObject* parent = nullptr);
    ~SerialLine() override;

    bool OpenPty(int baud, QString* error);
    bool OpenDevice(const QString& path, int baud, QString* error);
    // The path the other side opens: the pseudo-terminal's slave or the given device.
    QString Path() const { return m_path; }

    void Write(const std::vector<uint8_t>& bytes);

private:
    bool Start(int fd, QString* error);
    void ReadAvailable();
    void Flush();

    Handler m_onFrame;
    RawHandler m_onBytes;
    int m_fd = -1;
    int m_ptySlave = -1; // held open so the pseudo-terminal survives the other side closing it
    QString m_path;
    SerialFrameCutter m_cutter;
    QTimer m_staleTimer; // a partial frame that is not completed in time is discarded
    QByteArray m_pending; // not yet written
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
};
