#pragma once
// Publishes the channels' state and the event log's lines to an MQTT broker with libmosquitto.
// Topics: tessaro/<station>/<rxid>-<devidx>/status (retained, QoS 0) and tessaro/<station>/events
// (QoS 1); the payloads are the JSON objects of the HTTP API. libmosquitto's own thread talks to
// the broker and reconnects with back-off; its callbacks are posted to this object's thread. A
// broker that is down or slow only fills a bounded queue here: the oldest status goes first,
// events stay.
#include "remote/RemoteState.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <deque>

struct mosquitto;

struct MqttOptions {
    QString Host = QStringLiteral("localhost");
    int Port = 1883;
    bool Tls = false;
    QString CaFile; // empty: the system's certificate authorities
    QString User;
    QString Password;
    QString Station = QStringLiteral("station");
    int StatusQueueLimit = 256;  // waiting status messages; the oldest is dropped beyond it
    int EventQueueLimit = 20000; // a memory bound only: hours of events at show rates
    int InFlightLimit = 32;      // handed to libmosquitto and not yet confirmed sent
    int KeepAliveSeconds = 10;
    int LongestRetrySeconds = 30;
};

class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    MqttPublisher(RemoteState& state, MqttOptions options, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // Starts connecting in libmosquitto's thread; false (said through notice) when the client
    // cannot be set up at all, for example a TLS authority file that cannot be read.
    bool Start();
    bool IsConnected() const { return m_connected; }
    int QueuedStatus() const { return m_queuedStatus; }
    int QueuedEvents() const { return static_cast<int>(m_queue.size()) - m_queuedStatus; }
    qint64 DroppedStatus() const { return m_droppedStatus; }
    int InFlight() const { return static_cast<int>(m_inFlight.size()); }
    QString StatusTopic(const QString& id) const;
    QString EventTopic() const;

signals:
    void notice(const QString& line); // for the debug window
    void connectedChanged(bool connected);

private:
    struct Outgoing {
        QString Topic;
        QByteArray Payload;
        bool IsEvent = false;
        bool Retain = false;
    };

    static void OnConnectCallback(mosquitto*, void* self, int rc);
    static void OnDisconnectCallback(mosquitto*, void* self, int rc);
    static void OnPublishCallback(mosquitto*, void* self, int mid);
    void Connected(int rc);
    void Disconnected(int rc);
    void Published(int mid);

    void QueueStatus(const QString& id, const QByteArray& payload);
    void QueueEvent(const QByteArray& payload);
    void Pump();

    RemoteState& m_state;
    MqttOptions m_options;
    mosquitto* m_client = nullptr;
    bool m_connected = false;
    std::deque<Outgoing> m_queue;
    int m_queuedStatus = 0;
    qint64 m_droppedStatus = 0;
    QHash<int, bool> m_inFlight; // mid -> is an event (QoS 1, kept across reconnects)
};
