// The operator's watch: channels that stop answering turn lost and come back with their first
// reply; a battery at its lowest level and RF loss raise alerts. Every line of the message list
// also goes to Events.log. Nothing here sends anything: the monitoring cycle stays as it is.
#include "ui/FormMain.h"

#include "data/Clock.h"
#include "data/EventLog.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "ui/MessageLines.h"
#include "ui/TTMICObject.h"

#include <QListWidget>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>

namespace
{

constexpr int WatchInterval = 500; // the flash phase and the lost time's steps
constexpr int MessageLineLimit = 5000; // older lines leave the list; Events.log keeps them all
constexpr int LostRole = Qt::UserRole + 1; // on a row's first cell: the channel is lost

} // namespace

void TFrmMain::CreateWatchTimer()
{
    WatchTimer = new QTimer(this);
    WatchTimer->setObjectName(QStringLiteral("WatchTimer"));
    WatchTimer->setInterval(WatchInterval);
    connect(WatchTimer, &QTimer::timeout, this, &TFrmMain::WatchTimerTimer);
    WatchTimer->start();
}

void TFrmMain::WatchTimerTimer()
{
    m_flashPhase = !m_flashPhase;
    const uint32_t now = GetTickCount();
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
    if (m_watching && m_watch.PollSending(record.RXID, record.DevIdx, now)) {
        ShowLost(record.RXID, record.DevIdx, true);
        AddChannelMessage("连接丢失[%1:%2]", "Lost connection [%1:%2]", record.RXID, record.DevIdx);
    }
}

void TFrmMain::WatchAnswered(int rxid, int devIdx)
{
    if (m_watching && m_watch.Answered(rxid, devIdx)) {
        ShowLost(rxid, devIdx, false);
        AddChannelMessage("连接已恢复[%1:%2]", "Connection restored [%1:%2]", rxid, devIdx);
    }
}

void TFrmMain::WatchStatus(const TTMICListObj& record, const StatusReply& status)
{
    if (!m_watching)
        return;
    const int rxid = record.RXID;
    const int devIdx = record.DevIdx;
    WatchAnswered(rxid, devIdx);
    const PublicStruct& ps = PublicStruct::Instance();
    const WatchAlerts alerts { ps.AlertLowBattery, ps.AlertRFLoss };
    for (WatchEvent event : m_watch.Status(rxid, devIdx, status.Battery, status.RfA, status.RfB, status.Level, alerts)) {
        switch (event) {
        case WatchEvent::LowBattery:
            AddChannelMessage("电池电量低[%1:%2]", "Low battery [%1:%2]", rxid, devIdx);
            break;
        case WatchEvent::RfLost:
            AddChannelMessage("射频信号丢失[%1:%2]", "RF loss [%1:%2]", rxid, devIdx);
            break;
        case WatchEvent::RfRestored:
            AddChannelMessage("射频信号恢复[%1:%2]", "RF restored [%1:%2]", rxid, devIdx);
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
