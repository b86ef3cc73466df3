// tessaro-coord: reads a coordination file, plans a frequency for every device within the time
// budget, writes the plan as CSV and an analysis in words. Exit status: 0 every device placed,
// 1 some could not be placed, 2 bad input, 3 an output could not be written. "convert-scan"
// converts a scan file between the forms coordination tools exchange (ConvertScan.cpp).
#include "ConvertScan.h"
#include "coord/CoordFile.h"
#include "data/CsvField.h"
#include "coord/Explain.h"
#include "coord/Search.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>

using namespace coordination;

namespace
{

enum Exit { AllPlaced = 0, SomeUnplaced = 1, BadInput = 2, WriteFailed = 3 };

const char* const Help = R"(Usage: tessaro-coord [OPTION]... FILE
  or:  tessaro-coord convert-scan IN OUT --to wwb|wsm|receiver (see convert-scan --help)
Plan a frequency for every device of the coordination file FILE (JSON, described in the
README) so that no two carriers are closer than the spacing and no intermodulation product of
the rule's level (or of a device's profile) lands within the guard of a carrier. The search returns the plan that places
the most devices found within the time budget, with its worst-case margin, and says whether it
proved that no plan places more.

Options:
  --plan PATH        write the plan as CSV to PATH (default: standard output)
  --analysis PATH    write the analysis to PATH (default: standard error)
  --budget-ms N      search for at most N milliseconds (1..60000; default: the file's
                     budget_ms, else 2000)
  --help             show this help and exit
  --version          print the version and exit

The plan CSV (RFC 4180, comma-separated, header line first) has the columns
  device,name,band,frequency_mhz,backup_of,margin_khz
one line per device (frequency_mhz and margin_khz empty when it could not be placed), then one
line per spare frequency with device and name empty and backup_of naming its band.

The analysis says how many devices were placed, whether the plan is proved best, each spare
frequency, and for every device left out why (for example "all 57 idle channels blocked: 31 by
products, 20 too close to 4:2").

Exit status:
  0  every device placed
  1  some devices could not be placed
  2  bad input: FILE unreadable or a field wrong (the message names the field), or a bad option
  3  an output file could not be written
)";

QString DeviceId(const DeviceOptions& device)
{
    return QStringLiteral("%1:%2").arg(device.RXID).arg(device.DevIdx);
}

QString PlanCsv(const CoordinationFile& file, const Plan& plan, const std::vector<Backup>& backups)
{
    std::vector<int> carriers;
    for (size_t d = 0; d < plan.devices.size(); ++d)
        if (plan.ChannelOf(d) >= 0)
            carriers.push_back(FreqKHz(plan.FreqOf(d)));
    const std::vector<int> margins = MarginsKHz(plan.rule, carriers);
    const std::vector<int> bands = BandsOf(plan);
    QStringList lines { QStringLiteral("device,name,band,frequency_mhz,backup_of,margin_khz") };
    size_t carrier = 0;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        const FileDevice& device = file.devices[d];
        const QString band = CsvField(file.bands[static_cast<size_t>(device.band)].name);
        QString line = CsvField(DeviceId(plan.devices[d])) + QLatin1Char(',') + CsvField(device.name) + QLatin1Char(',') + band;
        if (plan.ChannelOf(d) >= 0)
            line += QStringLiteral(",%1,,%2").arg(plan.FreqOf(d), 0, 'f', 3).arg(margins[carrier++]);
        else
            line += QStringLiteral(",,,");
        lines << line;
    }
    for (const Backup& backup : backups) {
        const auto first = static_cast<size_t>(std::find(bands.begin(), bands.end(), backup.band) - bands.begin());
        const QString band = CsvField(file.bands[static_cast<size_t>(file.devices[first].band)].name);
        lines << QStringLiteral(",,%1,%2,%1,").arg(band).arg(backup.kHz / 1000.0, 0, 'f', 3);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// dropped: per device, the profile rule that took it out of the searched plan; exact: the
// search's rule is exactly every device's profile.
QString Analysis(const CoordinationFile& file, const SearchResult& found, const std::vector<Backup>& backups,
    const std::vector<QString>& dropped, bool exact)
{
    const Plan& plan = found.plan;
    QStringList lines;
    QString head = QStringLiteral("Plan: %1 of %2 devices placed").arg(plan.PlacedCount()).arg(plan.devices.size());
    if (plan.PlacedCount() > 1)
        head += QStringLiteral(", worst margin %1 kHz").arg(found.worstMarginKHz);
    // The search ran at the strictest of the devices' rules: a best count proved there is proved
    // for the devices only when that rule is exactly theirs.
    if (!found.proved)
        head += QStringLiteral(", time ran out (not proved best)");
    else if (!exact)
        head += QStringLiteral(", searched at the strictest profile (not proved best)");
    else
        head += QStringLiteral(", proved best");
    lines << head;
    const std::vector<int> bands = BandsOf(plan);
    for (const Backup& backup : backups) {
        const auto first = static_cast<size_t>(std::find(bands.begin(), bands.end(), backup.band) - bands.begin());
        lines << QStringLiteral("Backup for band %1: %2 MHz")
                     .arg(file.bands[static_cast<size_t>(file.devices[first].band)].name)
                     .arg(backup.kHz / 1000.0, 0, 'f', 3);
    }
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        QString why = dropped[d].isEmpty() ? WhyNotPlaced(plan, d) : dropped[d];
        if (!why.isEmpty() && !ExcludedOf(file, d).isEmpty())
            why += QStringLiteral("; ") + ExcludedOf(file, d);
        if (!why.isEmpty())
            lines << QStringLiteral("%1 %2: %3").arg(DeviceId(plan.devices[d]), file.devices[d].name, why);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// Writes text to path, or to the stream when path is empty; false when that failed.
bool Write(const QString& path, const QString& text, FILE* stream)
{
    const QByteArray bytes = text.toUtf8();
    if (path.isEmpty())
        return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size())
            && std::fflush(stream) == 0;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

int Fail(const QString& message, int status)
{
    std::fprintf(stderr, "tessaro-coord: %s\n", qPrintable(message));
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("convert-scan"))
        return ConvertScanMain(args.mid(1));
    QString planPath;
    QString analysisPath;
    QString input;
    int budgetMs = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help")) {
            std::fputs(Help, stdout);
            return AllPlaced;
        }
        if (arg == QLatin1String("--version")) {
            std::printf("tessaro-coord %d.%d.%d.%d\n", TESSARO_VERSION_MAJOR, TESSARO_VERSION_MINOR,
                TESSARO_VERSION_PATCH, TESSARO_VERSION_TWEAK);
            return AllPlaced;
        }
        const bool takesValue = arg == QLatin1String("--plan") || arg == QLatin1String("--analysis")
            || arg == QLatin1String("--budget-ms");
        if (takesValue && i + 1 >= args.size())
            return Fail(arg + QStringLiteral(" needs a value (see --help)"), BadInput);
        if (arg == QLatin1String("--plan")) {
            planPath = args[++i];
        } else if (arg == QLatin1String("--analysis")) {
            analysisPath = args[++i];
        } else if (arg == QLatin1String("--budget-ms")) {
            bool ok = false;
            budgetMs = args[++i].toInt(&ok);
            if (!ok || budgetMs < 1 || budgetMs > MaxBudgetMs)
                return Fail(
                    QStringLiteral("--budget-ms: not a number of milliseconds in 1..%1").arg(MaxBudgetMs), BadInput);
        } else if (arg.startsWith(QLatin1Char('-')) || !input.isEmpty()) {
            return Fail(QStringLiteral("unknown argument %1 (see --help)").arg(arg), BadInput);
        } else {
            input = arg;
        }
    }
    if (input.isEmpty())
        return Fail(QStringLiteral("no coordination file given (see --help)"), BadInput);
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("%1: %2").arg(input, file.errorString()), BadInput);
    const FileReading reading = ReadCoordinationFile(file.read(16 << 20));
    if (!reading.error.isEmpty())
        return Fail(QStringLiteral("%1: %2").arg(input, reading.error), BadInput);

    const CoordinationFile& coordination = reading.file;
    SearchLimits limits;
    limits.budgetMs = budgetMs > 0 ? budgetMs : coordination.budgetMs;
    const std::vector<Profile> profiles = DeviceProfilesOf(coordination);
    SearchResult found = SearchBest(EnvelopeRule(profiles), DeviceOptionsOf(coordination), limits);
    const std::vector<QString> dropped = DropProfileConflicts(found.plan, profiles);
    const std::vector<Backup> backups = Backups(found.plan, coordination.backupsPerBand);
    if (!Write(planPath, PlanCsv(coordination, found.plan, backups), stdout))
        return Fail(QStringLiteral("cannot write the plan to %1")
                        .arg(planPath.isEmpty() ? QStringLiteral("standard output") : planPath),
            WriteFailed);
    if (!Write(analysisPath, Analysis(coordination, found, backups, dropped, EnvelopeIsExact(profiles)), stderr))
        return Fail(QStringLiteral("cannot write the analysis to %1")
                        .arg(analysisPath.isEmpty() ? QStringLiteral("standard error") : analysisPath),
            WriteFailed);
    return found.plan.PlacedCount() == static_cast<int>(found.plan.devices.size()) ? AllPlaced : SomeUnplaced;
}
