#include "interchange/ShowScans.h"

#include "data/IniFile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace interchange
{

double LoadImportThresholdDbm(const QString& configPath)
{
    const double value = IniReadDouble(
        configPath, QStringLiteral("Coordination"), QStringLiteral("ImportThresholdDbm"), DefaultImportThresholdDbm);
    return std::isfinite(value) && value >= -200.0 && value <= 50.0 ? value : DefaultImportThresholdDbm;
}

bool AddImportedScan(
    coordination::CoordinationFile& show, const QString& name, std::span<const ScanSample> samples, QString* why)
{
    size_t held = 0;
    for (const coordination::FileScan& scan : show.scans)
        held += scan.points.size();
    if (show.scans.size() >= size_t(coordination::MaxFileScans)) {
        *why = QStringLiteral("the show already holds %1 scans").arg(coordination::MaxFileScans);
        return false;
    }
    if (held + samples.size() > size_t(coordination::MaxFileScanPoints)) {
        *why = QStringLiteral("the show's scans would hold more than %1 points").arg(coordination::MaxFileScanPoints);
        return false;
    }
    coordination::FileScan scan { name, true, {} };
    scan.points.reserve(samples.size());
    for (const ScanSample& sample : samples)
        scan.points.emplace_back(sample.Mhz, sample.Dbm);
    show.scans.push_back(std::move(scan));
    return true;
}

std::vector<GridScan> ShowScansOnGrid(const coordination::CoordinationFile& show, const BandOfChannels& band)
{
    std::vector<GridScan> grids;
    for (const coordination::FileScan& scan : show.scans) {
        if (!scan.dbm)
            continue;
        std::vector<ScanSample> samples;
        samples.reserve(scan.points.size());
        for (const auto& [mhz, dbm] : scan.points)
            samples.push_back({ mhz, dbm });
        grids.push_back(MapToGrid(band, samples));
    }
    return grids;
}

std::vector<IdleChannel> IdleChannelsOfShow(const BandOfChannels& band, std::span<const ScanView> scans, int threshold,
    const coordination::CoordinationFile& show, double thresholdDbm)
{
    return IdleChannelsWithImports(band, scans, threshold, ShowScansOnGrid(show, band), thresholdDbm);
}

std::vector<ScanSample> PeakCurve(std::span<const ScanSample> samples, int bins)
{
    if (samples.size() <= size_t(std::max(bins, 1)))
        return { samples.begin(), samples.end() };
    const double low = samples.front().Mhz;
    const double width = (samples.back().Mhz - low) / bins;
    std::vector<ScanSample> curve;
    int bin = -1;
    for (const ScanSample& sample : samples) {
        const int at = std::min(bins - 1, static_cast<int>((sample.Mhz - low) / width));
        if (at != bin) {
            curve.push_back(sample);
            bin = at;
        } else if (sample.Dbm > curve.back().Dbm) {
            curve.back() = sample;
        }
    }
    return curve;
}

double CurveGapMhz(std::span<const ScanSample> samples)
{
    if (samples.size() < 2)
        return std::numeric_limits<double>::infinity();
    std::vector<double> steps;
    steps.reserve(samples.size() - 1);
    for (size_t i = 1; i < samples.size(); ++i)
        steps.push_back(samples[i].Mhz - samples[i - 1].Mhz);
    std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2), steps.end());
    return 8.0 * steps[steps.size() / 2];
}

} // namespace interchange
