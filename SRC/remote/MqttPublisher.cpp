#include "remote/MqttPublisher.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <mosquitto.h>

#include <mutex>

namespace
{

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QByteArray Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString ErrorText(int rc)
{
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

MqttPublisher::MqttPublisher(RemoteState& state, MqttOptions options, QObject* parent)
    : QObject(parent), m_state(state), m_options(std::move(options))
{
    connect(&m_state, &RemoteState::channelChanged, this,
        [this](const RemoteChannel& channel) { QueueStatus(channel.Id(), Compact(channel.ToJson())); });
    // An empty retained message clears the channel's retained status at the broker.
    connect(&m_state, &RemoteState::channelRemoved, this, [this](const QString& id) { QueueStatus(id, QByteArray()); });
    connect(&m_state, &RemoteState::eventAdded, this,
        [this](const RemoteEvent& event) { QueueEvent(Compact(event.ToJson())); });
}

MqttPublisher::~MqttPublisher()
{
    if (!m_client)
        return;
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, true);
    mosquitto_destroy(m_client);
}

QString MqttPublisher::StatusTopic(const QString& id) const
{
    return QStringLiteral("tessaro/%1/%2/status").arg(m_options.Station, id);
}

QString MqttPublisher::EventTopic() const
{
    return QStringLiteral("tessaro/%1/events").arg(m_options.Station);
}

bool MqttPublisher::Start()
{
    InitLibrary();
    const QByteArray clientId = QStringLiteral("tessaro-%1-%2")
                                    .arg(m_options.Station)
                                    .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'))
                                    .toUtf8()
                                    .left(64);
    m_client = mosquitto_new(clientId.constData(), true, this);
    if (!m_client) {
        emit notice(QStringLiteral("cannot create the MQTT client"));
        return false;
    }
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_client, &MqttPublisher::OnConnectCallback);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::OnDisconnectCallback);
    mosquitto_publish_callback_set(m_client, &MqttPublisher::OnPublishCallback);
    mosquitto_reconnect_delay_set(m_client, 1, static_cast<unsigned>(m_options.LongestRetrySeconds), true);
    if (!m_options.User.isEmpty()) {
        const int rc = mosquitto_username_pw_set(m_client, m_options.User.toUtf8().constData(),
            m_options.Password.isEmpty() ? nullptr : m_options.Password.toUtf8().constData());
        if (rc != MOSQ_ERR_SUCCESS) {
            emit notice(QStringLiteral("credentials refused: %1").arg(ErrorText(rc)));
            return false;
        }
    }
    if (m_options.Tls) {
        const QByteArray caFile = m_options.CaFile.toLocal8Bit();
        const int rc = mosquitto_tls_set(m_client, caFile.isEmpty() ? nullptr : caFile.constData(),
            caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            emit notice(QStringLiteral("TLS set-up failed: %1").arg(ErrorText(rc)));
            return false;
        }
    }
    const int rc = mosquitto_connect_async(m_client, m_options.Host.toUtf8().constData(), m_options.Port, m_options.KeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS)
        emit notice(QStringLiteral("cannot reach %1:%2 yet (%3); retrying").arg(m_options.Host).arg(m_options.Port).arg(ErrorText(rc)));
    const int loop = mosquitto_loop_start(m_client);
    if (loop != MOSQ_ERR_SUCCESS) {
        emit notice(QStringLiteral("cannot start the MQTT thread: %1").arg(ErrorText(loop)));
        return false;
    }
    return true;
}

// libmosquitto's thread: nothing is touched here but the hand-over to this object's thread.
void MqttPublisher::OnConnectCallback(mosquitto*, void* self, int rc)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    QMetaObject::invokeMethod(publisher, [publisher, rc] { publisher->Connected(rc); }, Qt::QueuedConnection);
}

void MqttPublisher::OnDisconnectCallback(mosquitto*, void* self, int rc)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    QMetaObject::invokeMethod(publisher, [publisher, rc] { publisher->Disconnected(rc); }, Qt::QueuedConnection);
}

void MqttPublisher::OnPublishCallback(mosquitto*, void* self, int mid)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    QMetaObject::invokeMethod(publisher, [publisher, mid] { publisher->Published(mid); }, Qt::QueuedConnection);
}

// A broker started afresh has lost the retained status: every channel's goes out again.
void MqttPublisher::Connected(int rc)
{
    if (rc != 0) {
        emit notice(QStringLiteral("the broker %1:%2 refused the connection: %3")
                        .arg(m_options.Host)
                        .arg(m_options.Port)
                        .arg(QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    m_connected = true;
    emit notice(QStringLiteral("connected to %1:%2").arg(m_options.Host).arg(m_options.Port));
    emit connectedChanged(true);
    for (const RemoteChannel* channel : m_state.Channels())
        QueueStatus(channel->Id(), Compact(channel->ToJson()));
    Pump();
}

// Status messages handed over are gone with the connection; events (QoS 1) are sent again by
// libmosquitto after it reconnects.
void MqttPublisher::Disconnected(int rc)
{
    m_inFlight.removeIf([](const auto& entry) { return !entry.value(); });
    if (!m_connected)
        return;
    m_connected = false;
    emit notice(QStringLiteral("connection to %1:%2 lost (%3); retrying").arg(m_options.Host).arg(m_options.Port).arg(ErrorText(rc)));
    emit connectedChanged(false);
}

void MqttPublisher::Published(int mid)
{
    m_inFlight.remove(mid);
    Pump();
}

// A status that waits is replaced by the newer one of its channel, in its place.
void MqttPublisher::QueueStatus(const QString& id, const QByteArray& payload)
{
    const QString topic = StatusTopic(id);
    for (Outgoing& waiting : m_queue)
        if (!waiting.IsEvent && waiting.Topic == topic) {
            waiting.Payload = payload;
            Pump();
            return;
        }
    if (m_queuedStatus >= m_options.StatusQueueLimit) {
        const auto oldest = std::find_if(m_queue.begin(), m_queue.end(), [](const Outgoing& o) { return !o.IsEvent; });
        emit notice(QStringLiteral("queue full: dropped the oldest status (%1)").arg(oldest->Topic));
        m_queue.erase(oldest);
        --m_queuedStatus;
        ++m_droppedStatus;
    }
    m_queue.push_back(Outgoing { topic, payload, false, true });
    ++m_queuedStatus;
    Pump();
}

void MqttPublisher::QueueEvent(const QByteArray& payload)
{
    if (static_cast<int>(m_queue.size()) - m_queuedStatus >= m_options.EventQueueLimit) {
        const auto oldest = std::find_if(m_queue.begin(), m_queue.end(), [](const Outgoing& o) { return o.IsEvent; });
        emit notice(QStringLiteral("event queue at its bound of %1: dropped the oldest event").arg(m_options.EventQueueLimit));
        m_queue.erase(oldest);
    }
    m_queue.push_back(Outgoing { EventTopic(), payload, true, false });
    Pump();
}

void MqttPublisher::Pump()
{
    while (m_connected && !m_queue.empty() && m_inFlight.size() < m_options.InFlightLimit) {
        const Outgoing& next = m_queue.front();
        const QByteArray topic = next.Topic.toUtf8();
        int mid = 0;
        const int rc = mosquitto_publish(m_client, &mid, topic.constData(), static_cast<int>(next.Payload.size()),
            next.Payload.constData(), next.IsEvent ? 1 : 0, next.Retain);
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST)
            return; // waits for the reconnection
        if (rc == MOSQ_ERR_SUCCESS)
            m_inFlight.insert(mid, next.IsEvent);
        else
            emit notice(QStringLiteral("cannot publish to %1: %2").arg(next.Topic, ErrorText(rc)));
        if (!next.IsEvent)
            --m_queuedStatus;
        m_queue.pop_front();
    }
}
