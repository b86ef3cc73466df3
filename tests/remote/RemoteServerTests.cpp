// The remote view's server on loopback with real clients: QNetworkAccessManager for the API,
// QWebSocket for the live feed, raw sockets for what a browser would never send.
#include "remote/AccessGate.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

const QString Code = AccessGate::NewCode();

RemoteChannel Channel(int rxid, int devIdx, int rfA, const QString& name = QStringLiteral("Vocal"))
{
    RemoteChannel c;
    c.Rxid = rxid;
    c.DevIdx = devIdx;
    c.Name = name;
    c.Band = QStringLiteral("65");
    c.Channel = 12;
    c.Frequency = 643.0;
    c.RfA = rfA;
    c.RfB = 40;
    c.Audio = 30;
    c.Battery = 3;
    c.Antenna = 1;
    return c;
}

struct Reply {
    int Status = 0;
    QByteArray Body;
    QJsonObject Json() const { return QJsonDocument::fromJson(Body).object(); }
};

// A server on 127.0.0.1, a port of its own choosing.
struct Served {
    explicit Served(RemoteServerLimits limits = {}) : server(state, Code, nullptr, limits)
    {
        QString error;
        RemoteListen listen;
        listen.Address = QHostAddress::LocalHost;
        listen.Port = 0;
        started = server.Start(listen, &error);
    }
    QString Url(const QString& path, const QString& code = Code) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2?code=%3").arg(server.Port()).arg(path, code);
    }
    QString LiveUrl(const QString& code = Code) const
    {
        return QStringLiteral("ws://127.0.0.1:%1/api/v1/live?code=%2").arg(server.Port()).arg(code);
    }
    Reply Get(const QString& url, const QByteArray& authorization = {})
    {
        QNetworkRequest request { QUrl(url) };
        if (!authorization.isEmpty())
            request.setRawHeader("Authorization", authorization);
        std::unique_ptr<QNetworkReply> reply(net.get(request));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(5000);
        return { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll() };
    }
    // Sends raw bytes and reads until the server closes or answers: the status line.
    QByteArray Raw(const QByteArray& bytes)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.Port());
        if (!QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 3000))
            return {};
        socket.write(bytes);
        QByteArray answer;
        QTest::qWaitFor([&] {
            answer += socket.readAll();
            return answer.contains("\r\n") || socket.state() == QAbstractSocket::UnconnectedState;
        }, 3000);
        return answer.left(answer.indexOf("\r\n"));
    }

    RemoteState state;
    RemoteServer server;
    QNetworkAccessManager net;
    bool started = false;
};

// Collects a WebSocket's messages as JSON.
struct LiveClient {
    QWebSocket socket;
    QList<QJsonObject> messages;
    LiveClient()
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
            [this](const QString& m) { messages.append(QJsonDocument::fromJson(m.toUtf8()).object()); });
    }
    bool Open(const QString& url)
    {
        socket.open(QUrl(url));
        return QTest::qWaitFor([this] { return !messages.isEmpty(); }, 5000);
    }
    QList<QJsonObject> OfChannel(const QString& id) const
    {
        QList<QJsonObject> found;
        for (const QJsonObject& m : messages)
            if (m.value("type") == "channel" && m.value("channel").toObject().value("id") == id)
                found.append(m.value("channel").toObject());
        return found;
    }
};

} // namespace

class TestRemoteServer : public QObject
{
    Q_OBJECT

private slots:
    void codeIsComparedAndGuessingIsSlowed()
    {
        qint64 now = 0;
        AccessGate gate([&now] { return now; });
        gate.SetCode(Code);
        QCOMPARE(Code.size(), 43);
        QVERIFY(Code != AccessGate::NewCode());
        QCOMPARE(gate.Check("a", Code.toUtf8()), AccessGate::Verdict::Allowed);
        QCOMPARE(gate.Check("a", Code.toUtf8().chopped(1)), AccessGate::Verdict::Refused); // a prefix is not the code
        QCOMPARE(gate.Check("a", Code.toUtf8() + "x"), AccessGate::Verdict::Refused);
        QCOMPARE(gate.Check("a", QByteArray()), AccessGate::Verdict::Refused);
        for (int i = 0; i < AccessGate::FreeFailures - 3; ++i)
            QCOMPARE(gate.Check("a", "guess"), AccessGate::Verdict::Refused);
        // Blocked now, even with the right code; another address is not.
        QCOMPARE(gate.Check("a", Code.toUtf8()), AccessGate::Verdict::Throttled);
        QCOMPARE(gate.Check("b", Code.toUtf8()), AccessGate::Verdict::Allowed);
        now += 1000;
        QCOMPARE(gate.Check("a", "guess"), AccessGate::Verdict::Refused);
        now += 1999; // the block doubled to two seconds
        QCOMPARE(gate.Check("a", Code.toUtf8()), AccessGate::Verdict::Throttled);
        now += 1;
        QCOMPARE(gate.Check("a", Code.toUtf8()), AccessGate::Verdict::Allowed);
        QCOMPARE(gate.Check("a", "guess"), AccessGate::Verdict::Refused); // the right code forgave
        AccessGate empty;
        QCOMPARE(empty.Check("c", QByteArray()), AccessGate::Verdict::Refused); // no code: nobody
    }

    void apiAnswersOnlyWithTheCode()
    {
        Served s;
        QVERIFY(s.started);
        s.state.Show(Channel(3, 1, 80, QStringLiteral("Lead 主唱")));
        RemoteChannel lost = Channel(3, 2, 0);
        lost.Lost = true;
        lost.RfLoss = true;
        s.state.Show(lost);
        s.state.AddEvent(QStringLiteral("Lost connection [3:2]"));
        s.state.AddEvent(QStringLiteral("RF loss [3:2]"));

        const Reply channels = s.Get(s.Url("/api/v1/channels"));
        QCOMPARE(channels.Status, 200);
        const QJsonArray list = channels.Json().value("channels").toArray();
        QCOMPARE(list.size(), 2);
        const QJsonObject first = list[0].toObject();
        QCOMPARE(first.value("id").toString(), QString("3-1"));
        QCOMPARE(first.value("name").toString(), QString("Lead 主唱"));
        QCOMPARE(first.value("rfA").toInt(), 80);
        QCOMPARE(first.value("frequency").toDouble(), 643.0);
        QCOMPARE(first.value("antenna").toString(), QString("A"));
        QCOMPARE(list[1].toObject().value("lost").toBool(), true);
        QCOMPARE(list[1].toObject().value("rfLoss").toBool(), true);
        QCOMPARE(list[1].toObject().value("lowBattery").toBool(), false);

        const Reply events = s.Get(s.Url("/api/v1/events") + "&since=1");
        QCOMPARE(events.Status, 200);
        QCOMPARE(events.Json().value("last").toInteger(), 2);
        QCOMPARE(events.Json().value("events").toArray().size(), 1);
        QCOMPARE(events.Json().value("events").toArray()[0].toObject().value("text").toString(), QString("RF loss [3:2]"));
        QCOMPARE(s.Get(s.Url("/api/v1/events") + "&since=x").Status, 400);

        QCOMPARE(s.Get(QStringLiteral("http://127.0.0.1:%1/api/v1/channels").arg(s.server.Port()), "Bearer " + Code.toUtf8()).Status, 200);
        const Reply page = s.Get(s.Url("/"));
        QCOMPARE(page.Status, 200);
        QVERIFY(page.Body.contains("new WebSocket")); // the script is in the page itself
        QVERIFY(!page.Body.contains("/*SCRIPT*/"));

        QCOMPARE(s.Get(s.Url("/../../etc/passwd")).Status, 404);
        QCOMPARE(s.Get(s.Url("/Config.ini")).Status, 404);
        QCOMPARE(s.Get(QStringLiteral("http://127.0.0.1:%1/api/v1/channels").arg(s.server.Port())).Status, 401);
        QCOMPARE(s.Get(s.Url("/", QStringLiteral("wrong"))).Status, 401);
        QCOMPARE(s.Raw("POST /api/v1/channels?code=" + Code.toUtf8() + " HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n"),
            QByteArray("HTTP/1.1 405 Method Not Allowed"));
    }

    void oversizeRequestsAreRefusedBeforeTheServerReadsThem()
    {
        RemoteServerLimits limits;
        limits.MaxConnections = 3;
        Served s(limits);
        const QByteArray get = "GET /api/v1/channels?code=" + Code.toUtf8();
        QCOMPARE(s.Raw(get + "&pad=" + QByteArray(4000, 'a') + " HTTP/1.1\r\n\r\n"), QByteArray("HTTP/1.1 414 URI Too Long"));
        QByteArray manyHeaders = get + " HTTP/1.1\r\n";
        for (int i = 0; i < 100; ++i)
            manyHeaders += "X-" + QByteArray::number(i) + ": 1\r\n";
        QCOMPARE(s.Raw(manyHeaders + "\r\n"), QByteArray("HTTP/1.1 431 Request Header Fields Too Large"));
        QCOMPARE(s.Raw(get + " HTTP/1.1\r\nCookie: " + QByteArray(20000, 'c') + "\r\n\r\n"), QByteArray("HTTP/1.1 413 Content Too Large"));
        // A head without an end is cut off at the bound too, not buffered for ever.
        QCOMPARE(s.Raw(get + " HTTP/1.1\r\nX: " + QByteArray(9000, 'c')), QByteArray("HTTP/1.1 413 Content Too Large"));
        // A keep-alive connection's second request is measured on its own.
        QCOMPARE(s.Raw(get + " HTTP/1.1\r\nHost: x\r\n\r\n").left(15), QByteArray("HTTP/1.1 200 OK"));

        // Clients beyond the bound are turned away; those inside it are served.
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < limits.MaxConnections; ++i) {
            held.push_back(std::make_unique<QTcpSocket>());
            held.back()->connectToHost(QHostAddress::LocalHost, s.server.Port());
            QTRY_COMPARE(held.back()->state(), QAbstractSocket::ConnectedState);
        }
        QTRY_COMPARE(s.server.ConnectionCount(), limits.MaxConnections);
        QCOMPARE(s.Raw(get + " HTTP/1.1\r\n\r\n"), QByteArray("HTTP/1.1 503 Service Unavailable"));
        held.clear();
        QTRY_COMPARE(s.server.ConnectionCount(), 0);
        QCOMPARE(s.Get(s.Url("/api/v1/channels")).Status, 200);
    }

    void liveFeedPushesChangesAtMostTenASecond()
    {
        Served s;
        s.state.Show(Channel(1, 1, 10));
        LiveClient refused;
        refused.socket.open(QUrl(s.LiveUrl(QStringLiteral("nope"))));
        QTRY_COMPARE(refused.socket.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(refused.messages.isEmpty());
        QCOMPARE(s.server.LiveClientCount(), 0);

        LiveClient live;
        QVERIFY(live.Open(s.LiveUrl()));
        QCOMPARE(live.messages[0].value("type").toString(), QString("hello"));
        QCOMPARE(live.messages[0].value("channels").toArray()[0].toObject().value("rfA").toInt(), 10);

        // One change arrives at once; a burst is thinned to the newest state at ten a second.
        QElapsedTimer t;
        t.start();
        s.state.Show(Channel(1, 1, 11));
        QTRY_COMPARE_WITH_TIMEOUT(live.OfChannel("1-1").size(), 1, 200);
        for (int level = 12; level <= 60; ++level) {
            s.state.Show(Channel(1, 1, level));
            QTest::qWait(10);
        }
        QTRY_COMPARE(live.OfChannel("1-1").last().value("rfA").toInt(), 60);
        const qint64 elapsed = t.elapsed();
        QVERIFY2(live.OfChannel("1-1").size() <= 2 + elapsed / 100, qPrintable(QString::number(live.OfChannel("1-1").size())));
        QVERIFY(live.OfChannel("1-1").size() >= 3);

        s.state.AddEvent(QStringLiteral("Low battery [1:1]"));
        QTRY_VERIFY(!live.messages.isEmpty() && live.messages.last().value("type") == "event");
        s.state.SetManaged({});
        QTRY_COMPARE(live.messages.last().value("type").toString(), QString("removed"));

        // A new code ends every connection made with the old one.
        s.server.SetCode(AccessGate::NewCode());
        QTRY_COMPARE(live.socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(s.server.LiveClientCount(), 0);
        QCOMPARE(s.Get(s.Url("/api/v1/channels")).Status, 401);
    }

    void servesHttpsWhenGivenACertificateAndKey()
    {
        QTemporaryDir dir;
        const QString cert = dir.filePath("tessaro.crt");
        const QString key = dir.filePath("tessaro.key");
        QCOMPARE(QProcess::execute("openssl", { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                     "/CN=127.0.0.1", "-keyout", key, "-out", cert }), 0);
        RemoteState state;
        RemoteServer server(state, Code);
        RemoteListen listen;
        listen.Address = QHostAddress::LocalHost;
        listen.Port = 0;
        listen.CertificatePath = cert;
        listen.KeyPath = cert; // no key in it: refused with the reason, nothing listens
        QString error;
        QVERIFY(!server.Start(listen, &error));
        QVERIFY2(error.contains("private key"), qPrintable(error));
        listen.KeyPath = key;
        QVERIFY2(server.Start(listen, &error), qPrintable(error));
        QVERIFY(server.IsHttps());

        QNetworkAccessManager net;
        const auto get = [&](const QString& scheme) {
            std::unique_ptr<QNetworkReply> reply(
                net.get(QNetworkRequest(QUrl(scheme + QStringLiteral("://127.0.0.1:%1/api/v1/channels?code=").arg(server.Port()) + Code))));
            reply->ignoreSslErrors(); // self-signed, as an operator would make it
            QSignalSpy finished(reply.get(), &QNetworkReply::finished);
            finished.wait(5000);
            return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        };
        QCOMPARE(get("https"), 200);
        QCOMPARE(get("http"), 0); // plain HTTP gets no answer from a TLS port
    }

    // A client that stops reading is dropped when its unsent messages pass the bound, while the
    // event loop keeps its pace and a reading client goes on receiving.
    void clientThatDoesNotReadIsDropped()
    {
        RemoteServerLimits limits;
        limits.ClientQueueBytes = 64 * 1024;
        Served s(limits);
        const QString longName(400, QLatin1Char('n'));
        for (int i = 1; i <= 64; ++i)
            s.state.Show(Channel(i, 1, 0, longName));

        // A socket with a small receive window whose owner never reads after the handshake.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in to {};
        to.sin_family = AF_INET;
        to.sin_port = htons(s.server.Port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        const QByteArray handshake = "GET /api/v1/live?code=" + Code.toUtf8()
            + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
        QCOMPARE(::write(fd, handshake.constData(), handshake.size()), handshake.size());
        LiveClient reader;
        QVERIFY(reader.Open(s.LiveUrl()));
        QTRY_COMPARE(s.server.LiveClientCount(), 2);

        int ticks = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&ticks] { ++ticks; });
        poll.start(20);
        QSignalSpy dropped(&s.server, &RemoteServer::clientDropped);
        QElapsedTimer t;
        t.start();
        for (int round = 1; dropped.isEmpty() && t.elapsed() < 20000; ++round) {
            for (int i = 1; i <= 64; ++i)
                s.state.Show(Channel(i, 1, round % 100, longName));
            QTest::qWait(100);
        }
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped[0][1].toString(), QString("does not read its WebSocket"));
        QTRY_COMPARE(s.server.LiveClientCount(), 1);
        // The 20 ms timer kept most of its ticks: nothing waited on the stalled client.
        QVERIFY2(ticks >= t.elapsed() / 20 / 2, qPrintable(QString("%1 ticks in %2 ms").arg(ticks).arg(t.elapsed())));
        const int before = reader.messages.size();
        s.state.Show(Channel(1, 1, 99, longName));
        QTRY_VERIFY(reader.messages.size() > before);
        ::close(fd);
    }
};

QTEST_MAIN(TestRemoteServer)
#include "RemoteServerTests.moc"
