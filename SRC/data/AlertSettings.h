#pragma once
// The alert thresholds and the alert sound in Config.ini's [Public] section:
//   AlertRFLevel        RF alert level in dB on the status scale 0..100; -1 = each channel's squelch level
//   AlertLowBatteryBars the battery alert at 1 or 2 bars (of 3)
//   AlertLostPolls      a channel is lost after this many unanswered polls (1..20)
//   AlertRFHoldReplies  replies in a row below (or above) the level that start (or end) RF loss (1..20)
//   AlertSound          1 = alert sounds on
//   AlertVolume         their volume, 0..100 percent
// Values out of range read as the nearest allowed one.
#include "data/ChannelWatch.h"

class IniFile;
class PublicStruct;

namespace AlertLimits
{
constexpr int MaxPolls = 20;
constexpr int MaxHoldReplies = 20;
} // namespace AlertLimits

void ReadAlertSettings(const IniFile& file, PublicStruct& ps);
void WriteAlertSettings(IniFile& file, const PublicStruct& ps);
// What the watch needs of the settings.
WatchAlerts AlertsOf(const PublicStruct& ps);
