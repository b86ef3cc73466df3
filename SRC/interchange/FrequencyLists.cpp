#include "interchange/FrequencyLists.h"

#include "interchange/ScanFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>
#include <cmath>
#include <optional>

namespace interchange
{

namespace
{

constexpr double MinMhz = 0.001;
constexpr double MaxMhz = 100000.0;

// A plain decimal number: digits, one point (or, with decimalComma, one comma), an optional
// sign; no exponent, no words, no thousands separators.
std::optional<double> NumberOf(QByteArray text, bool decimalComma)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        text = text.mid(1, text.size() - 2).trimmed();
    if (decimalComma)
        text.replace(',', '.');
    if (text.isEmpty() || text.size() > 32)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || (i == 0 && (c == '+' || c == '-'))))
            return std::nullopt;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString Shown(const QByteArray& text)
{
    return QString::fromUtf8(text.trimmed()).left(40);
}

struct Refusal {
    int Line = 0;
    QString Reason;
};

std::optional<Refusal> Check(double mhz, size_t held, int line)
{
    if (mhz < MinMhz || mhz > MaxMhz)
        return Refusal { line, QStringLiteral("frequency %1 MHz out of range").arg(mhz) };
    if (held >= size_t(MaxFrequencyListEntries))
        return Refusal { line, QStringLiteral("more than %1 frequencies").arg(MaxFrequencyListEntries) };
    return std::nullopt;
}

std::optional<Refusal> ReadPlain(const QList<QByteArray>& lines, std::vector<FrequencyEntry>& entries)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        line.replace(';', ' ').replace('\t', ' ');
        for (const QByteArray& token : line.split(' ')) {
            if (token.isEmpty())
                continue;
            const int number = static_cast<int>(i) + 1;
            const std::optional<double> mhz = NumberOf(token, false);
            if (!mhz)
                return Refusal { number, QStringLiteral("not a frequency in MHz: \"%1\"").arg(Shown(token)) };
            if (const auto refusal = Check(*mhz, entries.size(), number))
                return refusal;
            entries.push_back({ *mhz, {} });
        }
    }
    return std::nullopt;
}

QByteArray Unquoted(const QByteArray& field)
{
    const QByteArray text = field.trimmed();
    return text.size() >= 2 && text.startsWith('"') && text.endsWith('"') ? text.mid(1, text.size() - 2) : text;
}

// The first line may name the columns; the one whose name starts with "Frequency" holds the kHz.
// Without such a line the third column does.
std::optional<Refusal> ReadWsm(const QList<QByteArray>& lines, std::vector<FrequencyEntry>& entries)
{
    qsizetype column = 2;
    qsizetype first = 0;
    const QList<QByteArray> head = lines.value(0).split(';');
    if (!NumberOf(head.value(2), true)) {
        column = -1;
        for (qsizetype c = 0; c < head.size(); ++c)
            if (Unquoted(head[c]).toLower().startsWith("frequency"))
                column = c;
        if (column < 0)
            return Refusal { 1, QStringLiteral("no Frequency column in the header") };
        first = 1;
    }
    for (qsizetype i = first; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const int number = static_cast<int>(i) + 1;
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(';');
        if (fields.size() <= column)
            return Refusal { number,
                QStringLiteral("expected at least %1 columns, found %2").arg(column + 1).arg(fields.size()) };
        const std::optional<double> khz = NumberOf(fields[column], true);
        if (!khz)
            return Refusal { number, QStringLiteral("not a frequency in kHz: \"%1\"").arg(Shown(fields[column])) };
        if (const auto refusal = Check(*khz / 1000.0, entries.size(), number))
            return refusal;
        entries.push_back({ *khz / 1000.0, QString::fromUtf8(Unquoted(fields[0])).left(64) });
    }
    return std::nullopt;
}

bool IsWsm(const QList<QByteArray>& lines)
{
    const QList<QByteArray> fields = lines.value(0).split(';');
    return fields.size() >= 3 && !NumberOf(fields[0], true);
}

} // namespace

FrequencyListReading ReadFrequencyList(const QByteArray& raw, const QString& fileName)
{
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    FrequencyListReading reading;
    std::optional<Refusal> refusal;
    QList<QByteArray> lines = LinesOf(bytes);
    // Blank lines before the first row are no part of either form.
    int skipped = 0;
    while (!lines.isEmpty() && lines.front().trimmed().isEmpty()) {
        lines.removeFirst();
        ++skipped;
    }
    if (bytes.size() > MaxFrequencyListBytes) {
        refusal = Refusal { 0, QStringLiteral("larger than %1 MB").arg(MaxFrequencyListBytes >> 20) };
    } else if (IsWsm(lines)) {
        reading.Kind = FrequencyListKind::Wsm;
        refusal = ReadWsm(lines, reading.Entries);
    } else {
        refusal = ReadPlain(lines, reading.Entries);
    }
    if (!refusal && reading.Entries.empty())
        refusal = Refusal { 0, QStringLiteral("no frequencies") };
    if (!refusal)
        return reading;
    reading.Entries.clear();
    reading.Error = refusal->Line > 0
        ? QStringLiteral("%1: line %2: %3").arg(fileName).arg(refusal->Line + skipped).arg(refusal->Reason)
        : QStringLiteral("%1: %2").arg(fileName, refusal->Reason);
    return reading;
}

FrequencyListReading ReadFrequencyListFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    FrequencyListReading refused;
    if (!file.open(QIODevice::ReadOnly)) {
        refused.Error = QStringLiteral("%1: %2").arg(name, file.errorString());
        return refused;
    }
    // A file that grows while it is read is cut at the bound and then refused as too large.
    const QByteArray bytes = file.read(MaxFrequencyListBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        refused.Error = QStringLiteral("%1: %2").arg(name, file.errorString());
        return refused;
    }
    return ReadFrequencyList(bytes, name);
}

bool AddInclusionList(
    coordination::CoordinationFile& show, const QString& name, const FrequencyListReading& list, QString* why)
{
    std::vector<double> mhz;
    for (const FrequencyEntry& entry : list.Entries)
        mhz.push_back(std::round(entry.Mhz * 1000.0) / 1000.0);
    std::sort(mhz.begin(), mhz.end());
    mhz.erase(std::unique(mhz.begin(), mhz.end()), mhz.end());
    const auto same = std::find_if(show.inclusions.begin(), show.inclusions.end(),
        [&](const coordination::InclusionList& held) { return held.name == name; });
    if (same != show.inclusions.end()) {
        same->mhz = std::move(mhz);
        return true;
    }
    if (show.inclusions.size() >= size_t(coordination::MaxFileInclusions)) {
        *why = QStringLiteral("the show already holds %1 inclusion lists").arg(coordination::MaxFileInclusions);
        return false;
    }
    show.inclusions.push_back({ name, std::move(mhz) });
    return true;
}

bool AddForeignCarriers(coordination::CoordinationFile& show, const FrequencyListReading& list, const QString& label,
    const QString& profile, QString* why)
{
    if (show.foreign.size() + list.Entries.size() > size_t(coordination::MaxFileForeign)) {
        *why = QStringLiteral("the show would hold more than %1 foreign carriers").arg(coordination::MaxFileForeign);
        return false;
    }
    int number = 0;
    for (const FrequencyEntry& entry : list.Entries) {
        ++number;
        const QString name = entry.Name.isEmpty() ? QStringLiteral("%1 %2").arg(label).arg(number) : entry.Name;
        show.foreign.push_back({ entry.Mhz, name, profile });
    }
    return true;
}

} // namespace interchange
