#include "ConvertScan.h"

#include "data/RfRecords.h"
#include "interchange/ScanFiles.h"

#include <QDateTime>
#include <QFileInfo>
#include <cstdio>

namespace
{

enum Exit { Converted = 0, BadInput = 2, WriteFailed = 3 };

const char* const Help = R"(Usage: tessaro-coord convert-scan IN OUT --to FORM [--dbm-offset DB]
Convert the scan file IN into the scan file OUT in another form, so that a scan from one tool
can be used by another. IN may be any form tessaro-coord reads; it is refused as a whole, with
its line or element and the reason, when it is not what it claims to be (wrong columns, text in
a number, frequencies not ascending, larger than 64 MB, an XML document type declaration).

Forms read (told by the content):
  two-column CSV   MHz and dBm per line, separated by comma, semicolon or tab; header lines
                   before the data are skipped when they start with a letter (this also reads
                   the RF Explorer CSV "MHz, dBm")
  WSM CSV          first line "Receiver;...", header lines, then "kHz;RF level %;dBm" rows;
                   decimal commas accepted
  .sdb2 XML        <freq_set> of <f> in kHz, <data_set freq_units="KHz" ampl_units="dBm"> of
                   <v>; values equal to no_data_value are left out; several data sets are
                   merged, highest level per frequency

Options:
  --to FORM          the form of OUT:
                       wwb       two-column CSV, no header, "470.250,-65.0" (MHz, dBm)
                       wsm       WSM import CSV, ';'-separated with header lines, "470250;;-65.0"
                       receiver  the receiver's own level scale, "470.250,35" (MHz, level)
  --dbm-offset DB    for --to receiver: level = dBm - DB (-200..100; default -100, the
                     default of Config.ini [Coordination] ScanDbmOffset)
  --help             show this help and exit

Exit status:
  0  OUT written
  2  bad input: IN unreadable or refused (the message names the line or element), or a bad option
  3  OUT could not be written
)";

int Fail(const QString& message, int status)
{
    std::fprintf(stderr, "tessaro-coord: %s\n", qPrintable(message));
    return status;
}

} // namespace

int ConvertScanMain(const QStringList& args)
{
    QStringList files;
    std::optional<interchange::ScanForm> form;
    double offset = interchange::DefaultScanDbmOffset;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help")) {
            std::fputs(Help, stdout);
            return Converted;
        }
        const bool takesValue = arg == QLatin1String("--to") || arg == QLatin1String("--dbm-offset");
        if (takesValue && i + 1 >= args.size())
            return Fail(arg + QStringLiteral(" needs a value (see convert-scan --help)"), BadInput);
        if (arg == QLatin1String("--to")) {
            form = interchange::ScanFormNamed(args[++i]);
            if (!form)
                return Fail(QStringLiteral("--to: \"%1\" is not wwb, wsm or receiver").arg(args[i]), BadInput);
        } else if (arg == QLatin1String("--dbm-offset")) {
            bool ok = false;
            offset = args[++i].toDouble(&ok);
            if (!ok || !(offset >= -200.0 && offset <= 100.0))
                return Fail(QStringLiteral("--dbm-offset: not a number of dB in -200..100"), BadInput);
        } else if (arg.startsWith(QLatin1Char('-')) || files.size() == 2) {
            return Fail(QStringLiteral("unknown argument %1 (see convert-scan --help)").arg(arg), BadInput);
        } else {
            files << arg;
        }
    }
    if (files.size() != 2 || !form)
        return Fail(QStringLiteral("convert-scan needs IN, OUT and --to (see convert-scan --help)"), BadInput);
    const interchange::ScanReading reading = interchange::ReadScanFile(files[0]);
    if (!reading.Ok())
        return Fail(reading.Error, BadInput);
    const QString receiver = QFileInfo(files[0]).completeBaseName();
    const QByteArray bytes
        = interchange::WriteScan(*form, reading.Samples, offset, { receiver, QDateTime::currentDateTime() });
    QString error;
    if (!WriteWholeFile(files[1], bytes, &error))
        return Fail(QStringLiteral("cannot write %1: %2").arg(files[1], error), WriteFailed);
    return Converted;
}
