#pragma once
// The show's coordination inputs beside the managed receivers: which devices the show holds,
// the checks an entered value passes before the show keeps it, the file Assign all plans with
// and how its plan is kept, and the frequencies on air judged. Texts come in both languages.
#include "coord/CoordFile.h"
#include "coord/Explain.h"
#include "data/Device.h"
#include "data/IdleChannels.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace coordination
{

// A record's band as the show keeps it, within what the coordination file can hold.
FileBand BandOfRecord(const TTMICListObj& record);
// The index of the file's band with the same start and channel count; appended when new, under
// a name no other band of the file has.
int BandIndexOf(CoordinationFile& file, const FileBand& band);
// The show's entry for (rxid, channel), or nullptr.
FileDevice* ShowDeviceOf(CoordinationFile& file, int rxid, int channel);
const FileDevice* ShowDeviceOf(const CoordinationFile& file, int rxid, int channel);

// Every managed record gets an entry in the show: a new one joins with its band and current
// frequency (and 0 in a plan made before); one already there keeps its profile, lock and list
// and takes the record's band and, unless locked, its current frequency. True when the show
// changed.
bool JoinManagedDevices(CoordinationFile& file, const DeviceList& devices);

// Why an entered value cannot be kept; empty when it can. A frequency must lie in one of the
// show's bands (start to one step above the last channel).
QString ExclusionProblem(const CoordinationFile& file, const Exclusion& exclusion);
QString ForeignProblem(const CoordinationFile& file, const ForeignCarrier& carrier);
QString InclusionProblem(const CoordinationFile& file, const InclusionList& list);
QString LockProblem(const TTMICListObj& record);
QString ProfileProblem(const CoordinationFile& file, const Profile& profile);
// Why the show's own profile cannot be removed: a device or a foreign carrier uses it.
QString ProfileRemovalProblem(const CoordinationFile& file, const QString& name);
// A guard as entered: whole kHz (0..MaxSettingKHz), or "off" or nothing to switch its rule off.
// False when it is neither.
bool ParseGuardKHz(const QString& text, std::optional<int>& out);

// Frequencies in MHz separated by spaces, tabs, new lines, commas or semicolons; nullopt with
// the offending text in *bad when one is not a finite number.
std::optional<std::vector<double>> ParseMHzList(const QString& text, QString* bad = nullptr);

// A device of the assignment window: its record and the channels the window's idle rule leaves.
struct WindowDevice {
    const TTMICListObj* record = nullptr;
    std::vector<IdleChannel> idle;
};

// The file Assign all plans: the show's inputs, the window's rule and budget, the window's
// devices (in order) with their bands, each band channel the idle rule left out in busy_mhz,
// then the show's locked devices the window does not list (they stay on air).
CoordinationFile PlanningFile(
    const CoordinationFile& show, const std::vector<WindowDevice>& devices, const Rule& rule, int budgetMs);

// Keeps a plan of PlanningFile in the show: the planned devices come first, the show's other
// devices after them with 0 (not in this plan).
void KeepPlan(CoordinationFile& show, const CoordinationFile& planned, const FilePlan& plan);

// The show's foreign carriers as the analysis names them: by label, else "foreign <n>".
std::vector<NamedCarrier> ForeignCarriersOf(const CoordinationFile& show);
// Every managed record's current frequency and the show's foreign carriers, judged by the rule;
// the first line says what was judged.
QStringList AnalyzeOnAir(const Rule& rule, const DeviceList& devices, const CoordinationFile& show);

} // namespace coordination
