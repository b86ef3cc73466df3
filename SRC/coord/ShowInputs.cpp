#include "coord/ShowInputs.h"

#include "coord/Explain.h"
#include "coord/PlanShow.h"
#include "lang/Language.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <utility>

namespace coordination
{

namespace
{

constexpr double Tolerance = 1e-6; // MHz: band starts and frequencies compared as the file keeps them

bool SameBand(const FileBand& a, const FileBand& b)
{
    return std::abs(a.startMHz - b.startMHz) < Tolerance && a.channels == b.channels;
}

double BandTop(const FileBand& band)
{
    return BandEnd(band.startMHz, band.channels);
}

bool InSomeBand(const CoordinationFile& file, double mhz)
{
    return std::any_of(file.bands.begin(), file.bands.end(),
        [&](const FileBand& b) { return mhz >= b.startMHz - Tolerance && mhz <= BandTop(b) + Tolerance; });
}

QString MHzText(double mhz)
{
    return QString::number(mhz, 'f', 3);
}

QString OutsideBands(const CoordinationFile& file, double mhz)
{
    if (file.bands.empty())
        return LanguageText("还没有已知频段: 请先添加接收机", "No band known yet: add the receivers first");
    QStringList bands;
    for (const FileBand& b : file.bands)
        bands << MHzText(b.startMHz) + QLatin1Char('-') + MHzText(BandTop(b));
    return LanguageText("%1 MHz 不在任何频段内 (%2 MHz)", "%1 MHz lies outside every band (%2 MHz)")
        .arg(MHzText(mhz), bands.join(QStringLiteral(", ")));
}

bool IsFinite(double mhz)
{
    return std::isfinite(mhz);
}

// The record's frequency as the show keeps it: 0 when it never reported one the file could hold.
double CurrentOf(const TTMICListObj& record)
{
    return std::isfinite(record.Freq) && record.Freq > 0.0 && record.Freq <= 100000.0 ? record.Freq : 0.0;
}

} // namespace

FileBand BandOfRecord(const TTMICListObj& record)
{
    return { record.Band, std::clamp(record.StartFreq, 1.0, 10000.0),
        std::clamp(record.MaxChannel, 1, MaxBandChannels) };
}

int BandIndexOf(CoordinationFile& file, const FileBand& band)
{
    const auto same
        = std::find_if(file.bands.begin(), file.bands.end(), [&](const FileBand& b) { return SameBand(b, band); });
    if (same != file.bands.end())
        return static_cast<int>(same - file.bands.begin());
    const auto taken = [&](const QString& name) {
        return std::any_of(file.bands.begin(), file.bands.end(), [&](const FileBand& b) { return b.name == name; });
    };
    FileBand added = band;
    if (added.name.isEmpty() || taken(added.name))
        added.name
            = (band.name.isEmpty() ? QStringLiteral("band") : band.name) + QLatin1Char(' ') + MHzText(band.startMHz);
    for (int n = 2; taken(added.name); ++n)
        added.name = band.name + QStringLiteral(" %1 (%2)").arg(MHzText(band.startMHz)).arg(n);
    file.bands.push_back(added);
    return static_cast<int>(file.bands.size()) - 1;
}

const FileDevice* ShowDeviceOf(const CoordinationFile& file, int rxid, int channel)
{
    const auto at = std::find_if(file.devices.begin(), file.devices.end(),
        [&](const FileDevice& d) { return d.rxid == rxid && d.channel == channel; });
    return at != file.devices.end() ? &*at : nullptr;
}

FileDevice* ShowDeviceOf(CoordinationFile& file, int rxid, int channel)
{
    return const_cast<FileDevice*>(ShowDeviceOf(std::as_const(file), rxid, channel));
}

bool JoinManagedDevices(CoordinationFile& file, const DeviceList& devices)
{
    bool changed = false;
    for (const auto& record : devices) {
        const int band = BandIndexOf(file, BandOfRecord(*record));
        FileDevice* entry = ShowDeviceOf(file, record->RXID, record->DevIdx);
        if (!entry) {
            FileDevice device;
            device.rxid = record->RXID;
            device.channel = record->DevIdx;
            device.name = record->Name;
            device.band = band;
            device.currentMHz = CurrentOf(*record);
            file.devices.push_back(device);
            if (file.plan)
                file.plan->mhz.push_back(0.0);
            changed = true;
            continue;
        }
        const double current = entry->locked ? entry->currentMHz : CurrentOf(*record);
        changed |= entry->band != band || entry->currentMHz != current || entry->name != record->Name;
        entry->band = band;
        entry->currentMHz = current;
        entry->name = record->Name;
    }
    return changed;
}

QString ExclusionProblem(const CoordinationFile& file, const Exclusion& exclusion)
{
    if (!IsFinite(exclusion.fromMHz) || !IsFinite(exclusion.toMHz))
        return LanguageText("频率不是数字", "A frequency is not a number");
    if (exclusion.fromMHz > exclusion.toMHz)
        return LanguageText(
            "范围颠倒: 起始 %1 MHz 高于结束 %2 MHz", "Range upside down: from %1 MHz is above to %2 MHz")
            .arg(MHzText(exclusion.fromMHz), MHzText(exclusion.toMHz));
    if (static_cast<int>(file.exclusions.size()) >= MaxFileExclusions)
        return LanguageText("排除范围已达上限 %1 个", "At most %1 exclusions").arg(MaxFileExclusions);
    const bool overlaps = std::any_of(file.bands.begin(), file.bands.end(), [&](const FileBand& b) {
        return exclusion.toMHz >= b.startMHz - Tolerance && exclusion.fromMHz <= BandTop(b) + Tolerance;
    });
    return overlaps ? QString() : OutsideBands(file, exclusion.fromMHz);
}

QString ForeignProblem(const CoordinationFile& file, const ForeignCarrier& carrier)
{
    if (!IsFinite(carrier.mhz))
        return LanguageText("频率不是数字", "A frequency is not a number");
    if (static_cast<int>(file.foreign.size()) >= MaxFileForeign)
        return LanguageText("外部载波已达上限 %1 个", "At most %1 foreign carriers").arg(MaxFileForeign);
    return InSomeBand(file, carrier.mhz) ? QString() : OutsideBands(file, carrier.mhz);
}

QString InclusionProblem(const CoordinationFile& file, const InclusionList& list)
{
    const bool taken = std::any_of(
        file.inclusions.begin(), file.inclusions.end(), [&](const InclusionList& l) { return l.name == list.name; });
    if (list.name.trimmed().isEmpty() || taken)
        return LanguageText("列表名称为空或已被使用: \"%1\"", "The list's name is empty or already taken: \"%1\"")
            .arg(list.name);
    if (static_cast<int>(file.inclusions.size()) >= MaxFileInclusions)
        return LanguageText("包含列表已达上限 %1 个", "At most %1 inclusion lists").arg(MaxFileInclusions);
    if (list.mhz.empty() || static_cast<int>(list.mhz.size()) > MaxInclusionFrequencies)
        return LanguageText("列表需要 1 到 %1 个频率", "A list needs 1 to %1 frequencies").arg(MaxInclusionFrequencies);
    for (double mhz : list.mhz)
        if (!IsFinite(mhz) || !InSomeBand(file, mhz))
            return OutsideBands(file, mhz);
    return {};
}

QString LockProblem(const TTMICListObj& record)
{
    if (CurrentOf(record) > 0.0)
        return {};
    return LanguageText(
        "设备 %1:%2 还没有报告频率: 请先连接", "Device %1:%2 has not reported its frequency yet: connect it first")
        .arg(record.RXID)
        .arg(record.DevIdx);
}

QString ProfileProblem(const CoordinationFile& file, const Profile& profile)
{
    const auto named = [&](const Profile& p) { return p.name == profile.name; };
    const std::vector<Profile> presets = PresetProfiles(file.rule);
    if (profile.name.trimmed().isEmpty() || std::any_of(presets.begin(), presets.end(), named)
        || std::any_of(file.profiles.begin(), file.profiles.end(), named))
        return LanguageText(
            "设备类型名称为空或已被使用: \"%1\"", "The profile's name is empty or already taken: \"%1\"")
            .arg(profile.name);
    if (static_cast<int>(file.profiles.size()) >= MaxFileProfiles)
        return LanguageText("设备类型已达上限 %1 个", "At most %1 profiles").arg(MaxFileProfiles);
    return {};
}

QString ProfileRemovalProblem(const CoordinationFile& file, const QString& name)
{
    for (const FileDevice& d : file.devices)
        if (d.profile == name)
            return LanguageText("设备 %1:%2 使用设备类型 \"%3\"", "Device %1:%2 uses the profile \"%3\"")
                .arg(d.rxid)
                .arg(d.channel)
                .arg(name);
    for (const ForeignCarrier& c : file.foreign)
        if (c.profile == name)
            return LanguageText("外部载波 %1 使用设备类型 \"%2\"", "The foreign carrier %1 uses the profile \"%2\"")
                .arg(c.label.isEmpty() ? MHzText(c.mhz) : c.label, name);
    return {};
}

bool ParseGuardKHz(const QString& text, std::optional<int>& out)
{
    const QString word = text.trimmed();
    out.reset();
    if (word.isEmpty() || word.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    const int kHz = word.toInt(&ok);
    if (!ok || kHz < 0 || kHz > MaxSettingKHz)
        return false;
    out = kHz;
    return true;
}

std::optional<std::vector<double>> ParseMHzList(const QString& text, QString* bad)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    std::vector<double> out;
    for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
        bool ok = false;
        const double mhz = QLocale::c().toDouble(word, &ok);
        if (!ok || !std::isfinite(mhz)) {
            if (bad)
                *bad = word;
            return std::nullopt;
        }
        out.push_back(mhz);
    }
    return out;
}

CoordinationFile PlanningFile(
    const CoordinationFile& show, const std::vector<WindowDevice>& devices, const Rule& rule, int budgetMs)
{
    CoordinationFile out = show;
    out.devices.clear();
    out.bands.clear();
    out.busyMHz.clear();
    out.plan.reset();
    out.rule = rule;
    out.budgetMs = budgetMs;
    for (const WindowDevice& shown : devices) {
        const TTMICListObj& record = *shown.record;
        const FileDevice* entry = ShowDeviceOf(show, record.RXID, record.DevIdx);
        FileDevice device = entry ? *entry : FileDevice {};
        device.rxid = record.RXID;
        device.channel = record.DevIdx;
        device.name = record.Name;
        device.band = BandIndexOf(out, BandOfRecord(record));
        if (!device.locked)
            device.currentMHz = CurrentOf(record);
        out.devices.push_back(device);
        const FileBand& band = out.bands[static_cast<size_t>(device.band)];
        std::vector<bool> idle(static_cast<size_t>(band.channels), false);
        for (const IdleChannel& i : shown.idle)
            if (i.Channel - record.StartChannel >= 0 && i.Channel - record.StartChannel < band.channels)
                idle[static_cast<size_t>(i.Channel - record.StartChannel)] = true;
        for (int c = 0; c < band.channels; ++c)
            if (!idle[static_cast<size_t>(c)])
                out.busyMHz.push_back(ChannelFrequency(band.startMHz, 0, c));
    }
    for (const FileDevice& entry : show.devices) {
        if (!entry.locked || ShowDeviceOf(out, entry.rxid, entry.channel))
            continue;
        FileDevice device = entry;
        device.band = BandIndexOf(out, show.bands[static_cast<size_t>(entry.band)]);
        out.devices.push_back(device);
    }
    std::sort(out.busyMHz.begin(), out.busyMHz.end());
    out.busyMHz.erase(std::unique(out.busyMHz.begin(), out.busyMHz.end()), out.busyMHz.end());
    return out;
}

void KeepPlan(CoordinationFile& show, const CoordinationFile& planned, const FilePlan& plan)
{
    CoordinationFile kept = planned;
    FilePlan mhz = plan;
    for (const FileDevice& entry : show.devices) {
        if (ShowDeviceOf(kept, entry.rxid, entry.channel))
            continue;
        FileDevice device = entry;
        device.band = BandIndexOf(kept, show.bands[static_cast<size_t>(entry.band)]);
        kept.devices.push_back(device);
        mhz.mhz.push_back(0.0);
    }
    kept.plan = std::move(mhz);
    show = std::move(kept);
}

std::vector<NamedCarrier> ForeignCarriersOf(const CoordinationFile& show)
{
    std::vector<NamedCarrier> carriers;
    for (size_t i = 0; i < show.foreign.size(); ++i) {
        const ForeignCarrier& c = show.foreign[i];
        carriers.push_back({ c.label.isEmpty() ? QStringLiteral("foreign %1").arg(i + 1) : c.label, FreqKHz(c.mhz) });
    }
    return carriers;
}

QStringList AnalyzeOnAir(const Rule& rule, const DeviceList& devices, const CoordinationFile& show)
{
    std::vector<NamedCarrier> carriers;
    for (const auto& record : devices)
        if (record->Freq > 0.0)
            carriers.push_back(
                { QStringLiteral("%1:%2").arg(record->RXID).arg(record->DevIdx), FreqKHz(record->Freq) });
    const size_t ours = carriers.size();
    const std::vector<NamedCarrier> foreign = ForeignCarriersOf(show);
    carriers.insert(carriers.end(), foreign.begin(), foreign.end());
    QStringList lines { LanguageText(
        "在用频率: %1 个我方设备, %2 个外部载波; 规则: 等级 %3, 间隔 %4 kHz, 互调保护 %5 kHz",
        "On air: %1 of our devices, %2 foreign carriers; rule: level %3, spacing %4 kHz, product guard %5 kHz")
                            .arg(ours)
                            .arg(show.foreign.size())
                            .arg(static_cast<int>(rule.level))
                            .arg(rule.SpacingKHz)
                            .arg(rule.GuardKHz) };
    if (carriers.empty())
        return lines << LanguageText("没有在用的频率", "No frequency on air");
    return lines + Analyze(rule, carriers);
}

} // namespace coordination
