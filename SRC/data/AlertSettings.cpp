#include "data/AlertSettings.h"

#include "data/IniFile.h"
#include "data/PublicStruct.h"

#include <algorithm>

namespace
{

const QString Section = QStringLiteral("Public");

int Read(const IniFile& file, const char* key, int fallback, int low, int high)
{
    return std::clamp(file.ReadInt(Section, QLatin1String(key), fallback), low, high);
}

} // namespace

void ReadAlertSettings(const IniFile& file, PublicStruct& ps)
{
    ps.AlertRFLevel = Read(file, "AlertRFLevel", WatchAlerts::SquelchLevel, WatchAlerts::SquelchLevel, 100);
    ps.AlertLowBatteryBars = Read(file, "AlertLowBatteryBars", 1, 1, 2);
    ps.AlertLostPolls = Read(file, "AlertLostPolls", ChannelWatch::MissedPollLimit, 1, AlertLimits::MaxPolls);
    ps.AlertRFHoldReplies = Read(file, "AlertRFHoldReplies", 2, 1, AlertLimits::MaxHoldReplies);
    ps.AlertSound = file.ReadInt(Section, QStringLiteral("AlertSound"), 1) != 0;
    ps.AlertVolume = Read(file, "AlertVolume", 80, 0, 100);
}

void WriteAlertSettings(IniFile& file, const PublicStruct& ps)
{
    file.WriteInt(Section, QStringLiteral("AlertRFLevel"), ps.AlertRFLevel);
    file.WriteInt(Section, QStringLiteral("AlertLowBatteryBars"), ps.AlertLowBatteryBars);
    file.WriteInt(Section, QStringLiteral("AlertLostPolls"), ps.AlertLostPolls);
    file.WriteInt(Section, QStringLiteral("AlertRFHoldReplies"), ps.AlertRFHoldReplies);
    file.WriteInt(Section, QStringLiteral("AlertSound"), ps.AlertSound ? 1 : 0);
    file.WriteInt(Section, QStringLiteral("AlertVolume"), ps.AlertVolume);
}

WatchAlerts AlertsOf(const PublicStruct& ps)
{
    WatchAlerts alerts;
    alerts.LowBattery = ps.AlertLowBattery;
    alerts.RfLoss = ps.AlertRFLoss;
    alerts.RfLevel = ps.AlertRFLevel;
    alerts.LowBatteryBars = ps.AlertLowBatteryBars;
    alerts.RfHoldReplies = ps.AlertRFHoldReplies;
    return alerts;
}
