// The monitoring cycle: connect requests and their time-outs, status polls in turn, and the
// watch over a pending Sync Tx. Each run sends at most one frame.
#include "ui/FormMain.h"

#include "data/Clock.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "ui/FormMessage.h"

namespace
{

constexpr uint32_t ConnectReplyTime = 2000;
constexpr uint32_t SyncReplyTime = 40000;

int Send(const TTMICListObj& record, uint8_t cmd)
{
    return SendCommand(record.IP, static_cast<uint8_t>(record.RXID), static_cast<uint8_t>(record.DevIdx), cmd,
        EmptyRequest, sizeof EmptyRequest);
}

} // namespace

void TFrmMain::Timer1Timer()
{
    const uint32_t now = GetTickCount();
    PublicStruct& ps = PublicStruct::Instance();

    for (const auto& record : m_devices) {
        if (record->ConnectDue != 0 && TickPassed(record->ConnectDue, now)) {
            record->ConnectDue = 0;
            record->ConnectDeadline = PendingMoment(now + ConnectReplyTime);
            Send(*record, CMD_CONNECT);
            return;
        }
        if (record->ConnectDeadline != 0 && TickPassed(record->ConnectDeadline, now)) {
            record->ConnectDeadline = 0;
            AddMessage(QString::asprintf(BuiltinText(39).toUtf8().constData(), record->RXID, record->DevIdx));
        }
    }

    if (ps.SyncStartTick == 0 && !ps.ScanBusy && !ps.RFHistoryBusy) {
        const int count = m_devices.Count();
        for (int i = 0; i < count; ++i) {
            if (m_pollIndex >= count || m_pollIndex < 0)
                m_pollIndex = 0;
            const TTMICListObj& record = *m_devices.At(m_pollIndex);
            ++m_pollIndex;
            if (record.Connected) {
                WatchPollSending(record, now);
                Send(record, CMD_GET_STATUS);
                return;
            }
        }
    }

    if (ps.SyncStartTick != 0 && TickPassed(ps.SyncStartTick + SyncReplyTime, now)) {
        ps.SyncStartTick = 0;
        ShowMessageBox(this, BuiltinText(2), QStringLiteral("提示"), 0, -1);
    }
}
