#include "data/LogFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString Numbered(const QString& path, int n)
{
    return path + QLatin1Char('.') + QString::number(n);
}

// rename() moves links themselves, never what they point to.
void Rotate(const QString& path, int keptFiles)
{
    for (int n = keptFiles - 1; n >= 1; --n) {
        const QByteArray from = QFile::encodeName(n == 1 ? path : Numbered(path, n - 1));
        ::rename(from.constData(), QFile::encodeName(Numbered(path, n)).constData());
    }
    if (keptFiles <= 1)
        ::unlink(QFile::encodeName(path).constData());
}

QString Reason(const QString& path, int error)
{
    if (error == ELOOP)
        return QStringLiteral("%1 is a symbolic link: not followed").arg(path);
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool AppendToLog(const QString& path, const QByteArray& bytes, QString* error, const LogLimits& limits)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0
        && info.st_size + bytes.size() > limits.MaxBytes)
        Rotate(path, limits.KeptFiles);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = Reason(path, errno);
        return false;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = Reason(path, n < 0 ? errno : ENOSPC);
            ::close(fd);
            return false;
        }
        written += n;
    }
    if (::close(fd) != 0) {
        *error = Reason(path, errno);
        return false;
    }
    return true;
}
