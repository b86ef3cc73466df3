// The frequency list reader (plain MHz list, WSM list CSV; the content picks the form): any bytes
// give either a refusal with no entries or frequencies within bounds, which become an inclusion
// list (ascending, each once) and foreign carriers without loss.
#include "FuzzCheck.h"
#include "interchange/FrequencyLists.h"

#include <cmath>

using namespace interchange;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FrequencyListReading reading = ReadFrequencyList(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), QStringLiteral("fuzz"));
    if (!reading.Ok()) {
        FUZZ_CHECK(reading.Entries.empty() && reading.Error.startsWith(QStringLiteral("fuzz: ")));
        return 0;
    }
    FUZZ_CHECK(!reading.Entries.empty() && reading.Entries.size() <= size_t(MaxFrequencyListEntries));
    for (const FrequencyEntry& entry : reading.Entries)
        FUZZ_CHECK(std::isfinite(entry.Mhz) && entry.Mhz > 0 && entry.Mhz <= 100000.0);
    coordination::CoordinationFile show;
    QString why;
    FUZZ_CHECK(AddInclusionList(show, QStringLiteral("list"), reading, &why) && show.inclusions.size() == 1);
    const std::vector<double>& mhz = show.inclusions[0].mhz;
    FUZZ_CHECK(!mhz.empty() && mhz.size() <= reading.Entries.size());
    for (size_t i = 1; i < mhz.size(); ++i)
        FUZZ_CHECK(mhz[i] > mhz[i - 1]);
    if (AddForeignCarriers(show, reading, QStringLiteral("list"), {}, &why))
        FUZZ_CHECK(show.foreign.size() == reading.Entries.size());
    else
        FUZZ_CHECK(show.foreign.empty() && reading.Entries.size() > size_t(coordination::MaxFileForeign));
    return 0;
}
