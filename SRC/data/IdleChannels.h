#pragma once
// Which channels of a band no scan found busy. The windows that assign idle frequencies list
// what this returns; the coordination below picks from it.
#include "data/RfRecords.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct BandOfChannels {
    double StartFreq = 640.0;
    int StartChannel = 0;
    int MaxChannel = 100;
};

// The points of one scan as they arrived: channel numbers and levels (dB, -10..90). A view:
// the scan's owner keeps the arrays.
struct ScanView {
    std::span<const int32_t> Channels;
    std::span<const int32_t> Levels; // as many as Channels
    // The band the scan was made on, when known: a point then marks the channel of another band
    // whose 250 kHz slot holds its frequency. Without it channel numbers are compared as they are.
    std::optional<BandOfChannels> Band = std::nullopt;
};

// The points a scan block holds.
ScanView ViewOf(const ScanPoints& points);

// The noise threshold list: "5" to "60" in steps of 5; "10" is chosen when a window opens.
constexpr int ThresholdItems = 12;
constexpr int DefaultThresholdIndex = 1;
QString ThresholdItemText(int index);
// The chosen item as a number; 10 when it is not one.
int ThresholdOf(const QString& itemText);

// FreeTable: one flag per channel of the band, true when idle. A point marks its channel busy
// when it lies in the band and its level is above threshold (equal stays idle): by frequency for
// a scan that names its band, else by channel number.
std::vector<bool> BuildFreeTable(const BandOfChannels& band, std::span<const ScanView> scans, int threshold);

struct IdleChannel {
    int Channel = 0; // absolute channel number
    double Freq = 0.0; // MHz
};
// The idle channels in ascending order.
std::vector<IdleChannel> IdleChannels(const BandOfChannels& band, std::span<const ScanView> scans, int threshold);

// The text of an idle frequency in the list: "%.03fMhz".
QString IdleFrequencyText(double freq);
