#include "coord/ShowFile.h"

#include "lang/Language.h"

#include <QFile>
#include <QSaveFile>

namespace coordination
{

ShowFileReading ReadShowFile(const QString& path)
{
    ShowFileReading reading;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reading.error = path + QStringLiteral(": ") + file.errorString();
        return reading;
    }
    if (file.size() > MaxShowFileBytes) {
        reading.error = path + QStringLiteral(": ")
            + LanguageText("文件过大 (最多 %1 MB)", "too large (at most %1 MB)").arg(MaxShowFileBytes >> 20);
        return reading;
    }
    const QByteArray json = file.read(MaxShowFileBytes + 1);
    if (file.error() != QFileDevice::NoError || json.size() > MaxShowFileBytes) {
        reading.error = path + QStringLiteral(": ") + file.errorString();
        return reading;
    }
    FileReading read = ReadCoordinationFile(json);
    if (!read.error.isEmpty())
        reading.error = path + QStringLiteral(": ") + read.error;
    else
        reading.file = std::move(read.file);
    return reading;
}

QString SaveShowFile(const QString& path, const CoordinationFile& file)
{
    const QByteArray json = WriteCoordinationFile(file);
    // Never leave a file behind that Open Show would refuse.
    if (const QString error = ReadCoordinationFile(json).error; !error.isEmpty())
        return path + QStringLiteral(": ") + error;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return path + QStringLiteral(": ") + out.errorString();
    if (out.write(json) != json.size() || !out.commit())
        return path + QStringLiteral(": ") + out.errorString();
    return {};
}

} // namespace coordination
