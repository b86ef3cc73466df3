#pragma once
// The records the RF windows keep, and what is computed from them without widgets: scan points
// of a band sweep, the highest level per channel across sweeps, the RF history ring, dropouts,
// history pages and the CSV forms of both.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <map>

// Levels on the receiver's own dB scale: a level byte is capped at 100 and shown as it is; the
// chart and the records hold it 10 lower (-10..90).
constexpr int LevelReadout(uint8_t levelByte)
{
    return levelByte > 100 ? 100 : levelByte;
}
constexpr int LevelDb(uint8_t levelByte)
{
    return LevelReadout(levelByte) - 10;
}

// The points of one sweep in arrival order. It holds at most Capacity points: a receiver that
// sends more in one sweep has the later ones ignored, never written past the arrays.
class ScanPoints
{
public:
    static constexpr int Capacity = 1024;

    void Clear() { PointCount = 0; }
    // False when the block is full and the point was ignored.
    bool Add(uint8_t channel, uint8_t levelByte);
    bool IsFull() const { return PointCount >= Capacity; }

    std::array<int32_t, Capacity> Channels {};
    std::array<int32_t, Capacity> Levels {};
    int32_t PointCount = 0;
};

// The frequency of a scanned channel: StartFreq + (channel - StartChannel) x 0.25 MHz.
double ScanPointFrequency(double startFreq, int startChannel, int channel);

// The level per channel of the latest reading (a channel scanned twice keeps its latest level),
// in ascending channel order.
std::map<int, int> LatestLevels(const ScanPoints& points);

// The highest level per channel across the sweeps merged into it.
class MaxHold
{
public:
    void Merge(const ScanPoints& points);
    void Add(int channel, int level);
    void Clear() { m_levels.clear(); }
    const std::map<int, int>& Levels() const { return m_levels; }

private:
    std::map<int, int> m_levels;
};

// One channel's RF record: antenna levels A and B (dB, -10..90) and the squelch level of each
// status reply, in a ring of Slots slots that keeps at most Slots - 1 samples.
class RfHistoryRing
{
public:
    static constexpr int Slots = 36000;
    static constexpr int MaxSamples = Slots - 1;
    static constexpr int PageSize = 600;
    static constexpr double SampleStep = 0.1; // seconds per sample

    void Reset();
    // A status reply's RF A (byte 4), RF B (byte 5) and squelch level (byte 7).
    void Add(uint8_t rfA, uint8_t rfB, uint8_t squelch);

    int SampleCount() const { return m_sampleCount; }
    int WriteIndex() const { return m_writeIndex; }
    int SquelchLevel() const { return m_squelchLevel; }
    int OldestSlot() const { return (m_writeIndex - m_sampleCount + Slots) % Slots; }
    int LastSlot() const { return (m_writeIndex + Slots - 1) % Slots; }
    int LevelA(int slot) const { return m_levelA[static_cast<size_t>(slot)]; }
    int LevelB(int slot) const { return m_levelB[static_cast<size_t>(slot)]; }
    int Squelch(int slot) const { return m_squelch[static_cast<size_t>(slot)]; }
    // The slot of the i-th kept sample, counting the oldest as 0.
    int SlotOf(int i) const { return (OldestSlot() + i) % Slots; }

    // A sample whose stronger antenna lies below its squelch level: the audio was muted.
    bool IsDropout(int slot) const;
    int DropoutCount() const;

    // Pages of PageSize samples after a recording: 0 when one page holds everything (no page
    // selector), else the number of pages.
    int PageCount() const;
    // The first sample (0 = oldest) of page position (1..PageCount); the last page ends with the
    // newest sample and is always full.
    int PageStart(int position) const;

    // "time_s,rf_a_db,rf_b_db,squelch" then one line per kept sample, oldest first, time in
    // steps of 0.1 s from 0.
    QByteArray Csv() const;

private:
    std::array<int32_t, Slots> m_levelA {};
    std::array<int32_t, Slots> m_levelB {};
    std::array<int32_t, Slots> m_squelch {};
    int32_t m_squelchLevel = 0;
    int32_t m_sampleCount = 0;
    int32_t m_writeIndex = 0;
};

// Writes bytes to path as a whole (temporary file, then rename). False with the reason in
// *error when it could not be written; the previous file then stays as it was.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* error);
