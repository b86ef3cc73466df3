// Frame intake (datagrams and the serial stream) and the dispatch of every received frame.
#include "ui/FormMain.h"
// The registry names a variable "slots", which the Qt keyword macro would swallow.
#pragma push_macro("slots")
#undef slots
#include "ui/ToolWindows.h"
#pragma pop_macro("slots")

#include "data/Clock.h"
#include "data/DebugPrint.h"
#include "data/PublicStruct.h"
#include "data/ReplySource.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "store/TimelineStore.h"
#include "transport/ClassCom.h"
#include "transport/UDPServer.h"
#include "ui/FormMessage.h"
#include "ui/RemoteView.h"
#include "ui/TTMICObject.h"
#include "ui/timeline/ToolEvents.h"

#include <QCoreApplication>
#include <QTreeWidget>

namespace
{

constexpr uint32_t SerialGapLimit = 500; // ms between reads before a partial frame is dropped
constexpr int SerialReadWait = 10; // ms each read may wait
constexpr int SerialReadBudget = 64 * 1024; // bytes one notification reads at most
constexpr size_t MaxWaitingSerialFrames = 1024;

// The tool windows in the order each kind of reply is offered to them.
constexpr ToolWindow ScanWindows[] = { ToolWindow::ScanRF, ToolWindow::SingleSet, ToolWindow::MulitSet };
constexpr ToolWindow SetReplyWindows[] = { ToolWindow::DevProperty, ToolWindow::SetFreq, ToolWindow::SetMuiltFreq };

// Each window is looked up just before its call: an earlier one may have closed a later one.
template <size_t N, typename Call> void OfferToWindows(const ToolWindow (&windows)[N], Call call)
{
    for (ToolWindow which : windows)
        if (ToolReplyHandler* handler = OpenToolWindow(which))
            call(*handler);
}

// Clears a flag however the scope is left.
class FlagScope
{
public:
    explicit FlagScope(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

bool TFrmMain::event(QEvent* e)
{
    switch (static_cast<int>(e->type())) {
    case MSG_DATAGRAM:
        if (const auto* datagram = dynamic_cast<const DatagramEvent*>(e))
            OnDatagram(*datagram);
        return true;
    case MSG_SERIAL_DATA:
        OnSerialData();
        return true;
    case MSG_NOTIFY:
        if (const auto* message = dynamic_cast<const MessageEvent*>(e))
            OnNotify(message->wParam(), message->lParam());
        return true;
    default:
        return QMainWindow::event(e);
    }
}

void TFrmMain::OnDatagram(const DatagramEvent& datagram)
{
    const DatagramBlock& block = datagram.Datagram();
    if (block.length < 0 || block.length > DatagramCapacity)
        return;
    if (!IsWellFormedDatagram(block.data, static_cast<size_t>(block.length)))
        return;
    const SourceBlock& source = datagram.Source();
    const QString sourceText
        = QString::fromLatin1(source.sourceAddress, qstrnlen(source.sourceAddress, sizeof source.sourceAddress));
    HandleFrame(sourceText, block.data, block.length);
}

// The line is read until it is empty: cutting always leaves room in the buffer, so a stream of
// any content drains. One call takes at most SerialReadBudget bytes; the watcher notifies again
// for the rest, so that a flooding line cannot hold the window.
void TFrmMain::OnSerialData()
{
    if (TickPassed(m_lastSerialRead + SerialGapLimit, GetTickCount())) {
        TakeSerialFrames(true);
        m_serialCutter.Discard();
    }
    int total = 0;
    while (total < SerialReadBudget) {
        const int read = cnComm::Instance().ReadAvailable(
            m_serialCutter.WritePointer(), m_serialCutter.FreeSpace(), SerialReadWait);
        if (read <= 0)
            break;
        total += read;
        m_lastSerialRead = GetTickCount();
        m_serialCutter.Commit(read);
        TakeSerialFrames(false);
    }
    DrainSerialFrames();
}

// Frames wait here only while a reply handler runs a nested loop; a line that keeps sending
// meanwhile loses the frames beyond the bound, not the window its memory.
void TFrmMain::TakeSerialFrames(bool expired)
{
    std::vector<uint8_t> frame;
    int dropped = 0;
    while (m_serialCutter.NextFrame(frame, expired)) {
        if (m_serialFrames.size() < MaxWaitingSerialFrames)
            m_serialFrames.push_back(std::move(frame));
        else
            ++dropped;
    }
    if (dropped > 0)
        DebugPrint("Uart: %d frames dropped, %d wait already", dropped, static_cast<int>(m_serialFrames.size()));
}

// A window called from HandleFrame may run a modal box, in which a further notification enters
// OnSerialData again. That nested call only queues its frames; the outermost call hands every
// frame on, whole and in arrival order.
void TFrmMain::DrainSerialFrames()
{
    if (m_drainingSerial)
        return;
    FlagScope draining(m_drainingSerial);
    while (!m_serialFrames.empty()) {
        const std::vector<uint8_t> frame = std::move(m_serialFrames.front());
        m_serialFrames.pop_front();
        HandleFrame(QString(), frame.data(), static_cast<int>(frame.size()));
    }
}

void TFrmMain::HandleFrame(const QString& source, const uint8_t* frame, int n)
{
    if (!frame || n < FrameOverhead)
        return;
    const size_t size = static_cast<size_t>(n);
    const bool checksumOk = FrameChecksumOk(frame, size);
    DebugPrint("UDP Size:%d", n);
    if (!checksumOk)
        return;

    const int rxid = FrameRxid(frame);
    const int devIdx = FrameDevIdx(frame);
    const uint8_t cmd = FrameCmd(frame);
    const uint8_t len = FrameLen(frame);
    const uint8_t* payload = FramePayload(frame);
    if (!ReplyFromItsAddress(m_devices, source, rxid, devIdx, cmd))
        return;

    if (cmd == CMD_STATUS) {
        HandleStatus(frame, n);
    } else if (cmd == CMD_SYNC_RESULT && len == AckLen) {
        HandleSyncResult(frame, n);
    } else if (cmd == CMD_DEVICE_INFO && len == DeviceInfoLen) {
        HandleDeviceInfo(source, frame, n);
    } else if ((cmd == CMD_SET_CHANNEL_ACK || cmd == CMD_SET_SQ_ACK) && len == AckLen) {
        ToolEvents::SettingAcknowledged(rxid, devIdx, cmd);
        OfferToWindows(SetReplyWindows, [&](ToolReplyHandler& w) { w.OnSetReply(rxid, devIdx, cmd); });
    } else if (cmd == CMD_SCAN_POINT && len == ScanPointLen) {
        OfferToWindows(ScanWindows, [&](ToolReplyHandler& w) { w.OnScanPoint(rxid, payload); });
    } else if (cmd == CMD_SCAN_END && len == AckLen) {
        ToolEvents::ScanEndReceived(rxid);
        OfferToWindows(ScanWindows, [&](ToolReplyHandler& w) { w.OnScanEnd(rxid, cmd); });
    } else if (cmd == CMD_SEARCH_REPLY && len == SearchReplyLen) {
        if (ToolReplyHandler* search = OpenToolWindow(ToolWindow::SearceHR))
            search->OnSearchReply(source, frame, n);
    } else if (cmd == CMD_SET_IP_ACK && len == AckLen) {
        if (ToolReplyHandler* modifyIp = OpenToolWindow(ToolWindow::ModifyHrIP))
            modifyIp->OnSetIpReply(source, frame, n);
    }
}

// A status reply too short to hold its nine values is dropped: reading past it would show bytes
// that are not part of the frame.
void TFrmMain::HandleStatus(const uint8_t* frame, int n)
{
    const std::optional<StatusReply> status = DecodeStatus(frame, static_cast<size_t>(n));
    if (!status)
        return;
    const int rxid = FrameRxid(frame);
    const int devIdx = FrameDevIdx(frame);
    ToolReplyHandler* history = OpenToolWindow(ToolWindow::RFHistory);
    if (history && PublicStruct::Instance().RFHistoryBusy) {
        RecordStatus(rxid, devIdx, *status, TimelineStore::SourceRfHistory);
        history->OnStatus(rxid, devIdx, FramePayload(frame));
        return;
    }

    TTMICListObj* record = FindDevice(m_devices, rxid, devIdx);
    if (!record)
        return;
    WatchStatus(*record, *status);
    record->SQ = status->SQ;
    const double freq = ChannelFrequency(record->StartFreq, record->StartChannel, status->Channel);
    if (freq != record->Freq) {
        record->Freq = freq;
        if (QTreeWidgetItem* row = FindListItem(rxid, devIdx))
            row->setText(ColFreq, FrequencyCellText(freq));
        RequestDeviceListSave();
    }

    TTMICObject* tile = FindTile(rxid, devIdx);
    if (!tile)
        return;
    tile->SetBand(record->Band);
    tile->SetFreq(freq);
    tile->SetBattery(status->Battery);
    tile->SetVoiceLevel(status->Audio);
    tile->SetRFLevels(status->RfA, status->RfB);
    tile->SetActiveAntenna(status->Antenna);
    tile->SetChannel(status->Channel);
    FeedRemoteStatus(*this, *record, *status, *tile);
}

// The result is not matched against the channel that was asked to sync. One nobody waits for is
// dropped: a device (or anyone on the LAN) repeating it must not pile up message boxes.
void TFrmMain::HandleSyncResult(const uint8_t* frame, int n)
{
    const std::optional<uint8_t> result = DecodeSyncResult(frame, static_cast<size_t>(n));
    if (!result)
        return;
    PublicStruct& ps = PublicStruct::Instance();
    if (ps.SyncStartTick == 0)
        return;
    ps.SyncStartTick = 0;
    ToolEvents::SyncResult(FrameRxid(frame), FrameDevIdx(frame), *result);
    if (*result == 1 || *result == 2)
        QCoreApplication::postEvent(this, new MessageEvent(MSG_NOTIFY, 3, *result));
}

void TFrmMain::HandleDeviceInfo(const QString& source, const uint8_t* frame, int n)
{
    const std::optional<DeviceBandInfo> info = DecodeDeviceInfo(frame, static_cast<size_t>(n));
    if (!info)
        return;
    const int rxid = FrameRxid(frame);
    const int devIdx = FrameDevIdx(frame);
    if (TTMICListObj* record = FindDevice(m_devices, rxid, devIdx))
        UpdateKnownDevice(*record, source, *info);
    else
        AddRepliedChannel(source, rxid, devIdx, *info);
}

void TFrmMain::UpdateKnownDevice(TTMICListObj& record, const QString& source, const DeviceBandInfo& info)
{
    record.IP = source;
    record.StartFreq = info.StartFreq;
    record.Band = info.Band;
    record.StartChannel = info.StartChannel;
    record.MaxChannel = info.MaxChannel;
    record.Name = info.Name;
    record.HWVer = info.HWVer;
    record.SWVer = info.SWVer;
    if (record.ConnectDeadline != 0) {
        record.ConnectDeadline = 0;
        record.Connected = true;
        AddMessage(QString::asprintf(BuiltinText(43).toUtf8().constData(), record.RXID));
        RecordEvent(record.RXID, record.DevIdx, TimelineEvent::Connect);
    }
    if (TTMICObject* tile = FindTile(record.RXID, record.DevIdx)) {
        tile->SetTitle(record.Name);
        tile->SetFreq(record.Freq);
    }
    if (QTreeWidgetItem* row = FindListItem(record.RXID, record.DevIdx)) {
        // The row shows the address the record now sends to, not the one it was added with.
        row->setText(ColIP, record.IP);
        row->setText(ColFreq, FrequencyCellText(record.Freq));
        row->setText(ColName, record.Name);
        row->setText(ColBand, record.Band);
        if (record.Connected)
            row->setData(ColIP, Qt::UserRole, 1);
        row->treeWidget()->viewport()->update();
    }
    WatchAnswered(record.RXID, record.DevIdx);
}

// A channel that answers without a record becomes a managed channel, up to the list's bound.
void TFrmMain::AddRepliedChannel(const QString& source, int rxid, int devIdx, const DeviceBandInfo& info)
{
    TTMICListObj* record = AddRepliedDevice(m_devices, source, rxid, devIdx, info);
    if (!record) {
        DebugPrint("Device list full (%d records): channel [%d:%d] not added", m_devices.Count(), rxid, devIdx);
        return;
    }
    AppendDeviceRow(*record, QString::number(record->StartFreq, 'g', QLocale::FloatingPointShortest));
    RequestDeviceListSave();
}

void TFrmMain::OnNotify(quintptr wParam, qintptr lParam)
{
    if (wParam == 3) {
        // The box runs a nested loop: a result arriving meanwhile must not open a box inside it.
        if (m_resultBoxOpen)
            return;
        FlagScope open(m_resultBoxOpen);
        ShowMessageBox(this, BuiltinText(static_cast<unsigned>(lParam)), QStringLiteral("提示"), 0, -1);
        return;
    }
    TTMICObject* tile = FindTile(ChannelRxid(lParam), ChannelDevIdx(lParam));
    if (!tile)
        return;
    if (wParam == 1)
        CloseTile(tile);
    else if (wParam == 2)
        SyncTx(*tile);
}

void TFrmMain::SyncTx(const TTMICObject& tile)
{
    const TTMICListObj* record = FindDevice(m_devices, tile.RXID(), tile.DevIdx());
    if (!record)
        return;
    SendCommand(record->IP, static_cast<uint8_t>(record->RXID), static_cast<uint8_t>(record->DevIdx), CMD_SYNC_TX,
        EmptyRequest, sizeof EmptyRequest);
    PublicStruct::Instance().SyncStartTick = PendingMoment(GetTickCount());
}
