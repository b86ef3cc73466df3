#include "interchange/PlanExports.h"

#include "coord/Explain.h"
#include "coord/Profiles.h"
#include "coord/Search.h"
#include "data/Device.h"

#include <algorithm>
#include <cmath>

namespace interchange
{

namespace
{

using coordination::CoordinationFile;

// The channel of the band at mhz, or -1 when mhz is not on the band's grid.
int ChannelAt(const coordination::FileBand& band, double mhz)
{
    const int channel = static_cast<int>(std::lround((mhz - band.startMHz) / ChannelStep));
    const bool onGrid = channel >= 0 && channel < band.channels
        && coordination::FreqKHz(ChannelFrequency(band.startMHz, 0, channel)) == coordination::FreqKHz(mhz);
    return onGrid ? channel : -1;
}

// Puts the channel into the options of every device of the band, so that they stay one band.
void KeepChannel(
    std::vector<coordination::DeviceOptions>& options, const CoordinationFile& show, int band, int channel, double mhz)
{
    for (size_t d = 0; d < options.size(); ++d) {
        if (show.devices[d].band != band)
            continue;
        std::vector<IdleChannel>& idle = options[d].Idle;
        const auto at = std::lower_bound(
            idle.begin(), idle.end(), channel, [](const IdleChannel& c, int wanted) { return c.Channel < wanted; });
        if (at == idle.end() || at->Channel != channel)
            idle.insert(at, { channel, mhz });
    }
}

} // namespace

std::optional<coordination::ShowPlan> StoredPlan(const CoordinationFile& show)
{
    if (!show.plan || show.plan->mhz.size() != show.devices.size())
        return std::nullopt;
    const coordination::FilePlan& stored = *show.plan;
    std::vector<coordination::DeviceOptions> options = coordination::DeviceOptionsOf(show);
    std::vector<int> chosen(show.devices.size(), -1);
    for (size_t d = 0; d < show.devices.size(); ++d) {
        if (stored.mhz[d] <= 0)
            continue;
        const int band = show.devices[d].band;
        chosen[d] = ChannelAt(show.bands[size_t(band)], stored.mhz[d]);
        if (chosen[d] < 0)
            return std::nullopt;
        KeepChannel(options, show, band, chosen[d], stored.mhz[d]);
    }
    coordination::ShowPlan plan;
    const std::vector<coordination::Profile> profiles = coordination::DeviceProfilesOf(show);
    plan.found.plan = { coordination::EnvelopeRule(profiles), std::move(options), std::move(chosen) };
    plan.found.worstMarginKHz
        = coordination::WorstMarginKHz(plan.found.plan.rule, coordination::CarriersOf(plan.found.plan));
    plan.exact = coordination::EnvelopeIsExact(profiles);
    const std::vector<int> bands = coordination::BandsOf(plan.found.plan);
    for (const coordination::FileBackup& backup : stored.backups) {
        const auto device = std::find_if(show.devices.begin(), show.devices.end(),
            [&](const coordination::FileDevice& d) { return d.band == backup.band; });
        if (device == show.devices.end())
            continue;
        plan.backups.push_back({ bands[size_t(device - show.devices.begin())], coordination::FreqKHz(backup.mhz) });
    }
    for (size_t d = 0; d < show.devices.size(); ++d)
        plan.why.push_back(coordination::WhyNotPlaced(plan.found.plan, d));
    return plan;
}

QByteArray PlanExport(PlanForm form, const CoordinationFile& show, QString* why)
{
    if (form == PlanForm::CoordinationFile)
        return coordination::WriteCoordinationFile(show);
    const std::optional<coordination::ShowPlan> plan = StoredPlan(show);
    if (!plan) {
        *why = show.plan ? QStringLiteral("the show's plan does not fit its devices")
                         : QStringLiteral("the show holds no plan yet");
        return {};
    }
    if (form == PlanForm::Csv)
        return coordination::PlanCsv(show, *plan).toUtf8();
    QByteArray list;
    for (const double mhz : show.plan->mhz)
        if (mhz > 0)
            list += QByteArray::number(mhz, 'f', 3) + '\n';
    for (const coordination::FileBackup& backup : show.plan->backups)
        list += QByteArray::number(backup.mhz, 'f', 3) + '\n';
    return list;
}

QString PlanExportFileName(PlanForm form)
{
    switch (form) {
    case PlanForm::Csv:
        return QStringLiteral("plan.csv");
    case PlanForm::FrequencyList:
        return QStringLiteral("plan.txt");
    case PlanForm::CoordinationFile:
        break;
    }
    return QStringLiteral("show.json");
}

} // namespace interchange
