#pragma once
// Reads the timeline's lanes on a thread of its own, so that the window never waits for the disk:
// the window asks, shows that it is loading, and draws when Loaded arrives. A newer request
// supersedes every older one: an older read stops at its next channel and its answer never
// arrives.
#include "store/TimelineQuery.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

struct TimelineRequest {
    enum Scope { AllChannels, SelectedChannel, NameFilter };

    int64_t FromMs = 0;
    int64_t ToMs = 0;
    bool FromShowStart = false; // from when the last show started, or FromMs if none is recorded
    int Columns = 1;
    Scope Which = AllChannels;
    ChannelKey Selected;
    QString Filter; // NameFilter: a part of the name, any case
    std::map<std::pair<int, int>, QString> Names; // the managed channels' names by (RXID, DevIdx)

    // "4:3 Lead vocal", or "4:3" for a channel without a name.
    QString NameOf(const ChannelKey& channel) const;
    bool Wants(const ChannelKey& channel) const;
};

struct TimelineAnswer {
    uint64_t Id = 0;
    int64_t FromMs = 0;
    int64_t ToMs = 0;
    std::vector<Lane> Lanes;
    QStringList Names;
    QString Error; // the file could not be read; the lanes are empty
};

class TimelineLoader : public QObject
{
    Q_OBJECT

public:
    explicit TimelineLoader(QString path, QObject* parent = nullptr);
    ~TimelineLoader() override; // waits for the channel being read, no longer

    // Returns the request's id; its answer comes through Loaded unless a newer request came first.
    uint64_t Request(TimelineRequest request);
    bool Loading() const { return m_answered != m_requested; }

signals:
    void Loaded(const TimelineAnswer& answer);

private:
    void Run();
    TimelineAnswer Answer(TimelineQuery& query, const TimelineRequest& request, uint64_t id) const;
    void Deliver(TimelineAnswer answer);

    const QString m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<std::pair<uint64_t, TimelineRequest>> m_pending;
    std::atomic<bool> m_stop { false };
    std::atomic<uint64_t> m_latest { 0 };
    uint64_t m_requested = 0; // GUI thread only
    uint64_t m_answered = 0;
    std::thread m_reader;
};
