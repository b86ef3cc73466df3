#pragma once
// The show file: the coordination file of the show, saved whole or not at all and opened with
// every fault named by the file, the field and the reason.
#include "coord/CoordFile.h"

#include <QString>

namespace coordination
{

constexpr qint64 MaxShowFileBytes = qint64(256) << 20;

struct ShowFileReading {
    CoordinationFile file;
    QString error; // "<file>: <field>: <reason>"; empty when the file was read
};

// A file of a later version is refused as made by a newer Tessaro; version 1 is read.
ShowFileReading ReadShowFile(const QString& path);

// Writes the file through a temporary file renamed over the old one, after checking that what
// is written reads back; the reason with the file's name when it could not, empty when saved.
QString SaveShowFile(const QString& path, const CoordinationFile& file);

} // namespace coordination
