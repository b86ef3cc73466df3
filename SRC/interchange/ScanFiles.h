#pragma once
// Scans in the file forms frequency coordinators exchange: written from our receivers' sweeps in
// dBm (or on the receiver's own scale), read from other scanners' files, and laid onto a band's
// 250 kHz channel grid so that they join the idle rule.
#include "data/IdleChannels.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace interchange
{

// The receiver's level scale (-10..90) is not dBm: dBm = level + offset. The offset is an
// estimate for a typical receiver front end; users should check it against a known signal.
constexpr double DefaultScanDbmOffset = -100.0;
// An imported point above this level (dBm) marks its channel busy. With the default offset it
// is the level 10 our own scan windows start with.
constexpr double DefaultImportThresholdDbm = -90.0;
// Config.ini, section [Coordination], ScanDbmOffset (-200..100); a missing or unusable value
// takes the default.
double LoadScanDbmOffset(const QString& configPath);

// Bounds on what a file may hold; a larger file is refused, never read in part.
constexpr qint64 MaxScanFileBytes = 64LL << 20;
constexpr int MaxScanFilePoints = 1 << 20;

// The forms a scan is written in.
enum class ScanForm {
    Receiver, // "470.250,35": MHz, level on the receiver's scale (the CSV of earlier versions)
    Wwb, // "470.250,-65.0": MHz, dBm; no header (the two-column form coordination tools import)
    Wsm, // ';'-separated with header lines, then "470250;;-65.0": kHz, dBm
};
// "receiver", "wwb", "wsm" (as on the command line); nullopt for anything else.
std::optional<ScanForm> ScanFormNamed(const QString& name);

// One scanned channel on the receiver's scale.
struct LevelPoint {
    double Mhz = 0.0;
    int Level = 0;
};
// The levels per channel (as LatestLevels or MaxHold keep them) at their frequencies, ascending.
// Only the band's channels startChannel .. startChannel + maxChannel - 1 are kept: a point outside
// them is not a frequency the receiver can tune to.
std::vector<LevelPoint> LevelPointsOf(
    const std::map<int, int>& levels, double startFreq, int startChannel, int maxChannel);

// Several scans in one: the highest level at each frequency (to the kHz), ascending.
std::vector<LevelPoint> MergeHighest(std::span<const std::vector<LevelPoint>> scans);

// A point of a scan in dBm, as written to or read from a file.
struct ScanSample {
    double Mhz = 0.0;
    double Dbm = 0.0;
};
// The receiver's levels in dBm: level + dbmOffset.
std::vector<ScanSample> DbmSamplesOf(std::span<const LevelPoint> points, double dbmOffset);

// What the header of a WSM file names.
struct ScanHeader {
    QString Receiver; // ';' and line breaks are replaced by spaces
    QDateTime When;
};
// The file's bytes; samples must ascend in frequency. The receiver's scale is written as the
// whole level dBm - dbmOffset, the dBm forms with one decimal.
QByteArray WriteScan(ScanForm form, std::span<const ScanSample> samples, double dbmOffset, const ScanHeader& header);

enum class ScanFileKind { TwoColumn, Wsm, Sdb2 };

// A scan read from a file: its points in ascending frequency, or the reason it was refused
// ("<file>: line 12: ..."), in which case Samples is empty.
struct ScanReading {
    ScanFileKind Kind = ScanFileKind::TwoColumn;
    std::vector<ScanSample> Samples;
    QString Error;
    bool Ok() const { return Error.isEmpty(); }
};
// Reads bytes whose form is told by their content: XML (the .sdb2 scan file), a WSM CSV (first
// line "Receiver;..."), else a two-column CSV (also the RF Explorer CSV). fileName only names
// the file in a refusal.
ScanReading ReadScan(const QByteArray& bytes, const QString& fileName);
// Reads the file at path, refusing one larger than MaxScanFileBytes before reading it.
ScanReading ReadScanFile(const QString& path);

// An imported scan laid onto a band: the highest level of the points each channel's 250 kHz
// slot (its frequency -125 kHz up to, not including, +125 kHz) holds, and the points outside
// the band, kept for the chart.
struct GridScan {
    std::map<int, double> ChannelDbm; // absolute channel number -> dBm
    std::vector<ScanSample> Outside;
};
GridScan MapToGrid(const BandOfChannels& band, std::span<const ScanSample> samples);

// The idle channels of the band: none of our scans above threshold (receiver scale) and no
// imported scan above thresholdDbm. Points outside the band play no part.
std::vector<IdleChannel> IdleChannelsWithImports(const BandOfChannels& band, std::span<const ScanView> scans,
    int threshold, std::span<const GridScan> imported, double thresholdDbm);

// A text file's lines without their ends (LF or CR LF); line n of the file is element n - 1.
QList<QByteArray> LinesOf(const QByteArray& bytes);

} // namespace interchange
