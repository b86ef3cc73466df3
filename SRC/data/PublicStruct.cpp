#include "data/PublicStruct.h"

#include "data/AlertSettings.h"
#include "data/IniFile.h"
#include "data/SettingsFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
std::unique_ptr<PublicStruct>& Installed()
{
    static std::unique_ptr<PublicStruct> instance;
    return instance;
}
} // namespace

PublicStruct::PublicStruct(QString settingsFolder)
    : ExeDir(ExecutableDirectory())
    , m_settingsFolder(std::move(settingsFolder))
{
    IniFile file(ConfigPath());
    file.Load();
    const QString section = QStringLiteral("Public");
    ConnectType = file.ReadInt(section, QStringLiteral("ConnectType"), 0);
    UartPort = file.ReadInt(section, QStringLiteral("UartPort"), 1);
    UartRate = file.ReadInt(section, QStringLiteral("UartRate"), 9600);
    UartDelayTime = file.ReadInt(section, QStringLiteral("UartDelayTime"), 30);
    FontName = file.ReadString(section, QStringLiteral("FontName"), QStringLiteral("Arial"));
    FontCharset = static_cast<uint8_t>(file.ReadInt(section, QStringLiteral("FontCharset"), 0) & 0xFF);
    FontSize = file.ReadInt(section, QStringLiteral("FontSize"), 10);
    AlertLowBattery = file.ReadInt(section, QStringLiteral("AlertLowBattery"), 1) != 0;
    AlertRFLoss = file.ReadInt(section, QStringLiteral("AlertRFLoss"), 1) != 0;
    ReadAlertSettings(file, *this);
    ScanQuietSeconds = std::clamp(file.ReadInt(section, QStringLiteral("ScanQuietSeconds"), 5), 1, 600);
    // Every start is in English, whatever the language menu stored last time.
    LanguageIndex = 1;
    ScanBusy = false;
    RFHistoryBusy = false;
    SyncStartTick = 0;
}

QString PublicStruct::ExecutableDirectory()
{
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", target.data(), static_cast<size_t>(target.size()));
        if (length < 0) {
            qWarning("/proc/self/exe cannot be read (%s); using the working directory", std::strerror(errno));
            return QStringLiteral("./");
        }
        if (length < target.size()) {
            target.truncate(length);
            break;
        }
        target.resize(target.size() * 2);
    }
    QString directory = QFileInfo(QFile::decodeName(target)).path();
    if (!directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('/');
    return directory;
}

PublicStruct& PublicStruct::Instance()
{
    if (!Installed())
        Install(std::make_unique<PublicStruct>(ChooseSettingsFolder(ExecutableDirectory())));
    return *Installed();
}

bool PublicStruct::HasInstance()
{
    return Installed() != nullptr;
}

void PublicStruct::Install(std::unique_ptr<PublicStruct> instance)
{
    Installed() = std::move(instance);
}
