#pragma once
// A plan for everything a coordination file holds, made and told the same way wherever it is
// asked for: by tessaro-coord, by the assignment window, in a show's exports.
#include "coord/CoordFile.h"
#include "coord/Explain.h"
#include "coord/Search.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace coordination
{

struct ShowPlan {
    SearchResult found; // found.plan's devices are the file's, in order
    std::vector<Backup> backups;
    std::vector<QString> why; // per device: why it found no place; empty when placed
    bool exact = true; // the search's rule is every device's profile: a proof holds for them
    QStringList given; // conflicts among foreign carriers and locked devices, which no plan mends
};

// Searches within the limits at the strictest of the devices' profiles, then takes out devices a
// profile's own rule still hits, and keeps the file's number of backups per band.
ShowPlan PlanShow(const CoordinationFile& file, const SearchLimits& limits);

// The plan as kept in the file.
FilePlan FilePlanOf(const CoordinationFile& file, const ShowPlan& plan);

// "7:2": how devices are named in plans and reasons.
QString DeviceId(const FileDevice& device);

// RFC 4180 CSV, header line "device,name,band,frequency_mhz,backup_of,margin_khz", one line per
// device (frequency and margin empty when not placed), then one per backup with device and name
// empty and backup_of naming its band; CRLF line ends.
QString PlanCsv(const CoordinationFile& file, const ShowPlan& plan);

// In words: how many were placed, whether the plan is proved best, the backups, and why each
// device left out found no place.
QString PlanAnalysis(const CoordinationFile& file, const ShowPlan& plan);

} // namespace coordination
