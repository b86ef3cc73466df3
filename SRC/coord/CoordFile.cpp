#include "coord/CoordFile.h"

#include "coord/Search.h"
#include "coord/TvChannels.h"
#include "data/Device.h"
#include "interchange/ScanFiles.h"
#include "lang/Language.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <climits>
#include <cmath>

namespace coordination
{

namespace
{

// Reads fields one after another; the first fault is kept, with the path of its field.
class FieldReader
{
public:
    bool Failed() const { return !error.isEmpty(); }

    bool Fail(const QString& path, const QString& what)
    {
        if (!Failed())
            error = path + QStringLiteral(": ") + what;
        return false;
    }

    bool Number(const QJsonObject& object, const QString& path, const char* key, double low, double high,
        double& out, bool required = true)
    {
        const QString field = path.isEmpty() ? QString::fromLatin1(key) : path + QLatin1Char('.') + QLatin1String(key);
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() && !required)
            return true;
        if (value.isUndefined())
            return Fail(field, QStringLiteral("missing"));
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            return Fail(field, QStringLiteral("not a number"));
        if (value.toDouble() < low || value.toDouble() > high)
            return Fail(field, QStringLiteral("%1 outside %2..%3").arg(value.toDouble()).arg(low).arg(high));
        out = value.toDouble();
        return true;
    }

    bool Whole(const QJsonObject& object, const QString& path, const char* key, int low, int high, int& out,
        bool required = true)
    {
        double value = out;
        if (!Number(object, path, key, low, high, value, required))
            return false;
        if (value != std::floor(value))
            return Fail(path.isEmpty() ? QString::fromLatin1(key) : path + QLatin1Char('.') + QLatin1String(key),
                QStringLiteral("not a whole number"));
        out = static_cast<int>(value);
        return true;
    }

    // A guard in kHz, or the text "off" that switches its rule off; a missing optional guard is off.
    bool Guard(const QJsonObject& object, const QString& path, const char* key, std::optional<int>& out, bool required)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        out.reset();
        if (value == QJsonValue(QStringLiteral("off")) || (value.isUndefined() && !required))
            return true;
        if (value.isString())
            return Fail(
                path + QLatin1Char('.') + QLatin1String(key), QStringLiteral("neither a number of kHz nor \"off\""));
        int kHz = 0;
        if (!Whole(object, path, key, 0, MaxSettingKHz, kHz))
            return false;
        out = kHz;
        return true;
    }

    bool Text(const QJsonObject& object, const QString& path, const char* key, QString& out)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return true;
        if (!value.isString())
            return Fail(path.isEmpty() ? QString::fromLatin1(key) : path + QLatin1Char('.') + QLatin1String(key),
                QStringLiteral("not a text"));
        out = value.toString();
        return true;
    }

    bool Flag(const QJsonObject& object, const QString& path, const char* key, bool& out)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return true;
        if (!value.isBool())
            return Fail(path + QLatin1Char('.') + QLatin1String(key), QStringLiteral("neither true nor false"));
        out = value.toBool();
        return true;
    }

    // The frequencies of a list, each in low..high MHz.
    bool Frequencies(const QJsonArray& list, const QString& path, double low, double high, std::vector<double>& out)
    {
        for (qsizetype i = 0; i < list.size() && !Failed(); ++i) {
            const double mhz = list[i].toDouble(std::nan(""));
            if (!list[i].isDouble() || !std::isfinite(mhz))
                return Fail(QStringLiteral("%1[%2]").arg(path).arg(i), QStringLiteral("not a number"));
            if (mhz < low || mhz > high)
                return Fail(QStringLiteral("%1[%2]").arg(path).arg(i), QStringLiteral("%1 outside %2..%3").arg(mhz).arg(low).arg(high));
            out.push_back(mhz);
        }
        return !Failed();
    }

    // The array under key, of at most `most` entries.
    bool List(const QJsonObject& object, const char* key, qsizetype most, QJsonArray& out)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return true;
        if (!value.isArray())
            return Fail(QString::fromLatin1(key), QStringLiteral("not a list"));
        if (value.toArray().size() > most)
            return Fail(QString::fromLatin1(key), QStringLiteral("more than %1 entries").arg(most));
        out = value.toArray();
        return true;
    }

    bool Object(const QJsonValue& value, const QString& path, QJsonObject& out)
    {
        if (!value.isObject())
            return Fail(path, QStringLiteral("not an object"));
        out = value.toObject();
        return true;
    }

    QString error;
};

QString At(const char* list, qsizetype index)
{
    return QStringLiteral("%1[%2]").arg(QLatin1String(list)).arg(index);
}

void ReadHead(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    int version = 0;
    if (root.value(QLatin1String("format")).toString() != QLatin1String("tessaro-coordination"))
        in.Fail(QStringLiteral("format"), QStringLiteral("not \"tessaro-coordination\""));
    // A later version is said apart from a damaged one, so the operator looks for a newer program
    // rather than for a fault in the file.
    if (in.Whole(root, {}, "version", INT_MIN, INT_MAX, version) && version > CoordFileVersion)
        in.Fail(QStringLiteral("version"),
            LanguageText("由较新的 Tessaro 生成 (版本 %1, 本程序读取版本 %2)",
                "made by a newer Tessaro (version %1; this program reads %2)")
                .arg(version)
                .arg(CoordFileVersion));
    else if (version != CoordFileVersion)
        in.Fail(QStringLiteral("version"),
            QStringLiteral("unknown version %1 (this program reads %2)").arg(version).arg(CoordFileVersion));
    QJsonObject show;
    if (root.contains(QLatin1String("show")) && in.Object(root.value(QLatin1String("show")), QStringLiteral("show"), show)) {
        in.Text(show, QStringLiteral("show"), "name", file.showName);
        in.Text(show, QStringLiteral("show"), "venue", file.venue);
        in.Text(show, QStringLiteral("show"), "notes", file.notes);
        in.Text(show, QStringLiteral("show"), "coordinator", file.coordinator);
    }
    QJsonObject rule;
    if (root.contains(QLatin1String("rule")) && in.Object(root.value(QLatin1String("rule")), QStringLiteral("rule"), rule)) {
        int level = static_cast<int>(file.rule.level);
        in.Whole(rule, QStringLiteral("rule"), "level", 0, LevelCount - 1, level, false);
        file.rule.level = static_cast<Level>(level);
        in.Whole(rule, QStringLiteral("rule"), "spacing_khz", 0, MaxSettingKHz, file.rule.SpacingKHz, false);
        in.Whole(rule, QStringLiteral("rule"), "guard_khz", 0, MaxSettingKHz, file.rule.GuardKHz, false);
    }
    in.Whole(root, {}, "budget_ms", 1, MaxBudgetMs, file.budgetMs, false);
    in.Whole(root, {}, "backups_per_band", 0, 64, file.backupsPerBand, false);
    in.Number(root, {}, "scan_threshold_dbm", -200.0, 50.0, file.scanThresholdDbm, false);
    in.Whole(root, {}, "scan_threshold_level", -10, 90, file.scanThresholdLevel, false);
}

bool IsProfileName(const CoordinationFile& file, const QString& name)
{
    const auto named = [&](const Profile& p) { return p.name == name; };
    const std::vector<Profile> presets = PresetProfiles(file.rule);
    return std::any_of(presets.begin(), presets.end(), named)
        || std::any_of(file.profiles.begin(), file.profiles.end(), named);
}

void ReadProfiles(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray profiles;
    in.List(root, "profiles", MaxFileProfiles, profiles);
    for (qsizetype i = 0; i < profiles.size() && !in.Failed(); ++i) {
        QJsonObject profile;
        Profile read;
        const QString path = At("profiles", i);
        if (!in.Object(profiles[i], path, profile))
            break;
        in.Text(profile, path, "name", read.name);
        if (!in.Failed() && (read.name.isEmpty() || IsProfileName(file, read.name)))
            in.Fail(path + QStringLiteral(".name"), QStringLiteral("empty or already taken: \"%1\"").arg(read.name));
        in.Guard(profile, path, "spacing_khz", read.spacingKHz, true);
        in.Guard(profile, path, "third_2tx_khz", read.thirdTwoKHz, true);
        in.Guard(profile, path, "third_3tx_khz", read.thirdThreeKHz, true);
        in.Guard(profile, path, "fifth_khz", read.fifthKHz, false);
        file.profiles.push_back(read);
    }
}

void ReadBands(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray bands;
    in.List(root, "bands", MaxFileBands, bands);
    for (qsizetype i = 0; i < bands.size() && !in.Failed(); ++i) {
        QJsonObject band;
        FileBand read;
        const QString path = At("bands", i);
        if (!in.Object(bands[i], path, band))
            break;
        in.Text(band, path, "name", read.name);
        in.Number(band, path, "start_mhz", 1.0, 10000.0, read.startMHz);
        in.Whole(band, path, "channels", 1, MaxBandChannels, read.channels);
        file.bands.push_back(read);
    }
}

void ReadDevices(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray devices;
    in.List(root, "devices", MaxFileDevices, devices);
    for (qsizetype i = 0; i < devices.size() && !in.Failed(); ++i) {
        QJsonObject device;
        FileDevice read;
        QString band;
        const QString path = At("devices", i);
        if (!in.Object(devices[i], path, device))
            break;
        in.Whole(device, path, "rxid", 0, 65535, read.rxid);
        in.Whole(device, path, "channel", 0, 255, read.channel);
        in.Text(device, path, "name", read.name);
        in.Text(device, path, "band", band);
        const auto at = std::find_if(file.bands.begin(), file.bands.end(), [&](const FileBand& b) { return b.name == band; });
        if (!in.Failed() && at == file.bands.end())
            in.Fail(path + QStringLiteral(".band"), QStringLiteral("unknown band \"%1\"").arg(band));
        read.band = static_cast<int>(at - file.bands.begin());
        in.Text(device, path, "profile", read.profile);
        if (!in.Failed() && !read.profile.isEmpty() && !IsProfileName(file, read.profile))
            in.Fail(path + QStringLiteral(".profile"), QStringLiteral("unknown profile \"%1\"").arg(read.profile));
        in.Number(device, path, "current_mhz", 0.0, 100000.0, read.currentMHz, false);
        in.Flag(device, path, "locked", read.locked);
        if (!in.Failed() && read.locked && read.currentMHz <= 0)
            in.Fail(path + QStringLiteral(".locked"), QStringLiteral("a locked device needs its current_mhz"));
        in.Text(device, path, "inclusion", read.inclusion);
        const bool listed = std::any_of(file.inclusions.begin(), file.inclusions.end(),
            [&](const InclusionList& list) { return list.name == read.inclusion; });
        if (!in.Failed() && !read.inclusion.isEmpty() && !listed)
            in.Fail(path + QStringLiteral(".inclusion"), QStringLiteral("unknown inclusion list \"%1\"").arg(read.inclusion));
        file.devices.push_back(read);
    }
}

void ReadBusyAndExclusions(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray busy;
    in.List(root, "busy_mhz", MaxFileBusy, busy);
    for (qsizetype i = 0; i < busy.size() && !in.Failed(); ++i) {
        if (!busy[i].isDouble() || !std::isfinite(busy[i].toDouble()))
            in.Fail(At("busy_mhz", i), QStringLiteral("not a number"));
        file.busyMHz.push_back(busy[i].toDouble());
    }
    QJsonArray exclusions;
    in.List(root, "exclusions", MaxFileExclusions, exclusions);
    for (qsizetype i = 0; i < exclusions.size() && !in.Failed(); ++i) {
        QJsonObject exclusion;
        Exclusion read;
        const QString path = At("exclusions", i);
        if (!in.Object(exclusions[i], path, exclusion))
            break;
        in.Number(exclusion, path, "from_mhz", 0.0, 100000.0, read.fromMHz);
        in.Number(exclusion, path, "to_mhz", 0.0, 100000.0, read.toMHz);
        in.Text(exclusion, path, "note", read.note);
        if (!in.Failed() && read.toMHz < read.fromMHz)
            in.Fail(path, QStringLiteral("range upside down (from_mhz above to_mhz)"));
        file.exclusions.push_back(read);
    }
}

void ReadInclusions(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray lists;
    in.List(root, "inclusions", MaxFileInclusions, lists);
    for (qsizetype i = 0; i < lists.size() && !in.Failed(); ++i) {
        QJsonObject list;
        InclusionList read;
        const QString path = At("inclusions", i);
        if (!in.Object(lists[i], path, list))
            break;
        in.Text(list, path, "name", read.name);
        const bool taken = std::any_of(file.inclusions.begin(), file.inclusions.end(),
            [&](const InclusionList& l) { return l.name == read.name; });
        if (!in.Failed() && (read.name.isEmpty() || taken))
            in.Fail(path + QStringLiteral(".name"), QStringLiteral("empty or already taken: \"%1\"").arg(read.name));
        QJsonArray frequencies;
        in.List(list, "mhz", MaxInclusionFrequencies, frequencies);
        in.Frequencies(frequencies, path + QStringLiteral(".mhz"), 1.0, 100000.0, read.mhz);
        file.inclusions.push_back(read);
    }
}

void ReadForeign(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray carriers;
    in.List(root, "foreign", MaxFileForeign, carriers);
    for (qsizetype i = 0; i < carriers.size() && !in.Failed(); ++i) {
        QJsonObject carrier;
        ForeignCarrier read;
        const QString path = At("foreign", i);
        if (!in.Object(carriers[i], path, carrier))
            break;
        in.Number(carrier, path, "mhz", 1.0, 100000.0, read.mhz);
        in.Text(carrier, path, "label", read.label);
        in.Text(carrier, path, "profile", read.profile);
        if (!in.Failed() && !read.profile.isEmpty() && !IsProfileName(file, read.profile))
            in.Fail(path + QStringLiteral(".profile"), QStringLiteral("unknown profile \"%1\"").arg(read.profile));
        file.foreign.push_back(read);
    }
}

// Each scan's points as [MHz, level] pairs, ascending in frequency.
void ReadScans(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonArray scans;
    in.List(root, "scans", MaxFileScans, scans);
    qsizetype total = 0;
    for (qsizetype i = 0; i < scans.size() && !in.Failed(); ++i) {
        QJsonObject scan;
        FileScan read;
        QString unit = QStringLiteral("dbm");
        const QString path = At("scans", i);
        if (!in.Object(scans[i], path, scan))
            break;
        in.Text(scan, path, "name", read.name);
        in.Text(scan, path, "unit", unit);
        if (!in.Failed() && unit != QLatin1String("dbm") && unit != QLatin1String("level"))
            in.Fail(path + QStringLiteral(".unit"), QStringLiteral("neither \"dbm\" nor \"level\""));
        read.dbm = unit == QLatin1String("dbm");
        QJsonArray points;
        in.List(scan, "points", MaxFileScanPoints, points);
        total += points.size();
        if (!in.Failed() && total > MaxFileScanPoints)
            in.Fail(path + QStringLiteral(".points"), QStringLiteral("more than %1 points in all scans").arg(MaxFileScanPoints));
        for (qsizetype p = 0; p < points.size() && !in.Failed(); ++p) {
            const QString at = QStringLiteral("%1.points[%2]").arg(path).arg(p);
            const QJsonArray pair = points[p].toArray();
            std::vector<double> values;
            if (!points[p].isArray() || pair.size() != 2)
                in.Fail(at, QStringLiteral("not a pair [MHz, level]"));
            else if (!in.Frequencies(pair, at, -1000.0, 100000.0, values))
                break; // the fault is kept, naming the value
            else if (values[0] < 1.0)
                in.Fail(at, QStringLiteral("frequency %1 MHz below 1").arg(values[0]));
            else if (!read.points.empty() && values[0] <= read.points.back().first)
                in.Fail(at, QStringLiteral("frequency not ascending"));
            else
                read.points.emplace_back(values[0], values[1]);
        }
        file.scans.push_back(std::move(read));
    }
}

// The last plan: one frequency per device, and its backups by band name.
void ReadPlan(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonObject plan;
    if (!root.contains(QLatin1String("plan")) || !in.Object(root.value(QLatin1String("plan")), QStringLiteral("plan"), plan))
        return;
    FilePlan read;
    QJsonArray frequencies;
    in.List(plan, "mhz", MaxFileDevices, frequencies);
    in.Frequencies(frequencies, QStringLiteral("plan.mhz"), 0.0, 100000.0, read.mhz);
    if (!in.Failed() && read.mhz.size() != file.devices.size())
        in.Fail(QStringLiteral("plan.mhz"),
            QStringLiteral("%1 frequencies for %2 devices").arg(read.mhz.size()).arg(file.devices.size()));
    in.Flag(plan, QStringLiteral("plan"), "checked", read.checked);
    QJsonArray backups;
    in.List(plan, "backups", MaxFileBusy, backups);
    for (qsizetype i = 0; i < backups.size() && !in.Failed(); ++i) {
        QJsonObject backup;
        QString band;
        FileBackup entry;
        const QString path = QStringLiteral("plan.backups[%1]").arg(i);
        if (!in.Object(backups[i], path, backup))
            break;
        in.Text(backup, path, "band", band);
        in.Number(backup, path, "mhz", 1.0, 100000.0, entry.mhz);
        const auto at = std::find_if(file.bands.begin(), file.bands.end(), [&](const FileBand& b) { return b.name == band; });
        if (!in.Failed() && at == file.bands.end())
            in.Fail(path + QStringLiteral(".band"), QStringLiteral("unknown band \"%1\"").arg(band));
        entry.band = static_cast<int>(at - file.bands.begin());
        read.backups.push_back(entry);
    }
    file.plan = std::move(read);
}

// The TV channels ticked as on air; ExclusionsOf turns each into an exclusion noted "TV <number>".
void ReadTv(FieldReader& in, const QJsonObject& root, CoordinationFile& file)
{
    QJsonObject tv;
    if (!root.contains(QLatin1String("tv")) || !in.Object(root.value(QLatin1String("tv")), QStringLiteral("tv"), tv))
        return;
    QString name;
    in.Text(tv, QStringLiteral("tv"), "region", name);
    const std::optional<TvRegion> region = TvRegionNamed(name);
    if (!in.Failed() && !region)
        in.Fail(QStringLiteral("tv.region"), QStringLiteral("unknown region \"%1\" (china, europe, usa)").arg(name));
    QJsonArray channels;
    in.List(tv, "channels", 256, channels);
    for (qsizetype i = 0; i < channels.size() && !in.Failed(); ++i) {
        const double number = channels[i].toDouble(-1);
        const std::optional<TvChannel> channel = number == std::floor(number) && number >= 0 && number < 1000
            ? TvChannelOf(*region, int(number))
            : std::nullopt;
        if (!channels[i].isDouble() || !channel)
            in.Fail(QStringLiteral("tv.channels[%1]").arg(i),
                QStringLiteral("no TV channel %1 in %2").arg(channels[i].toVariant().toString(), name));
        else
            file.tv.channels.push_back(channel->number);
    }
    file.tv.region = name;
}

} // namespace

FileReading ReadCoordinationFile(const QByteArray& json)
{
    FileReading reading;
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        reading.error = QStringLiteral("JSON at byte %1: %2").arg(parse.offset).arg(parse.errorString());
        return reading;
    }
    if (!document.isObject()) {
        reading.error = QStringLiteral("the file is not a JSON object");
        return reading;
    }
    FieldReader in;
    const QJsonObject root = document.object();
    ReadHead(in, root, reading.file);
    ReadProfiles(in, root, reading.file);
    ReadBands(in, root, reading.file);
    ReadInclusions(in, root, reading.file);
    ReadDevices(in, root, reading.file);
    ReadBusyAndExclusions(in, root, reading.file);
    ReadTv(in, root, reading.file);
    ReadForeign(in, root, reading.file);
    ReadScans(in, root, reading.file);
    ReadPlan(in, root, reading.file);
    reading.error = in.error;
    if (!in.Failed() && reading.file.devices.empty())
        reading.error = QStringLiteral("devices: no device to plan");
    return reading;
}

std::vector<Exclusion> ExclusionsOf(const CoordinationFile& file)
{
    std::vector<Exclusion> all = file.exclusions;
    const std::optional<TvRegion> region = TvRegionNamed(file.tv.region);
    if (!region)
        return all;
    for (const TvChannel& channel : TvChannels(*region)) {
        if (std::find(file.tv.channels.begin(), file.tv.channels.end(), channel.number) != file.tv.channels.end())
            all.push_back({ channel.fromMHz, channel.toMHz, QStringLiteral("TV %1").arg(channel.number) });
    }
    return all;
}

namespace
{

interchange::GridScan GridOf(const FileBand& band, const FileScan& scan)
{
    std::vector<interchange::ScanSample> samples;
    for (const auto& [mhz, level] : scan.points)
        samples.push_back({ mhz, level });
    return interchange::MapToGrid({ band.startMHz, 0, band.channels }, samples);
}

// Each channel's loudest reading in dBm, over the scans that saw it.
std::map<int, double> LoudestDbm(const FileBand& band, const std::vector<FileScan>& scans)
{
    std::map<int, double> loudest;
    for (const FileScan& scan : scans) {
        for (const auto& [channel, value] : GridOf(band, scan).ChannelDbm) {
            const double dbm = scan.dbm ? value : value + interchange::DefaultScanDbmOffset;
            const auto [at, added] = loudest.try_emplace(channel, dbm);
            if (!added)
                at->second = std::max(at->second, dbm);
        }
    }
    return loudest;
}

// The channels of a band no scan found above its threshold.
std::vector<bool> QuietInScans(const CoordinationFile& file, const FileBand& band)
{
    std::vector<bool> quiet(static_cast<size_t>(band.channels), true);
    for (const FileScan& scan : file.scans) {
        const double threshold = scan.dbm ? file.scanThresholdDbm : file.scanThresholdLevel;
        for (const auto& [channel, value] : GridOf(band, scan).ChannelDbm)
            if (value > threshold)
                quiet[static_cast<size_t>(channel)] = false;
    }
    return quiet;
}

std::vector<IdleChannel> IdleOfBand(const CoordinationFile& file, const FileBand& band,
    const std::vector<Exclusion>& exclusions, const std::vector<double>& busy)
{
    const std::vector<bool> quiet = QuietInScans(file, band);
    std::vector<IdleChannel> idle;
    for (int c = 0; c < band.channels; ++c) {
        const double freq = ChannelFrequency(band.startMHz, 0, c);
        const auto near = std::lower_bound(busy.begin(), busy.end(), freq - ChannelStep / 2 + 1e-9);
        const bool isBusy = near != busy.end() && *near < freq + ChannelStep / 2 - 1e-9;
        const bool excluded = std::any_of(exclusions.begin(), exclusions.end(),
            [&](const Exclusion& e) { return freq >= e.fromMHz - 1e-9 && freq <= e.toMHz + 1e-9; });
        if (!isBusy && !excluded && quiet[static_cast<size_t>(c)])
            idle.push_back({ c, freq });
    }
    return idle;
}

const InclusionList* InclusionOf(const CoordinationFile& file, const FileDevice& device)
{
    const auto at = std::find_if(file.inclusions.begin(), file.inclusions.end(),
        [&](const InclusionList& list) { return list.name == device.inclusion; });
    return device.inclusion.isEmpty() || at == file.inclusions.end() ? nullptr : &*at;
}

std::vector<IdleChannel> OnTheList(std::vector<IdleChannel> idle, const InclusionList& list)
{
    std::vector<int> allowed;
    for (double mhz : list.mhz)
        allowed.push_back(FreqKHz(mhz));
    std::sort(allowed.begin(), allowed.end());
    std::erase_if(idle, [&](const IdleChannel& c) { return !std::binary_search(allowed.begin(), allowed.end(), FreqKHz(c.Freq)); });
    return idle;
}

// The band's channel nearest a frequency, as the number a locked device is known by.
int NearestChannel(const FileBand& band, double mhz)
{
    const double steps = std::round((mhz - band.startMHz) / ChannelStep);
    return static_cast<int>(std::clamp(steps, 0.0, static_cast<double>(band.channels - 1)));
}

Profile ProfileNamed(const CoordinationFile& file, const QString& name)
{
    std::vector<Profile> known = PresetProfiles(file.rule);
    known.insert(known.end(), file.profiles.begin(), file.profiles.end());
    const auto at = std::find_if(known.begin(), known.end(), [&](const Profile& p) { return p.name == name; });
    return at != known.end() ? *at : ProfileOfRule(file.rule);
}

} // namespace

std::vector<DeviceOptions> DeviceOptionsOf(const CoordinationFile& file)
{
    const std::vector<Exclusion> exclusions = ExclusionsOf(file);
    std::vector<double> busy = file.busyMHz;
    std::sort(busy.begin(), busy.end());
    std::vector<std::vector<IdleChannel>> idle;
    for (const FileBand& band : file.bands)
        idle.push_back(IdleOfBand(file, band, exclusions, busy));
    std::vector<DeviceOptions> options;
    for (const FileDevice& device : file.devices) {
        const FileBand& band = file.bands[static_cast<size_t>(device.band)];
        DeviceOptions option { device.rxid, device.channel, idle[static_cast<size_t>(device.band)] };
        if (device.locked) {
            option.Idle = { { NearestChannel(band, device.currentMHz), device.currentMHz } };
            option.locked = true;
        } else if (const InclusionList* list = InclusionOf(file, device)) {
            option.Idle = OnTheList(std::move(option.Idle), *list);
        }
        options.push_back(std::move(option));
    }
    return options;
}

Plan ProblemOf(const CoordinationFile& file)
{
    std::vector<Profile> profiles = DeviceProfilesOf(file);
    const std::vector<Profile> foreign = ForeignProfilesOf(file);
    profiles.insert(profiles.end(), foreign.begin(), foreign.end());
    Plan problem { EnvelopeRule(profiles), DeviceOptionsOf(file), {} };
    for (const ForeignCarrier& carrier : file.foreign)
        problem.fixed.push_back({ ForeignName(carrier), FreqKHz(carrier.mhz) });
    for (const FileBand& band : file.bands) {
        for (const auto& [channel, dbm] : LoudestDbm(band, file.scans)) {
            const int level = static_cast<int>(std::lround(dbm));
            const auto [at, added]
                = problem.levelDbm.try_emplace(FreqKHz(ChannelFrequency(band.startMHz, 0, channel)), level);
            if (!added)
                at->second = std::max(at->second, level);
        }
    }
    return problem;
}

QString InclusionReason(const CoordinationFile& file, size_t device)
{
    const FileDevice& d = file.devices[device];
    const InclusionList* list = d.locked ? nullptr : InclusionOf(file, d);
    if (!list)
        return {};
    std::vector<double> busy = file.busyMHz;
    std::sort(busy.begin(), busy.end());
    const FileBand& band = file.bands[static_cast<size_t>(d.band)];
    if (!OnTheList(IdleOfBand(file, band, ExclusionsOf(file), busy), *list).empty())
        return {};
    return LanguageText("%1 的 %2 个频率均不空闲", "none of %1's %2 frequencies is idle").arg(list->name).arg(list->mhz.size());
}

QString ExcludedOf(const CoordinationFile& file, size_t device)
{
    const FileBand& band = file.bands[static_cast<size_t>(file.devices[device].band)];
    const std::vector<Exclusion> exclusions = ExclusionsOf(file);
    QStringList notes;
    std::vector<int> counts;
    for (int c = 0; c < band.channels; ++c) {
        const double freq = ChannelFrequency(band.startMHz, 0, c);
        const auto in = std::find_if(exclusions.begin(), exclusions.end(),
            [&](const Exclusion& e) { return freq >= e.fromMHz - 1e-9 && freq <= e.toMHz + 1e-9; });
        if (in == exclusions.end())
            continue;
        const qsizetype at = notes.indexOf(in->note);
        if (at < 0) {
            notes << in->note;
            counts.push_back(1);
        } else {
            ++counts[size_t(at)];
        }
    }
    QStringList parts;
    for (qsizetype i = 0; i < notes.size(); ++i)
        parts << LanguageText("%1 个被排除 (%2)", "%1 excluded (%2)").arg(counts[size_t(i)]).arg(notes[i]);
    return parts.join(QStringLiteral(", "));
}

std::vector<Profile> DeviceProfilesOf(const CoordinationFile& file)
{
    std::vector<Profile> out;
    for (const FileDevice& device : file.devices)
        out.push_back(ProfileNamed(file, device.profile));
    return out;
}

std::vector<Profile> ForeignProfilesOf(const CoordinationFile& file)
{
    std::vector<Profile> out;
    for (const ForeignCarrier& carrier : file.foreign)
        out.push_back(ProfileNamed(file, carrier.profile));
    return out;
}

QString ForeignName(const ForeignCarrier& carrier)
{
    return carrier.label.isEmpty() ? QStringLiteral("%1 MHz").arg(carrier.mhz, 0, 'f', 3) : carrier.label;
}

} // namespace coordination

namespace coordination
{

namespace
{

// A guard as the file says it: a number of kHz, or "off".
QJsonValue GuardValue(const std::optional<int>& kHz)
{
    return kHz ? QJsonValue(*kHz) : QJsonValue(QStringLiteral("off"));
}

QJsonArray NumbersOf(const std::vector<double>& values)
{
    QJsonArray out;
    for (double value : values)
        out.append(value);
    return out;
}

QJsonObject HeadOf(const CoordinationFile& file)
{
    QJsonObject root { { QStringLiteral("format"), QStringLiteral("tessaro-coordination") },
        { QStringLiteral("version"), CoordFileVersion },
        { QStringLiteral("show"),
            QJsonObject { { QStringLiteral("name"), file.showName }, { QStringLiteral("venue"), file.venue },
                { QStringLiteral("notes"), file.notes }, { QStringLiteral("coordinator"), file.coordinator } } },
        { QStringLiteral("rule"),
            QJsonObject { { QStringLiteral("level"), static_cast<int>(file.rule.level) },
                { QStringLiteral("spacing_khz"), file.rule.SpacingKHz },
                { QStringLiteral("guard_khz"), file.rule.GuardKHz } } },
        { QStringLiteral("budget_ms"), file.budgetMs }, { QStringLiteral("backups_per_band"), file.backupsPerBand },
        { QStringLiteral("scan_threshold_dbm"), file.scanThresholdDbm },
        { QStringLiteral("scan_threshold_level"), file.scanThresholdLevel },
        { QStringLiteral("busy_mhz"), NumbersOf(file.busyMHz) } };
    QJsonArray profiles;
    for (const Profile& p : file.profiles)
        profiles.append(QJsonObject { { QStringLiteral("name"), p.name },
            { QStringLiteral("spacing_khz"), GuardValue(p.spacingKHz) },
            { QStringLiteral("third_2tx_khz"), GuardValue(p.thirdTwoKHz) },
            { QStringLiteral("third_3tx_khz"), GuardValue(p.thirdThreeKHz) },
            { QStringLiteral("fifth_khz"), GuardValue(p.fifthKHz) } });
    root.insert(QStringLiteral("profiles"), profiles);
    return root;
}

void WriteBandsAndDevices(const CoordinationFile& file, QJsonObject& root)
{
    QJsonArray bands;
    for (const FileBand& b : file.bands)
        bands.append(QJsonObject { { QStringLiteral("name"), b.name }, { QStringLiteral("start_mhz"), b.startMHz },
            { QStringLiteral("channels"), b.channels } });
    root.insert(QStringLiteral("bands"), bands);
    QJsonArray devices;
    for (const FileDevice& d : file.devices) {
        QJsonObject device { { QStringLiteral("rxid"), d.rxid }, { QStringLiteral("channel"), d.channel },
            { QStringLiteral("name"), d.name }, { QStringLiteral("band"), file.bands[size_t(d.band)].name },
            { QStringLiteral("locked"), d.locked } };
        if (!d.profile.isEmpty())
            device.insert(QStringLiteral("profile"), d.profile);
        if (d.currentMHz > 0)
            device.insert(QStringLiteral("current_mhz"), d.currentMHz);
        if (!d.inclusion.isEmpty())
            device.insert(QStringLiteral("inclusion"), d.inclusion);
        devices.append(device);
    }
    root.insert(QStringLiteral("devices"), devices);
}

void WriteLimits(const CoordinationFile& file, QJsonObject& root)
{
    QJsonArray exclusions;
    for (const Exclusion& e : file.exclusions)
        exclusions.append(QJsonObject { { QStringLiteral("from_mhz"), e.fromMHz }, { QStringLiteral("to_mhz"), e.toMHz },
            { QStringLiteral("note"), e.note } });
    root.insert(QStringLiteral("exclusions"), exclusions);
    if (!file.tv.region.isEmpty()) {
        QJsonArray channels;
        for (int number : file.tv.channels)
            channels.append(number);
        root.insert(QStringLiteral("tv"),
            QJsonObject { { QStringLiteral("region"), file.tv.region }, { QStringLiteral("channels"), channels } });
    }
    QJsonArray inclusions;
    for (const InclusionList& list : file.inclusions)
        inclusions.append(
            QJsonObject { { QStringLiteral("name"), list.name }, { QStringLiteral("mhz"), NumbersOf(list.mhz) } });
    root.insert(QStringLiteral("inclusions"), inclusions);
    QJsonArray foreign;
    for (const ForeignCarrier& c : file.foreign) {
        QJsonObject carrier { { QStringLiteral("mhz"), c.mhz }, { QStringLiteral("label"), c.label } };
        if (!c.profile.isEmpty())
            carrier.insert(QStringLiteral("profile"), c.profile);
        foreign.append(carrier);
    }
    root.insert(QStringLiteral("foreign"), foreign);
}

void WriteScansAndPlan(const CoordinationFile& file, QJsonObject& root)
{
    QJsonArray scans;
    for (const FileScan& scan : file.scans) {
        QJsonArray points;
        for (const auto& [mhz, level] : scan.points)
            points.append(QJsonArray { mhz, level });
        scans.append(QJsonObject { { QStringLiteral("name"), scan.name },
            { QStringLiteral("unit"), scan.dbm ? QStringLiteral("dbm") : QStringLiteral("level") },
            { QStringLiteral("points"), points } });
    }
    root.insert(QStringLiteral("scans"), scans);
    if (!file.plan)
        return;
    QJsonArray backups;
    for (const FileBackup& b : file.plan->backups)
        backups.append(QJsonObject {
            { QStringLiteral("band"), file.bands[size_t(b.band)].name }, { QStringLiteral("mhz"), b.mhz } });
    root.insert(QStringLiteral("plan"),
        QJsonObject { { QStringLiteral("mhz"), NumbersOf(file.plan->mhz) },
            { QStringLiteral("checked"), file.plan->checked }, { QStringLiteral("backups"), backups } });
}

} // namespace

QByteArray WriteCoordinationFile(const CoordinationFile& file)
{
    QJsonObject root = HeadOf(file);
    WriteBandsAndDevices(file, root);
    WriteLimits(file, root);
    WriteScansAndPlan(file, root);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace coordination
