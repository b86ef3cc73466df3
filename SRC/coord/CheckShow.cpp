#include "coord/CheckShow.h"

#include "data/Device.h"
#include "lang/Language.h"

#include <algorithm>
#include <cmath>

namespace coordination
{

namespace
{

QString NameOf(const FileDevice& device)
{
    return QStringLiteral("%1:%2").arg(device.rxid).arg(device.channel);
}

QString Mhz(double mhz)
{
    return QString::number(mhz, 'f', 3);
}

// Why a frequency a device was given is not one of its idle channels; empty when it is.
QString NotIdleBecause(const CoordinationFile& file, const FileDevice& device, double mhz)
{
    const FileBand& band = file.bands[static_cast<size_t>(device.band)];
    const long long kHz = FreqKHz(mhz);
    const double channel = std::round((mhz - band.startMHz) / ChannelStep);
    if (channel < 0 || channel >= band.channels || std::abs(band.startMHz + channel * ChannelStep - mhz) > 1e-6)
        return LanguageText("不在频段 %1 的信道上", "not a channel of band %1").arg(band.name);
    for (const Exclusion& e : ExclusionsOf(file))
        if (mhz >= e.fromMHz - 1e-9 && mhz <= e.toMHz + 1e-9) // edges included
            return LanguageText("在排除范围内 (%1)", "excluded (%1)").arg(e.note);
    for (double busy : file.busyMHz)
        if (std::abs(busy - mhz) < ChannelStep / 2 - 1e-9)
            return LanguageText("%1 MHz 处繁忙", "busy at %1 MHz").arg(Mhz(busy));
    for (const FileScan& scan : file.scans) {
        const double threshold = scan.dbm ? file.scanThresholdDbm : file.scanThresholdLevel;
        for (const auto& [at, level] : scan.points) {
            // The channel's slot: from half a step below up to, not including, half a step above
            // (a point written with three decimals on the edge it names).
            const double slot = std::floor((at - band.startMHz + ChannelStep / 2) / ChannelStep + 1e-9);
            if (slot == channel && level > threshold)
                return LanguageText("扫描 %1 在 %2 MHz 处高于门限", "scan %1 above its threshold at %2 MHz")
                    .arg(scan.name, Mhz(at));
        }
    }
    const auto list = std::find_if(file.inclusions.begin(), file.inclusions.end(),
        [&](const InclusionList& l) { return l.name == device.inclusion; });
    if (!device.inclusion.isEmpty() && list != file.inclusions.end()
        && std::none_of(list->mhz.begin(), list->mhz.end(), [&](double f) { return FreqKHz(f) == kHz; }))
        return LanguageText("不在 %1 中", "not on %1").arg(list->name);
    return {};
}

} // namespace

QStringList CheckShow(const CoordinationFile& file, const FilePlan& plan)
{
    QStringList faults;
    if (plan.mhz.size() != file.devices.size())
        return { LanguageText("方案有 %1 个频率, 设备有 %2 个", "the plan has %1 frequencies for %2 devices")
                .arg(plan.mhz.size())
                .arg(file.devices.size()) };
    const std::vector<Profile> deviceProfiles = DeviceProfilesOf(file);
    const std::vector<Profile> foreignProfiles = ForeignProfilesOf(file);
    std::vector<ProfiledCarrier> onAir;
    std::vector<QString> names;
    std::vector<char> given;
    for (size_t d = 0; d < file.devices.size(); ++d) {
        const FileDevice& device = file.devices[d];
        const double mhz = plan.mhz[d];
        if (device.locked && FreqKHz(mhz) != FreqKHz(device.currentMHz)) {
            faults << LanguageText("%1 已锁定在 %2 MHz, 方案给出 %3 MHz", "%1 is locked on %2 MHz, the plan gives %3 MHz")
                          .arg(NameOf(device), Mhz(device.currentMHz), Mhz(mhz));
        } else if (mhz > 0 && !device.locked) {
            const QString why = NotIdleBecause(file, device, mhz);
            if (!why.isEmpty())
                faults << QStringLiteral("%1 %2 MHz: %3").arg(NameOf(device), Mhz(mhz), why);
        }
        if (mhz <= 0)
            continue;
        onAir.push_back({ FreqKHz(mhz), &deviceProfiles[d] });
        names.push_back(NameOf(device));
        given.push_back(device.locked ? 1 : 0);
    }
    for (size_t k = 0; k < file.foreign.size(); ++k) {
        onAir.push_back({ FreqKHz(file.foreign[k].mhz), &foreignProfiles[k] });
        names.push_back(ForeignName(file.foreign[k]));
        given.push_back(1);
    }
    for (const ProfileViolation& v : CheckProfiles(onAir))
        if (std::any_of(v.carriers.begin(), v.carriers.end(), [&](int c) { return given[size_t(c)] == 0; }))
            faults << Describe(v, names);
    return faults;
}

} // namespace coordination
