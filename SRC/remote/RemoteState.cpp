#include "remote/RemoteState.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace
{

QJsonValue Optional(const std::optional<int>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue AntennaName(const std::optional<int>& code)
{
    if (!code)
        return QJsonValue::Null;
    if (*code == 1)
        return QStringLiteral("A");
    if (*code == 2)
        return QStringLiteral("B");
    return QString();
}

QString UtcText(const QDateTime& when)
{
    return when.isValid() ? when.toUTC().toString(Qt::ISODateWithMs) : QString();
}

} // namespace

bool RemoteChannel::SameShown(const RemoteChannel& o) const
{
    return Name == o.Name && Band == o.Band && Channel == o.Channel && Frequency == o.Frequency && RfA == o.RfA
        && RfB == o.RfB && Audio == o.Audio && Battery == o.Battery && Antenna == o.Antenna && Lost == o.Lost
        && LowBattery == o.LowBattery && RfLoss == o.RfLoss;
}

QJsonObject RemoteChannel::ToJson() const
{
    return QJsonObject {
        { QStringLiteral("id"), Id() },
        { QStringLiteral("rxid"), Rxid },
        { QStringLiteral("devIdx"), DevIdx },
        { QStringLiteral("name"), Name },
        { QStringLiteral("band"), Band },
        { QStringLiteral("channel"), Optional(Channel) },
        // Three decimals as the desktop shows them, as a number.
        { QStringLiteral("frequency"),
            Frequency ? QJsonValue(std::round(*Frequency * 1000.0) / 1000.0) : QJsonValue(QJsonValue::Null) },
        { QStringLiteral("rfA"), Optional(RfA) },
        { QStringLiteral("rfB"), Optional(RfB) },
        { QStringLiteral("audio"), Optional(Audio) },
        { QStringLiteral("battery"), Optional(Battery) },
        { QStringLiteral("antenna"), AntennaName(Antenna) },
        { QStringLiteral("lost"), Lost },
        { QStringLiteral("lowBattery"), LowBattery },
        { QStringLiteral("rfLoss"), RfLoss },
        { QStringLiteral("updated"), UtcText(Updated) },
    };
}

QJsonObject RemoteEvent::ToJson() const
{
    return QJsonObject {
        { QStringLiteral("seq"), Seq },
        { QStringLiteral("time"), UtcText(Time) },
        { QStringLiteral("text"), Text },
    };
}

RemoteState::RemoteState(QObject* parent) : QObject(parent) { }

void RemoteState::Show(const RemoteChannel& channel)
{
    const quint32 key = Key(channel.Rxid, channel.DevIdx);
    auto it = m_channels.find(key);
    if (it == m_channels.end()) {
        m_order.push_back(key);
        it = m_channels.emplace(key, channel).first;
    } else if (it->second.SameShown(channel)) {
        return;
    } else {
        it->second = channel;
    }
    it->second.Updated = QDateTime::currentDateTimeUtc();
    emit channelChanged(it->second);
}

void RemoteState::SetManaged(const std::vector<Managed>& managed)
{
    std::vector<quint32> order;
    std::unordered_set<quint32> listed;
    order.reserve(managed.size());
    for (const Managed& m : managed) {
        const quint32 key = Key(m.Rxid, m.DevIdx);
        if (!listed.insert(key).second)
            continue;
        order.push_back(key);
        auto it = m_channels.find(key);
        if (it == m_channels.end()) {
            RemoteChannel fresh;
            fresh.Rxid = m.Rxid;
            fresh.DevIdx = m.DevIdx;
            fresh.Name = m.Name;
            fresh.Band = m.Band;
            fresh.Updated = QDateTime::currentDateTimeUtc();
            emit channelChanged(m_channels.emplace(key, fresh).first->second);
        } else if (it->second.Name != m.Name || it->second.Band != m.Band) {
            it->second.Name = m.Name;
            it->second.Band = m.Band;
            it->second.Updated = QDateTime::currentDateTimeUtc();
            emit channelChanged(it->second);
        }
    }
    for (auto it = m_channels.begin(); it != m_channels.end();) {
        if (listed.count(it->first)) {
            ++it;
            continue;
        }
        const QString id = it->second.Id();
        it = m_channels.erase(it);
        emit channelRemoved(id);
    }
    m_order = std::move(order);
}

void RemoteState::AddEvent(const QString& text)
{
    if (m_events.size() >= EventLimit)
        m_events.pop_front();
    m_events.push_back(RemoteEvent { m_nextSeq++, QDateTime::currentDateTimeUtc(), text });
    emit eventAdded(m_events.back());
}

const RemoteChannel* RemoteState::Find(int rxid, int devIdx) const
{
    const auto it = m_channels.find(Key(rxid, devIdx));
    return it == m_channels.end() ? nullptr : &it->second;
}

std::vector<const RemoteChannel*> RemoteState::Channels() const
{
    std::vector<const RemoteChannel*> channels;
    channels.reserve(m_order.size());
    for (quint32 key : m_order)
        channels.push_back(&m_channels.at(key));
    return channels;
}

QJsonArray RemoteState::ChannelsJson() const
{
    QJsonArray array;
    for (const RemoteChannel* channel : Channels())
        array.append(channel->ToJson());
    return array;
}

QJsonArray RemoteState::EventsJson(qint64 since) const
{
    QJsonArray array;
    for (const RemoteEvent& event : m_events)
        if (event.Seq > since)
            array.append(event.ToJson());
    return array;
}

void RemoteState::SetLanguage(const QString& language)
{
    if (language == m_language)
        return;
    m_language = language;
    emit languageChanged(language);
}
