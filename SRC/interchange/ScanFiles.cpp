#include "interchange/ScanFiles.h"

#include "data/Device.h"
#include "data/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

namespace interchange
{

namespace
{

const QString Section = QStringLiteral("Coordination");
constexpr double MinMhz = 0.001;
constexpr double MaxMhz = 100000.0;
constexpr double MinDbm = -200.0;
constexpr double MaxDbm = 50.0;
// Lines before the first data line that may be a header; a file with more is not a scan.
constexpr int MaxHeaderLines = 32;

double LoadRanged(const QString& configPath, const QString& key, double def, double low, double high)
{
    const double value = IniReadDouble(configPath, Section, key, def);
    return std::isfinite(value) && value >= low && value <= high ? value : def;
}

template <typename... Args> void AppendFormatted(QByteArray& out, const char* format, Args... args)
{
    out += QString::asprintf(format, args...).toLatin1();
}

// A refusal in the making: the reason, and the line or element it was found at.
struct Refusal {
    QString Where;
    QString Reason;
};

ScanReading Refused(ScanFileKind kind, const QString& fileName, const Refusal& refusal)
{
    ScanReading reading;
    reading.Kind = kind;
    reading.Error = refusal.Where.isEmpty() ? QStringLiteral("%1: %2").arg(fileName, refusal.Reason)
                                            : QStringLiteral("%1: %2: %3").arg(fileName, refusal.Where, refusal.Reason);
    return reading;
}

QString LineAt(int number)
{
    return QStringLiteral("line %1").arg(number);
}

// A plain decimal number (digits, sign, point, exponent); with decimalComma a ',' stands for
// the point. No words such as "inf" or "nan", no thousands separators.
std::optional<double> ParseNumber(QByteArray text, bool decimalComma)
{
    text = text.trimmed();
    if (decimalComma)
        text.replace(',', '.');
    if (text.isEmpty())
        return std::nullopt;
    for (const char c : text)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Checks a point against the bounds of a scan and the one before it; empty when it is sound.
QString PointFault(const ScanSample& sample, const std::vector<ScanSample>& before)
{
    if (sample.Mhz < MinMhz || sample.Mhz > MaxMhz)
        return QStringLiteral("frequency %1 MHz out of range").arg(sample.Mhz);
    if (sample.Dbm < MinDbm || sample.Dbm > MaxDbm)
        return QStringLiteral("level %1 dBm out of range (%2..%3)").arg(sample.Dbm).arg(MinDbm).arg(MaxDbm);
    if (!before.empty() && sample.Mhz <= before.back().Mhz)
        return QStringLiteral("frequency %1 MHz does not ascend (after %2 MHz)").arg(sample.Mhz).arg(before.back().Mhz);
    if (before.size() >= static_cast<size_t>(MaxScanFilePoints))
        return QStringLiteral("more than %1 points").arg(MaxScanFilePoints);
    return {};
}

// A line before the data that cannot be taken for data: it starts with a letter or a quote.
bool IsHeaderLine(const QByteArray& trimmed)
{
    const char c = trimmed.front();
    return std::isalpha(static_cast<unsigned char>(c)) || c == '"' || c == '#';
}

char SeparatorOf(const QByteArray& line)
{
    if (line.contains(';'))
        return ';';
    return line.contains('\t') ? '\t' : ',';
}

std::optional<Refusal> ReadTwoColumnLines(const QList<QByteArray>& lines, std::vector<ScanSample>& samples)
{
    int headerLines = 0;
    char separator = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const QString where = LineAt(static_cast<int>(i) + 1);
        if (line.isEmpty())
            continue;
        if (separator == 0 && IsHeaderLine(line)) {
            if (++headerLines > MaxHeaderLines)
                return Refusal { where, QStringLiteral("no MHz,dBm data in the first %1 lines").arg(MaxHeaderLines) };
            continue;
        }
        if (separator == 0)
            separator = SeparatorOf(line);
        const QList<QByteArray> fields = line.split(separator);
        if (fields.size() != 2)
            return Refusal { where, QStringLiteral("expected 2 columns (MHz, dBm), found %1").arg(fields.size()) };
        const auto mhz = ParseNumber(fields[0], separator != ',');
        const auto dbm = ParseNumber(fields[1], separator != ',');
        if (!mhz || !dbm)
            return Refusal { where,
                QStringLiteral("not a number: \"%1\"")
                    .arg(QString::fromUtf8(mhz ? fields[1] : fields[0]).trimmed().left(40)) };
        const ScanSample sample { *mhz, *dbm };
        if (const QString fault = PointFault(sample, samples); !fault.isEmpty())
            return Refusal { where, fault };
        samples.push_back(sample);
    }
    return std::nullopt;
}

// The header of a WSM file: "Receiver;...", then lines up to "Frequency;RF level (%);RF level"
// (and an optional units line), of which RFUnit must be dBm and the frequency range's point
// count, when given, must match the rows.
std::optional<Refusal> ReadWsmLines(const QList<QByteArray>& lines, std::vector<ScanSample>& samples)
{
    int announcedPoints = -1;
    int rangeLine = 0;
    bool inData = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const QString where = LineAt(static_cast<int>(i) + 1);
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(';');
        if (!inData && IsHeaderLine(line)) {
            const QByteArray key = fields[0].trimmed();
            if (key.compare("RFUnit", Qt::CaseInsensitive) == 0
                && (fields.size() < 2 || fields[1].trimmed().compare("dBm", Qt::CaseInsensitive) != 0))
                return Refusal { where,
                    QStringLiteral("RF unit \"%1\" is not dBm")
                        .arg(QString::fromUtf8(fields.value(1).trimmed()).left(20)) };
            if (key.startsWith("Frequency Range") && fields.size() >= 4) {
                bool ok = false;
                const int points = fields[3].trimmed().toInt(&ok);
                announcedPoints = ok && points > 0 ? points : -1;
                rangeLine = static_cast<int>(i) + 1;
            }
            if (i > MaxHeaderLines)
                return Refusal { where, QStringLiteral("no kHz;;dBm data in the first %1 lines").arg(MaxHeaderLines) };
            continue;
        }
        inData = true;
        if (fields.size() != 3)
            return Refusal { where,
                QStringLiteral("expected 3 columns (kHz;RF level %;dBm), found %1").arg(fields.size()) };
        const auto khz = ParseNumber(fields[0], true);
        const auto dbm = ParseNumber(fields[2], true);
        if (!khz || !dbm)
            return Refusal { where,
                QStringLiteral("not a number: \"%1\"")
                    .arg(QString::fromUtf8(khz ? fields[2] : fields[0]).trimmed().left(40)) };
        const ScanSample sample { *khz / 1000.0, *dbm };
        if (const QString fault = PointFault(sample, samples); !fault.isEmpty())
            return Refusal { where, fault };
        samples.push_back(sample);
    }
    if (announcedPoints > 0 && static_cast<size_t>(announcedPoints) != samples.size())
        return Refusal { LineAt(rangeLine),
            QStringLiteral("the frequency range announces %1 points, the file holds %2")
                .arg(announcedPoints)
                .arg(samples.size()) };
    return std::nullopt;
}

QString ElementAt(const QXmlStreamReader& xml, const QString& element)
{
    return QStringLiteral("line %1, <%2>").arg(xml.lineNumber()).arg(element);
}

// One <data_set>: its values and the value that stands for "no data".
struct DataSet {
    std::vector<double> Values;
    std::optional<double> NoData;
};

std::optional<Refusal> StartDataSet(const QXmlStreamReader& xml, std::vector<DataSet>& sets)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    const QString freqUnits = attributes.value(QStringLiteral("freq_units")).toString();
    const QString amplUnits = attributes.value(QStringLiteral("ampl_units")).toString();
    if (!freqUnits.isEmpty() && freqUnits.compare(QStringLiteral("KHz"), Qt::CaseInsensitive) != 0)
        return Refusal { ElementAt(xml, QStringLiteral("data_set")),
            QStringLiteral("freq_units \"%1\" is not KHz").arg(freqUnits.left(20)) };
    if (amplUnits.compare(QStringLiteral("dBm"), Qt::CaseInsensitive) != 0)
        return Refusal { ElementAt(xml, QStringLiteral("data_set")),
            QStringLiteral("ampl_units \"%1\" is not dBm").arg(amplUnits.left(20)) };
    DataSet set;
    if (attributes.hasAttribute(QStringLiteral("no_data_value"))) {
        set.NoData = ParseNumber(attributes.value(QStringLiteral("no_data_value")).toUtf8(), false);
        if (!set.NoData)
            return Refusal { ElementAt(xml, QStringLiteral("data_set")),
                QStringLiteral("no_data_value is not a number") };
    }
    sets.push_back(std::move(set));
    return std::nullopt;
}

// The text of an <f> or <v> element as a number.
std::optional<Refusal> ReadValue(QXmlStreamReader& xml, const QString& element, std::vector<double>& values)
{
    const QString where = ElementAt(xml, element);
    if (values.size() >= static_cast<size_t>(MaxScanFilePoints))
        return Refusal { where, QStringLiteral("more than %1 points").arg(MaxScanFilePoints) };
    const QString text = xml.readElementText();
    if (xml.hasError())
        return std::nullopt; // reported with the reader's own message
    const auto value = ParseNumber(text.toUtf8(), false);
    if (!value)
        return Refusal { where, QStringLiteral("not a number: \"%1\"").arg(text.trimmed().left(40)) };
    values.push_back(*value);
    return std::nullopt;
}

// The highest value of the sets at each frequency; a frequency with no data in any set is left out.
std::optional<Refusal> MergeDataSets(
    const std::vector<double>& khz, const std::vector<DataSet>& sets, std::vector<ScanSample>& samples)
{
    for (size_t s = 0; s < sets.size(); ++s)
        if (sets[s].Values.size() != khz.size())
            return Refusal { QStringLiteral("<data_set> %1").arg(s + 1),
                QStringLiteral("%1 values for %2 frequencies").arg(sets[s].Values.size()).arg(khz.size()) };
    for (size_t i = 0; i < khz.size(); ++i) {
        std::optional<double> highest;
        for (const DataSet& set : sets)
            if (set.Values[i] != set.NoData)
                highest = std::max(highest.value_or(set.Values[i]), set.Values[i]);
        const ScanSample sample { khz[i] / 1000.0, highest.value_or(MinDbm) };
        if (i > 0 && khz[i] <= khz[i - 1])
            return Refusal { QStringLiteral("<f> %1").arg(i + 1),
                QStringLiteral("frequency %1 kHz does not ascend").arg(khz[i]) };
        if (!highest)
            continue;
        if (const QString fault = PointFault(sample, samples); !fault.isEmpty())
            return Refusal { QStringLiteral("<f> %1").arg(i + 1), fault };
        samples.push_back(sample);
    }
    return std::nullopt;
}

// The .sdb2 scan file: a <freq_set> of <f> (kHz) and one or more <data_set> of <v> (dBm). A
// document type declaration is refused before any entity in it could be expanded.
std::optional<Refusal> ReadSdb2(const QByteArray& bytes, std::vector<ScanSample>& samples)
{
    QXmlStreamReader xml(bytes);
    std::vector<double> khz;
    std::vector<DataSet> sets;
    int freqSets = 0;
    QString open; // "freq_set" or "data_set" while inside one
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return Refusal { LineAt(static_cast<int>(xml.lineNumber())),
                QStringLiteral("document type declarations and entities are not accepted") };
        if (token == QXmlStreamReader::EndElement && xml.name() == open) {
            open.clear();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        std::optional<Refusal> refusal;
        if (name == QLatin1String("freq_set") || name == QLatin1String("data_set")) {
            if (!open.isEmpty())
                return Refusal { ElementAt(xml, name), QStringLiteral("inside <%1>").arg(open) };
            open = name;
            if (name == QLatin1String("freq_set") && ++freqSets > 1)
                return Refusal { ElementAt(xml, name), QStringLiteral("more than one <freq_set>") };
            if (name == QLatin1String("data_set"))
                refusal = StartDataSet(xml, sets);
        } else if (name == QLatin1String("f") && open == QLatin1String("freq_set")) {
            refusal = ReadValue(xml, name, khz);
        } else if (name == QLatin1String("v") && open == QLatin1String("data_set")) {
            refusal = ReadValue(xml, name, sets.back().Values);
        }
        if (refusal)
            return refusal;
    }
    if (xml.hasError())
        return Refusal { LineAt(static_cast<int>(xml.lineNumber())),
            QStringLiteral("not well-formed XML: %1").arg(xml.errorString()) };
    if (freqSets == 0 || sets.empty())
        return Refusal { {}, QStringLiteral("no <freq_set> and <data_set> of a scan") };
    return MergeDataSets(khz, sets, samples);
}

} // namespace

double LoadScanDbmOffset(const QString& configPath)
{
    return LoadRanged(configPath, QStringLiteral("ScanDbmOffset"), DefaultScanDbmOffset, -200.0, 100.0);
}

std::optional<ScanForm> ScanFormNamed(const QString& name)
{
    if (name == QLatin1String("receiver"))
        return ScanForm::Receiver;
    if (name == QLatin1String("wwb"))
        return ScanForm::Wwb;
    if (name == QLatin1String("wsm"))
        return ScanForm::Wsm;
    return std::nullopt;
}

std::vector<LevelPoint> LevelPointsOf(
    const std::map<int, int>& levels, double startFreq, int startChannel, int maxChannel)
{
    std::vector<LevelPoint> points;
    points.reserve(levels.size());
    // Channels ascend with frequency (0.25 MHz per channel), so channel order is frequency order.
    for (const auto& [channel, level] : levels)
        if (channel >= startChannel && channel - startChannel < maxChannel)
            points.push_back({ ChannelFrequency(startFreq, startChannel, channel), level });
    return points;
}

std::vector<LevelPoint> MergeHighest(std::span<const std::vector<LevelPoint>> scans)
{
    std::map<long long, LevelPoint> byKhz;
    for (const std::vector<LevelPoint>& scan : scans)
        for (const LevelPoint& point : scan) {
            auto [at, inserted] = byKhz.try_emplace(std::llround(point.Mhz * 1000.0), point);
            if (!inserted)
                at->second.Level = std::max(at->second.Level, point.Level);
        }
    std::vector<LevelPoint> merged;
    merged.reserve(byKhz.size());
    for (const auto& [khz, point] : byKhz)
        merged.push_back(point);
    return merged;
}

std::vector<ScanSample> DbmSamplesOf(std::span<const LevelPoint> points, double dbmOffset)
{
    std::vector<ScanSample> samples;
    samples.reserve(points.size());
    for (const LevelPoint& point : points)
        samples.push_back({ point.Mhz, point.Level + dbmOffset });
    return samples;
}

QByteArray WriteScan(ScanForm form, std::span<const ScanSample> samples, double dbmOffset, const ScanHeader& header)
{
    QByteArray out;
    if (form == ScanForm::Wsm) {
        QString receiver = header.Receiver;
        receiver.replace(QRegularExpression(QStringLiteral("[;\r\n]")), QStringLiteral(" "));
        const double start = samples.empty() ? 0.0 : samples.front().Mhz;
        const double stop = samples.empty() ? 0.0 : samples.back().Mhz;
        out += "Receiver;" + receiver.toUtf8() + "\r\n";
        out += "Date/Time;" + header.When.toString(QStringLiteral("dd-MM-yyyy hh-mm-ss")).toLatin1() + "\r\n";
        out += "RFUnit;dBm\r\n";
        AppendFormatted(out, "Frequency Range [kHz];%.0f;%.0f;%lld\r\n", start * 1000.0, stop * 1000.0,
            static_cast<long long>(samples.size()));
        out += "Frequency;RF level (%);RF level\r\n";
    }
    for (const ScanSample& sample : samples) {
        if (form == ScanForm::Receiver)
            AppendFormatted(out, "%.3f,%lld\n", sample.Mhz, std::llround(sample.Dbm - dbmOffset));
        else if (form == ScanForm::Wwb)
            AppendFormatted(out, "%.3f,%.1f\n", sample.Mhz, sample.Dbm);
        else
            AppendFormatted(out, "%.0f;;%.1f\r\n", sample.Mhz * 1000.0, sample.Dbm);
    }
    return out;
}

ScanReading ReadScan(const QByteArray& raw, const QString& fileName)
{
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    ScanReading reading;
    const QByteArray start = bytes.left(256).trimmed();
    std::optional<Refusal> refusal;
    if (bytes.size() > MaxScanFileBytes) {
        refusal = Refusal { {}, QStringLiteral("larger than %1 MB").arg(MaxScanFileBytes >> 20) };
    } else if (start.startsWith('<')) {
        reading.Kind = ScanFileKind::Sdb2;
        refusal = ReadSdb2(bytes, reading.Samples);
    } else if (start.startsWith("Receiver;")) {
        reading.Kind = ScanFileKind::Wsm;
        refusal = ReadWsmLines(LinesOf(bytes), reading.Samples);
    } else {
        refusal = ReadTwoColumnLines(LinesOf(bytes), reading.Samples);
    }
    if (!refusal && reading.Samples.empty())
        refusal = Refusal { {}, QStringLiteral("no scan points") };
    return refusal ? Refused(reading.Kind, fileName, *refusal) : reading;
}

ScanReading ReadScanFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refused(ScanFileKind::TwoColumn, name, { {}, file.errorString() });
    if (file.size() > MaxScanFileBytes)
        return Refused(
            ScanFileKind::TwoColumn, name, { {}, QStringLiteral("larger than %1 MB").arg(MaxScanFileBytes >> 20) });
    // A file that grows while it is read is cut at the bound and then refused as too large.
    const QByteArray bytes = file.read(MaxScanFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Refused(ScanFileKind::TwoColumn, name, { {}, file.errorString() });
    return ReadScan(bytes, name);
}

GridScan MapToGrid(const BandOfChannels& band, std::span<const ScanSample> samples)
{
    GridScan grid;
    const double startKhz = band.StartFreq * 1000.0;
    const double stepKhz = ChannelStep * 1000.0;
    for (const ScanSample& sample : samples) {
        // Slot k holds [start + k*step - step/2, start + k*step + step/2); the small term keeps a
        // point written with three decimals on the slot edge it names.
        const double slot = std::floor((sample.Mhz * 1000.0 - startKhz + stepKhz / 2.0) / stepKhz + 1e-9);
        if (slot < 0 || slot >= band.MaxChannel) {
            grid.Outside.push_back(sample);
            continue;
        }
        const int channel = band.StartChannel + static_cast<int>(slot);
        auto [at, inserted] = grid.ChannelDbm.try_emplace(channel, sample.Dbm);
        if (!inserted)
            at->second = std::max(at->second, sample.Dbm);
    }
    return grid;
}

std::vector<IdleChannel> IdleChannelsWithImports(const BandOfChannels& band, std::span<const ScanView> scans,
    int threshold, std::span<const GridScan> imported, double thresholdDbm)
{
    std::vector<IdleChannel> idle = IdleChannels(band, scans, threshold);
    std::erase_if(idle, [&](const IdleChannel& channel) {
        return std::any_of(imported.begin(), imported.end(), [&](const GridScan& grid) {
            const auto at = grid.ChannelDbm.find(channel.Channel);
            return at != grid.ChannelDbm.end() && at->second > thresholdDbm;
        });
    });
    return idle;
}

QList<QByteArray> LinesOf(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

} // namespace interchange
