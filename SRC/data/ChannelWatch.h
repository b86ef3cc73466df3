#pragma once
// What the operator's watch makes of each connected channel's polls and status replies: lost
// after missed polls, restored by a reply, a battery fallen to the alert level, and RF loss
// episodes (both antennas below the alert level for a run of replies, over once they stay above
// it for as many). Only the GUI thread touches it.
#include <QHash>
#include <cstdint>
#include <vector>

struct WatchState {
    int UnansweredPolls = 0;
    bool Lost = false;
    uint32_t LostSince = 0; // tick count at which the channel was found lost
    bool LowBattery = false;
    bool RfLost = false;
    int RfRun = 0; // replies in a row on the other side of the alert level than RfLost says
    uint32_t RfRunSince = 0; // tick of the first reply of that run
    uint32_t RfLossSince = 0; // tick of the first reply below the level of the current episode
    uint32_t RfLastEpisodeMs = 0; // the length of the episode that ended last
};

enum class WatchEvent { LowBattery, RfLost, RfRestored };

// The alert kinds the operator has switched on, and their thresholds.
struct WatchAlerts {
    static constexpr int SquelchLevel = -1; // RfLevel: each channel's own squelch level
    bool LowBattery = true;
    bool RfLoss = true;
    int RfLevel = SquelchLevel; // RF alert level on the status scale (dB, 0..100)
    int LowBatteryBars = 1; // 1 or 2 of the 3 bars
    int RfHoldReplies = 2; // replies in a row that start or end an RF loss episode
};

class ChannelWatch
{
public:
    // Polls of its own a channel may leave unanswered in a row before it counts as lost, unless
    // the operator set another number.
    static constexpr int MissedPollLimit = 3;
    static constexpr int LowestBattery = 1; // status battery 1..3; 0 is "no reading"

    // A poll is about to go to the channel. True when the channel's last `limit` polls all went
    // unanswered and it turns lost now.
    bool PollSending(int rxid, int devIdx, uint32_t now, int limit = MissedPollLimit);
    // The channel answered. True when it was lost and is restored now.
    bool Answered(int rxid, int devIdx);
    // The alert states a status reply gives; the events of those that changed. An alert that is
    // switched off is never raised, so switching it on later reports a condition that persists.
    // RfRestored leaves the episode's length in RfLastEpisodeMs.
    std::vector<WatchEvent> Status(int rxid, int devIdx, int battery, int rfA, int rfB, int squelchLevel,
        const WatchAlerts& alerts, uint32_t now);

    const WatchState* State(int rxid, int devIdx) const;
    bool IsLost(int rxid, int devIdx) const;
    void Forget(int rxid, int devIdx);
    void Clear();
    // The lost channels, for the display of how long each has been lost.
    template <typename Visit> void ForEachLost(Visit visit) const
    {
        ForEachState([&visit](int rxid, int devIdx, const WatchState& state) {
            if (state.Lost)
                visit(rxid, devIdx, state);
        });
    }

    template <typename Visit> void ForEachState(Visit visit) const
    {
        for (auto it = m_states.cbegin(); it != m_states.cend(); ++it)
            visit(static_cast<int>(it.key() >> 16), static_cast<int>(it.key() & 0xFFFF), *it);
    }

    // Whole seconds from LostSince to now; the counter's wrap-around does no harm.
    static int LostSeconds(const WatchState& state, uint32_t now);

private:
    static uint32_t Key(int rxid, int devIdx);
    QHash<uint32_t, WatchState> m_states;
};
