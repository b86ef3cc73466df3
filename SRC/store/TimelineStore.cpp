#include "store/TimelineStore.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <tuple>

namespace
{

constexpr size_t BatchRows = 20000; // a batch this large is written at once, not at the tick
constexpr auto PruneEvery = std::chrono::hours(1);
constexpr auto ReopenEvery = std::chrono::seconds(10);
constexpr int SizeCutSteps = 20;
constexpr int64_t DayMs = 24LL * 3600 * 1000;
constexpr int64_t MinuteMs = 60000;

const char* const Schema[] = {
    // Kept in channel and time order: a lane of the timeline is one range of the table.
    "CREATE TABLE IF NOT EXISTS status (t INTEGER NOT NULL, rxid INTEGER NOT NULL, devidx INTEGER NOT NULL,"
    " rf_a INTEGER, rf_b INTEGER, audio INTEGER, battery INTEGER, antenna INTEGER, squelch INTEGER,"
    " channel INTEGER, source INTEGER NOT NULL, PRIMARY KEY (rxid, devidx, t, source)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS events (t INTEGER NOT NULL, rxid INTEGER NOT NULL, devidx INTEGER NOT NULL,"
    " kind TEXT NOT NULL, value INTEGER, text TEXT)",
    "CREATE INDEX IF NOT EXISTS events_by_time ON events (t)",
    // Each channel's minute in one row, so that a day's view reads 1440 rows a lane, not 100 000.
    "CREATE TABLE IF NOT EXISTS status_minute (t INTEGER NOT NULL, rxid INTEGER NOT NULL, devidx INTEGER NOT NULL,"
    " first_t INTEGER NOT NULL, last_t INTEGER NOT NULL, rows INTEGER NOT NULL, rf_a_min INTEGER, rf_a_max INTEGER,"
    " rf_b_min INTEGER, rf_b_max INTEGER, audio_min INTEGER, audio_max INTEGER, battery_min INTEGER,"
    " battery_max INTEGER, PRIMARY KEY (rxid, devidx, t)) WITHOUT ROWID",
};

// A version 1 file has its rows but no minutes: they are built from the rows once, in the
// writer's first transaction (on a full 1 GB file this takes a while; the rows wait meanwhile).
const char* const MinutesFromRows
    = "INSERT OR REPLACE INTO status_minute SELECT t / 60000 * 60000, rxid, devidx, min(t), max(t), count(*),"
      " min(rf_a), max(rf_a), min(rf_b), max(rf_b), min(audio), max(audio), min(battery), max(battery)"
      " FROM status GROUP BY rxid, devidx, t / 60000";

const char* const UpsertMinute
    = "INSERT INTO status_minute VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT (rxid, devidx, t) DO UPDATE SET"
      " first_t = min(first_t, excluded.first_t), last_t = max(last_t, excluded.last_t), rows = rows + excluded.rows,"
      " rf_a_min = min(rf_a_min, excluded.rf_a_min), rf_a_max = max(rf_a_max, excluded.rf_a_max),"
      " rf_b_min = min(rf_b_min, excluded.rf_b_min), rf_b_max = max(rf_b_max, excluded.rf_b_max),"
      " audio_min = min(audio_min, excluded.audio_min), audio_max = max(audio_max, excluded.audio_max),"
      " battery_min = min(battery_min, excluded.battery_min), battery_max = max(battery_max, excluded.battery_max)";

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

// The writer thread's own connection; Qt's connections belong to the thread that made them.
class WriterDatabase
{
public:
    explicit WriterDatabase(const QString& name)
        : m_name(name)
    {
    }
    ~WriterDatabase()
    {
        Close();
        if (QSqlDatabase::contains(m_name)) {
            QSqlDatabase::database(m_name, false).close();
            QSqlDatabase::removeDatabase(m_name);
        }
    }
    QSqlDatabase Db() const { return QSqlDatabase::database(m_name, false); }
    bool IsOpen() const { return m_insertStatus != nullptr; }
    void Close()
    {
        m_insertStatus.reset();
        m_insertEvent.reset();
        m_upsertMinute.reset();
    }
    QString m_name;
    std::unique_ptr<QSqlQuery> m_insertStatus;
    std::unique_ptr<QSqlQuery> m_insertEvent;
    std::unique_ptr<QSqlQuery> m_upsertMinute;
    QString Error;

    bool Exec(const QString& sql)
    {
        QSqlQuery query(Db());
        if (query.exec(sql))
            return true;
        Error = query.lastError().text();
        return false;
    }
    int64_t Value(const QString& sql)
    {
        QSqlQuery query(Db());
        return query.exec(sql) && query.next() ? query.value(0).toLongLong() : 0;
    }
};

QString TimelineStore::PathIn(const QString& settingsFolder)
{
    return settingsFolder + QStringLiteral("Timeline.sqlite");
}

TimelineStore::TimelineStore(QString path, TimelineLimits limits, QObject* parent)
    : QObject(parent)
    , m_path(std::move(path))
    , m_limits(limits)
{
    m_writer = std::thread([this] { Run(); });
}

TimelineStore::~TimelineStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

void TimelineStore::Record(const StatusRow& row)
{
    std::lock_guard lock(m_mutex);
    if (m_status.size() >= MaxPendingStatus) {
        ++m_droppedStatus;
        return;
    }
    m_status.push_back(row);
    if (m_status.size() == BatchRows)
        m_wake.notify_one();
}

void TimelineStore::Record(const EventRow& row)
{
    std::lock_guard lock(m_mutex);
    if (m_events.size() >= MaxPendingEvents) {
        ++m_droppedEvents;
        return;
    }
    m_events.push_back(row);
}

void TimelineStore::Flush()
{
    std::unique_lock lock(m_mutex);
    const uint64_t ticket = ++m_requested;
    m_wake.notify_all();
    m_done.wait(lock, [&] { return m_served >= ticket; });
}

void TimelineStore::PruneNow()
{
    {
        std::lock_guard lock(m_mutex);
        m_pruneRequested = true;
    }
    Flush();
}

bool TimelineStore::Open(WriterDatabase& db)
{
    QSqlDatabase sql = QSqlDatabase::contains(db.m_name)
        ? QSqlDatabase::database(db.m_name, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), db.m_name);
    sql.setDatabaseName(m_path);
    if (!sql.open()) {
        db.Error = sql.lastError().text();
        return false;
    }
    const int64_t version = db.Value(QStringLiteral("PRAGMA user_version"));
    if (version > SchemaVersion) {
        db.Error = QStringLiteral("schema version %1 is newer than this program's %2").arg(version).arg(SchemaVersion);
        sql.close();
        return false;
    }
    // auto_vacuum takes effect only on a new file, before the first table.
    bool ok = db.Exec(QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL"))
        && db.Value(QStringLiteral("PRAGMA journal_mode = WAL")) >= 0
        && db.Exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    ok = ok && sql.transaction();
    for (const char* statement : Schema)
        ok = ok && db.Exec(QLatin1String(statement));
    if (ok && version == 1)
        ok = db.Exec(QLatin1String(MinutesFromRows));
    ok = ok && db.Exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)) && sql.commit();
    if (ok) {
        db.m_insertStatus = std::make_unique<QSqlQuery>(sql);
        db.m_insertEvent = std::make_unique<QSqlQuery>(sql);
        db.m_upsertMinute = std::make_unique<QSqlQuery>(sql);
        ok = db.m_insertStatus->prepare(QStringLiteral("INSERT OR REPLACE INTO status VALUES (?,?,?,?,?,?,?,?,?,?,?)"))
            && db.m_insertEvent->prepare(QStringLiteral("INSERT INTO events VALUES (?,?,?,?,?,?)"))
            && db.m_upsertMinute->prepare(QLatin1String(UpsertMinute));
        if (!ok)
            db.Error = db.m_insertStatus->lastError().text() + db.m_insertEvent->lastError().text()
                + db.m_upsertMinute->lastError().text();
    } else {
        sql.rollback();
    }
    if (!ok) {
        db.Close();
        sql.close();
    }
    return ok;
}

namespace
{

// The batch's rows folded per channel and minute; a minute that spans two batches is merged by
// the upsert.
struct MinuteRow {
    int64_t First = 0, Last = 0;
    int Rows = 0;
    std::array<int, 4> Min {}, Max {}; // RF A, RF B, audio, battery
};

std::map<std::tuple<int, int, int64_t>, MinuteRow> Minutes(const std::vector<StatusRow>& status)
{
    std::map<std::tuple<int, int, int64_t>, MinuteRow> minutes;
    for (const StatusRow& r : status) {
        const std::array<int, 4> levels { r.RfA, r.RfB, r.Audio, r.Battery };
        MinuteRow& m = minutes[{ r.Rxid, r.DevIdx, r.TimeMs / MinuteMs * MinuteMs }];
        if (m.Rows++ == 0) {
            m = { r.TimeMs, r.TimeMs, 1, levels, levels };
            continue;
        }
        m.First = std::min(m.First, r.TimeMs);
        m.Last = std::max(m.Last, r.TimeMs);
        for (size_t i = 0; i < levels.size(); ++i) {
            m.Min[i] = std::min(m.Min[i], levels[i]);
            m.Max[i] = std::max(m.Max[i], levels[i]);
        }
    }
    return minutes;
}

bool WriteMinutes(WriterDatabase& db, const std::vector<StatusRow>& status)
{
    QSqlQuery& u = *db.m_upsertMinute;
    for (const auto& [key, m] : Minutes(status)) {
        const auto& [rxid, devIdx, start] = key;
        const qlonglong values[] = { start, rxid, devIdx, m.First, m.Last, m.Rows, m.Min[0], m.Max[0], m.Min[1],
            m.Max[1], m.Min[2], m.Max[2], m.Min[3], m.Max[3] };
        for (int i = 0; i < 14; ++i)
            u.bindValue(i, values[i]);
        if (!u.exec()) {
            db.Error = u.lastError().text();
            return false;
        }
    }
    return true;
}

bool WriteBatch(WriterDatabase& db, const std::vector<StatusRow>& status, const std::vector<EventRow>& events)
{
    QSqlDatabase sql = db.Db();
    if (!sql.transaction()) {
        db.Error = sql.lastError().text();
        return false;
    }
    QSqlQuery& s = *db.m_insertStatus;
    for (const StatusRow& r : status) {
        const int values[]
            = { r.Rxid, r.DevIdx, r.RfA, r.RfB, r.Audio, r.Battery, r.Antenna, r.Squelch, r.Channel, r.Source };
        s.bindValue(0, static_cast<qlonglong>(r.TimeMs));
        for (int i = 0; i < 10; ++i)
            s.bindValue(i + 1, values[i]);
        if (!s.exec()) {
            db.Error = s.lastError().text();
            sql.rollback();
            return false;
        }
    }
    if (!WriteMinutes(db, status)) {
        sql.rollback();
        return false;
    }
    QSqlQuery& e = *db.m_insertEvent;
    for (const EventRow& r : events) {
        e.bindValue(0, static_cast<qlonglong>(r.TimeMs));
        e.bindValue(1, r.Rxid);
        e.bindValue(2, r.DevIdx);
        e.bindValue(3, r.Kind);
        e.bindValue(4, static_cast<qlonglong>(r.Value));
        e.bindValue(5, r.Text.isNull() ? QVariant() : QVariant(r.Text));
        if (!e.exec()) {
            db.Error = e.lastError().text();
            sql.rollback();
            return false;
        }
    }
    if (sql.commit())
        return true;
    db.Error = sql.lastError().text();
    sql.rollback();
    return false;
}

// Runs on the writer thread: each statement scans the table, which the GUI never waits for.
void Prune(WriterDatabase& db, const TimelineLimits& limits)
{
    const int64_t cutoff = NowMs() - static_cast<int64_t>(limits.RetentionDays) * DayMs;
    db.Exec(QStringLiteral("DELETE FROM status WHERE t < %1").arg(cutoff));
    db.Exec(QStringLiteral("DELETE FROM events WHERE t < %1").arg(cutoff));
    db.Exec(QStringLiteral("DELETE FROM status_minute WHERE t < %1").arg(cutoff));
    auto usedBytes = [&db] {
        return (db.Value(QStringLiteral("PRAGMA page_count")) - db.Value(QStringLiteral("PRAGMA freelist_count")))
            * db.Value(QStringLiteral("PRAGMA page_size"));
    };
    // Each step cuts the share of the oldest rows by which the file is too large, and a tenth more.
    for (int step = 0; step < SizeCutSteps; ++step) {
        const int64_t used = usedBytes();
        if (used <= limits.MaxBytes)
            break;
        const int64_t permille = std::clamp<int64_t>(1000 - limits.MaxBytes * 900 / used, 50, 1000);
        db.Exec(
            QStringLiteral("DELETE FROM status WHERE t <= (SELECT min(t) + (max(t) - min(t)) * %1 / 1000 FROM status)")
                .arg(permille));
        db.Exec(QStringLiteral("DELETE FROM events WHERE t < (SELECT min(t) FROM status)"));
        db.Exec(QStringLiteral("DELETE FROM status_minute WHERE last_t < (SELECT min(t) FROM status)"));
    }
    db.Exec(QStringLiteral("PRAGMA incremental_vacuum"));
    db.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

} // namespace

void TimelineStore::Run()
{
    using Clock = std::chrono::steady_clock;
    WriterDatabase db(QStringLiteral("timeline-writer-%1").arg(reinterpret_cast<quintptr>(this)));
    bool problemSaid = false;
    auto fail = [&](const QString& what) {
        if (!problemSaid)
            emit Problem(QStringLiteral("%1 %2: %3").arg(what, m_path, db.Error));
        problemSaid = true;
    };
    Clock::time_point lastOpenTry {};
    Clock::time_point nextPrune = Clock::now(); // at start, then hourly
    const auto tick = std::chrono::milliseconds(std::max(m_limits.CommitIntervalMs / 4, 10));

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, tick,
            [&] { return m_stop || m_requested != m_served || m_pruneRequested || m_status.size() >= BatchRows; });
        std::vector<StatusRow> status;
        std::vector<EventRow> events;
        status.swap(m_status);
        events.swap(m_events);
        const uint64_t ticket = m_requested;
        const bool pruneAsked = std::exchange(m_pruneRequested, false);
        const bool stopping = m_stop;
        lock.unlock();

        if (!db.IsOpen() && (Clock::now() - lastOpenTry >= ReopenEvery || ticket != m_served || stopping)) {
            lastOpenTry = Clock::now();
            if (!Open(db))
                fail(QStringLiteral("Cannot open the timeline database"));
        }
        if (db.IsOpen()) {
            if (status.empty() && events.empty())
                ;
            else if (WriteBatch(db, status, events)) {
                m_committed += status.size() + events.size();
                problemSaid = false;
            } else {
                m_droppedStatus += status.size();
                m_droppedEvents += events.size();
                fail(QStringLiteral("Cannot write the timeline database"));
            }
            if (pruneAsked || Clock::now() >= nextPrune) {
                Prune(db, m_limits);
                nextPrune = Clock::now() + PruneEvery;
            }
        } else {
            m_droppedStatus += status.size();
            m_droppedEvents += events.size();
        }

        lock.lock();
        m_served = ticket;
        m_done.notify_all();
        if (stopping && m_status.empty() && m_events.empty())
            break;
    }
}
