#include "data/AlertLines.h"

#include <algorithm>

namespace
{

// More starts than this in a minute change nothing about the summary but its count; the list of
// times stays bounded whatever a channel sends.
constexpr size_t KeptStarts = 1000;

} // namespace

uint64_t AlertLines::Key(int rxid, int devIdx, AlertKind kind)
{
    return (static_cast<uint64_t>(rxid & 0xFFFF) << 24) | (static_cast<uint64_t>(devIdx & 0xFFFF) << 8)
        | static_cast<uint64_t>(kind);
}

void AlertLines::DropOld(Channel& channel, uint32_t now)
{
    const auto recent = std::find_if(
        channel.Starts.begin(), channel.Starts.end(), [now](uint32_t start) { return now - start < WindowMs; });
    channel.Starts.erase(channel.Starts.begin(), recent);
}

bool AlertLines::Start(int rxid, int devIdx, AlertKind kind, uint32_t now)
{
    Channel& channel = m_channels[Key(rxid, devIdx, kind)];
    DropOld(channel, now);
    if (channel.Starts.size() >= KeptStarts)
        channel.Starts.erase(channel.Starts.begin());
    channel.Starts.push_back(now);
    if (!channel.Flapping && channel.Starts.size() > static_cast<size_t>(FlapLimit)) {
        channel.Flapping = true;
        channel.SummaryDue = true;
    }
    channel.StartShown = !channel.Flapping;
    return channel.StartShown;
}

bool AlertLines::End(int rxid, int devIdx, AlertKind kind)
{
    const auto it = m_channels.find(Key(rxid, devIdx, kind));
    if (it == m_channels.end() || !it->StartShown)
        return false;
    it->StartShown = false;
    return true;
}

std::vector<AlertLines::Summary> AlertLines::Due(uint32_t now)
{
    std::vector<Summary> due;
    for (auto it = m_channels.begin(); it != m_channels.end(); ++it) {
        Channel& channel = *it;
        if (!channel.Flapping)
            continue;
        DropOld(channel, now);
        if (channel.Starts.empty()) {
            channel.Flapping = false;
            continue;
        }
        if (!channel.SummaryDue && now - channel.LastSummary < WindowMs)
            continue;
        channel.SummaryDue = false;
        channel.LastSummary = now;
        const uint64_t key = it.key();
        due.push_back({ static_cast<int>(key >> 24), static_cast<int>((key >> 8) & 0xFFFF),
            static_cast<AlertKind>(key & 0xFF), static_cast<int>(channel.Starts.size()) });
    }
    return due;
}

void AlertLines::Forget(int rxid, int devIdx)
{
    for (AlertKind kind : { AlertKind::Lost, AlertKind::LowBattery, AlertKind::RfLoss })
        m_channels.remove(Key(rxid, devIdx, kind));
}
