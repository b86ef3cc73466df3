#pragma once
#include <QString>
#include <cstdint>
#include <memory>

// The global settings of Config.ini section [Public], the executable's directory, the settings
// folder, the current language and the pauses the windows share with the monitoring cycle.
class PublicStruct {
public:
    // Reads the [Public] keys from settingsFolder + "Config.ini"; settingsFolder ends with '/'.
    // ExeDir is the executable's own directory whichever folder holds the settings.
    explicit PublicStruct(QString settingsFolder);

    // The directory of /proc/self/exe with a trailing '/'.
    static QString ExecutableDirectory();

    // The process-wide instance; main() and tests install it before anything reads it. Instance()
    // without an installed one installs one over the folder ChooseSettingsFolder picks.
    static PublicStruct& Instance();
    static bool HasInstance();
    static void Install(std::unique_ptr<PublicStruct> instance);

    // Where Config.ini, the logs and the operator's COM<n> links live (ends with '/'). Every path
    // that belongs beside Config.ini is derived from this.
    const QString& SettingsFolder() const { return m_settingsFolder; }
    QString ConfigPath() const { return m_settingsFolder + QStringLiteral("Config.ini"); }

    QString ExeDir;
    int32_t ConnectType = 0;
    int32_t UartPort = 1;
    int32_t UartRate = 9600;
    int32_t LanguageIndex = 1;
    bool ScanBusy = false;
    bool RFHistoryBusy = false;
    uint32_t SyncStartTick = 0;
    int32_t UartDelayTime = 30;
    QString FontName = QStringLiteral("Arial");
    int32_t FontSize = 10;
    uint8_t FontCharset = 0;
    // Alert switches of the system settings window; on unless stored as 0.
    bool AlertLowBattery = true;
    bool AlertRFLoss = true;
    // Alert thresholds and sound (see data/AlertSettings.h for their keys and ranges).
    int32_t AlertRFLevel = -1; // below 0: each channel's squelch level
    int32_t AlertLowBatteryBars = 1;
    int32_t AlertLostPolls = 3;
    int32_t AlertRFHoldReplies = 2;
    bool AlertSound = true;
    int32_t AlertVolume = 80; // percent
    // Seconds without a scan point or end after which a scan window ends the scan itself.
    int32_t ScanQuietSeconds = 5;

private:
    QString m_settingsFolder;
};
