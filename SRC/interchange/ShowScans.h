#pragma once
// Scans imported from other tools kept with the show (its coordination file), and how they join
// the idle rule and the charts beside our own scans.
#include "coord/CoordFile.h"
#include "interchange/ScanFiles.h"

#include <QString>
#include <span>
#include <vector>

namespace interchange
{

// Config.ini, section [Coordination], ImportThresholdDbm (-200..50); a missing or unusable value
// takes DefaultImportThresholdDbm.
double LoadImportThresholdDbm(const QString& configPath);

// Adds a scan read from a file to the show as a dBm scan named by the file. False, adding
// nothing, when the show would then hold more scans or points than a coordination file may
// (why says so).
bool AddImportedScan(
    coordination::CoordinationFile& show, const QString& name, std::span<const ScanSample> samples, QString* why);

// The show's scans in dBm, each laid onto the band.
std::vector<GridScan> ShowScansOnGrid(const coordination::CoordinationFile& show, const BandOfChannels& band);

// The band's idle channels: none of our scans above threshold (receiver scale) and none of the
// show's dBm scans above thresholdDbm.
std::vector<IdleChannel> IdleChannelsOfShow(const BandOfChannels& band, std::span<const ScanView> scans, int threshold,
    const coordination::CoordinationFile& show, double thresholdDbm);

// A curve for drawing: at most `bins` points, the highest of the points in each equal share of
// the scan's span (a narrow carrier stays visible however many points the file holds).
std::vector<ScanSample> PeakCurve(std::span<const ScanSample> samples, int bins);

// Where a drawn curve breaks: two neighbours further apart than this (eight times the scan's median
// spacing) have no scan between them, as between two bands scanned apart.
double CurveGapMhz(std::span<const ScanSample> samples);

} // namespace interchange
