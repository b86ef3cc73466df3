#pragma once
// The show's last plan (with its backups) in the forms other people's tools take: our CSV, a plain
// frequency list, and the coordination file itself.
#include "coord/CoordFile.h"
#include "coord/PlanShow.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace interchange
{

enum class PlanForm {
    Csv, // device,name,band,frequency_mhz,backup_of,margin_khz (RFC 4180, CRLF)
    FrequencyList, // one MHz value per line, three decimals: the carriers, then the backups
    CoordinationFile, // the show's own file (JSON)
};

// The stored plan as the planner makes it: the file's devices and their options, each placed
// device on its planned frequency (added to its band's options when a later scan took it away),
// the stored backups, the margins at the strictest of the devices' profiles. nullopt when the show
// holds no plan or the plan does not fit the show's devices.
std::optional<coordination::ShowPlan> StoredPlan(const coordination::CoordinationFile& show);

// The bytes of the form; empty with the reason in *why when the form needs a plan the show does
// not hold.
QByteArray PlanExport(PlanForm form, const coordination::CoordinationFile& show, QString* why);

// "plan.csv", "plan.txt", "show.json": the name a file of the form is offered under.
QString PlanExportFileName(PlanForm form);

} // namespace interchange
