// The recorder on a real SQLite file: batches committed within the second, a writer killed with
// SIGKILL leaves a database that opens cleanly with all but the last second, pruning by age and
// by size, and a database that cannot be written said once.
#include "store/TimelineLoader.h"
#include "store/TimelineStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace
{

StatusRow Row(int64_t t, int rxid, int devIdx, int rf)
{
    StatusRow row;
    row.TimeMs = t;
    row.Rxid = rxid;
    row.DevIdx = devIdx;
    row.RfA = rf;
    row.RfB = rf;
    return row;
}

// A reader of its own, as the sqlite3 tool or the timeline window would be.
struct Reader {
    explicit Reader(const QString& path)
        : name(QStringLiteral("reader-%1").arg(++count))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Reader()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    qint64 Value(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name));
        return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
    }
    QString Text(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name));
        return q.exec(sql) && q.next() ? q.value(0).toString() : QString();
    }
    QString name;
    static inline int count = 0;
};

// The child of the SIGKILL test: records 2000 rows a second until it is killed.
int WriteUntilKilled(const QString& path)
{
    TimelineStore store(path);
    for (int i = 0;; ++i) {
        store.Record(Row(QDateTime::currentMSecsSinceEpoch(), 1 + i % 64, 1, i % 100));
        if (i % 20 == 19)
            QThread::msleep(10);
    }
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    // Rows handed over in a burst land in one file, with the schema version; a single row is
    // committed within the second without anyone asking, and the GUI-side Record never waits.
    void batchesAreCommittedWithinTheSecond()
    {
        QTemporaryDir dir;
        const QString path = TimelineStore::PathIn(dir.path() + QLatin1Char('/'));
        TimelineStore store(path);
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        QElapsedTimer handOver;
        handOver.start();
        for (int i = 0; i < 50000; ++i)
            store.Record(Row(now + i, 1 + i % 1024, 1, 50));
        QVERIFY2(handOver.elapsed() < 500, "Record() must be a push, not a write");
        store.Record(EventRow { now, 3, 2, TimelineEvent::RfLossStart, 0, QStringLiteral("RF loss [3:2]") });
        store.Flush();
        Reader reader(path);
        QCOMPARE(reader.Value(QStringLiteral("SELECT count(*) FROM status")), 50000);
        QCOMPARE(reader.Text(QStringLiteral("SELECT text FROM events WHERE kind = 'rf_loss_start'")),
            QStringLiteral("RF loss [3:2]"));
        QCOMPARE(reader.Value(QStringLiteral("PRAGMA user_version")), TimelineStore::SchemaVersion);
        QCOMPARE(reader.Text(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));

        QElapsedTimer bound;
        bound.start();
        store.Record(Row(now + 60000, 2000, 1, 1)); // an RXID the burst did not use
        QTRY_VERIFY_WITH_TIMEOUT(
            reader.Value(QStringLiteral("SELECT count(*) FROM status WHERE rxid = 2000")) == 1, 3000);
        QVERIFY2(bound.elapsed() <= 1200, qPrintable(QString::number(bound.elapsed())));
        QCOMPARE(store.DroppedStatus(), 0u);
    }

    // A writer killed in the middle of its work: the file opens, passes the integrity check and
    // holds everything but the last second or so.
    void killedWriterLeavesACleanDatabase()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Timeline.sqlite"));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--write-until-killed"), path });
        QVERIFY(child.waitForStarted());
        {
            Reader reader(path);
            QTRY_VERIFY_WITH_TIMEOUT(reader.Value(QStringLiteral("SELECT count(*) FROM status")) > 2000, 10000);
        }
        QTest::qWait(700);
        const int64_t killedAt = QDateTime::currentMSecsSinceEpoch();
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        Reader reader(path);
        QCOMPARE(reader.Text(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        const qint64 newest = reader.Value(QStringLiteral("SELECT max(t) FROM status"));
        QVERIFY2(killedAt - newest < 1500, qPrintable(QString::number(killedAt - newest)));
        TimelineStore reopened(path);
        reopened.Record(Row(killedAt + 1, 99, 1, 1));
        reopened.Flush();
        QCOMPARE(reader.Value(QStringLiteral("SELECT count(*) FROM status WHERE rxid = 99")), 1);
    }

    // Rows older than the retention go; over the size cap the oldest go until it fits, the
    // newest stay.
    void pruningByAgeAndBySize()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Timeline.sqlite"));
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        const int64_t day = 24LL * 3600 * 1000;
        {
            TimelineStore store(path, TimelineLimits { 14, int64_t(1) << 30, 1000 });
            for (int64_t t : { now - 20 * day, now - 15 * day, now - 13 * day, now })
                store.Record(Row(t, 1, 1, 50));
            store.Record(EventRow { now - 20 * day, 1, 1, TimelineEvent::Lost, 0, {} });
            store.PruneNow();
            Reader reader(path);
            QCOMPARE(reader.Value(QStringLiteral("SELECT count(*) FROM status")), 2);
            QCOMPARE(reader.Value(QStringLiteral("SELECT min(t) FROM status")), now - 13 * day);
            QCOMPARE(reader.Value(QStringLiteral("SELECT count(*) FROM events")), 0);
            QCOMPARE(
                reader.Value(QStringLiteral("SELECT min(t) FROM status_minute")), (now - 13 * day) / 60000 * 60000);
        }
        const int64_t cap = 1 << 20;
        TimelineStore store(path, TimelineLimits { 14, cap, 1000 });
        for (int i = 0; i < 100000; ++i)
            store.Record(Row(now - 100000 + i, 1 + i % 64, 1, i % 100));
        store.PruneNow();
        Reader reader(path);
        const qint64 used = (reader.Value(QStringLiteral("PRAGMA page_count"))
                                - reader.Value(QStringLiteral("PRAGMA freelist_count")))
            * reader.Value(QStringLiteral("PRAGMA page_size"));
        QVERIFY2(used <= cap, qPrintable(QString::number(used)));
        QCOMPARE(
            reader.Value(QStringLiteral("SELECT max(t) FROM status")), now); // the newest row, from before the burst
        QVERIFY(reader.Value(QStringLiteral("SELECT count(*) FROM status")) > 1000);
        QCOMPARE(reader.Value(QStringLiteral("SELECT count(*) FROM status_minute WHERE last_t < "
                                             "(SELECT min(t) FROM status)")),
            0);
    }

    // A file of the first version, with its rows: on open the minutes are built from them and
    // the version says 2; rows recorded afterwards fold into the same minutes.
    void versionOneFileGetsItsMinutes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Timeline.sqlite"));
        const int64_t minute = QDateTime::currentMSecsSinceEpoch() / 60000 * 60000 - 3 * 60000;
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
            { path,
                QStringLiteral(
                    "CREATE TABLE status (t INTEGER NOT NULL, rxid INTEGER NOT NULL, devidx INTEGER NOT NULL,"
                    " rf_a INTEGER, rf_b INTEGER, audio INTEGER, battery INTEGER, antenna INTEGER,"
                    " squelch INTEGER, channel INTEGER, source INTEGER NOT NULL,"
                    " PRIMARY KEY (rxid, devidx, t, source)) WITHOUT ROWID;"
                    "CREATE TABLE events (t INTEGER NOT NULL, rxid INTEGER NOT NULL, devidx INTEGER NOT NULL,"
                    " kind TEXT NOT NULL, value INTEGER, text TEXT);"
                    "INSERT INTO status VALUES (%1, 4, 3, 70, 60, 20, 3, 1, 40, 7, 0),"
                    " (%2, 4, 3, 12, 65, 30, 2, 1, 40, 7, 0), (%3, 4, 3, 80, 50, 10, 3, 1, 40, 7, 0);"
                    "PRAGMA user_version = 1;")
                    .arg(minute + 1000)
                    .arg(minute + 59000)
                    .arg(minute + 61000) });
        QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0);

        TimelineStore store(path);
        store.Record(Row(minute + 30000, 4, 3, 90));
        store.Flush();
        Reader reader(path);
        QCOMPARE(reader.Value(QStringLiteral("PRAGMA user_version")), 2);
        QCOMPARE(reader.Text(
                     QStringLiteral("SELECT group_concat((t - %1) || ':' || (first_t - t) || '-' || (last_t - t) || ' '"
                                    " || rows || ' a' || rf_a_min || '-' || rf_a_max || ' b' || rf_b_min || '-'"
                                    " || rf_b_max || ' bat' || battery_min || '-' || battery_max, ', ')"
                                    " FROM status_minute")
                         .arg(minute)),
            QStringLiteral("0:1000-59000 3 a12-90 b60-90 bat0-3, 60000:1000-1000 1 a80-80 b50-50 bat3-3"));
    }

    // The README's queries, by the sqlite3 tool, while the writer has the file open.
    void sqlite3ToolAnswersTheDocumentedQueries()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Timeline.sqlite"));
        TimelineStore store(path);
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        store.Record(Row(now - 5000, 4, 3, 12));
        store.Record(EventRow { now - 4000, 4, 3, TimelineEvent::RfLossEnd, 1400, {} });
        store.Record(EventRow { now - 3000, 4, 3, TimelineEvent::RfLossEnd, 9100, {} });
        store.Flush();
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
            { path,
                QStringLiteral("SELECT rxid, devidx, value / 1000.0 AS seconds FROM events WHERE kind = 'rf_loss_end' "
                               "AND t > (strftime('%s', 'now') - 86400) * 1000 ORDER BY value DESC;"
                               "SELECT rxid, devidx, count(*) FROM status GROUP BY rxid, devidx;") });
        QVERIFY(sqlite.waitForFinished());
        QCOMPARE(sqlite.readAllStandardOutput(), QByteArray("4|3|9.1\n4|3|1.4\n4|3|1\n"));
        sqlite.start(QStringLiteral("sqlite3"),
            { path,
                QStringLiteral("SELECT rxid, devidx, time(t / 1000, 'unixepoch', 'localtime'), min(rf_a_min, rf_b_min)"
                               " FROM status_minute WHERE t > (strftime('%s', 'now') - 3600) * 1000"
                               " ORDER BY rxid, devidx, t;") });
        QVERIFY(sqlite.waitForFinished());
        const QByteArray minute = sqlite.readAllStandardOutput();
        QVERIFY2(minute.startsWith("4|3|") && minute.endsWith(":00|12\n"), minute.constData());
    }

    // The loader reads on its own thread; of two requests in a row only the newer is answered,
    // with its own period, channels and names.
    void newerRequestSupersedesTheOlder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Timeline.sqlite"));
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        {
            TimelineStore store(path);
            for (int64_t t = now - 7200000; t < now; t += 1000)
                for (int devIdx : { 1, 2 })
                    store.Record(Row(t, 1, devIdx, 50));
        }
        TimelineLoader loader(path);
        std::vector<TimelineAnswer> answers;
        connect(&loader, &TimelineLoader::Loaded, this, [&answers](const TimelineAnswer& a) { answers.push_back(a); });
        TimelineRequest day;
        day.FromMs = now - 7200000;
        day.ToMs = now;
        day.Columns = 10;
        loader.Request(day);
        TimelineRequest lead = day;
        lead.FromMs = now - 60000;
        lead.Columns = 600;
        lead.Which = TimelineRequest::NameFilter;
        lead.Filter = QStringLiteral(" LEAD ");
        lead.Names[{ 1, 2 }] = QStringLiteral("Lead vocal");
        const uint64_t id = loader.Request(lead);
        QVERIFY(loader.Loading());
        QTRY_VERIFY(!loader.Loading());
        QCoreApplication::processEvents();
        QCOMPARE(answers.size(), 1u);
        QCOMPARE(answers[0].Id, id);
        QCOMPARE(answers[0].FromMs, lead.FromMs);
        QCOMPARE(answers[0].Names, QStringList { QStringLiteral("1:2 Lead vocal") });
        QCOMPARE(answers[0].Lanes.size(), 1u);
        const std::vector<LaneColumn>& columns = answers[0].Lanes[0].Columns;
        QCOMPARE(std::count_if(columns.begin(), columns.end(), [](const LaneColumn& c) { return c.Has; }), 60);
    }

    // A folder where the file should be: said once however many batches fail, and Record goes on.
    void unwritableDatabaseIsSaidOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Timeline.sqlite"));
        QVERIFY(QDir().mkdir(path));
        TimelineStore store(path);
        QSignalSpy problems(&store, &TimelineStore::Problem);
        for (int i = 0; i < 3; ++i) {
            store.Record(Row(i, 1, 1, 1));
            store.Flush();
        }
        QTRY_COMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).at(0).toString().contains(path), qPrintable(problems.at(0).at(0).toString()));
        QCOMPARE(store.DroppedStatus(), 3u);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write-until-killed")
        return WriteUntilKilled(QString::fromLocal8Bit(argv[2]));
    TestStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "StoreTests.moc"
