#pragma once
// Frequency lists from other tools: a plain list of MHz values, or a WSM frequency list CSV
// ("name;type;frequency;..." in kHz). They become a show's inclusion list (a licence, the
// frequencies a group of devices may use) or its foreign carriers (systems we do not control).
#include "coord/CoordFile.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace interchange
{

constexpr qint64 MaxFrequencyListBytes = 4LL << 20;
constexpr int MaxFrequencyListEntries = coordination::MaxInclusionFrequencies;

enum class FrequencyListKind {
    Plain, // MHz values separated by spaces, tabs, line breaks or ';'
    Wsm, // ';'-separated rows name;type;frequency;... in kHz, an optional header line first
};

struct FrequencyEntry {
    double Mhz = 0.0;
    QString Name; // the row's name (WSM); empty in a plain list
};

// A list read whole, in the file's order, or the reason it was refused ("<file>: line 3: ..."),
// in which case Entries is empty.
struct FrequencyListReading {
    FrequencyListKind Kind = FrequencyListKind::Plain;
    std::vector<FrequencyEntry> Entries;
    QString Error;
    bool Ok() const { return Error.isEmpty(); }
};

// The form is told by the content: a first line of three or more ';'-separated fields whose first
// is not a number is a WSM list; anything else a plain list. fileName only names the file in a
// refusal.
FrequencyListReading ReadFrequencyList(const QByteArray& bytes, const QString& fileName);
// Reads the file at path, refusing one larger than MaxFrequencyListBytes before reading it.
FrequencyListReading ReadFrequencyListFile(const QString& path);

// The list as the show's inclusion list `name` (ascending, each frequency once); an existing list
// of that name takes the new frequencies. False, changing nothing, when the show holds as many
// lists as a coordination file may (why says so).
bool AddInclusionList(
    coordination::CoordinationFile& show, const QString& name, const FrequencyListReading& list, QString* why);

// The list's frequencies as foreign carriers of the profile (empty: the rule's), each labelled
// with its row's name, else with `label` and its place in the list ("iem 2"), so that each can be
// told apart. False, adding nothing, when the show would hold more
// foreign carriers than a coordination file may.
bool AddForeignCarriers(coordination::CoordinationFile& show, const FrequencyListReading& list, const QString& label,
    const QString& profile, QString* why);

} // namespace interchange
