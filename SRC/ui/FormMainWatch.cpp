// The operator's watch: channels that stop answering turn lost and come back with their first
// reply; a low battery and RF loss episodes raise alerts, with a sound. A channel that keeps
// raising the same alert is summarised once a minute instead of a line per flap. Every line of
// the message list also goes to Events.log. Nothing here sends anything: the monitoring cycle
// stays as it is.
#include "ui/FormMain.h"

#include "data/AlertSettings.h"
#include "data/Clock.h"
#include "data/EventLog.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "store/TimelineStore.h"
#include "ui/AlertSound.h"
#include "ui/MessageLines.h"
#include "ui/RemoteView.h"
#include "ui/TTMICObject.h"

#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace
{

constexpr int WatchInterval = 500; // the flash phase and the lost time's steps
constexpr int MessageLineLimit = 5000; // older lines leave the list; Events.log keeps them all
constexpr int LostRole = Qt::UserRole + 1; // on a row's first cell: the channel is lost

// The Mute button's picture at the tool bar's icon size: a loudspeaker struck through.
QIcon MuteIcon()
{
    QPixmap picture(65, 65);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 70, 90));
    p.drawPolygon(
        QPolygon({ QPoint(8, 24), QPoint(20, 24), QPoint(36, 10), QPoint(36, 55), QPoint(20, 41), QPoint(8, 41) }));
    p.setPen(QPen(QColor(210, 0, 0), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(42, 22, 60, 43);
    p.drawLine(60, 22, 42, 43);
    return QIcon(picture);
}

QString SummaryLine(const AlertLines::Summary& s)
{
    switch (s.Kind) {
    case AlertKind::Lost:
        return LanguageText("连接丢失[%1:%2] 最近一分钟 %3 次", "Lost connection [%1:%2] %3 times in the last minute")
            .arg(s.Rxid).arg(s.DevIdx).arg(s.Starts);
    case AlertKind::LowBattery:
        return LanguageText("电池电量低[%1:%2] 最近一分钟 %3 次", "Low battery [%1:%2] %3 times in the last minute")
            .arg(s.Rxid).arg(s.DevIdx).arg(s.Starts);
    case AlertKind::RfLoss:
        break;
    }
    return LanguageText("射频信号丢失[%1:%2] 最近一分钟 %3 次", "RF loss [%1:%2] %3 times in the last minute")
        .arg(s.Rxid).arg(s.DevIdx).arg(s.Starts);
}

} // namespace

void TFrmMain::CreateWatchTimer()
{
    WatchTimer = new QTimer(this);
    WatchTimer->setObjectName(QStringLiteral("WatchTimer"));
    WatchTimer->setInterval(WatchInterval);
    connect(WatchTimer, &QTimer::timeout, this, &TFrmMain::WatchTimerTimer);
    WatchTimer->start();
    CreateAlertControls();
    CreateTimelineRecorder();
}

// The tool bar's Mute button silences the alert sound until the next new alert.
void TFrmMain::CreateAlertControls()
{
    m_alertSound = new AlertSound(this);
    tbMute = new QAction(MuteIcon(), QString(), this);
    tbMute->setObjectName(QStringLiteral("tbMute"));
    ToolBar1->addSeparator();
    ToolBar1->addAction(tbMute);
    ToolBar1->widgetForAction(tbMute)->setObjectName(QStringLiteral("tbMute"));
    connect(tbMute, &QAction::triggered, m_alertSound, &AlertSound::Mute);
    ApplyAlertTexts();
}

void TFrmMain::ApplyAlertTexts()
{
    if (tbMute)
        tbMute->setText(LanguageText("静音", "Mute"));
    for (QAction* timeline : { mnTimeline, mnTimeline2 })
        if (timeline)
            timeline->setText(LanguageText("时间线", "Timeline"));
}

void TFrmMain::CallOperator(AlertKind kind, uint32_t now)
{
    const PublicStruct& ps = PublicStruct::Instance();
    m_alertSound->SetEnabled(ps.AlertSound);
    m_alertSound->SetVolume(ps.AlertVolume);
    m_alertSound->NewAlert(kind, now);
}

void TFrmMain::WatchTimerTimer()
{
    m_flashPhase = !m_flashPhase;
    const uint32_t now = GetTickCount();
    for (const AlertLines::Summary& summary : m_alertLines.Due(now)) {
        AddMessage(SummaryLine(summary));
        CallOperator(summary.Kind, now);
    }
    bool anyActive = false;
    m_watch.ForEachState([&anyActive](int, int, const WatchState& state) {
        anyActive = anyActive || state.Lost || state.LowBattery || state.RfLost;
    });
    m_alertSound->Repeat(anyActive, now);
    for (const auto& tile : m_tiles) {
        const WatchState* state = m_watch.State(tile->RXID(), tile->DevIdx());
        if (!state)
            continue;
        if (state->Lost)
            tile->SetLostSeconds(ChannelWatch::LostSeconds(*state, now));
        else if (state->LowBattery)
            tile->FlashBattery(m_flashPhase);
    }
}

void TFrmMain::WatchPollSending(const TTMICListObj& record, uint32_t now)
{
    const int limit = PublicStruct::Instance().AlertLostPolls;
    if (m_watching && m_watch.PollSending(record.RXID, record.DevIdx, now, limit)) {
        ShowLost(record.RXID, record.DevIdx, true);
        RecordEvent(record.RXID, record.DevIdx, TimelineEvent::Lost);
        if (AlertStarts(record.RXID, record.DevIdx, AlertKind::Lost, now))
            AddChannelMessage("连接丢失[%1:%2]", "Lost connection [%1:%2]", record.RXID, record.DevIdx);
    }
}

void TFrmMain::WatchAnswered(int rxid, int devIdx)
{
    if (m_watching && m_watch.Answered(rxid, devIdx)) {
        ShowLost(rxid, devIdx, false);
        RecordEvent(rxid, devIdx, TimelineEvent::Restored);
        if (m_alertLines.End(rxid, devIdx, AlertKind::Lost))
            AddChannelMessage("连接已恢复[%1:%2]", "Connection restored [%1:%2]", rxid, devIdx);
    }
}

bool TFrmMain::AlertStarts(int rxid, int devIdx, AlertKind kind, uint32_t now)
{
    if (!m_alertLines.Start(rxid, devIdx, kind, now))
        return false;
    CallOperator(kind, now);
    return true;
}

void TFrmMain::WatchStatus(const TTMICListObj& record, const StatusReply& status)
{
    RecordStatus(record.RXID, record.DevIdx, status, TimelineStore::SourceCycle);
    if (!m_watching)
        return;
    const int rxid = record.RXID;
    const int devIdx = record.DevIdx;
    WatchAnswered(rxid, devIdx);
    const WatchAlerts alerts = AlertsOf(PublicStruct::Instance());
    const uint32_t now = GetTickCount();
    const std::vector<WatchEvent> events
        = m_watch.Status(rxid, devIdx, status.Battery, status.RfA, status.RfB, status.Level, alerts, now);
    for (WatchEvent event : events) {
        switch (event) {
        case WatchEvent::LowBattery:
            RecordEvent(rxid, devIdx, TimelineEvent::LowBattery, status.Battery);
            if (AlertStarts(rxid, devIdx, AlertKind::LowBattery, now))
                AddChannelMessage("电池电量低[%1:%2]", "Low battery [%1:%2]", rxid, devIdx);
            break;
        case WatchEvent::RfLost:
            RecordEvent(rxid, devIdx, TimelineEvent::RfLossStart);
            if (AlertStarts(rxid, devIdx, AlertKind::RfLoss, now))
                AddChannelMessage("射频信号丢失[%1:%2]", "RF loss [%1:%2]", rxid, devIdx);
            break;
        case WatchEvent::RfRestored:
            RecordEvent(rxid, devIdx, TimelineEvent::RfLossEnd, m_watch.State(rxid, devIdx)->RfLastEpisodeMs);
            if (m_alertLines.End(rxid, devIdx, AlertKind::RfLoss))
                AddMessage(LanguageText("射频信号恢复[%1:%2]，持续 %3 秒", "RF restored [%1:%2] after %3 s")
                               .arg(rxid)
                               .arg(devIdx)
                               .arg(m_watch.State(rxid, devIdx)->RfLastEpisodeMs / 1000.0, 0, 'f', 1));
            break;
        }
    }
    if (TTMICObject* tile = FindTile(rxid, devIdx))
        ApplyWatchLook(*tile);
}

void TFrmMain::ApplyWatchLook(TTMICObject& tile) const
{
    const WatchState* state = m_watch.State(tile.RXID(), tile.DevIdx());
    const WatchState none;
    const WatchState& shown = state ? *state : none;
    tile.SetLost(shown.Lost);
    tile.SetLowBattery(shown.LowBattery);
    tile.SetRfLoss(shown.RfLost);
    if (shown.Lost)
        tile.SetLostSeconds(ChannelWatch::LostSeconds(shown, GetTickCount()));
    FeedRemoteAlerts(*this, tile);
}

void TFrmMain::ShowLost(int rxid, int devIdx, bool lost)
{
    if (QTreeWidgetItem* row = FindListItem(rxid, devIdx)) {
        row->setData(ColIP, LostRole, lost);
        row->setIcon(ColIP, lost ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    }
    if (TTMICObject* tile = FindTile(rxid, devIdx))
        ApplyWatchLook(*tile);
}

// Disconnect ends the watch: no channel is polled any more, so none is lost.
void TFrmMain::ResetWatch()
{
    std::vector<std::pair<int, int>> lost;
    m_watch.ForEachLost([&lost](int rxid, int devIdx, const WatchState&) { lost.emplace_back(rxid, devIdx); });
    m_watch.Clear();
    m_alertLines.Clear();
    for (const auto& [rxid, devIdx] : lost)
        ShowLost(rxid, devIdx, false);
    for (const auto& tile : m_tiles)
        ApplyWatchLook(*tile);
}

bool TFrmMain::IsLostRow(const QModelIndex& index)
{
    return index.siblingAtColumn(ColIP).data(LostRole).toBool();
}

void TFrmMain::AddChannelMessage(const char* chinese, const char* english, int rxid, int devIdx)
{
    AddMessage(LanguageText(chinese, english).arg(rxid).arg(devIdx));
}

void TFrmMain::AddMessage(const QString& line)
{
    AppendMessageLine(*lbMsg, line, MessageLineLimit);
    LogEvent(line);
    FeedRemoteEvent(*this, line);
}

QString TFrmMain::EventLogPath() const
{
    return EventLog::PathBeside(PublicStruct::Instance().ConfigPath());
}

// A log that cannot be written is said once in the message list, until a line gets through
// again; the show goes on either way.
void TFrmMain::LogEvent(const QString& line)
{
    EventLog log(EventLogPath());
    if (log.Append(line)) {
        m_eventLogFailureShown = false;
        return;
    }
    if (m_eventLogFailureShown)
        return;
    m_eventLogFailureShown = true;
    lbMsg->addItem(LanguageText("无法写入事件日志 %1: %2", "Cannot write the event log %1: %2")
                       .arg(log.Path(), log.ErrorString()));
    lbMsg->scrollToBottom();
}
