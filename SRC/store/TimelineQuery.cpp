#include "store/TimelineQuery.h"

#include "data/CsvField.h"

#include <QDateTime>
#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace
{

int connections = 0;

QSqlQuery Prepared(const QString& name, const char* sql)
{
    QSqlQuery query(QSqlDatabase::database(name, false));
    query.setForwardOnly(true);
    query.prepare(QLatin1String(sql));
    return query;
}

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
    QSqlQuery query = Prepared(m_name, "SELECT DISTINCT rxid, devidx FROM status ORDER BY rxid, devidx");
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
    lane.Columns.resize(static_cast<size_t>(columns));
    // The rows come in time order from the table's key; folding them here is several times
    // cheaper than SQLite's GROUP BY over a computed column.
    QSqlQuery query = Prepared(m_name,
        "SELECT t, rf_a, rf_b, audio, battery FROM status"
        " WHERE rxid = :rxid AND devidx = :devidx AND t >= :from AND t < :to");
    query.bindValue(QStringLiteral(":from"), static_cast<qlonglong>(fromMs));
    query.bindValue(QStringLiteral(":to"), static_cast<qlonglong>(toMs));
    query.bindValue(QStringLiteral(":rxid"), channel.Rxid);
    query.bindValue(QStringLiteral(":devidx"), channel.DevIdx);
    if (query.exec()) {
        const int64_t span = toMs - fromMs;
        while (query.next()) {
            const int64_t col = (query.value(0).toLongLong() - fromMs) * columns / span;
            if (col < 0 || col >= columns)
                continue;
            auto level = [&query](int i) { return static_cast<uint8_t>(std::clamp(query.value(i).toInt(), 0, 255)); };
            const uint8_t a = level(1), b = level(2), audio = level(3), battery = level(4);
            LaneColumn& c = lane.Columns[static_cast<size_t>(col)];
            if (!c.Has) {
                c = { true, a, a, b, b, audio, audio, battery };
                continue;
            }
            c.MinA = std::min(c.MinA, a);
            c.MaxA = std::max(c.MaxA, a);
            c.MinB = std::min(c.MinB, b);
            c.MaxB = std::max(c.MaxB, b);
            c.MinAudio = std::min(c.MinAudio, audio);
            c.MaxAudio = std::max(c.MaxAudio, audio);
            c.MinBattery = std::min(c.MinBattery, battery);
        }
    } else {
        m_error = query.lastError().text();
    }
    QSqlQuery events = Prepared(m_name,
        "SELECT t, kind, value FROM events WHERE rxid = :rxid AND devidx = :devidx AND t >= :from AND t < :to ORDER BY "
        "t");
    events.bindValue(QStringLiteral(":from"), static_cast<qlonglong>(fromMs));
    events.bindValue(QStringLiteral(":to"), static_cast<qlonglong>(toMs));
    events.bindValue(QStringLiteral(":rxid"), channel.Rxid);
    events.bindValue(QStringLiteral(":devidx"), channel.DevIdx);
    if (events.exec())
        while (events.next())
            lane.Events.push_back(
                { events.value(0).toLongLong(), events.value(1).toString(), events.value(2).toLongLong() });
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
        query.bindValue(QStringLiteral(":from"), static_cast<qlonglong>(fromMs));
        query.bindValue(QStringLiteral(":to"), static_cast<qlonglong>(toMs));
        query.bindValue(QStringLiteral(":rxid"), channel.Rxid);
        query.bindValue(QStringLiteral(":devidx"), channel.DevIdx);
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
