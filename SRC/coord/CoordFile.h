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
//    "devices": [{"rxid": 7, "channel": 2, "name": "Lead", "band": "A", "profile": "analog",
//                 "current_mhz": 641.5, "locked": true, "inclusion": "licence A"}],
//    "busy_mhz": [641.25],
//    "exclusions": [{"from_mhz": 650.0, "to_mhz": 658.0, "note": "DVB-T Mux 3"}],
//    "tv": {"region": "europe", "channels": [27, 28]},
//    "inclusions": [{"name": "licence A", "mhz": [641.25, 641.5]}],
//    "foreign": [{"mhz": 645.1, "label": "IEM 1", "profile": "in-ear"}],
//    "scan_threshold_dbm": -90.0, "scan_threshold_level": 10,
//    "scans": [{"name": "venue.csv", "unit": "dbm", "points": [[640.0, -92.5], [640.025, -88.0]]}],
//    "plan": {"mhz": [641.5, 0], "checked": true, "backups": [{"band": "A", "mhz": 643.25}]}}
// Members not named here are kept out of the way of later versions: they are ignored. The show's
// "coordinator" sits beside its name, venue and notes. A locked device keeps current_mhz; a device
// with an inclusion list may use only its frequencies. A scan's unit is "dbm" or "level" (the
// receiver's scale): a point above scan_threshold_dbm (or, on the receiver's scale, above
// scan_threshold_level) marks its channel busy. The plan gives each device's frequency in device
// order (0: not placed).
#include "coord/Profiles.h"
#include "data/Coordination.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
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
constexpr int MaxFileForeign = 1024;
constexpr int MaxFileInclusions = 256;
constexpr int MaxInclusionFrequencies = 4096;
constexpr int MaxFileScans = 64;
constexpr int MaxFileScanPoints = 1 << 20; // over all scans
// The threshold our own scan windows start with; the receiver's scale runs -10..90.
constexpr int DefaultScanThresholdLevel = 10;

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
    double currentMHz = 0; // the frequency it is on now; 0 when not known
    bool locked = false; // keeps currentMHz: the plan is made around it
    QString inclusion; // the name of the inclusion list it is bound to; empty: none
};

// A carrier we do not control (in-ear monitors, intercom, a broadcaster's link): it takes part in
// spacing and products like ours and is never moved.
struct ForeignCarrier {
    double mhz = 0;
    QString label;
    QString profile; // empty: the profile of the rule's level
};

// The only frequencies the devices bound to it may use (a licence).
struct InclusionList {
    QString name;
    std::vector<double> mhz;
};

// A scan kept with the show: ours (on the receiver's scale) or one imported from another tool.
struct FileScan {
    QString name; // the file it came from, or the device it was made with
    bool dbm = true; // false: levels on the receiver's scale
    std::vector<std::pair<double, double>> points; // MHz, level; ascending in frequency
};

// The TV channels ticked as on air in a region; each becomes an exclusion noted "TV <number>".
struct TvSelection {
    QString region; // "china", "europe", "usa"; empty: none
    std::vector<int> channels;
};

struct FileBackup {
    int band = 0; // index into bands
    double mhz = 0;
};

// The last plan made for the show's devices.
struct FilePlan {
    std::vector<double> mhz; // per device, in device order; 0: not placed
    std::vector<FileBackup> backups;
    bool checked = false; // the plan passed the independent check when it was made
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
    QString coordinator;
    Rule rule { Level::ThreeTransmitter, 400, 100 };
    int budgetMs = 2000;
    int backupsPerBand = 2;
    std::vector<Profile> profiles; // the file's own, beside the presets
    std::vector<FileBand> bands;
    std::vector<FileDevice> devices;
    std::vector<double> busyMHz;
    std::vector<Exclusion> exclusions; // the user's own; the TV channels' come from tv
    TvSelection tv;
    std::vector<InclusionList> inclusions;
    std::vector<ForeignCarrier> foreign;
    double scanThresholdDbm = -90.0; // an imported point above it marks its channel busy
    int scanThresholdLevel = DefaultScanThresholdLevel; // the same for scans on the receiver's scale
    std::vector<FileScan> scans;
    std::optional<FilePlan> plan;
};

// The file, or an error naming the field: "bands[1].start_mhz: not a number".
struct FileReading {
    CoordinationFile file;
    QString error; // empty when the file was read
};
FileReading ReadCoordinationFile(const QByteArray& json);
// The file's JSON (indented), read back by ReadCoordinationFile as the same file.
QByteArray WriteCoordinationFile(const CoordinationFile& file);

// The user's exclusions and those of the ticked TV channels.
std::vector<Exclusion> ExclusionsOf(const CoordinationFile& file);

// Each device's idle channels: its band's channels but those found busy (a busy frequency marks
// the channel within half a channel step; a scan point above its threshold the channel whose
// 250 kHz slot holds it) and those inside an exclusion (edges included); of a device bound to an
// inclusion list, only the list's frequencies. A locked device has its current frequency alone
// (on the band's nearest channel number) and is marked locked.
std::vector<DeviceOptions> DeviceOptionsOf(const CoordinationFile& file);

// Everything the file asks a plan to be made around: the devices' options at the strictest of
// their and the foreign carriers' profiles, the foreign carriers by label, and the loudest level
// the scans saw at each channel (the receiver's scale turned into dBm with the default offset).
Plan ProblemOf(const CoordinationFile& file);

// Why an unplaced device bound to an inclusion list had nothing to choose from: "none of licence
// A's 4 frequencies is idle"; empty when the list left it a channel or it has none.
QString InclusionReason(const CoordinationFile& file, size_t device);

// The channels of the device's band that exclusions took away, by note: "6 excluded (TV 27),
// 2 excluded (house intercom)"; empty when none.
QString ExcludedOf(const CoordinationFile& file, size_t device);

// Each device's profile: its named one, or the profile of the file's rule.
std::vector<Profile> DeviceProfilesOf(const CoordinationFile& file);
// The same for each foreign carrier.
std::vector<Profile> ForeignProfilesOf(const CoordinationFile& file);
// "IEM 1", or the frequency ("645.100 MHz") of a carrier without a label.
QString ForeignName(const ForeignCarrier& carrier);

} // namespace coordination
