#pragma once
// The printable frequency plan of a show: everything the report says, worked out here so that the
// PDF page and the HTML file (ui/coord/PlanReport.h) only lay it out.
#include "coord/CoordFile.h"
#include "interchange/ScanFiles.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace interchange
{

// What the report's chart shows: the show's scans in dBm over the span of its bands, the plan's
// carriers and backups, the excluded ranges.
struct ReportChart {
    struct Curve {
        QString Name;
        std::vector<ScanSample> Points; // dBm, within the span, peaks kept
    };
    struct Marker {
        double Mhz = 0;
        QString Label; // "7:2"; empty for a backup
        bool Backup = false;
    };
    static constexpr int MaxCurves = 8;
    static constexpr int CurvePoints = 1500;
    double FromMhz = 0, ToMhz = 0; // FromMhz >= ToMhz: nothing to draw
    double LowDbm = -120, HighDbm = -20;
    std::vector<Curve> Curves;
    std::vector<Marker> Markers;
    std::vector<std::pair<double, double>> Excluded; // MHz ranges within the span
    bool Empty() const { return FromMhz >= ToMhz; }
};

struct ReportBand {
    QString Title; // "Band A: 640.000 – 664.750 MHz"
    struct Row {
        QString Device, Name, Frequency; // Frequency "641.500" or "not placed"
    };
    std::vector<Row> Rows;
    QString Backups; // "Backups: 643.250, 650.000 MHz"; empty when none
};

struct PlanReportModel {
    QString Title; // the show's name
    std::vector<std::pair<QString, QString>> Facts; // Venue, Date, Coordinator, Notes: caption, text
    QStringList Parameters; // the rule, each profile in use with its guards, backups, threshold
    QStringList Limits; // excluded ranges (TV channels among them)
    std::vector<ReportBand> Bands;
    bool HasPlan = false;
    bool Passed = false;
    QString Verdict;
    QStringList Problems; // each reason the plan does not pass now
    ReportChart Chart;
};

// The report of the show as it is, dated `date`; scans on the receiver's scale are drawn in dBm
// with dbmOffset.
PlanReportModel PlanReportOf(const coordination::CoordinationFile& show, const QDate& date, double dbmOffset);

// One self-contained HTML file (UTF-8): the chart as an inline PNG, every text escaped.
QByteArray PlanReportHtml(const PlanReportModel& report, const QByteArray& chartPng);

// "1 MHz" steps that give about `count` grid lines over the span: 1, 2, 5, 10, 20, 50, ...
double GridStep(double span, int count);

} // namespace interchange
