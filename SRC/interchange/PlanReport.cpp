#include "interchange/PlanReport.h"

#include "coord/PlanShow.h"
#include "coord/Profiles.h"
#include "data/Device.h"
#include "interchange/PlanExports.h"
#include "interchange/ShowScans.h"
#include "lang/Language.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace interchange
{

namespace
{

using coordination::CoordinationFile;

QString Mhz(double mhz)
{
    return QString::number(mhz, 'f', 3);
}

QString Guard(const std::optional<int>& khz)
{
    return khz ? QStringLiteral("%1 kHz").arg(*khz) : LanguageText("关", "off");
}

QString LevelText(coordination::Level level)
{
    switch (level) {
    case coordination::Level::Off:
        return LanguageText("0 (仅空闲规则)", "0 (idle channels only)");
    case coordination::Level::Spacing:
        return LanguageText("1 (间隔)", "1 (spacing)");
    case coordination::Level::TwoTransmitter:
        return LanguageText("2 (间隔, 2f1 − f2)", "2 (spacing, 2f1 − f2)");
    case coordination::Level::ThreeTransmitter:
        break;
    }
    return LanguageText("3 (间隔, 2f1 − f2, f1 + f2 − f3)", "3 (spacing, 2f1 − f2, f1 + f2 − f3)");
}

QStringList ParametersOf(const CoordinationFile& show)
{
    QStringList lines;
    lines << LanguageText("规则: 级别 %1, 间隔 %2 kHz, 保护 %3 kHz", "Rule: level %1, spacing %2 kHz, guard %3 kHz")
                 .arg(LevelText(show.rule.level))
                 .arg(show.rule.SpacingKHz)
                 .arg(show.rule.GuardKHz);
    const std::vector<coordination::Profile> profiles = coordination::DeviceProfilesOf(show);
    QStringList named;
    for (const coordination::Profile& p : profiles) {
        if (named.contains(p.name))
            continue;
        named << p.name;
        lines << LanguageText("配置 %1: 间隔 %2, 2f1 − f2 %3, f1 + f2 − f3 %4, 五阶 %5",
            "Profile %1: spacing %2, 2f1 − f2 %3, f1 + f2 − f3 %4, fifth order %5")
                     .arg(p.name, Guard(p.spacingKHz), Guard(p.thirdTwoKHz), Guard(p.thirdThreeKHz), Guard(p.fifthKHz));
    }
    lines << LanguageText("每个频段备用频率: %1", "Backups per band: %1").arg(show.backupsPerBand);
    lines << LanguageText("导入扫描阈值: %1 dBm", "Imported scans mark a channel busy above %1 dBm")
                 .arg(show.scanThresholdDbm, 0, 'f', 1);
    return lines;
}

QStringList LimitsOf(const CoordinationFile& show)
{
    QStringList lines;
    for (const coordination::Exclusion& e : coordination::ExclusionsOf(show))
        lines << QStringLiteral("%1 – %2 MHz  %3").arg(Mhz(e.fromMHz), Mhz(e.toMHz), e.note);
    if (!show.tv.region.isEmpty() && !show.tv.channels.empty()) {
        QStringList numbers;
        for (int n : show.tv.channels)
            numbers << QString::number(n);
        lines << LanguageText("电视频道 (%1): %2", "TV channels on air (%1): %2")
                     .arg(show.tv.region, numbers.join(QStringLiteral(", ")));
    }
    if (lines.isEmpty())
        lines << LanguageText("无", "None");
    return lines;
}

double BandEndMhz(const coordination::FileBand& band)
{
    return ChannelFrequency(band.startMHz, 0, band.channels - 1);
}

std::vector<ReportBand> BandsOf(const CoordinationFile& show)
{
    std::vector<ReportBand> bands;
    for (size_t b = 0; b < show.bands.size(); ++b) {
        const coordination::FileBand& band = show.bands[b];
        ReportBand out;
        out.Title = LanguageText("频段 %1: %2 – %3 MHz", "Band %1: %2 – %3 MHz")
                        .arg(band.name, Mhz(band.startMHz), Mhz(BandEndMhz(band)));
        for (size_t d = 0; d < show.devices.size(); ++d) {
            const coordination::FileDevice& device = show.devices[d];
            if (device.band != int(b))
                continue;
            const double mhz = show.plan && d < show.plan->mhz.size() ? show.plan->mhz[d] : 0.0;
            out.Rows.push_back({ coordination::DeviceId(device), device.name,
                mhz > 0 ? Mhz(mhz) : LanguageText("未安排", "not placed") });
        }
        QStringList backups;
        if (show.plan)
            for (const coordination::FileBackup& backup : show.plan->backups)
                if (backup.band == int(b))
                    backups << Mhz(backup.mhz);
        if (!backups.isEmpty())
            out.Backups = LanguageText("备用: %1 MHz", "Backups: %1 MHz").arg(backups.join(QStringLiteral(", ")));
        if (!out.Rows.empty() || !backups.isEmpty())
            bands.push_back(std::move(out));
    }
    return bands;
}

// The plan passes when it passed the check when it was made, still does, and every planned
// frequency is still usable (no later scan or exclusion took it).
void JudgePlan(const CoordinationFile& show, PlanReportModel& report)
{
    report.HasPlan = show.plan.has_value();
    if (!report.HasPlan) {
        report.Verdict = LanguageText("还没有频率计划。", "No plan has been made for this show yet.");
        return;
    }
    const std::optional<coordination::ShowPlan> plan = StoredPlan(show);
    if (!plan) {
        report.Verdict = LanguageText("计划与演出的设备不符。", "The plan does not fit the show's devices.");
        return;
    }
    if (!show.plan->checked)
        report.Problems << LanguageText("制定计划时未通过检查", "it did not pass the check when it was made");
    if (const auto violations = coordination::check(plan->found.plan); !violations.empty())
        report.Problems
            << LanguageText("现在的检查发现 %1 处冲突", "the check finds %1 conflicts now").arg(violations.size());
    const std::vector<coordination::DeviceOptions> usable = coordination::DeviceOptionsOf(show);
    for (size_t d = 0; d < show.devices.size(); ++d) {
        const double mhz = show.plan->mhz[d];
        const std::vector<IdleChannel>& idle = usable[d].Idle;
        if (mhz > 0 && std::none_of(idle.begin(), idle.end(), [&](const IdleChannel& c) {
                return coordination::FreqKHz(c.Freq) == coordination::FreqKHz(mhz);
            }))
            report.Problems << LanguageText("%1 %2: %3 MHz 现已占用或被排除", "%1 %2: %3 MHz is now busy or excluded")
                                   .arg(coordination::DeviceId(show.devices[d]), show.devices[d].name, Mhz(mhz));
    }
    report.Passed = report.Problems.isEmpty();
    report.Verdict = report.Passed ? LanguageText("计划通过检查: 没有过近的载波, 没有落在载波上的互调产物。",
                         "The plan passed the check: no carriers too close, no intermodulation product on a carrier.")
                                   : LanguageText("计划未通过检查: %1。", "The plan did NOT pass the check: %1.")
                                         .arg(report.Problems.join(QStringLiteral("; ")));
}

ReportChart ChartOf(const CoordinationFile& show, double dbmOffset)
{
    ReportChart chart;
    if (!show.bands.empty()) {
        chart.FromMhz = std::numeric_limits<double>::max();
        chart.ToMhz = std::numeric_limits<double>::lowest();
        for (const coordination::FileBand& band : show.bands) {
            chart.FromMhz = std::min(chart.FromMhz, band.startMHz - 1.0);
            chart.ToMhz = std::max(chart.ToMhz, BandEndMhz(band) + 1.0);
        }
    } else {
        bool any = false;
        for (const coordination::FileScan& scan : show.scans) {
            if (scan.points.empty())
                continue;
            chart.FromMhz = any ? std::min(chart.FromMhz, scan.points.front().first) : scan.points.front().first;
            chart.ToMhz = any ? std::max(chart.ToMhz, scan.points.back().first) : scan.points.back().first;
            any = true;
        }
    }
    if (chart.Empty())
        return chart;
    double low = chart.LowDbm, high = chart.HighDbm;
    for (const coordination::FileScan& scan : show.scans) {
        if (chart.Curves.size() == size_t(ReportChart::MaxCurves))
            break;
        std::vector<ScanSample> points;
        for (const auto& [mhz, level] : scan.points)
            if (mhz >= chart.FromMhz && mhz <= chart.ToMhz)
                points.push_back({ mhz, scan.dbm ? level : level + dbmOffset });
        if (points.empty())
            continue;
        for (const ScanSample& s : points) {
            low = std::min(low, s.Dbm);
            high = std::max(high, s.Dbm);
        }
        chart.Curves.push_back({ scan.name, PeakCurve(points, ReportChart::CurvePoints) });
    }
    chart.LowDbm = std::max(-140.0, std::floor(low / 10.0) * 10.0);
    chart.HighDbm = std::min(20.0, std::ceil(high / 10.0) * 10.0);
    if (show.plan) {
        for (size_t d = 0; d < show.devices.size() && d < show.plan->mhz.size(); ++d)
            if (show.plan->mhz[d] > 0)
                chart.Markers.push_back({ show.plan->mhz[d], coordination::DeviceId(show.devices[d]), false });
        for (const coordination::FileBackup& backup : show.plan->backups)
            chart.Markers.push_back({ backup.mhz, {}, true });
    }
    for (const coordination::Exclusion& e : coordination::ExclusionsOf(show))
        if (e.toMHz > chart.FromMhz && e.fromMHz < chart.ToMhz)
            chart.Excluded.emplace_back(std::max(e.fromMHz, chart.FromMhz), std::min(e.toMHz, chart.ToMhz));
    return chart;
}

QString Escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString HtmlList(const QStringList& lines)
{
    QString html = QStringLiteral("<ul>");
    for (const QString& line : lines)
        html += QStringLiteral("<li>") + Escaped(line) + QStringLiteral("</li>");
    return html + QStringLiteral("</ul>\n");
}

} // namespace

double GridStep(double span, int count)
{
    const double raw = span / std::max(count, 1);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : { 1.0, 2.0, 5.0 })
        if (factor * decade >= raw)
            return factor * decade;
    return 10.0 * decade;
}

PlanReportModel PlanReportOf(const CoordinationFile& show, const QDate& date, double dbmOffset)
{
    PlanReportModel report;
    report.Title = show.showName.isEmpty() ? LanguageText("频率计划", "Frequency plan") : show.showName;
    report.Facts = { { LanguageText("场地", "Venue"), show.venue },
        { LanguageText("日期", "Date"), date.toString(Qt::ISODate) },
        { LanguageText("协调人", "Coordinator"), show.coordinator }, { LanguageText("备注", "Notes"), show.notes } };
    std::erase_if(report.Facts, [](const auto& fact) { return fact.second.trimmed().isEmpty(); });
    report.Parameters = ParametersOf(show);
    report.Limits = LimitsOf(show);
    report.Bands = BandsOf(show);
    JudgePlan(show, report);
    report.Chart = ChartOf(show, dbmOffset);
    return report;
}

QByteArray PlanReportHtml(const PlanReportModel& report, const QByteArray& chartPng)
{
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>\n<style>"
        "body{font-family:sans-serif;max-width:60em;margin:2em auto;padding:0 1em;color:#111}"
        "table{border-collapse:collapse;margin:.5em 0}td,th{border:1px solid #999;padding:.2em .6em;text-align:left}"
        "td.f{text-align:right;font-variant-numeric:tabular-nums}.fail{color:#b00;font-weight:bold}"
        ".pass{color:#060;font-weight:bold}img{max-width:100%}"
        "@media print{body{margin:0;max-width:none}}</style></head><body>\n")
                       .arg(Escaped(report.Title));
    html += QStringLiteral("<h1>%1</h1>\n<table>").arg(Escaped(report.Title));
    for (const auto& [caption, text] : report.Facts)
        html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>").arg(Escaped(caption), Escaped(text));
    html += QStringLiteral("</table>\n<p class=\"%1\">%2</p>\n")
                .arg(report.Passed ? QStringLiteral("pass") : QStringLiteral("fail"), Escaped(report.Verdict));
    html += QStringLiteral("<h2>%1</h2>\n").arg(Escaped(LanguageText("协调参数", "Coordination parameters")))
        + HtmlList(report.Parameters);
    html += QStringLiteral("<h2>%1</h2>\n").arg(Escaped(LanguageText("排除的频率范围", "Excluded ranges")))
        + HtmlList(report.Limits);
    html += QStringLiteral("<h2>%1</h2>\n").arg(Escaped(LanguageText("频率", "Frequencies")));
    for (const ReportBand& band : report.Bands) {
        html += QStringLiteral("<h3>%1</h3>\n<table><tr><th>%2</th><th>%3</th><th>%4</th></tr>")
                    .arg(Escaped(band.Title), Escaped(LanguageText("设备", "Device")),
                        Escaped(LanguageText("名称", "Name")), Escaped(LanguageText("频率 (MHz)", "Frequency (MHz)")));
        for (const ReportBand::Row& row : band.Rows)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"f\">%3</td></tr>")
                        .arg(Escaped(row.Device), Escaped(row.Name), Escaped(row.Frequency));
        html += QStringLiteral("</table>\n");
        if (!band.Backups.isEmpty())
            html += QStringLiteral("<p>%1</p>\n").arg(Escaped(band.Backups));
    }
    if (!chartPng.isEmpty())
        html += QStringLiteral("<h2>%1</h2>\n<img alt=\"%2\" src=\"data:image/png;base64,%3\">\n")
                    .arg(Escaped(LanguageText("扫描与载波", "Scans and carriers")),
                        Escaped(LanguageText("扫描曲线与计划的载波", "The show's scans with the plan's carriers")),
                        QString::fromLatin1(chartPng.toBase64()));
    html += QStringLiteral("</body></html>\n");
    return html.toUtf8();
}

} // namespace interchange
