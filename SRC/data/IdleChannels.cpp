#include "data/IdleChannels.h"

#include "data/Device.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

ScanView ViewOf(const ScanPoints& points)
{
    const auto n = static_cast<size_t>(std::clamp(points.PointCount, 0, ScanPoints::Capacity));
    return { std::span<const int32_t>(points.Channels.data(), n), std::span<const int32_t>(points.Levels.data(), n) };
}

QString ThresholdItemText(int index)
{
    return QString::number(5 * (index + 1));
}

int ThresholdOf(const QString& itemText)
{
    bool ok = false;
    const int value = itemText.toInt(&ok);
    return ok ? value : 10;
}

namespace
{

// The position in the band of the channel whose slot (its frequency -125 kHz up to, not including,
// +125 kHz) holds freq; outside the band when below 0 or beyond its channels.
long long SlotOf(const BandOfChannels& band, double freq)
{
    const double slot = std::floor((freq - band.StartFreq + ChannelStep / 2) / ChannelStep + 1e-9);
    return std::isfinite(slot) && std::abs(slot) < 1e9 ? static_cast<long long>(slot) : -1;
}

} // namespace

std::vector<bool> BuildFreeTable(const BandOfChannels& band, std::span<const ScanView> scans, int threshold)
{
    std::vector<bool> free(static_cast<size_t>(band.MaxChannel > 0 ? band.MaxChannel : 0), true);
    for (const ScanView& scan : scans) {
        const size_t n = std::min(scan.Channels.size(), scan.Levels.size());
        for (size_t i = 0; i < n; ++i) {
            const long long pos = scan.Band
                ? SlotOf(band, ChannelFrequency(scan.Band->StartFreq, scan.Band->StartChannel, scan.Channels[i]))
                : static_cast<long long>(scan.Channels[i]) - band.StartChannel;
            if (pos >= 0 && pos < static_cast<long long>(free.size()) && scan.Levels[i] > threshold)
                free[static_cast<size_t>(pos)] = false;
        }
    }
    return free;
}

std::vector<IdleChannel> IdleChannels(const BandOfChannels& band, std::span<const ScanView> scans, int threshold)
{
    const std::vector<bool> free = BuildFreeTable(band, scans, threshold);
    std::vector<IdleChannel> idle;
    for (size_t pos = 0; pos < free.size(); ++pos) {
        if (!free[pos])
            continue;
        const int channel = band.StartChannel + static_cast<int>(pos);
        idle.push_back({ channel, ChannelFrequency(band.StartFreq, band.StartChannel, channel) });
    }
    return idle;
}

QString IdleFrequencyText(double freq)
{
    return QString::asprintf("%.03fMhz", freq);
}
