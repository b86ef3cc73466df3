#pragma once
// What the remote view shows of each managed channel: the values and alert marks its desktop
// tile shows, and the event log's recent lines. Fed on the GUI thread; the web server and the
// broker client read it and listen to its signals. Field names in the JSON are a stable API.
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <deque>
#include <map>
#include <optional>
#include <vector>

struct RemoteChannel {
    int Rxid = 0;
    int DevIdx = 0;
    QString Name;
    QString Band;
    // Values of the last status reply; empty until the channel has answered.
    std::optional<int> Channel;
    std::optional<double> Frequency; // MHz
    std::optional<int> RfA;          // 0..100
    std::optional<int> RfB;
    std::optional<int> Audio;   // 0..100
    std::optional<int> Battery; // 0 (no reading) .. 3 (full)
    std::optional<int> Antenna; // 1: A, 2: B, anything else: neither
    bool Lost = false;
    bool LowBattery = false;
    bool RfLoss = false;
    QDateTime Updated; // UTC, when any value last changed

    QString Id() const { return QStringLiteral("%1-%2").arg(Rxid).arg(DevIdx); }
    bool SameShown(const RemoteChannel& other) const;
    QJsonObject ToJson() const;
};

struct RemoteEvent {
    qint64 Seq = 0; // 1, 2, ... in the order the lines were added
    QDateTime Time; // UTC
    QString Text;
    QJsonObject ToJson() const;
};

class RemoteState : public QObject
{
    Q_OBJECT
public:
    static constexpr int EventLimit = 1000; // older lines remain only in Events.log

    explicit RemoteState(QObject* parent = nullptr);

    // A channel as its tile shows it now; signals channelChanged only when something changed.
    void Show(const RemoteChannel& channel);
    // The managed channels in list order with their names and bands; channels no longer managed
    // leave (channelRemoved), new ones come without values.
    struct Managed {
        int Rxid;
        int DevIdx;
        QString Name;
        QString Band;
    };
    void SetManaged(const std::vector<Managed>& managed);
    void AddEvent(const QString& text);

    const RemoteChannel* Find(int rxid, int devIdx) const;
    std::vector<const RemoteChannel*> Channels() const; // in the managed list's order
    QJsonArray ChannelsJson() const;
    // Lines with a sequence number above since, oldest first.
    QJsonArray EventsJson(qint64 since) const;
    qint64 LastEventSeq() const { return m_nextSeq - 1; }
    const std::deque<RemoteEvent>& Events() const { return m_events; }

    // "zh" or "en": the desktop's language, which the page follows.
    QString Language() const { return m_language; }
    void SetLanguage(const QString& language);
    QString Station() const { return m_station; }
    void SetStation(const QString& station) { m_station = station; }

signals:
    void channelChanged(const RemoteChannel& channel);
    void channelRemoved(const QString& id);
    void eventAdded(const RemoteEvent& event);
    void languageChanged(const QString& language);

private:
    static quint32 Key(int rxid, int devIdx) { return (static_cast<quint32>(rxid) << 16) | (static_cast<quint32>(devIdx) & 0xFFFF); }

    std::map<quint32, RemoteChannel> m_channels;
    std::vector<quint32> m_order;
    std::deque<RemoteEvent> m_events;
    qint64 m_nextSeq = 1;
    QString m_language = QStringLiteral("zh");
    QString m_station;
};
