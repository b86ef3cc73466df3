#pragma once
// What a plan leaves to the operator: spare frequencies kept ready for the show, and in words
// why a device found no place.
#include "data/Coordination.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace coordination
{

constexpr int DefaultBackupsPerBand = 2;

struct Backup {
    int band = 0; // index into BandsOf(plan)
    int kHz = 0;
};

// The bands of a plan's devices: one per distinct list of idle channels, in device order; for
// each device, the index of its band.
std::vector<int> BandsOf(const Plan& plan, int* bandCount = nullptr);

// Up to `perBand` spare frequencies for each band: idle channels of the band compatible at the
// plan's rule with every carrier of the plan and with the spares chosen before them.
std::vector<Backup> Backups(const Plan& plan, int perBand = DefaultBackupsPerBand);

// Why an unplaced device found no channel beside the plan's carriers, for instance "all 57 idle
// channels blocked: 31 by products, 20 too close to 4:2, 6 too close to 3:1"; empty for a placed
// device.
QString WhyNotPlaced(const Plan& plan, size_t device);

constexpr int MaxAnalyzedCarriers = 128; // the analysis looks at every quadruple
constexpr int MaxListedConflicts = 200;

// The carriers on air judged by the rule: every conflict with its kind and the carriers in it
// ("3rd order 2×1:1 − 2:3 lands 0 kHz from 4:2", at most MaxListedConflicts), then each carrier's
// margin ("4:2 641.000 MHz: margin -100 kHz").
QStringList Analyze(const Rule& rule, const std::vector<NamedCarrier>& carriers);

} // namespace coordination
