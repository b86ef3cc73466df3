#include "remote/RemoteSettings.h"

#include "data/IniFile.h"
#include "remote/AccessGate.h"

#include <QHostInfo>
#include <QUrl>
#include <QUrlQuery>

namespace
{
const QString Section = QStringLiteral("Remote");

int PortOr(int port, int fallback)
{
    return port >= 1 && port <= 65535 ? port : fallback;
}
} // namespace

RemoteSettings RemoteSettings::Load(const QString& configPath)
{
    IniFile file(configPath);
    file.Load();
    RemoteSettings s;
    s.Enabled = file.ReadInt(Section, QStringLiteral("Enabled"), 0) != 0;
    s.Address = file.ReadString(Section, QStringLiteral("Address"), QString());
    s.Port = PortOr(file.ReadInt(Section, QStringLiteral("Port"), DefaultPort), DefaultPort);
    s.Code = file.ReadString(Section, QStringLiteral("Code"), QString());
    s.CertificatePath = file.ReadString(Section, QStringLiteral("Certificate"), QString());
    s.KeyPath = file.ReadString(Section, QStringLiteral("Key"), QString());
    s.MqttEnabled = file.ReadInt(Section, QStringLiteral("MqttEnabled"), 0) != 0;
    s.MqttHost = file.ReadString(Section, QStringLiteral("MqttHost"), s.MqttHost);
    s.MqttPort = PortOr(file.ReadInt(Section, QStringLiteral("MqttPort"), DefaultBrokerPort), DefaultBrokerPort);
    s.MqttTls = file.ReadInt(Section, QStringLiteral("MqttTls"), 0) != 0;
    s.MqttCaFile = file.ReadString(Section, QStringLiteral("MqttCaFile"), QString());
    s.MqttUser = file.ReadString(Section, QStringLiteral("MqttUser"), QString());
    s.MqttPassword = file.ReadString(Section, QStringLiteral("MqttPassword"), QString());
    s.Station = file.ReadString(Section, QStringLiteral("Station"), QString());
    // A code shorter than a generated one is not trusted: someone typed it or cut the file.
    if (s.Code.size() < AccessGate::NewCode().size())
        s.Code = AccessGate::NewCode();
    return s;
}

bool RemoteSettings::Save(const QString& configPath, QString* failure) const
{
    IniFile file(configPath);
    if (file.Load()) {
        file.WriteInt(Section, QStringLiteral("Enabled"), Enabled ? 1 : 0);
        file.WriteString(Section, QStringLiteral("Address"), Address);
        file.WriteInt(Section, QStringLiteral("Port"), Port);
        file.WriteString(Section, QStringLiteral("Code"), Code);
        file.WriteString(Section, QStringLiteral("Certificate"), CertificatePath);
        file.WriteString(Section, QStringLiteral("Key"), KeyPath);
        file.WriteInt(Section, QStringLiteral("MqttEnabled"), MqttEnabled ? 1 : 0);
        file.WriteString(Section, QStringLiteral("MqttHost"), MqttHost);
        file.WriteInt(Section, QStringLiteral("MqttPort"), MqttPort);
        file.WriteInt(Section, QStringLiteral("MqttTls"), MqttTls ? 1 : 0);
        file.WriteString(Section, QStringLiteral("MqttCaFile"), MqttCaFile);
        file.WriteString(Section, QStringLiteral("MqttUser"), MqttUser);
        file.WriteString(Section, QStringLiteral("MqttPassword"), MqttPassword);
        file.WriteString(Section, QStringLiteral("Station"), Station);
        if (file.Save())
            return true;
    }
    *failure = file.ErrorString();
    return false;
}

QString RemoteSettings::StationName() const
{
    return TopicSafe(Station.isEmpty() ? QHostInfo::localHostName() : Station);
}

QString RemoteSettings::PageUrl(const QString& host) const
{
    QUrl url;
    url.setScheme(IsHttps() ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    url.setPort(Port);
    url.setPath(QStringLiteral("/"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("code"), Code);
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

QString TopicSafe(const QString& name)
{
    QString safe;
    for (const QChar c : name)
        safe += (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.category() == QChar::Other_Control)
            ? QLatin1Char('_')
            : c;
    return safe.isEmpty() ? QStringLiteral("station") : safe;
}
