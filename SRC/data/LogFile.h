#pragma once
// Appending to the program's logs (Events.log, DebugLog.Log, the serial link log): each is bounded
// by size and never written through a symbolic link.
//
// When a line would take the file past MaxBytes, the file becomes name.1 (name.1 becomes name.2
// and so on; the oldest, name.<KeptFiles - 1>, is dropped) and a new file is begun: at most
// KeptFiles files of at most MaxBytes each. The file is opened with O_NOFOLLOW for every append
// and closed at once, so that nothing waits in a buffer when the process ends; a symbolic link
// in the log's place is refused with a reason that says so, and nothing is written through it.
#include <QByteArray>
#include <QString>

struct LogLimits {
    qint64 MaxBytes = 10 * 1024 * 1024;
    int KeptFiles = 5;
};

// False, with *error telling why, when the bytes were not all written.
bool AppendToLog(const QString& path, const QByteArray& bytes, QString* error, const LogLimits& limits = {});
