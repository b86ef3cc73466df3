#include "data/EventLog.h"

#include "data/LogFile.h"

#include <QFileInfo>

QString EventLog::PathBeside(const QString& configPath)
{
    return QFileInfo(configPath).absolutePath() + QStringLiteral("/Events.log");
}

EventLog::EventLog(QString path)
    : m_path(std::move(path))
{
}

bool EventLog::Append(const QString& line, const QDateTime& when)
{
    // A line break inside a message would split one event over two log lines.
    QString flat = line;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray text
        = (when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ") + flat + QLatin1Char('\n'))
              .toUtf8();
    if (!AppendToLog(m_path, text, &m_error))
        return false;
    m_error.clear();
    return true;
}
