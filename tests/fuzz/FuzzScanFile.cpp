// The scan file readers (two-column CSV, WSM CSV, sdb2 XML; the content picks the reader): any
// bytes give either a refusal with no points or ascending points within bounds, which lay onto a
// band's grid without losing any and write out in every form.
#include "FuzzCheck.h"
#include "interchange/ScanFiles.h"

#include <cmath>

using namespace interchange;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ScanReading reading = ReadScan(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), QStringLiteral("fuzz"));
    if (!reading.Ok()) {
        FUZZ_CHECK(reading.Samples.empty() && reading.Error.startsWith(QStringLiteral("fuzz: ")));
        return 0;
    }
    FUZZ_CHECK(!reading.Samples.empty() && reading.Samples.size() <= size_t(MaxScanFilePoints));
    for (size_t i = 0; i < reading.Samples.size(); ++i) {
        const ScanSample& s = reading.Samples[i];
        FUZZ_CHECK(std::isfinite(s.Mhz) && std::isfinite(s.Dbm) && s.Mhz > 0 && s.Dbm >= -200 && s.Dbm <= 50);
        FUZZ_CHECK(i == 0 || s.Mhz > reading.Samples[i - 1].Mhz);
    }
    const GridScan grid = MapToGrid(BandOfChannels { 470.0, 0, 100 }, reading.Samples);
    FUZZ_CHECK(grid.ChannelDbm.size() <= reading.Samples.size() - grid.Outside.size());
    for (const auto& [channel, dbm] : grid.ChannelDbm)
        FUZZ_CHECK(channel >= 0 && channel < 100);
    for (const ScanForm form : { ScanForm::Receiver, ScanForm::Wwb, ScanForm::Wsm })
        FUZZ_CHECK(!WriteScan(form, reading.Samples, DefaultScanDbmOffset, {}).isEmpty());
    return 0;
}
