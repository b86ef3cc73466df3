#include "store/TimelineQuery.h"

#include "data/CsvField.h"

#include <QDateTime>
#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <array>
#include <atomic>
#include <optional>

namespace
{

std::atomic<int> connections { 0 }; // readers live on the GUI thread and on the timeline's loader

QSqlQuery Prepared(const QString& name, const char* sql)
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    query.setForwardOnly(true);
    query.prepare(QLatin1String(sql));
    return query;
}

void BindChannelPeriod(QSqlQuery& query, const ChannelKey& channel, int64_t fromMs, int64_t toMs)
{
    query.bindValue(QStringLiteral(":rxid"), channel.Rxid);
    query.bindValue(QStringLiteral(":devidx"), channel.DevIdx);
    query.bindValue(QStringLiteral(":from"), static_cast<qlonglong>(fromMs));
    query.bindValue(QStringLiteral(":to"), static_cast<qlonglong>(toMs));
}

uint8_t Level(const QSqlQuery& query, int i)
{
    return static_cast<uint8_t>(std::clamp(query.value(i).toInt(), 0, 255));
}

// A status row, or a minute of them: its first and last moment, how many rows, and the lowest
// and highest RF A, RF B, audio and battery.
struct Sample {
    int64_t First = 0, Last = 0, Rows = 1;
    std::array<uint8_t, 4> Min {}, Max {};
};

// Folds samples in time order into the lane's columns, and keeps the intervals between them: the
// silence before a column is a gap when it is longer than GapPolls of the usual interval around
// it (the median of its neighbours'), so that the RF history's 10 replies a second, a cycle
// over many channels and a walk from one to the other all keep their own measure.
class LaneBuilder
{
public:
    LaneBuilder(Lane& lane, int64_t fromMs, int64_t toMs, int columns)
        : m_lane(lane)
        , m_from(fromMs)
        , m_span(toMs - fromMs)
        , m_columns(columns)
        , m_first(static_cast<size_t>(columns))
        , m_last(static_cast<size_t>(columns))
        , m_sample(static_cast<size_t>(columns))
    {
        lane.Columns.resize(static_cast<size_t>(columns));
    }

    void Add(const Sample& s)
    {
        if (s.Last < m_from || s.First >= m_from + m_span)
            return;
        m_silence.push_back(m_silence.empty() ? -1 : s.First - m_previousLast);
        m_spacing.push_back(s.Rows > 1 ? (s.Last - s.First) / (s.Rows - 1) : -1);
        m_previousLast = s.Last;
        // A minute lies over two columns at most; both get it, so a dip is never placed outside it.
        for (size_t col = Column(s.First); col <= Column(s.Last); ++col)
            Fold(col, s);
    }

    // Once the lane's events are in: which columns join their previous one.
    void Join()
    {
        std::vector<int64_t> lost;
        for (const LaneEvent& e : m_lane.Events)
            if (e.Kind == QLatin1String("lost"))
                lost.push_back(e.TimeMs);
        std::optional<size_t> previous;
        for (size_t c = 0; c < m_lane.Columns.size(); ++c) {
            if (!m_lane.Columns[c].Has)
                continue;
            if (previous) {
                const int64_t from = m_last[*previous], to = m_first[c];
                const auto firstLost = std::lower_bound(lost.begin(), lost.end(), from);
                m_lane.Columns[c].JoinsPrevious
                    = (to <= from || to - from <= TimelineQuery::GapPolls * UsualAround(m_sample[c]))
                    && (firstLost == lost.end() || *firstLost > to);
            }
            previous = c;
        }
    }

private:
    size_t Column(int64_t t) const
    {
        return static_cast<size_t>(std::clamp<int64_t>((t - m_from) * m_columns / m_span, 0, m_columns - 1));
    }

    void Fold(size_t col, const Sample& s)
    {
        LaneColumn& c = m_lane.Columns[col];
        if (!c.Has) {
            c = { true, false, s.Min[0], s.Max[0], s.Min[1], s.Max[1], s.Min[2], s.Max[2], s.Min[3] };
            m_first[col] = s.First;
            m_last[col] = s.Last;
            m_sample[col] = m_silence.size() - 1;
            return;
        }
        c.MinA = std::min(c.MinA, s.Min[0]);
        c.MaxA = std::max(c.MaxA, s.Max[0]);
        c.MinB = std::min(c.MinB, s.Min[1]);
        c.MaxB = std::max(c.MaxB, s.Max[1]);
        c.MinAudio = std::min(c.MinAudio, s.Min[2]);
        c.MaxAudio = std::max(c.MaxAudio, s.Max[2]);
        c.MinBattery = std::min(c.MinBattery, s.Min[3]);
        m_first[col] = std::min(m_first[col], s.First);
        m_last[col] = std::max(m_last[col], s.Last);
    }

    // The median of the intervals of the samples around sample i, its own silence left out.
    int64_t UsualAround(size_t i) const
    {
        constexpr size_t Reach = 8;
        std::vector<int64_t> around;
        for (size_t j = i > Reach ? i - Reach : 0; j < std::min(i + Reach + 1, m_silence.size()); ++j) {
            if (j != i && m_silence[j] >= 0)
                around.push_back(m_silence[j]);
            if (m_spacing[j] >= 0)
                around.push_back(m_spacing[j]);
        }
        if (around.empty())
            return 0;
        const auto middle = around.begin() + static_cast<std::ptrdiff_t>(around.size() / 2);
        std::nth_element(around.begin(), middle, around.end());
        return *middle;
    }

    Lane& m_lane;
    const int64_t m_from, m_span;
    const int m_columns;
    std::vector<int64_t> m_first, m_last; // per column: its first and last moment
    std::vector<size_t> m_sample; // per column: the first sample folded into it
    std::vector<int64_t> m_silence, m_spacing; // per sample: the silence before it, its own interval
    int64_t m_previousLast = 0;
};

} // namespace

TimelineQuery::TimelineQuery(const QString& path)
    : m_name(QStringLiteral("timeline-reader-%1").arg(++connections))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    m_open = db.open();
    if (!m_open)
        m_error = db.lastError().text();
}

TimelineQuery::~TimelineQuery()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

std::vector<ChannelKey> TimelineQuery::Channels() const
{
    std::vector<ChannelKey> channels;
    // Every row is in some minute: the summary has the channels at a fraction of the rows.
    QSqlQuery query = Prepared(m_name, "SELECT DISTINCT rxid, devidx FROM status_minute ORDER BY rxid, devidx");
    if (query.exec())
        while (query.next())
            channels.push_back({ query.value(0).toInt(), query.value(1).toInt() });
    return channels;
}

int64_t TimelineQuery::ShowStart() const
{
    QSqlQuery query = Prepared(m_name, "SELECT max(t) FROM events WHERE kind = 'show_start'");
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}

Lane TimelineQuery::Read(const ChannelKey& channel, int64_t fromMs, int64_t toMs, int columns) const
{
    Lane lane;
    lane.Channel = channel;
    if (columns <= 0 || toMs <= fromMs)
        return lane;
    LaneBuilder builder(lane, fromMs, toMs, columns);
    // The rows come in time order from the table's key; folding them here is several times
    // cheaper than SQLite's GROUP BY over a computed column.
    const bool byMinute = (toMs - fromMs) / columns >= MinuteMs;
    QSqlQuery query = Prepared(m_name,
        byMinute ? "SELECT first_t, last_t, rows, rf_a_min, rf_a_max, rf_b_min, rf_b_max, audio_min, audio_max,"
                   " battery_min, battery_max FROM status_minute"
                   " WHERE rxid = :rxid AND devidx = :devidx AND t > :from - 60000 AND t < :to"
                 : "SELECT t, rf_a, rf_b, audio, battery FROM status"
                   " WHERE rxid = :rxid AND devidx = :devidx AND t >= :from AND t < :to");
    BindChannelPeriod(query, channel, fromMs, toMs);
    if (!query.exec())
        m_error = query.lastError().text();
    else if (byMinute)
        while (query.next())
            builder.Add({ query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong(),
                { Level(query, 3), Level(query, 5), Level(query, 7), Level(query, 9) },
                { Level(query, 4), Level(query, 6), Level(query, 8), Level(query, 10) } });
    else
        while (query.next()) {
            const int64_t t = query.value(0).toLongLong();
            const std::array<uint8_t, 4> levels { Level(query, 1), Level(query, 2), Level(query, 3), Level(query, 4) };
            builder.Add({ t, t, 1, levels, levels });
        }
    QSqlQuery events = Prepared(m_name,
        "SELECT t, kind, value FROM events WHERE rxid = :rxid AND devidx = :devidx AND t >= :from AND t < :to"
        " ORDER BY t");
    BindChannelPeriod(events, channel, fromMs, toMs);
    if (events.exec())
        while (events.next())
            lane.Events.push_back(
                { events.value(0).toLongLong(), events.value(1).toString(), events.value(2).toLongLong() });
    builder.Join();
    return lane;
}

bool TimelineQuery::ExportCsv(const std::vector<ChannelKey>& channels, int64_t fromMs, int64_t toMs, QIODevice& out)
{
    auto write = [&out, this](const QString& line) {
        const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
        if (out.write(bytes) == bytes.size())
            return true;
        m_error = out.errorString();
        return false;
    };
    if (!write(QStringLiteral("time,rxid,devidx,rf_a,rf_b,audio,battery,antenna,squelch,channel,event,value,text")))
        return false;
    for (const ChannelKey& channel : channels) {
        QSqlQuery query = Prepared(m_name,
            "SELECT t, rf_a, rf_b, audio, battery, antenna, squelch, channel, NULL, NULL, NULL FROM status"
            " WHERE rxid = :rxid AND devidx = :devidx AND t >= :from AND t < :to"
            " UNION ALL SELECT t, NULL, NULL, NULL, NULL, NULL, NULL, NULL, kind, value, text FROM events"
            " WHERE rxid = :rxid AND devidx = :devidx AND t >= :from AND t < :to ORDER BY 1");
        BindChannelPeriod(query, channel, fromMs, toMs);
        if (!query.exec()) {
            m_error = query.lastError().text();
            return false;
        }
        while (query.next()) {
            QStringList fields { QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong())
                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                QString::number(channel.Rxid), QString::number(channel.DevIdx) };
            for (int i = 1; i <= 10; ++i)
                fields << CsvField(query.value(i).isNull() ? QString() : query.value(i).toString());
            if (!write(fields.join(QLatin1Char(','))))
                return false;
        }
    }
    return true;
}
