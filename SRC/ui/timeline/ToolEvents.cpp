#include "ui/timeline/ToolEvents.h"

#include "lang/Language.h"
#include "protocol/Commands.h"

#include <QDateTime>
#include <QPointer>
#include <map>
#include <tuple>

namespace ToolEvents
{
namespace
{

struct State {
    QPointer<QObject> owner;
    Sink sink;
    // (RXID, DevIdx, the awaited acknowledgement) -> the value sent; one per channel and kind.
    std::map<std::tuple<int, int, uint8_t>, int> awaited;
    std::map<int, int> scanning; // RXID -> DevIdx of the scan under way
};

State& Shared()
{
    static State state;
    return state;
}

void Say(int rxid, int devIdx, const QString& kind, int64_t value, const QString& text)
{
    State& s = Shared();
    if (s.owner && s.sink)
        s.sink(EventRow { QDateTime::currentMSecsSinceEpoch(), rxid, devIdx, kind, value, text });
}

} // namespace

void SetSink(QObject* owner, Sink sink)
{
    State& s = Shared();
    s = State {};
    s.owner = owner;
    s.sink = std::move(sink);
}

void SettingSent(int rxid, int devIdx, uint8_t command, int value, int sent)
{
    if (sent > 0 && (command == CMD_SET_CHANNEL || command == CMD_SET_SQ))
        Shared().awaited[{ rxid, devIdx, command == CMD_SET_CHANNEL ? CMD_SET_CHANNEL_ACK : CMD_SET_SQ_ACK }] = value;
}

void SettingAcknowledged(int rxid, int devIdx, uint8_t ack)
{
    auto& awaited = Shared().awaited;
    const auto sent = awaited.find({ rxid, devIdx, ack });
    if (sent == awaited.end())
        return; // nobody asked, or it was said already
    const int value = sent->second;
    awaited.erase(sent);
    if (ack == CMD_SET_CHANNEL_ACK)
        Say(rxid, devIdx, TimelineEvent::SetChannel, value,
            LanguageText("设置频道[%1:%2]: %3", "Set channel [%1:%2]: %3").arg(rxid).arg(devIdx).arg(value));
    else
        Say(rxid, devIdx, TimelineEvent::SetSquelch, value,
            LanguageText("设置静噪[%1:%2]: %3", "Set squelch [%1:%2]: %3").arg(rxid).arg(devIdx).arg(value));
}

void ScanCommand(int rxid, int devIdx, uint8_t command, int sent)
{
    auto& scanning = Shared().scanning;
    if (command == CMD_SCAN_START && sent > 0) {
        scanning[rxid] = devIdx;
        Say(rxid, devIdx, TimelineEvent::ScanStart, 0,
            LanguageText("扫频开始[%1:%2]", "Scan started [%1:%2]").arg(rxid).arg(devIdx));
    } else if (command == CMD_SCAN_STOP && scanning.erase(rxid) > 0) {
        Say(rxid, devIdx, TimelineEvent::ScanEnd, 0,
            LanguageText("扫频停止[%1:%2]", "Scan stopped [%1:%2]").arg(rxid).arg(devIdx));
    }
}

void ScanEndReceived(int rxid)
{
    auto& scanning = Shared().scanning;
    const auto scan = scanning.find(rxid);
    if (scan == scanning.end())
        return;
    const int devIdx = scan->second;
    scanning.erase(scan);
    Say(rxid, devIdx, TimelineEvent::ScanEnd, 1,
        LanguageText("扫频结束[%1:%2]", "Scan ended [%1:%2]").arg(rxid).arg(devIdx));
}

void SyncResult(int rxid, int devIdx, int result)
{
    Say(rxid, devIdx, TimelineEvent::Sync, result,
        (result == 1 ? LanguageText("同步成功[%1:%2]", "Sync Tx [%1:%2] succeeded")
                     : LanguageText("同步失败[%1:%2]", "Sync Tx [%1:%2] failed"))
            .arg(rxid)
            .arg(devIdx));
}

} // namespace ToolEvents
