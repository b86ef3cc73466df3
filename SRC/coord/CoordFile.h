#pragma once
// The coordination file: a versioned JSON document (RFC 8259, read with QJsonDocument) that
// holds everything a plan is made from. The README describes each field.
//   {"format": "tessaro-coordination", "version": 1,
//    "show": {"name": ..., "venue": ..., "notes": ...},
//    "rule": {"level": 0..3, "spacing_khz": ..., "guard_khz": ...},
//    "budget_ms": 2000, "backups_per_band": 2,
//    "bands": [{"name": "A", "start_mhz": 640.0, "channels": 100}],
//    "profiles": [{"name": "iem", "spacing_khz": 600, "third_2tx_khz": 200, "third_3tx_khz": "off",
//                  "fifth_khz": 100}],
//    "devices": [{"rxid": 7, "channel": 2, "name": "Lead", "band": "A", "profile": "analog"}],
//    "busy_mhz": [641.25],
//    "exclusions": [{"from_mhz": 650.0, "to_mhz": 658.0, "note": "DVB-T Mux 3"}],
//    "tv": {"region": "europe", "channels": [27, 28]}}
// Members not named here are kept out of the way of later versions: they are ignored.
#include "coord/Profiles.h"
#include "data/Coordination.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace coordination
{

constexpr int CoordFileVersion = 1;
constexpr int MaxBandChannels = 4096;
constexpr int MaxFileDevices = 1024;
constexpr int MaxFileBands = 64;
constexpr int MaxFileBusy = 65536;
constexpr int MaxFileExclusions = 1024;
constexpr int MaxFileProfiles = 64;

struct FileBand {
    QString name;
    double startMHz = 0;
    int channels = 0;
};

struct FileDevice {
    int rxid = 0;
    int channel = 0;
    QString name;
    int band = 0; // index into bands
    QString profile; // a preset's or the file's profile; empty: the profile of the rule's level
};

struct Exclusion {
    double fromMHz = 0;
    double toMHz = 0;
    QString note;
};

struct CoordinationFile {
    QString showName;
    QString venue;
    QString notes;
    Rule rule { Level::ThreeTransmitter, 400, 100 };
    int budgetMs = 2000;
    int backupsPerBand = 2;
    std::vector<Profile> profiles; // the file's own, beside the presets
    std::vector<FileBand> bands;
    std::vector<FileDevice> devices;
    std::vector<double> busyMHz;
    std::vector<Exclusion> exclusions;
};

// The file, or an error naming the field: "bands[1].start_mhz: not a number".
struct FileReading {
    CoordinationFile file;
    QString error; // empty when the file was read
};
FileReading ReadCoordinationFile(const QByteArray& json);

// Each device's idle channels: its band's channels but those found busy (a busy frequency marks
// the channel within half a channel step) and those inside an exclusion (edges included).
std::vector<DeviceOptions> DeviceOptionsOf(const CoordinationFile& file);

// The channels of the device's band that exclusions took away, by note: "6 excluded (TV 27),
// 2 excluded (house intercom)"; empty when none.
QString ExcludedOf(const CoordinationFile& file, size_t device);

// Each device's profile: its named one, or the profile of the file's rule.
std::vector<Profile> DeviceProfilesOf(const CoordinationFile& file);

} // namespace coordination
