#include "store/TimelineLoader.h"

#include <memory>

QString TimelineRequest::NameOf(const ChannelKey& channel) const
{
    const QString key = QStringLiteral("%1:%2").arg(channel.Rxid).arg(channel.DevIdx);
    const auto name = Names.find({ channel.Rxid, channel.DevIdx });
    return name != Names.end() && !name->second.isEmpty() ? key + QLatin1Char(' ') + name->second : key;
}

bool TimelineRequest::Wants(const ChannelKey& channel) const
{
    switch (Which) {
    case SelectedChannel:
        return channel == Selected;
    case NameFilter:
        return NameOf(channel).contains(Filter.trimmed(), Qt::CaseInsensitive);
    default:
        return true;
    }
}

TimelineLoader::TimelineLoader(QString path, QObject* parent)
    : QObject(parent)
    , m_path(std::move(path))
{
    m_reader = std::thread([this] { Run(); });
}

TimelineLoader::~TimelineLoader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_reader.join();
}

uint64_t TimelineLoader::Request(TimelineRequest request)
{
    const uint64_t id = ++m_requested;
    {
        std::lock_guard lock(m_mutex);
        m_latest = id;
        m_pending.emplace(id, std::move(request));
    }
    m_wake.notify_one();
    return id;
}

void TimelineLoader::Run()
{
    std::unique_ptr<TimelineQuery> query; // made, used and closed on this thread
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (m_stop)
            break;
        auto [id, request] = std::move(*m_pending);
        m_pending.reset();
        lock.unlock();
        if (!query || !query->IsOpen()) // the file may not have existed at the last request
            query = std::make_unique<TimelineQuery>(m_path);
        TimelineAnswer answer = Answer(*query, request, id);
        if (m_latest == id)
            Deliver(std::move(answer));
        lock.lock();
    }
}

TimelineAnswer TimelineLoader::Answer(TimelineQuery& query, const TimelineRequest& request, uint64_t id) const
{
    TimelineAnswer answer { id, request.FromMs, request.ToMs, {}, {}, {} };
    if (!query.IsOpen()) {
        answer.Error = query.ErrorString();
        return answer;
    }
    if (request.FromShowStart)
        if (const int64_t start = query.ShowStart(); start > 0)
            answer.FromMs = start;
    for (const ChannelKey& channel : query.Channels()) {
        if (m_latest != id || m_stop)
            break; // superseded: nobody will look at the rest
        if (!request.Wants(channel))
            continue;
        answer.Lanes.push_back(query.Read(channel, answer.FromMs, answer.ToMs, request.Columns));
        answer.Names << request.NameOf(channel);
    }
    return answer;
}

// Posted to the loader's own thread; an answer a newer request overtook on the way is dropped.
void TimelineLoader::Deliver(TimelineAnswer answer)
{
    auto shared = std::make_shared<TimelineAnswer>(std::move(answer));
    QMetaObject::invokeMethod(
        this,
        [this, shared] {
            if (shared->Id != m_requested)
                return;
            m_answered = shared->Id;
            emit Loaded(*shared);
        },
        Qt::QueuedConnection);
}
