// The coordination file reader: any bytes give either a fault naming a field or a file whose
// every value is in range; the devices' idle channels lie in their bands; on small files the
// search's plan passes the independent check and, cleared by the devices' profiles, theirs. A file
// read is written back so that it reads again as the same file (a show saved loses nothing).
#include "FuzzCheck.h"
#include "coord/CheckShow.h"
#include "coord/CoordFile.h"
#include "coord/PlanShow.h"
#include "coord/Search.h"

#include <cmath>

using namespace coordination;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FileReading reading
        = ReadCoordinationFile(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!reading.error.isEmpty())
        return 0;
    const CoordinationFile& file = reading.file;
    FUZZ_CHECK(!file.devices.empty() && file.devices.size() <= size_t(MaxFileDevices));
    FUZZ_CHECK(file.budgetMs >= 1 && file.budgetMs <= MaxBudgetMs);
    FUZZ_CHECK(file.rule.SpacingKHz >= 0 && file.rule.GuardKHz >= 0);
    for (const FileBand& band : file.bands)
        FUZZ_CHECK(std::isfinite(band.startMHz) && band.channels >= 1 && band.channels <= MaxBandChannels);
    for (const Exclusion& e : file.exclusions)
        FUZZ_CHECK(e.fromMHz <= e.toMHz);
    for (double busy : file.busyMHz)
        FUZZ_CHECK(std::isfinite(busy));
    const QByteArray written = WriteCoordinationFile(file);
    const FileReading again = ReadCoordinationFile(written);
    FUZZ_CHECK(again.error.isEmpty());
    FUZZ_CHECK(WriteCoordinationFile(again.file) == written);
    const std::vector<DeviceOptions> options = DeviceOptionsOf(file);
    FUZZ_CHECK(options.size() == file.devices.size());
    size_t channels = 0;
    for (size_t d = 0; d < options.size(); ++d) {
        const FileBand& band = file.bands.at(static_cast<size_t>(file.devices[d].band));
        FUZZ_CHECK(options[d].Idle.size() <= static_cast<size_t>(band.channels));
        for (const IdleChannel& c : options[d].Idle)
            FUZZ_CHECK(c.Channel >= 0 && c.Channel < band.channels);
        channels += options[d].Idle.size();
    }
    if (options.size() <= 6 && channels <= 200) {
        SearchLimits limits;
        limits.budgetMs = 5;
        const std::vector<Profile> profiles = DeviceProfilesOf(file);
        SearchResult found = SearchBest(EnvelopeRule(profiles), options, limits);
        FUZZ_CHECK(check(found.plan).empty());
        // What stays on air after the devices' own profiles were applied passes them.
        DropProfileConflicts(found.plan, profiles);
        std::vector<ProfiledCarrier> onAir;
        for (size_t d = 0; d < options.size(); ++d)
            if (found.plan.ChannelOf(d) >= 0)
                onAir.push_back({ FreqKHz(found.plan.FreqOf(d)), &profiles[d] });
        // Only what locked devices do among themselves stays: no plan moves them.
        FUZZ_CHECK(CheckProfiles(onAir).size() == size_t(GivenConflicts(found.plan, profiles, {}).size()));
        // The show's plan keeps every rule of its file.
        const ShowPlan shown = PlanShow(file, limits);
        FUZZ_CHECK(CheckShow(file, FilePlanOf(file, shown)).isEmpty());
    }
    return 0;
}
