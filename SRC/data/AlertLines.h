#pragma once
// Which alert lines of a channel reach the message list. A channel that keeps starting the same
// alert (a transmitter at the edge of its range, a loose battery contact, a receiver that sends
// anything at all) would otherwise bury every other line: after FlapLimit starts within a minute
// its single starts and ends are held back and one summary line per minute stands for them
// ("RF loss [4:3] 12 times in the last minute"). So no channel adds more than
// 2 × FlapLimit + 1 lines of a kind in any minute, whatever it sends. Only the GUI thread uses it.
#include <QHash>
#include <cstdint>
#include <vector>

enum class AlertKind : uint8_t { Lost, LowBattery, RfLoss };

class AlertLines
{
public:
    static constexpr int FlapLimit = 3; // starts per minute shown one by one
    static constexpr uint32_t WindowMs = 60000;

    struct Summary {
        int Rxid;
        int DevIdx;
        AlertKind Kind;
        int Starts; // in the minute before the summary
    };

    // An alert of this channel starts now: true when its line is to be shown.
    bool Start(int rxid, int devIdx, AlertKind kind, uint32_t now);
    // It ends now: true when its start was shown, so that its end is shown as well.
    bool End(int rxid, int devIdx, AlertKind kind);
    // The summaries due now: a channel that flaps gets its first one at once and then one per
    // minute while it goes on flapping; one that has calmed down for a minute is shown line by
    // line again. Called from the watch's timer.
    std::vector<Summary> Due(uint32_t now);
    void Forget(int rxid, int devIdx);
    void Clear() { m_channels.clear(); }

private:
    struct Channel {
        std::vector<uint32_t> Starts; // of the last minute, oldest first (at most a minute's worth)
        bool StartShown = false;
        bool Flapping = false;
        bool SummaryDue = false;
        uint32_t LastSummary = 0;
    };
    static uint64_t Key(int rxid, int devIdx, AlertKind kind);
    static void DropOld(Channel& channel, uint32_t now);

    QHash<uint64_t, Channel> m_channels;
};
