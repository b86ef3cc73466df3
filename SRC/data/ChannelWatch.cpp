#include "data/ChannelWatch.h"

#include <algorithm>

namespace
{

bool IsLevel(int value)
{
    return value >= 0 && value <= 100;
}

} // namespace

uint32_t ChannelWatch::Key(int rxid, int devIdx)
{
    return (static_cast<uint32_t>(rxid & 0xFFFF) << 16) | static_cast<uint32_t>(devIdx & 0xFFFF);
}

bool ChannelWatch::PollSending(int rxid, int devIdx, uint32_t now, int limit)
{
    limit = std::max(limit, 1);
    WatchState& state = m_states[Key(rxid, devIdx)];
    const bool turnsLost = !state.Lost && state.UnansweredPolls >= limit;
    if (turnsLost) {
        state.Lost = true;
        state.LostSince = now;
    }
    if (state.UnansweredPolls < limit)
        ++state.UnansweredPolls;
    return turnsLost;
}

bool ChannelWatch::Answered(int rxid, int devIdx)
{
    const auto it = m_states.find(Key(rxid, devIdx));
    if (it == m_states.end())
        return false;
    it->UnansweredPolls = 0;
    const bool restored = it->Lost;
    it->Lost = false;
    return restored;
}

std::vector<WatchEvent> ChannelWatch::Status(int rxid, int devIdx, int battery, int rfA, int rfB, int squelchLevel,
    const WatchAlerts& alerts, uint32_t now)
{
    WatchState& state = m_states[Key(rxid, devIdx)];
    std::vector<WatchEvent> events;

    // 0 (no reading) and values out of range say nothing about the charge.
    const bool batteryKnown = battery >= LowestBattery && battery <= 3;
    const int lowBars = std::clamp(alerts.LowBatteryBars, LowestBattery, 2);
    const bool low = alerts.LowBattery && (batteryKnown ? battery <= lowBars : state.LowBattery);
    if (low && !state.LowBattery)
        events.push_back(WatchEvent::LowBattery);
    state.LowBattery = low;

    if (!alerts.RfLoss) {
        state.RfLost = false;
        state.RfRun = 0;
        return events;
    }
    // Levels out of range say nothing about the signal: the run neither grows nor breaks.
    if (!IsLevel(rfA) || !IsLevel(rfB))
        return events;
    const int level = alerts.RfLevel >= 0 ? alerts.RfLevel : squelchLevel;
    const bool below = rfA < level && rfB < level;
    if (below == state.RfLost) {
        state.RfRun = 0;
        return events;
    }
    if (state.RfRun++ == 0)
        state.RfRunSince = now;
    if (state.RfRun < std::max(alerts.RfHoldReplies, 1))
        return events;
    state.RfRun = 0;
    state.RfLost = below;
    if (below) {
        state.RfLossSince = state.RfRunSince;
        events.push_back(WatchEvent::RfLost);
    } else {
        state.RfLastEpisodeMs = state.RfRunSince - state.RfLossSince;
        events.push_back(WatchEvent::RfRestored);
    }
    return events;
}

const WatchState* ChannelWatch::State(int rxid, int devIdx) const
{
    const auto it = m_states.constFind(Key(rxid, devIdx));
    return it == m_states.cend() ? nullptr : &*it;
}

bool ChannelWatch::IsLost(int rxid, int devIdx) const
{
    const WatchState* state = State(rxid, devIdx);
    return state && state->Lost;
}

void ChannelWatch::Forget(int rxid, int devIdx)
{
    m_states.remove(Key(rxid, devIdx));
}

void ChannelWatch::Clear()
{
    m_states.clear();
}

int ChannelWatch::LostSeconds(const WatchState& state, uint32_t now)
{
    return static_cast<int>((now - state.LostSince) / 1000u);
}
