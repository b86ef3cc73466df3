#include "data/RfRecords.h"

#include "data/Device.h"
#include "interchange/ScanFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>

namespace
{

template <typename... Args> void AppendFormatted(QByteArray& out, const char* format, Args... args)
{
    char line[64];
    const int n = std::snprintf(line, sizeof line, format, args...);
    out.append(line, std::clamp(n, 0, static_cast<int>(sizeof line) - 1));
}

} // namespace

bool ScanPoints::Add(uint8_t channel, uint8_t levelByte)
{
    if (IsFull())
        return false;
    Channels[static_cast<size_t>(PointCount)] = channel;
    Levels[static_cast<size_t>(PointCount)] = LevelDb(levelByte);
    ++PointCount;
    return true;
}

double ScanPointFrequency(double startFreq, int startChannel, int channel)
{
    return ChannelFrequency(startFreq, startChannel, channel);
}

std::map<int, int> LatestLevels(const ScanPoints& points)
{
    std::map<int, int> levels;
    for (int i = 0; i < points.PointCount; ++i)
        levels[points.Channels[static_cast<size_t>(i)]] = points.Levels[static_cast<size_t>(i)];
    return levels;
}

void MaxHold::Merge(const ScanPoints& points)
{
    for (int i = 0; i < points.PointCount; ++i)
        Add(points.Channels[static_cast<size_t>(i)], points.Levels[static_cast<size_t>(i)]);
}

void MaxHold::Add(int channel, int level)
{
    auto [at, inserted] = m_levels.try_emplace(channel, level);
    if (!inserted)
        at->second = std::max(at->second, level);
}

void RfHistoryRing::Reset()
{
    m_sampleCount = 0;
    m_writeIndex = 0;
}

void RfHistoryRing::Add(uint8_t rfA, uint8_t rfB, uint8_t squelch)
{
    const auto slot = static_cast<size_t>(m_writeIndex);
    m_levelA[slot] = LevelDb(rfA);
    m_levelB[slot] = LevelDb(rfB);
    m_squelchLevel = squelch;
    m_squelch[slot] = squelch;
    m_writeIndex = (m_writeIndex + 1) % Slots;
    if (m_sampleCount < MaxSamples)
        ++m_sampleCount;
}

bool RfHistoryRing::IsDropout(int slot) const
{
    return std::max(LevelA(slot), LevelB(slot)) < Squelch(slot);
}

int RfHistoryRing::DropoutCount() const
{
    int count = 0;
    for (int i = 0; i < m_sampleCount; ++i)
        count += IsDropout(SlotOf(i)) ? 1 : 0;
    return count;
}

int RfHistoryRing::PageCount() const
{
    return m_sampleCount <= PageSize ? 0 : (m_sampleCount + PageSize - 1) / PageSize;
}

int RfHistoryRing::PageStart(int position) const
{
    if (m_sampleCount <= PageSize)
        return 0;
    const int start = (std::max(position, 1) - 1) * PageSize;
    return m_sampleCount - start < PageSize ? m_sampleCount - PageSize : start;
}

QByteArray RfHistoryRing::Csv() const
{
    QByteArray csv("time_s,rf_a_db,rf_b_db,squelch\n");
    csv.reserve(csv.size() + m_sampleCount * 20);
    for (int i = 0; i < m_sampleCount; ++i) {
        const int slot = SlotOf(i);
        AppendFormatted(csv, "%.1f,%d,%d,%d\n", i * SampleStep, LevelA(slot), LevelB(slot), Squelch(slot));
    }
    return csv;
}

namespace
{

// A device, pipe or socket is written where it is: replacing it by a renamed temporary file
// would not reach it (and, run as root, would put a regular file in its place). Every step is
// checked, the last ones too: a full device fails on flush or close, not on write.
bool WriteInPlace(const QString& path, const QByteArray& bytes, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return WriteInPlace(path, bytes, error);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
