// tessaro-coord: reads a coordination file, plans a frequency for every device within the time
// budget, writes the plan as CSV and an analysis in words. Exit status: 0 every device placed,
// 1 some could not be placed, 2 bad input, 3 an output could not be written. "convert-scan"
// converts a scan file between the forms coordination tools exchange (ConvertScan.cpp).
#include "ConvertScan.h"
#include "coord/PlanShow.h"
#include "interchange/ScanFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
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
  --scan PATH        add the scan in PATH (two-column CSV, RF Explorer CSV, WSM CSV or
                     .sdb2, in dBm) to the file's scans; may be given more than once
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

// Adds each scan file to the file's scans as a dBm scan named by its file; the reason of the
// first one refused, empty when all were added.
QString AddScans(CoordinationFile& file, const QStringList& paths)
{
    qsizetype points = 0;
    for (const FileScan& scan : file.scans)
        points += static_cast<qsizetype>(scan.points.size());
    for (const QString& path : paths) {
        const interchange::ScanReading reading = interchange::ReadScanFile(path);
        if (!reading.Ok())
            return reading.Error;
        points += static_cast<qsizetype>(reading.Samples.size());
        if (file.scans.size() >= size_t(MaxFileScans) || points > MaxFileScanPoints)
            return QStringLiteral("%1: more than %2 scans or %3 points in all").arg(path).arg(MaxFileScans).arg(MaxFileScanPoints);
        FileScan scan { QFileInfo(path).fileName(), true, {} };
        for (const interchange::ScanSample& sample : reading.Samples)
            scan.points.emplace_back(sample.Mhz, sample.Dbm);
        file.scans.push_back(std::move(scan));
    }
    return {};
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
    QStringList scanPaths;
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
            || arg == QLatin1String("--budget-ms") || arg == QLatin1String("--scan");
        if (takesValue && i + 1 >= args.size())
            return Fail(arg + QStringLiteral(" needs a value (see --help)"), BadInput);
        if (arg == QLatin1String("--plan")) {
            planPath = args[++i];
        } else if (arg == QLatin1String("--scan")) {
            scanPaths << args[++i];
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

    CoordinationFile coordination = reading.file;
    const QString scanError = AddScans(coordination, scanPaths);
    if (!scanError.isEmpty())
        return Fail(scanError, BadInput);
    SearchLimits limits;
    limits.budgetMs = budgetMs > 0 ? budgetMs : coordination.budgetMs;
    const ShowPlan shown = PlanShow(coordination, limits);
    if (!Write(planPath, PlanCsv(coordination, shown), stdout))
        return Fail(QStringLiteral("cannot write the plan to %1")
                        .arg(planPath.isEmpty() ? QStringLiteral("standard output") : planPath),
            WriteFailed);
    if (!Write(analysisPath, PlanAnalysis(coordination, shown), stderr))
        return Fail(QStringLiteral("cannot write the analysis to %1")
                        .arg(analysisPath.isEmpty() ? QStringLiteral("standard error") : analysisPath),
            WriteFailed);
    const Plan& plan = shown.found.plan;
    return plan.PlacedCount() == static_cast<int>(plan.devices.size()) ? AllPlaced : SomeUnplaced;
}
