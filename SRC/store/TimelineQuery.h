#pragma once
// Reading Timeline.sqlite for the timeline window and its CSV export: per channel, the RF A/B,
// audio and battery of a period as minimum and maximum per pixel column (so a single short dip
// stays visible at any zoom), and the events of the period. Where a column spans a minute or more
// the minutes' summary is read instead of the rows, which keeps a day's view cheap. Its own read
// connection, used by the thread that made it: WAL lets it read while the writer writes.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QIODevice;

struct ChannelKey {
    int Rxid = 0;
    int DevIdx = 0;
    bool operator==(const ChannelKey&) const = default;
};

struct LaneColumn {
    bool Has = false;
    // Drawn joined to the lane's previous column with data: no lost event and no silence longer
    // than GapPolls of the channel's usual reply interval there lies between them.
    bool JoinsPrevious = false;
    uint8_t MinA = 0, MaxA = 0, MinB = 0, MaxB = 0, MinAudio = 0, MaxAudio = 0, MinBattery = 0;
};

struct LaneEvent {
    int64_t TimeMs = 0;
    QString Kind;
    int64_t Value = 0;
};

struct Lane {
    ChannelKey Channel;
    std::vector<LaneColumn> Columns;
    std::vector<LaneEvent> Events;
};

class TimelineQuery
{
public:
    static constexpr int64_t MinuteMs = 60000;
    // Silence of more than this many usual reply intervals is a gap: three missed polls make a
    // channel lost, so four intervals is the longest a live channel goes without a reply.
    static constexpr int GapPolls = 4;

    explicit TimelineQuery(const QString& path);
    ~TimelineQuery();
    bool IsOpen() const { return m_open; }
    QString ErrorString() const { return m_error; }

    // The channels that have rows, ascending.
    std::vector<ChannelKey> Channels() const;
    // When the last show started (the newest show_start event), or 0.
    int64_t ShowStart() const;
    // [fromMs, toMs) cut into `columns` equal columns; from the minutes' summary where a column
    // spans a minute or more.
    Lane Read(const ChannelKey& channel, int64_t fromMs, int64_t toMs, int columns) const;
    // Every status row and event of these channels in [fromMs, toMs), as RFC 4180 CSV with a
    // header line; false with ErrorString() when the device refuses the text.
    bool ExportCsv(const std::vector<ChannelKey>& channels, int64_t fromMs, int64_t toMs, QIODevice& out);

private:
    QString m_name;
    bool m_open = false;
    mutable QString m_error;
};
