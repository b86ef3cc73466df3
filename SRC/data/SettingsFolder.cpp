#include "data/SettingsFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{

QString WithSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// access() rather than the permission bits: it also answers for a read-only mount and for
// whoever runs the program, root included.
bool IsWritableFolder(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString XdgSettingsFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules ask.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : QDir::homePath() + QStringLiteral("/.config");
    return WithSlash(QDir::cleanPath(base + QStringLiteral("/tessaro")));
}

QString ChooseSettingsFolder(const QString& exeDir)
{
    const QDir dir(exeDir);
    const bool holdsSettings = QFileInfo::exists(dir.filePath(QStringLiteral("Config.ini")))
        || QFileInfo::exists(dir.filePath(PortableMarkerName));
    if (holdsSettings && IsWritableFolder(exeDir))
        return WithSlash(exeDir);
    return XdgSettingsFolder();
}

QString AbsoluteFolder(const QString& folder)
{
    return WithSlash(QDir::cleanPath(QDir::current().absoluteFilePath(folder)));
}

QString MakeSettingsFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return {};
    errno = 0;
    if (QDir().mkpath(folder))
        return {};
    const int error = errno != 0 ? errno : EACCES;
    return QStringLiteral("cannot make the settings folder %1: %2")
        .arg(folder, QString::fromLocal8Bit(std::strerror(error)));
}
