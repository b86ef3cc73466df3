#include "coord/CoordFile.h"

#include "coord/Search.h"
#include "coord/TvChannels.h"
#include "data/Device.h"

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
    if (in.Whole(root, {}, "version", INT_MIN, INT_MAX, version) && version != CoordFileVersion)
        in.Fail(QStringLiteral("version"),
            QStringLiteral("unknown version %1 (this program reads %2)").arg(version).arg(CoordFileVersion));
    QJsonObject show;
    if (root.contains(QLatin1String("show")) && in.Object(root.value(QLatin1String("show")), QStringLiteral("show"), show)) {
        in.Text(show, QStringLiteral("show"), "name", file.showName);
        in.Text(show, QStringLiteral("show"), "venue", file.venue);
        in.Text(show, QStringLiteral("show"), "notes", file.notes);
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

// The TV channels ticked as on air, each an exclusion noted "TV <number>".
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
            file.exclusions.push_back(
                { channel->fromMHz, channel->toMHz, QStringLiteral("TV %1").arg(channel->number) });
    }
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
    ReadDevices(in, root, reading.file);
    ReadBusyAndExclusions(in, root, reading.file);
    ReadTv(in, root, reading.file);
    reading.error = in.error;
    if (!in.Failed() && reading.file.devices.empty())
        reading.error = QStringLiteral("devices: no device to plan");
    return reading;
}

std::vector<DeviceOptions> DeviceOptionsOf(const CoordinationFile& file)
{
    std::vector<double> busy = file.busyMHz;
    std::sort(busy.begin(), busy.end());
    std::vector<std::vector<IdleChannel>> idle(file.bands.size());
    for (size_t b = 0; b < file.bands.size(); ++b) {
        for (int c = 0; c < file.bands[b].channels; ++c) {
            const double freq = ChannelFrequency(file.bands[b].startMHz, 0, c);
            const auto near = std::lower_bound(busy.begin(), busy.end(), freq - ChannelStep / 2 + 1e-9);
            const bool isBusy = near != busy.end() && *near < freq + ChannelStep / 2 - 1e-9;
            const bool excluded = std::any_of(file.exclusions.begin(), file.exclusions.end(),
                [&](const Exclusion& e) { return freq >= e.fromMHz - 1e-9 && freq <= e.toMHz + 1e-9; });
            if (!isBusy && !excluded)
                idle[b].push_back({ c, freq });
        }
    }
    std::vector<DeviceOptions> options;
    for (const FileDevice& device : file.devices)
        options.push_back({ device.rxid, device.channel, idle[static_cast<size_t>(device.band)] });
    return options;
}

QString ExcludedOf(const CoordinationFile& file, size_t device)
{
    const FileBand& band = file.bands[static_cast<size_t>(file.devices[device].band)];
    QStringList notes;
    std::vector<int> counts;
    for (int c = 0; c < band.channels; ++c) {
        const double freq = ChannelFrequency(band.startMHz, 0, c);
        const auto in = std::find_if(file.exclusions.begin(), file.exclusions.end(),
            [&](const Exclusion& e) { return freq >= e.fromMHz - 1e-9 && freq <= e.toMHz + 1e-9; });
        if (in == file.exclusions.end())
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
        parts << QStringLiteral("%1 excluded (%2)").arg(counts[size_t(i)]).arg(notes[i]);
    return parts.join(QStringLiteral(", "));
}

std::vector<Profile> DeviceProfilesOf(const CoordinationFile& file)
{
    std::vector<Profile> known = PresetProfiles(file.rule);
    known.insert(known.end(), file.profiles.begin(), file.profiles.end());
    std::vector<Profile> out;
    for (const FileDevice& device : file.devices) {
        const auto at
            = std::find_if(known.begin(), known.end(), [&](const Profile& p) { return p.name == device.profile; });
        out.push_back(at != known.end() ? *at : ProfileOfRule(file.rule));
    }
    return out;
}

} // namespace coordination
