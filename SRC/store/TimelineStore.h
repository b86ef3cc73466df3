#pragma once
// Timeline.sqlite: every status reply of every managed channel and every event, kept for days so
// that a show can be looked at afterwards. The GUI thread hands rows to Record(); a writer thread
// takes them in batches and commits at least once a second (WAL, synchronous=NORMAL), so a kill
// loses at most the last second and the file always opens cleanly. Old rows are pruned in the
// background by age and by the file's size.
//
// The hand-off queue is bounded: beyond MaxPendingStatus status rows (a disk far slower than the
// replies) new status rows are dropped and counted; events have a bound of their own, so a flood
// of replies never drops an event. A disk that is full, read-only or missing is reported once
// through Problem(); recording goes on trying with every batch and monitoring never waits.
//
// The schema (user_version 2) is in the README. Beside the rows, the writer keeps each channel's
// minute as one row of minima and maxima (status_minute), which the timeline reads whenever a
// pixel column spans a minute or more; a version 1 file gets its minutes built on open.
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct StatusRow {
    int64_t TimeMs = 0; // milliseconds since 1970-01-01 UTC
    int Rxid = 0;
    int DevIdx = 0;
    int RfA = 0;
    int RfB = 0;
    int Audio = 0;
    int Battery = 0;
    int Antenna = 0;
    int Squelch = 0; // the squelch level on the RF scale
    int Channel = 0;
    int Source = 0; // SourceCycle or SourceRfHistory
};

struct EventRow {
    int64_t TimeMs = 0;
    int Rxid = 0; // 0 for events of no channel
    int DevIdx = 0;
    QString Kind; // see TimelineEvent
    int64_t Value = 0; // a length in ms, a channel, a squelch step...
    QString Text; // the message-list line, when there is one
};

namespace TimelineEvent
{
inline const QString Connect = QStringLiteral("connect");
inline const QString Lost = QStringLiteral("lost");
inline const QString Restored = QStringLiteral("restored");
inline const QString LowBattery = QStringLiteral("low_battery");
inline const QString RfLossStart = QStringLiteral("rf_loss_start");
inline const QString RfLossEnd = QStringLiteral("rf_loss_end"); // Value: the episode's length in ms
inline const QString SetChannel = QStringLiteral("set_channel");
inline const QString SetSquelch = QStringLiteral("set_squelch");
inline const QString ScanStart = QStringLiteral("scan_start");
inline const QString ScanEnd = QStringLiteral("scan_end");
inline const QString Sync = QStringLiteral("sync");
inline const QString ShowStart = QStringLiteral("show_start");
} // namespace TimelineEvent

struct TimelineLimits {
    int RetentionDays = 14;
    int64_t MaxBytes = int64_t(1) << 30;
    int CommitIntervalMs = 1000; // the longest a row waits for its commit
};

class TimelineStore : public QObject
{
    Q_OBJECT

public:
    static constexpr int SchemaVersion = 2;
    static constexpr int SourceCycle = 0;
    static constexpr int SourceRfHistory = 1;
    static constexpr size_t MaxPendingStatus = 500000;
    static constexpr size_t MaxPendingEvents = 50000;

    static QString PathIn(const QString& settingsFolder); // settingsFolder + "Timeline.sqlite"

    explicit TimelineStore(QString path, TimelineLimits limits = {}, QObject* parent = nullptr);
    ~TimelineStore() override; // commits what is pending, then stops the writer

    // Both are cheap: a lock and a push. Thread-safe.
    void Record(const StatusRow& row);
    void Record(const EventRow& row);

    QString Path() const { return m_path; }
    uint64_t DroppedStatus() const { return m_droppedStatus; }
    uint64_t DroppedEvents() const { return m_droppedEvents; }
    uint64_t CommittedRows() const { return m_committed; }
    // Blocks until everything recorded so far is committed (tests, the end of the demo).
    void Flush();
    // Runs a prune now instead of at the writer's next hourly one (tests, the settings).
    void PruneNow();

signals:
    // Posted from the writer thread: a text for the operator, said once until writing works again.
    void Problem(const QString& text);

private:
    void Run();
    bool Open(class WriterDatabase& db);

    const QString m_path;
    const TimelineLimits m_limits;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<StatusRow> m_status;
    std::vector<EventRow> m_events;
    uint64_t m_requested = 0; // flush requests
    uint64_t m_served = 0;
    bool m_pruneRequested = false;
    bool m_stop = false;
    std::atomic<uint64_t> m_droppedStatus { 0 };
    std::atomic<uint64_t> m_droppedEvents { 0 };
    std::atomic<uint64_t> m_committed { 0 };
    std::thread m_writer;
};
