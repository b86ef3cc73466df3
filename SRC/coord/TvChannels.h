#pragma once
// UHF television channel tables by region: the operator ticks the channels on air and each becomes
// an exclusion noted "TV <number>". The README names the public plan each table follows.
#include <QString>
#include <optional>
#include <vector>

namespace coordination
{

enum class TvRegion { China, Europe, Usa };

struct TvChannel {
    int number = 0;
    double fromMHz = 0;
    double toMHz = 0;
};

// "china", "europe" or "usa".
std::optional<TvRegion> TvRegionNamed(const QString& name);
QString TvRegionName(TvRegion region);
std::vector<TvChannel> TvChannels(TvRegion region); // ascending
std::optional<TvChannel> TvChannelOf(TvRegion region, int number);

} // namespace coordination
