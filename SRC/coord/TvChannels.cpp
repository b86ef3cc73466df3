#include "coord/TvChannels.h"

namespace coordination
{

namespace
{

struct Run {
    int first, last; // channel numbers
    double firstFromMHz, widthMHz;
};

// China DS-13..24 from 470 MHz and DS-25..68 from 606 MHz, 8 MHz; Europe 21..69 from 470 MHz,
// 8 MHz; USA 14..36 from 470 MHz, 6 MHz (channel 37 is kept for radio astronomy and 38 up went
// to mobile service).
std::vector<Run> RunsOf(TvRegion region)
{
    switch (region) {
    case TvRegion::China:
        return { { 13, 24, 470, 8 }, { 25, 68, 606, 8 } };
    case TvRegion::Europe:
        return { { 21, 69, 470, 8 } };
    case TvRegion::Usa:
        return { { 14, 36, 470, 6 } };
    }
    return {};
}

} // namespace

std::optional<TvRegion> TvRegionNamed(const QString& name)
{
    for (TvRegion region : { TvRegion::China, TvRegion::Europe, TvRegion::Usa })
        if (TvRegionName(region) == name)
            return region;
    return std::nullopt;
}

QString TvRegionName(TvRegion region)
{
    switch (region) {
    case TvRegion::China:
        return QStringLiteral("china");
    case TvRegion::Europe:
        return QStringLiteral("europe");
    case TvRegion::Usa:
        return QStringLiteral("usa");
    }
    return {};
}

std::vector<TvChannel> TvChannels(TvRegion region)
{
    std::vector<TvChannel> channels;
    for (const Run& run : RunsOf(region))
        for (int n = run.first; n <= run.last; ++n) {
            const double from = run.firstFromMHz + (n - run.first) * run.widthMHz;
            channels.push_back({ n, from, from + run.widthMHz });
        }
    return channels;
}

std::optional<TvChannel> TvChannelOf(TvRegion region, int number)
{
    for (const TvChannel& channel : TvChannels(region))
        if (channel.number == number)
            return channel;
    return std::nullopt;
}

} // namespace coordination
