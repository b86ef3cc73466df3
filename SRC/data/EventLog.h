#pragma once
// "Events.log": every line of the main window's message list with the local date and time, so
// that a show can be reviewed afterwards. UTF-8, one line per event, appended as AppendToLog
// appends (rotated by size, never through a symbolic link).
#include <QDateTime>
#include <QString>

class EventLog
{
public:
    // The log beside the settings file: the same folder as configPath.
    static QString PathBeside(const QString& configPath);

    explicit EventLog(QString path);
    // False, with ErrorString() telling why, when the line could not be written.
    bool Append(const QString& line, const QDateTime& when = QDateTime::currentDateTime());
    QString Path() const { return m_path; }
    QString ErrorString() const { return m_error; }

private:
    QString m_path;
    QString m_error;
};
