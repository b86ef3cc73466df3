#include "NetNamespace.h"
#include "data/PublicStruct.h"
#include "protocol/Messages.h"
#include "transport/ClassCom.h"
#include "transport/SendCommand.h"
#include "transport/UDPServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <arpa/inet.h>
#include <cstring>
#include <linux/capability.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

// A plain socket on the far side of the endpoint.
class Peer
{
public:
    Peer(const char* address, int port)
    {
        sockaddr_in local = Address(address, port);
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        socklen_t length = sizeof local;
        m_bound = bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0
            && getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
        m_port = ntohs(local.sin_port);
    }
    ~Peer() { close(m_fd); }
    bool Bound() const { return m_bound; }
    int Port() const { return m_port; }

    void Send(const char* address, int port, const QByteArray& bytes) const
    {
        const sockaddr_in target = Address(address, port);
        QCOMPARE(
            sendto(m_fd, bytes.constData(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target),
            bytes.size());
    }

    // One datagram, or nothing when none arrives within waitMs.
    std::optional<QByteArray> Receive(int waitMs, int* fromPort = nullptr) const
    {
        pollfd waiting { m_fd, POLLIN, 0 };
        if (poll(&waiting, 1, waitMs) != 1)
            return std::nullopt;
        QByteArray bytes(70000, '\0');
        sockaddr_in from {};
        socklen_t length = sizeof from;
        const ssize_t count
            = recvfrom(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (fromPort)
            *fromPort = ntohs(from.sin_port);
        return bytes.left(count < 0 ? 0 : count);
    }

private:
    static sockaddr_in Address(const char* address, int port)
    {
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = inet_addr(address);
        return a;
    }
    int m_fd = -1;
    int m_port = 0;
    bool m_bound = false;
};

struct Received {
    QByteArray data;
    QString source;
    int sourcePort;
    QString local;
    int localPort;
};

// Stands in for the main window: keeps a copy of every datagram event it is given.
class Collector : public QObject
{
public:
    std::vector<Received> received;
    bool event(QEvent* e) override
    {
        if (e->type() != EventType(MSG_DATAGRAM))
            return QObject::event(e);
        const auto* d = static_cast<DatagramEvent*>(e);
        const DatagramBlock& block = d->Datagram();
        received.push_back({ QByteArray(reinterpret_cast<const char*>(block.data), block.length),
            QString::fromLatin1(d->Source().sourceAddress), d->Source().sourcePort,
            QString::fromLatin1(d->Source().localAddress), d->Source().localPort });
        return true;
    }
};

std::optional<UDPServerException> ConstructionFailure(int port, const char* localAddress)
{
    try {
        TUDPServer udp(nullptr, port, localAddress);
    } catch (const UDPServerException& e) {
        return e;
    }
    return std::nullopt;
}

// Capabilities belong to a thread: only the calling thread loses the right to bind below 1024.
QString DropBindServiceCapability()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return QStringLiteral("capget: %1").arg(strerror(errno));
    data[CAP_NET_BIND_SERVICE / 32].effective &= ~(1u << (CAP_NET_BIND_SERVICE % 32));
    if (syscall(SYS_capset, &header, data) != 0)
        return QStringLiteral("capset: %1").arg(strerror(errno));
    return {};
}

const QByteArray ConnectFrame = QByteArray::fromHex("C80101C903010035");
const uint8_t ConnectPayload[] = { 0x00 };

int SendConnect(const QString& ip)
{
    return SendCommand(ip, 1, 1, 0x03, ConnectPayload, 1);
}

} // namespace

class UdpTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        PublicStruct::Install(std::make_unique<PublicStruct>(m_dir.path() + "/"));
    }
    void cleanup()
    {
        SetSendTransports(nullptr, nullptr);
        PublicStruct::Instance().ConnectType = 0;
    }

    void sendToResults()
    {
        TUDPServer udp(nullptr, 0, "127.0.0.1");
        Peer peer("127.0.0.1", 0);
        const uint8_t bytes[] = { 1, 2, 3 };
        QCOMPARE(udp.SendTo("", peer.Port(), bytes, 3), -2);
        QCOMPARE(udp.SendTo("127.0.0.1", 0, bytes, 3), -2);
        QCOMPARE(udp.SendTo("127.0.0.256", peer.Port(), bytes, 3), -4);
        QCOMPARE(udp.SendTo("127.0.0.1.1", peer.Port(), bytes, 3), -4);
        QVERIFY(!peer.Receive(100));

        QCOMPARE(udp.SendTo("127.0.0.1", peer.Port(), bytes, 3), 3);
        int fromPort = 0;
        QCOMPARE(peer.Receive(2000, &fromPort), QByteArray("\x01\x02\x03"));
        QCOMPARE(fromPort, udp.LocalPort());

        const QByteArray tooLong(70000, 'x');
        QCOMPARE(udp.SendTo("127.0.0.1", peer.Port(), reinterpret_cast<const uint8_t*>(tooLong.data()), 70000), -1);
        udp.Stop();
        QCOMPARE(udp.SendTo("127.0.0.1", peer.Port(), bytes, 3), -1);
    }

    void hostNames()
    {
        REQUIRE_PRIVATE_NETNS(); // a failed lookup may ask a name server: only inside the namespace
        TUDPServer udp(nullptr, 0);
        Peer peer("127.0.0.1", 0);
        const uint8_t bytes[] = { 9 };
        QCOMPARE(udp.SendTo("localhost", peer.Port(), bytes, 1), 1);
        QCOMPARE(peer.Receive(2000), QByteArray("\x09"));
        // A label longer than 63 characters fails in the resolver itself, without waiting on a server.
        QCOMPARE(udp.SendTo(QString(64, 'r') + ".invalid", peer.Port(), bytes, 1), -3);
    }

    void isValidAddress()
    {
        QVERIFY(TUDPServer::IsValidAddress("192.168.1.20"));
        QVERIFY(TUDPServer::IsValidAddress("255.255.255.255"));
        QVERIFY(!TUDPServer::IsValidAddress("192.168.1"));
        QVERIFY(!TUDPServer::IsValidAddress("192.168.1.300"));
        QVERIFY(!TUDPServer::IsValidAddress("..."));
    }

    void datagramsArriveInOrderWithTheirOwnBlocks()
    {
        Collector window;
        TUDPServer udp(&window, 0, "127.0.0.1");
        Peer peer("127.0.0.1", 0);
        peer.Send("127.0.0.1", udp.LocalPort(), "first");
        peer.Send("127.0.0.1", udp.LocalPort(), "second");
        QThread::msleep(200); // both events wait in the queue before either is handled
        QTRY_COMPARE_WITH_TIMEOUT(window.received.size(), size_t(2), 2000);
        QCOMPARE(window.received[0].data, QByteArray("first"));
        QCOMPARE(window.received[1].data, QByteArray("second"));
        for (const Received& r : window.received) {
            QCOMPARE(r.source, QString("127.0.0.1"));
            QCOMPARE(r.sourcePort, peer.Port());
            QCOMPARE(r.local, QString("127.0.0.1"));
            QCOMPARE(r.localPort, udp.LocalPort());
        }
    }

    void emptyAndOversizedDatagramsAreDropped()
    {
        Collector window;
        TUDPServer udp(&window, 0, "127.0.0.1");
        Peer peer("127.0.0.1", 0);
        peer.Send("127.0.0.1", udp.LocalPort(), QByteArray());
        peer.Send("127.0.0.1", udp.LocalPort(), QByteArray(DatagramCapacity + 1, 'o'));
        peer.Send("127.0.0.1", udp.LocalPort(), QByteArray(DatagramCapacity, 'f'));
        peer.Send("127.0.0.1", udp.LocalPort(), "last");
        QTRY_VERIFY_WITH_TIMEOUT(!window.received.empty() && window.received.back().data == "last", 2000);
        QCOMPARE(window.received.size(), size_t(2));
        QCOMPARE(window.received[0].data, QByteArray(DatagramCapacity, 'f'));
    }

    void teardownStopsReceiving()
    {
        Collector window;
        TUDPServer udp(&window, 0, "127.0.0.1");
        Peer peer("127.0.0.1", 0);
        const int port = udp.LocalPort();
        QElapsedTimer clock;
        clock.start();
        udp.Stop();
        QVERIFY(clock.elapsed() < 3000);
        peer.Send("127.0.0.1", port, "late");
        QTest::qWait(200);
        QVERIFY(window.received.empty());
    }

    void takenPortIsReportedAsSuch()
    {
        Peer holder("127.0.0.1", 0);
        QVERIFY(holder.Bound());
        const auto failure = ConstructionFailure(holder.Port(), "127.0.0.1");
        QVERIFY(failure);
        QCOMPARE(failure->Code(), -3);
        QCOMPARE(failure->Message(),
            QString("端口已被占用[-3]: UDP port %1 is in use: another copy of Tessaro may be running.")
                .arg(holder.Port()));
        PublicStruct::Instance().LanguageIndex = 0;
        const auto chinese = ConstructionFailure(holder.Port(), "127.0.0.1");
        PublicStruct::Instance().LanguageIndex = 1;
        QVERIFY(chinese);
        QCOMPARE(chinese->Message(),
            QString("端口已被占用[-3]: UDP 端口 %1 已被占用: 可能另一个 Tessaro 正在运行。").arg(holder.Port()));
    }

    void refusedPrivilegedPortSaysWhyAndHowToGrantIt()
    {
        REQUIRE_PRIVATE_NETNS();
        QString dropped;
        std::optional<UDPServerException> failure;
        std::thread unprivileged([&] {
            dropped = DropBindServiceCapability();
            if (dropped.isEmpty())
                failure = ConstructionFailure(1000, nullptr);
        });
        unprivileged.join();
        if (!dropped.isEmpty())
            QSKIP(qPrintable("cannot drop CAP_NET_BIND_SERVICE here: " + dropped));
        QVERIFY(failure);
        QCOMPARE(failure->Code(), int(UDP_BIND_FAILED));
        QVERIFY(!failure->Message().contains("端口已被占用"));
        QVERIFY2(failure->Message().contains(QString::fromLocal8Bit(strerror(EACCES))), qPrintable(failure->Message()));
        QVERIFY2(failure->Message().contains(
                     "sudo setcap cap_net_bind_service=+ep " + QCoreApplication::applicationFilePath()),
            qPrintable(failure->Message()));
    }

    void broadcastReachesTheWildcardSocket()
    {
        REQUIRE_PRIVATE_NETNS();
        TUDPServer udp(nullptr, LocalUdpPort);
        Peer listener("0.0.0.0", ReceiverPort);
        QVERIFY(listener.Bound());
        const uint8_t bytes[] = { 0xC8, 0x00 };
        QCOMPARE(udp.SendTo("255.255.255.255", ReceiverPort, bytes, 2), 2);
        int fromPort = 0;
        QCOMPARE(listener.Receive(2000, &fromPort), QByteArray("\xC8\x00", 2));
        QCOMPARE(fromPort, LocalUdpPort);
    }

    void sendCommandOverTheNetwork()
    {
        REQUIRE_PRIVATE_NETNS();
        PublicStruct::Instance().ConnectType = 0;
        QCOMPARE(SendConnect("127.0.0.7"), -1); // no endpoint registered

        TUDPServer udp(nullptr, LocalUdpPort);
        SetSendTransports(&udp, nullptr);
        Peer receiver("127.0.0.7", ReceiverPort);
        QVERIFY(receiver.Bound());
        QCOMPARE(SendConnect("127.0.0.7"), 8);
        int fromPort = 0;
        QCOMPARE(receiver.Receive(2000, &fromPort), ConnectFrame);
        QCOMPARE(fromPort, LocalUdpPort);

        QCOMPARE(SendConnect(""), -2);
        QVERIFY(!receiver.Receive(200));
    }

    void sendCommandOverTheSerialLine()
    {
        int master = -1;
        int slave = -1;
        char slaveName[128] = {};
        QVERIFY(openpty(&master, &slave, slaveName, nullptr, nullptr) == 0);
        const auto closePty = qScopeGuard([&] { close(master), close(slave); });
        QVERIFY(symlink(slaveName, qPrintable(m_dir.path() + "/COM7")) == 0);
        cnComm serial;
        QVERIFY(serial.Open(7, 9600));

        PublicStruct::Instance().ConnectType = 1;
        QCOMPARE(SendConnect("255.255.255.255"), 0); // no serial port registered
        SetSendTransports(nullptr, &serial);
        QCOMPARE(SendConnect("255.255.255.255"), 8);
        QByteArray written;
        pollfd waiting { master, POLLIN, 0 };
        while (written.size() < 8 && poll(&waiting, 1, 2000) == 1) {
            char chunk[64];
            const ssize_t n = read(master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            written.append(chunk, n);
        }
        QCOMPARE(written, ConnectFrame);
    }
};

TESSARO_NETNS_TEST_MAIN(QCoreApplication, UdpTest)
#include "tst_udp.moc"
