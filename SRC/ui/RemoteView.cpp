#include "ui/RemoteView.h"

#include "data/DebugPrint.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "remote/MqttPublisher.h"
#include "remote/RemoteServer.h"
#include "ui/FormMain.h"
#include "ui/TTMICObject.h"

#include <QNetworkInterface>
#include <QTimer>

namespace
{
RemoteView* s_view = nullptr; // one main window per process
} // namespace

RemoteView::RemoteView(TFrmMain& owner) : QObject(&owner), m_owner(owner)
{
    s_view = this;
    m_settings = RemoteSettings::Load(PublicStruct::Instance().ConfigPath());
    auto* timer = new QTimer(this);
    timer->setInterval(SyncInterval);
    connect(timer, &QTimer::timeout, this, &RemoteView::Sync);
    timer->start();
    Sync();
    Apply(m_settings);
}

RemoteView::~RemoteView()
{
    if (s_view == this)
        s_view = nullptr;
}

RemoteView* RemoteView::Of(const TFrmMain& owner)
{
    return s_view && &s_view->m_owner == &owner ? s_view : nullptr;
}

// What did not change keeps running: a Confirm in the settings window for another setting must
// not cut off every tablet and the broker.
void RemoteView::Apply(const RemoteSettings& settings)
{
    const RemoteSettings old = m_settings;
    const bool first = !m_applied;
    m_settings = settings;
    m_applied = true;
    m_state.SetStation(m_settings.StationName());
    if (first || old.Enabled != settings.Enabled || old.Address != settings.Address || old.Port != settings.Port
        || old.Code != settings.Code || old.CertificatePath != settings.CertificatePath || old.KeyPath != settings.KeyPath
        || (settings.Enabled && !m_server))
        StartServer();
    if (first || old.MqttEnabled != settings.MqttEnabled || old.MqttHost != settings.MqttHost || old.MqttPort != settings.MqttPort
        || old.MqttTls != settings.MqttTls || old.MqttCaFile != settings.MqttCaFile || old.MqttUser != settings.MqttUser
        || old.MqttPassword != settings.MqttPassword || old.StationName() != settings.StationName())
        StartPublisher();
}

void RemoteView::NewCode()
{
    m_settings.Code = AccessGate::NewCode();
    if (m_server)
        m_server->SetCode(m_settings.Code);
}

void RemoteView::StartServer()
{
    m_server.reset();
    if (!m_settings.Enabled)
        return;
    auto server = std::make_unique<RemoteServer>(m_state, m_settings.Code);
    connect(server.get(), &RemoteServer::clientDropped, this, [](const QString& peer, const QString& reason) {
        DebugPrint("Remote view: %s refused: %s", peer.toUtf8().constData(), reason.toUtf8().constData());
    });
    RemoteListen listen;
    listen.Address = m_settings.Address.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(m_settings.Address);
    listen.Port = static_cast<quint16>(m_settings.Port);
    listen.CertificatePath = m_settings.CertificatePath;
    listen.KeyPath = m_settings.KeyPath;
    QString error;
    if (listen.Address.isNull())
        error = LanguageText("地址无效", "not an address");
    else if (server->Start(listen, &error)) {
        m_server = std::move(server);
        return;
    }
    m_owner.AddMessage(LanguageText("远程查看无法在 %1:%2 启动: %3", "Remote view cannot start on %1:%2: %3")
                           .arg(m_settings.Address.isEmpty() ? QStringLiteral("*") : m_settings.Address)
                           .arg(m_settings.Port)
                           .arg(error));
}

void RemoteView::StartPublisher()
{
    m_publisher.reset();
    if (!m_settings.MqttEnabled)
        return;
    MqttOptions options;
    options.Host = m_settings.MqttHost;
    options.Port = m_settings.MqttPort;
    options.Tls = m_settings.MqttTls;
    options.CaFile = m_settings.MqttCaFile;
    options.User = m_settings.MqttUser;
    options.Password = m_settings.MqttPassword;
    options.Station = m_settings.StationName();
    m_publisher = std::make_unique<MqttPublisher>(m_state, options);
    connect(m_publisher.get(), &MqttPublisher::notice, this,
        [](const QString& line) { DebugPrint("MQTT: %s", line.toUtf8().constData()); });
    m_publisher->Start();
}

// A listening address names itself; on all interfaces the first LAN address stands for them.
QString RemoteView::HostFor(const QString& address)
{
    if (!address.isEmpty() && address != QLatin1String("0.0.0.0") && address != QLatin1String("::"))
        return address;
    for (const QHostAddress& candidate : QNetworkInterface::allAddresses())
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol && !candidate.isLoopback())
            return candidate.toString();
    return QStringLiteral("127.0.0.1");
}

QString RemoteView::PageUrl() const
{
    return m_settings.PageUrl(HostFor(m_settings.Address));
}

void RemoteView::StatusShown(const TTMICListObj& record, const StatusReply& status, const TTMICObject& tile)
{
    RemoteChannel channel;
    channel.Rxid = record.RXID;
    channel.DevIdx = record.DevIdx;
    channel.Name = record.Name;
    channel.Band = record.Band;
    channel.Channel = status.Channel;
    channel.Frequency = record.Freq;
    channel.RfA = status.RfA;
    channel.RfB = status.RfB;
    channel.Audio = status.Audio;
    channel.Battery = status.Battery;
    channel.Antenna = status.Antenna;
    channel.Lost = tile.IsLost();
    channel.LowBattery = tile.IsLowBattery();
    channel.RfLoss = tile.IsRfLoss();
    m_state.Show(channel);
}

void RemoteView::AlertsShown(const TTMICObject& tile)
{
    const RemoteChannel* known = m_state.Find(tile.RXID(), tile.DevIdx());
    if (!known)
        return;
    RemoteChannel channel = *known;
    channel.Lost = tile.IsLost();
    channel.LowBattery = tile.IsLowBattery();
    channel.RfLoss = tile.IsRfLoss();
    m_state.Show(channel);
}

void RemoteView::Sync()
{
    std::vector<RemoteState::Managed> managed;
    for (const auto& record : m_owner.Devices())
        managed.push_back({ record->RXID, record->DevIdx, record->Name, record->Band });
    m_state.SetManaged(managed);
    m_state.SetLanguage(PublicStruct::Instance().LanguageIndex == 0 ? QStringLiteral("zh") : QStringLiteral("en"));
}

void AttachRemoteView(TFrmMain& owner)
{
    new RemoteView(owner);
}

void FeedRemoteStatus(const TFrmMain& owner, const TTMICListObj& record, const StatusReply& status, const TTMICObject& tile)
{
    if (RemoteView* view = RemoteView::Of(owner))
        view->StatusShown(record, status, tile);
}

void FeedRemoteAlerts(const TFrmMain& owner, const TTMICObject& tile)
{
    if (RemoteView* view = RemoteView::Of(owner))
        view->AlertsShown(tile);
}

void FeedRemoteEvent(const TFrmMain& owner, const QString& line)
{
    if (RemoteView* view = RemoteView::Of(owner))
        view->State().AddEvent(line);
}
