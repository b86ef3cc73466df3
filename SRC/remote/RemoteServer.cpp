#include "remote/RemoteServer.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

namespace
{

const QString LivePath = QStringLiteral("/api/v1/live");
constexpr int WebSocketMessageLimit = 4096; // clients have nothing to say; pings and closes fit

// Each accepted connection goes through the guard before Qt HttpServer connects to it, so the
// guard's slots run first for every chunk that arrives.
template <typename Base> class GuardedServer : public Base
{
public:
    GuardedServer(RemoteServer& owner) : Base(&owner), m_owner(owner) { }
    QTcpSocket* nextPendingConnection() override
    {
        QTcpSocket* socket = Base::nextPendingConnection();
        if (socket)
            m_owner.Guard(socket);
        return socket;
    }

private:
    RemoteServer& m_owner;
};

QByteArray Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray Resource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Peer(QTcpSocket* socket)
{
    return socket->peerAddress().toString();
}

// The code from "?code=" or from "Authorization: Bearer <code>".
QByteArray OfferedCode(const QUrl& url, const QByteArray& authorization)
{
    const QByteArray bearer("Bearer ");
    if (authorization.startsWith(bearer))
        return authorization.mid(bearer.size()).trimmed();
    return QUrlQuery(url).queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded).toUtf8();
}

// Every answer: its length, no caching, no guessing of types; the page may run only its own
// inline script and style and talk only to this server.
void Reply(QHttpServerResponder& responder, QHttpServerResponder::StatusCode status, const QByteArray& type, const QByteArray& body)
{
    responder.writeStatusLine(status);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Content-Security-Policy",
        "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; connect-src 'self'; img-src data:");
    responder.writeBody(body);
}

} // namespace

RemoteServer::RemoteServer(RemoteState& state, const QString& code, QObject* parent, RemoteServerLimits limits)
    : QAbstractHttpServer(parent), m_state(state), m_limits(limits)
{
    m_gate.SetCode(code);
    m_clock.start();
    m_pushTimer = new QTimer(this);
    m_pushTimer->setSingleShot(true);
    connect(m_pushTimer, &QTimer::timeout, this, &RemoteServer::PushDue);
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &RemoteServer::AcceptWebSockets);
    connect(&m_state, &RemoteState::channelChanged, this, &RemoteServer::ChannelChanged);
    connect(&m_state, &RemoteState::channelRemoved, this, [this](const QString& id) {
        m_pending.remove(id);
        SendToLive(Compact({ { QStringLiteral("type"), QStringLiteral("removed") }, { QStringLiteral("id"), id } }));
    });
    connect(&m_state, &RemoteState::eventAdded, this, [this](const RemoteEvent& event) {
        SendToLive(Compact({ { QStringLiteral("type"), QStringLiteral("event") }, { QStringLiteral("event"), event.ToJson() } }));
    });
    connect(&m_state, &RemoteState::languageChanged, this, [this](const QString& language) {
        SendToLive(Compact({ { QStringLiteral("type"), QStringLiteral("language") }, { QStringLiteral("language"), language } }));
    });
}

RemoteServer::~RemoteServer()
{
    for (LiveClient& client : m_live)
        delete client.Socket;
}

bool RemoteServer::Start(const RemoteListen& listen, QString* error)
{
    QTcpServer* server = nullptr;
    if (!listen.CertificatePath.isEmpty() || !listen.KeyPath.isEmpty()) {
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(listen.CertificatePath, QSsl::Pem);
        const QSslKey key(Resource(listen.KeyPath), QSsl::Rsa, QSsl::Pem);
        const QSslKey ecKey(Resource(listen.KeyPath), QSsl::Ec, QSsl::Pem);
        if (chain.isEmpty()) {
            *error = QStringLiteral("no PEM certificate in %1").arg(listen.CertificatePath);
            return false;
        }
        if (key.isNull() && ecKey.isNull()) {
            *error = QStringLiteral("no PEM private key (RSA or EC, unencrypted) in %1").arg(listen.KeyPath);
            return false;
        }
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificateChain(chain);
        config.setPrivateKey(key.isNull() ? ecKey : key);
        auto* ssl = new GuardedServer<QSslServer>(*this);
        ssl->setSslConfiguration(config);
        server = ssl;
        m_https = true;
    } else {
        server = new GuardedServer<QTcpServer>(*this);
    }
    if (!server->listen(listen.Address, listen.Port)) {
        *error = server->errorString();
        delete server;
        return false;
    }
    m_port = server->serverPort();
    bind(server);
    return true;
}

void RemoteServer::SetCode(const QString& code)
{
    m_gate.SetCode(code);
    while (!m_live.empty())
        DropLive(m_live.back().Socket, QStringLiteral("the access code was replaced"));
    for (const QPointer<QTcpSocket>& socket : m_connections)
        if (socket)
            socket->abort();
}

int RemoteServer::ConnectionCount()
{
    std::erase_if(m_connections, [](const QPointer<QTcpSocket>& socket) {
        return !socket || socket->state() == QAbstractSocket::UnconnectedState;
    });
    return static_cast<int>(m_connections.size());
}

void RemoteServer::Guard(QTcpSocket* socket)
{
    if (ConnectionCount() >= m_limits.MaxConnections) {
        Refuse(socket, "503 Service Unavailable", QStringLiteral("too many clients"));
        return;
    }
    m_connections.emplace_back(socket);
    m_scans.insert(socket, RequestHeadGuard({ m_limits.MaxHeaderBytes, m_limits.MaxHeaderLines, m_limits.MaxRequestLine }));
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ScanIncoming(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_scans.remove(socket); });
    // What arrived before the socket was handed over is read by the server straight away.
    if (socket->bytesAvailable() > 0)
        ScanIncoming(socket);
}

// Counts what arrives, without taking it: a request head larger than the bounds is answered
// here and the server never reads it. Each empty line ends a head; a GET has no body.
void RemoteServer::ScanIncoming(QTcpSocket* socket)
{
    auto it = m_scans.find(socket);
    if (it == m_scans.end() || !socket->isReadable())
        return;
    switch (it->Feed(socket->peek(socket->bytesAvailable()))) {
    case RequestHeadGuard::Verdict::Pass:
        return;
    case RequestHeadGuard::Verdict::TooLarge:
        return Refuse(socket, "413 Content Too Large", QStringLiteral("request too large"));
    case RequestHeadGuard::Verdict::RequestLineTooLong:
        return Refuse(socket, "414 URI Too Long", QStringLiteral("request line too long"));
    case RequestHeadGuard::Verdict::TooManyLines:
        return Refuse(socket, "431 Request Header Fields Too Large", QStringLiteral("too many header lines"));
    }
}

// The answer is a fixed text; what the client sent is discarded unread.
void RemoteServer::Refuse(QTcpSocket* socket, const QByteArray& status, const QString& reason)
{
    m_scans.remove(socket);
    socket->readAll();
    socket->write("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
    emit clientDropped(Peer(socket), reason);
}

bool RemoteServer::Admit(const QString& peer, const QUrl& url, const QByteArray& authorization, QByteArray* status)
{
    switch (m_gate.Check(peer, OfferedCode(url, authorization))) {
    case AccessGate::Verdict::Allowed:
        return true;
    case AccessGate::Verdict::Refused:
        *status = "401";
        break;
    case AccessGate::Verdict::Throttled:
        *status = "429";
        break;
    }
    emit clientDropped(peer, QStringLiteral("wrong access code"));
    return false;
}

bool RemoteServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    using Status = QHttpServerResponder::StatusCode;
    // Qt HttpServer upgrades a request once a handler took it; the code is checked on the
    // WebSocket, and nothing may be written before the upgrade's own answer.
    if (request.value("Upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return true;
    QHttpServerResponder responder = makeResponder(request, socket);
    const auto text = [&](Status status, const QByteArray& body) { Reply(responder, status, "text/plain; charset=utf-8", body); };
    if (request.method() != QHttpServerRequest::Method::Get) {
        text(Status::MethodNotAllowed, "Only GET is served.\n");
        return true;
    }
    QByteArray refusal;
    if (!Admit(request.remoteAddress().toString(), request.url(), request.value("Authorization"), &refusal)) {
        if (refusal == "429")
            text(Status::TooManyRequests, "Too many wrong access codes; wait and try again.\n");
        else
            text(Status::Unauthorized, "The access code is missing or wrong.\n");
        return true;
    }
    const QString path = request.url().path();
    const auto json = [&](const QJsonObject& object) { Reply(responder, Status::Ok, "application/json", Compact(object)); };
    if (path == QLatin1String("/") || path == QLatin1String("/index.html")) {
        Reply(responder, Status::Ok, "text/html; charset=utf-8", Page());
    } else if (path == QLatin1String("/api/v1/channels")) {
        json({ { QStringLiteral("station"), m_state.Station() }, { QStringLiteral("language"), m_state.Language() },
            { QStringLiteral("channels"), m_state.ChannelsJson() } });
    } else if (path == QLatin1String("/api/v1/events")) {
        bool ok = true;
        const QString since = request.query().queryItemValue(QStringLiteral("since"));
        const qint64 after = since.isEmpty() ? 0 : since.toLongLong(&ok);
        if (!ok) {
            text(Status::BadRequest, "since must be an event's seq number.\n");
            return true;
        }
        json({ { QStringLiteral("last"), m_state.LastEventSeq() }, { QStringLiteral("events"), m_state.EventsJson(after) } });
    } else {
        text(Status::NotFound, "Not found.\n");
    }
    return true;
}

void RemoteServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

// The page is one document: its style and script are put in at their places, so that a single
// request with the code loads all of it.
QByteArray RemoteServer::Page() const
{
    QByteArray page = Resource(QStringLiteral(":/web/index.html"));
    page.replace("/*STYLE*/", Resource(QStringLiteral(":/web/style.css")));
    page.replace("/*SCRIPT*/", Resource(QStringLiteral(":/web/app.js")));
    return page;
}

QByteArray RemoteServer::Hello() const
{
    return Compact({ { QStringLiteral("type"), QStringLiteral("hello") }, { QStringLiteral("station"), m_state.Station() },
        { QStringLiteral("language"), m_state.Language() }, { QStringLiteral("channels"), m_state.ChannelsJson() },
        { QStringLiteral("lastEvent"), m_state.LastEventSeq() } });
}

void RemoteServer::AcceptWebSockets()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket* socket = nextPendingWebSocketConnection().release();
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(WebSocketMessageLimit);
        socket->setMaxAllowedIncomingFrameSize(WebSocketMessageLimit);
        const QString peer = socket->peerAddress().toString();
        QByteArray refusal;
        if (socket->requestUrl().path() != LivePath) {
            emit clientDropped(peer, QStringLiteral("WebSocket on an unknown path"));
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("404"));
            socket->deleteLater();
            continue;
        }
        if (!Admit(peer, socket->requestUrl(), socket->request().rawHeader("Authorization"), &refusal)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QString::fromLatin1(refusal));
            socket->deleteLater();
            continue;
        }
        m_live.push_back(LiveClient { socket, 0 });
        connect(socket, &QWebSocket::bytesWritten, this, [this, socket](qint64 written) {
            for (LiveClient& client : m_live)
                if (client.Socket == socket)
                    client.Queued = std::max<qint64>(0, client.Queued - written);
        });
        // Queued: a socket may go while a message to every client is being sent.
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { DropLive(socket, QString()); }, Qt::QueuedConnection);
        Send(m_live.back(), Hello());
    }
}

void RemoteServer::Send(LiveClient& client, const QByteArray& message)
{
    client.Queued += client.Socket->sendTextMessage(QString::fromUtf8(message));
    if (client.Queued > m_limits.ClientQueueBytes)
        QTimer::singleShot(0, this, [this, socket = client.Socket] {
            DropLive(socket, QStringLiteral("does not read its WebSocket"));
        });
}

void RemoteServer::SendToLive(const QByteArray& message)
{
    for (LiveClient& client : m_live)
        Send(client, message);
}

// A client that does not keep up is cut off; its unsent messages go with it.
void RemoteServer::DropLive(QWebSocket* socket, const QString& reason)
{
    const auto it = std::find_if(m_live.begin(), m_live.end(), [socket](const LiveClient& c) { return c.Socket == socket; });
    if (it == m_live.end())
        return;
    m_live.erase(it);
    if (!reason.isEmpty())
        emit clientDropped(socket->peerAddress().toString(), reason);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void RemoteServer::ChannelChanged(const RemoteChannel& channel)
{
    const QString id = channel.Id();
    const qint64 now = m_clock.elapsed();
    const auto last = m_lastPush.constFind(id);
    const qint64 due = last == m_lastPush.cend() ? now : *last + m_limits.MinPushIntervalMs;
    if (due <= now && !m_pending.contains(id)) {
        m_lastPush.insert(id, now);
        SendToLive(Compact({ { QStringLiteral("type"), QStringLiteral("channel") }, { QStringLiteral("channel"), channel.ToJson() } }));
        return;
    }
    m_pending.insert(id);
    if (!m_pushTimer->isActive())
        m_pushTimer->start(static_cast<int>(std::max<qint64>(0, due - now)));
}

// Each waiting channel goes out with its newest state once its interval has passed.
void RemoteServer::PushDue()
{
    const qint64 now = m_clock.elapsed();
    qint64 nextDue = -1;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const qint64 due = m_lastPush.value(*it) + m_limits.MinPushIntervalMs;
        if (due > now) {
            nextDue = nextDue < 0 ? due : std::min(nextDue, due);
            ++it;
            continue;
        }
        const QStringList parts = it->split(QLatin1Char('-'));
        if (const RemoteChannel* channel = m_state.Find(parts.value(0).toInt(), parts.value(1).toInt())) {
            m_lastPush.insert(*it, now);
            SendToLive(Compact({ { QStringLiteral("type"), QStringLiteral("channel") }, { QStringLiteral("channel"), channel->ToJson() } }));
        }
        it = m_pending.erase(it);
    }
    if (nextDue >= 0)
        m_pushTimer->start(static_cast<int>(nextDue - now));
}
