#pragma once
// The remote view beside the main window: the state the tiles show, the web server and the
// broker client, started and stopped by the settings. The main window feeds it with one call
// per shown status, alert change and message line; it never waits on a client or the broker.
#include "remote/RemoteSettings.h"
#include "remote/RemoteState.h"

#include <QObject>
#include <memory>

class MqttPublisher;
class RemoteServer;
class TFrmMain;
class TTMICListObj;
class TTMICObject;
struct StatusReply;

class RemoteView : public QObject
{
    Q_OBJECT
public:
    static constexpr int SyncInterval = 1000; // managed list, names and language

    explicit RemoteView(TFrmMain& owner);
    ~RemoteView() override;
    static RemoteView* Of(const TFrmMain& owner);

    RemoteState& State() { return m_state; }
    const RemoteSettings& Settings() const { return m_settings; }
    RemoteServer* Server() const { return m_server.get(); }
    MqttPublisher* Publisher() const { return m_publisher.get(); }
    // Starts, restarts or stops the server and the broker client as the settings say; a server
    // that cannot listen is said in the message list and the debug window.
    void Apply(const RemoteSettings& settings);
    // Replaces the access code: every page and client is disconnected.
    void NewCode();
    // The page's address for a tablet on this network.
    QString PageUrl() const;
    // The host a tablet reaches for this listening address (empty: all interfaces).
    static QString HostFor(const QString& address);

    void StatusShown(const TTMICListObj& record, const StatusReply& status, const TTMICObject& tile);
    void AlertsShown(const TTMICObject& tile);
    void Sync();

private:
    void StartServer();
    void StartPublisher();

    TFrmMain& m_owner;
    RemoteState m_state;
    RemoteSettings m_settings;
    bool m_applied = false;
    std::unique_ptr<RemoteServer> m_server;
    std::unique_ptr<MqttPublisher> m_publisher;
};

// The main window's hooks; each does nothing while no remote view is attached.
void AttachRemoteView(TFrmMain& owner);
void FeedRemoteStatus(const TFrmMain& owner, const TTMICListObj& record, const StatusReply& status, const TTMICObject& tile);
void FeedRemoteAlerts(const TFrmMain& owner, const TTMICObject& tile);
void FeedRemoteEvent(const TFrmMain& owner, const QString& line);
