// The broker client against a real Mosquitto on a free loopback port: retained status for every
// channel, each event once, and a broker that is killed and restarted without monitoring waiting.
#include "remote/MqttPublisher.h"
#include "remote/RemoteState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <mosquitto.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace
{

// Mosquitto with persistence, so that a subscriber's session and the retained messages outlive
// a restart as they do on a deployed broker.
class Broker
{
public:
    Broker()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        QFile conf(dir.filePath("mosquitto.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\npersistence_location %2/\n")
                       .arg(port)
                       .arg(dir.path())
                       .toUtf8());
        // As root it would switch to the user "mosquitto", who cannot write this folder.
        if (::geteuid() == 0)
            conf.write("user root\n");
    }
    ~Broker() { Stop(); }
    bool Start()
    {
        process.start(QStringLiteral("mosquitto"), { "-c", dir.filePath("mosquitto.conf") });
        if (!process.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([this] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            return s.waitForConnected(100);
        }, 5000);
    }
    void Stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        process.waitForFinished(5000);
    }
    QTemporaryDir dir;
    QProcess process;
    quint16 port = 0;
};

// A subscriber with a lasting session (QoS 1), collecting what arrives on its own thread.
class Subscriber
{
public:
    explicit Subscriber(quint16 port)
    {
        mosquitto_lib_init();
        client = mosquitto_new("test-subscriber", false, this);
        mosquitto_connect_callback_set(client, [](mosquitto* m, void*, int rc) {
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, "tessaro/#", 1);
        });
        mosquitto_message_callback_set(client, [](mosquitto*, void* self, const mosquitto_message* m) {
            auto* me = static_cast<Subscriber*>(self);
            const std::lock_guard lock(me->mutex);
            me->received.append({ QString::fromUtf8(m->topic), QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain });
        });
        mosquitto_reconnect_delay_set(client, 1, 1, false);
        mosquitto_connect_async(client, "127.0.0.1", port, 10);
        mosquitto_loop_start(client);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
    }
    struct Message {
        QString Topic;
        QByteArray Payload;
        bool Retained = false;
    };
    QList<Message> Received()
    {
        const std::lock_guard lock(mutex);
        return received;
    }
    QStringList EventTexts()
    {
        QStringList texts;
        for (const Message& m : Received())
            if (m.Topic.endsWith("/events"))
                texts << QJsonDocument::fromJson(m.Payload).object().value("text").toString();
        return texts;
    }
    // The newest payload per status topic.
    QMap<QString, QJsonObject> Status()
    {
        QMap<QString, QJsonObject> status;
        for (const Message& m : Received())
            if (m.Topic.endsWith("/status"))
                status[m.Topic] = QJsonDocument::fromJson(m.Payload).object();
        return status;
    }
    mosquitto* client = nullptr;
    std::mutex mutex;
    QList<Message> received;
};

RemoteChannel Channel(int devIdx, int rfA)
{
    RemoteChannel c;
    c.Rxid = 7;
    c.DevIdx = devIdx;
    c.Name = QStringLiteral("Ch %1").arg(devIdx);
    c.RfA = rfA;
    return c;
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void publishesThroughABrokerThatRestarts()
    {
        Broker broker;
        QVERIFY(broker.Start());
        RemoteState state;
        for (int i = 1; i <= 3; ++i)
            state.Show(Channel(i, 10 * i));
        MqttOptions options;
        options.Host = QStringLiteral("127.0.0.1");
        options.Port = broker.port;
        options.Station = QStringLiteral("stage-b");
        options.StatusQueueLimit = 2;
        options.LongestRetrySeconds = 1;
        MqttPublisher publisher(state, options);
        QStringList notices;
        QObject::connect(&publisher, &MqttPublisher::notice, [&notices](const QString& n) { notices << n; });
        QVERIFY(publisher.Start());
        QTRY_VERIFY_WITH_TIMEOUT(publisher.IsConnected(), 5000);
        state.AddEvent(QStringLiteral("Low battery [7:1]"));
        QTRY_VERIFY_WITH_TIMEOUT(publisher.QueuedStatus() == 0 && publisher.QueuedEvents() == 0 && publisher.InFlight() == 0, 5000);

        // A subscriber that comes later still gets every channel's status: it is retained.
        Subscriber subscriber(broker.port);
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.Status().size(), 3, 5000);
        QCOMPARE(subscriber.Status().value("tessaro/stage-b/7-2/status").value("rfA").toInt(), 20);
        for (const auto& m : subscriber.Received())
            QVERIFY(m.Retained);
        state.AddEvent(QStringLiteral("RF loss [7:2]"));
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.EventTexts(), QStringList { "RF loss [7:2]" }, 5000);

        // The broker goes away: changes queue, the oldest status is dropped at the bound, the
        // event loop keeps its pace.
        broker.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(!publisher.IsConnected(), 5000);
        int ticks = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&ticks] { ++ticks; });
        poll.start(20);
        QElapsedTimer down;
        down.start();
        for (int i = 1; i <= 3; ++i)
            state.Show(Channel(i, 50 + i));
        state.AddEvent(QStringLiteral("Lost connection [7:3]"));
        state.AddEvent(QStringLiteral("Connection restored [7:3]"));
        QCOMPARE(publisher.QueuedEvents(), 2);
        QCOMPARE(publisher.QueuedStatus(), 2);
        QCOMPARE(publisher.DroppedStatus(), 1);
        QVERIFY(notices.filter("dropped the oldest status").size() == 1);
        QTest::qWait(1500);

        QVERIFY(broker.Start());
        QTRY_VERIFY_WITH_TIMEOUT(publisher.IsConnected(), 10000);
        QVERIFY2(ticks >= down.elapsed() / 20 / 2, qPrintable(QString("%1 ticks in %2 ms").arg(ticks).arg(down.elapsed())));
        // Each event once, in order; every channel's newest status, the dropped one included,
        // since a reconnection publishes them all again.
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.EventTexts(),
            (QStringList { "RF loss [7:2]", "Lost connection [7:3]", "Connection restored [7:3]" }), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.Status().value("tessaro/stage-b/7-1/status").value("rfA").toInt(), 51, 5000);
        QCOMPARE(subscriber.Status().value("tessaro/stage-b/7-3/status").value("rfA").toInt(), 53);

        // A channel no longer managed loses its retained status.
        state.SetManaged({ { 7, 1, "Ch 1", QString() }, { 7, 2, "Ch 2", QString() } });
        QTRY_VERIFY_WITH_TIMEOUT(subscriber.Received().last().Topic == "tessaro/stage-b/7-3/status"
                && subscriber.Received().last().Payload.isEmpty(), 5000);
    }

    // A festival's stations share one broker: a subscriber to every station sees both, each
    // station's channels under its own name.
    void twoStationsOnOneBroker()
    {
        Broker broker;
        QVERIFY(broker.Start());
        RemoteState stageA;
        RemoteState stageB;
        stageA.Show(Channel(1, 31));
        stageB.Show(Channel(1, 62));
        std::vector<std::unique_ptr<MqttPublisher>> publishers;
        for (auto [state, station] : { std::pair { &stageA, "stage-a" }, std::pair { &stageB, "stage-b" } }) {
            MqttOptions options;
            options.Host = QStringLiteral("127.0.0.1");
            options.Port = broker.port;
            options.Station = QString::fromLatin1(station);
            publishers.push_back(std::make_unique<MqttPublisher>(*state, options));
            QVERIFY(publishers.back()->Start());
        }
        Subscriber subscriber(broker.port);
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.Status().size(), 2, 5000);
        QCOMPARE(subscriber.Status().value("tessaro/stage-a/7-1/status").value("rfA").toInt(), 31);
        QCOMPARE(subscriber.Status().value("tessaro/stage-b/7-1/status").value("rfA").toInt(), 62);
        stageB.AddEvent(QStringLiteral("RF loss [7:1]"));
        const auto eventOfStageB = [&subscriber] {
            const auto received = subscriber.Received();
            return std::any_of(received.cbegin(), received.cend(),
                [](const auto& m) { return m.Topic == "tessaro/stage-b/events"; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(eventOfStageB(), 5000);
        for (const auto& m : subscriber.Received())
            QVERIFY2(m.Topic != "tessaro/stage-a/events", "an event of one station never shows under another");
    }
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "MqttTests.moc"
