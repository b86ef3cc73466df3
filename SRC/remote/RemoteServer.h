#pragma once
// The remote view's web server: the page, GET /api/v1/channels, GET /api/v1/events and the
// WebSocket /api/v1/live, on Qt HttpServer in the GUI thread's event loop. It only reads the
// state; nothing it receives reaches a receiver or the file system. Qt HttpServer 6.4 has no
// bound on a request's size, its header count or its clients, so each connection passes a guard
// first that counts bytes and lines and refuses what is too large before the server reads it.
#include "remote/AccessGate.h"
#include "remote/RemoteState.h"
#include "remote/RequestHeadGuard.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QSet>
#include <memory>
#include <vector>

class QTcpSocket;
class QTimer;
class QWebSocket;

struct RemoteServerLimits {
    int MaxConnections = 64;        // HTTP and WebSocket together
    int MaxHeaderBytes = 8192;      // one request's head; a GET carries no body
    int MaxHeaderLines = 64;        // request line and headers
    int MaxRequestLine = 2048;      // method, path with query, version
    qint64 ClientQueueBytes = 1 << 20; // unsent bytes a WebSocket client may let pile up
    int MinPushIntervalMs = 100;    // per channel: at most 10 changes a second
};

// Where the server listens and with what; an empty certificate path means plain HTTP.
struct RemoteListen {
    QHostAddress Address = QHostAddress::Any;
    quint16 Port = 8080;
    QString CertificatePath;
    QString KeyPath;
};

class RemoteServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    RemoteServer(RemoteState& state, const QString& code, QObject* parent = nullptr, RemoteServerLimits limits = {});
    ~RemoteServer() override;

    // False with the reason in *error when the certificate, the key or the address fail.
    bool Start(const RemoteListen& listen, QString* error);
    quint16 Port() const { return m_port; }
    bool IsHttps() const { return m_https; }

    // A new code: every open connection and WebSocket is closed, old links stop working.
    void SetCode(const QString& code);
    int LiveClientCount() const { return static_cast<int>(m_live.size()); }
    int ConnectionCount();

    // The guard's entry for each accepted connection (called by the listening server).
    void Guard(QTcpSocket* socket);

signals:
    // A client refused or dropped, for the debug window: who and why.
    void clientDropped(const QString& peer, const QString& reason);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct LiveClient {
        QWebSocket* Socket = nullptr;
        qint64 Queued = 0;
    };

    void ScanIncoming(QTcpSocket* socket);
    void Refuse(QTcpSocket* socket, const QByteArray& status, const QString& reason);
    void AcceptWebSockets();
    bool Admit(const QString& peer, const QUrl& url, const QByteArray& authorization, QByteArray* status) ;
    void SendToLive(const QByteArray& message);
    void Send(LiveClient& client, const QByteArray& message);
    void DropLive(QWebSocket* socket, const QString& reason);
    void ChannelChanged(const RemoteChannel& channel);
    void PushDue();
    QByteArray Page() const;
    QByteArray Hello() const;

    RemoteState& m_state;
    AccessGate m_gate;
    RemoteServerLimits m_limits;
    quint16 m_port = 0;
    bool m_https = false;
    std::vector<QPointer<QTcpSocket>> m_connections;
    QHash<QTcpSocket*, RequestHeadGuard> m_scans;
    std::vector<LiveClient> m_live;
    // Per channel id: when it was last pushed; the ids whose newer state waits for its turn.
    QHash<QString, qint64> m_lastPush;
    QSet<QString> m_pending;
    QElapsedTimer m_clock;
    QTimer* m_pushTimer = nullptr;
};
