#include "coord/PlanShow.h"

#include "coord/CheckShow.h"
#include "data/CsvField.h"
#include "lang/Language.h"

#include <QStringList>
#include <algorithm>

namespace coordination
{

namespace
{

// The file's band of a plan band: the band of the first device in it.
QString BandName(const CoordinationFile& file, const std::vector<int>& bands, int band)
{
    const auto first = static_cast<size_t>(std::find(bands.begin(), bands.end(), band) - bands.begin());
    return file.bands[static_cast<size_t>(file.devices[first].band)].name;
}

} // namespace

ShowPlan PlanShow(const CoordinationFile& file, const SearchLimits& limits)
{
    ShowPlan out;
    const std::vector<Profile> profiles = DeviceProfilesOf(file);
    const std::vector<Profile> foreign = ForeignProfilesOf(file);
    std::vector<Profile> all = profiles;
    all.insert(all.end(), foreign.begin(), foreign.end());
    out.found = SearchBest(ProblemOf(file), limits);
    out.exact = EnvelopeIsExact(all);
    std::vector<QString> dropped = DropProfileConflicts(out.found.plan, profiles, foreign);
    PlaceUnderProfiles(out.found.plan, profiles, foreign);
    out.found.worstMarginKHz = WorstMarginKHz(out.found.plan);
    out.backups = Backups(out.found.plan, file.backupsPerBand);
    for (size_t d = 0; d < file.devices.size(); ++d) {
        QString why = out.found.plan.ChannelOf(d) >= 0 ? QString() : dropped[d];
        if (why.isEmpty())
            why = InclusionReason(file, d);
        if (why.isEmpty())
            why = WhyNotPlaced(out.found.plan, d);
        if (!why.isEmpty() && !ExcludedOf(file, d).isEmpty())
            why += QStringLiteral("; ") + ExcludedOf(file, d);
        out.why.push_back(why);
    }
    out.given = GivenConflicts(out.found.plan, profiles, foreign);
    return out;
}

FilePlan FilePlanOf(const CoordinationFile& file, const ShowPlan& plan)
{
    FilePlan out;
    const Plan& p = plan.found.plan;
    for (size_t d = 0; d < p.devices.size(); ++d)
        out.mhz.push_back(p.ChannelOf(d) >= 0 ? p.FreqOf(d) : 0.0);
    const std::vector<int> bands = BandsOf(p);
    for (const Backup& backup : plan.backups) {
        const auto first = static_cast<size_t>(std::find(bands.begin(), bands.end(), backup.band) - bands.begin());
        out.backups.push_back({ file.devices[first].band, backup.kHz / 1000.0 });
    }
    out.checked = check(p).empty() && CheckShow(file, out).empty();
    return out;
}

QString DeviceId(const FileDevice& device)
{
    return QStringLiteral("%1:%2").arg(device.rxid).arg(device.channel);
}

QString PlanCsv(const CoordinationFile& file, const ShowPlan& shown)
{
    const Plan& plan = shown.found.plan;
    std::vector<int> carriers; // ours in device order, then the foreign ones
    for (size_t d = 0; d < plan.devices.size(); ++d)
        if (plan.ChannelOf(d) >= 0)
            carriers.push_back(FreqKHz(plan.FreqOf(d)));
    for (const NamedCarrier& c : plan.fixed)
        carriers.push_back(c.kHz);
    const std::vector<int> margins = MarginsKHz(plan.rule, carriers);
    const std::vector<int> bands = BandsOf(plan);
    QStringList lines { QStringLiteral("device,name,band,frequency_mhz,backup_of,margin_khz") };
    size_t carrier = 0;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        const FileDevice& device = file.devices[d];
        QString line = CsvField(DeviceId(device)) + QLatin1Char(',') + CsvField(device.name) + QLatin1Char(',')
            + CsvField(file.bands[static_cast<size_t>(device.band)].name);
        if (plan.ChannelOf(d) >= 0)
            line += QStringLiteral(",%1,,%2").arg(plan.FreqOf(d), 0, 'f', 3).arg(margins[carrier++]);
        else
            line += QStringLiteral(",,,");
        lines << line;
    }
    for (const Backup& backup : shown.backups)
        lines << QStringLiteral(",,%1,%2,%1,")
                     .arg(CsvField(BandName(file, bands, backup.band)))
                     .arg(backup.kHz / 1000.0, 0, 'f', 3);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString PlanAnalysis(const CoordinationFile& file, const ShowPlan& shown)
{
    const Plan& plan = shown.found.plan;
    QStringList lines;
    QString head = LanguageText("方案: 已放置 %1/%2 个设备", "Plan: %1 of %2 devices placed")
                       .arg(plan.PlacedCount())
                       .arg(plan.devices.size());
    if (plan.PlacedCount() > 1)
        head += LanguageText(", 最小余量 %1 kHz", ", worst margin %1 kHz").arg(shown.found.worstMarginKHz);
    // The search ran at the strictest of the devices' rules: a best count proved there is proved
    // for the devices only when that rule is exactly theirs.
    if (!shown.found.proved)
        head += LanguageText(", 时间用完 (未证明为最佳)", ", time ran out (not proved best)");
    else if (!shown.exact)
        head += LanguageText(", 按最严格的配置搜索 (未证明为最佳)", ", searched at the strictest profile (not proved best)");
    else
        head += LanguageText(", 已证明为最佳", ", proved best");
    lines << head;
    const std::vector<int> bands = BandsOf(plan);
    for (const Backup& backup : shown.backups)
        lines << LanguageText("频段 %1 的备用频率: %2 MHz", "Backup for band %1: %2 MHz")
                     .arg(BandName(file, bands, backup.band))
                     .arg(backup.kHz / 1000.0, 0, 'f', 3);
    for (size_t d = 0; d < plan.devices.size(); ++d)
        if (!shown.why[d].isEmpty())
            lines << QStringLiteral("%1 %2: %3").arg(DeviceId(file.devices[d]), file.devices[d].name, shown.why[d]);
    for (const QString& given : shown.given)
        lines << LanguageText("锁定或外部载波, 未移动: %1", "Locked or foreign, not moved: %1").arg(given);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace coordination
