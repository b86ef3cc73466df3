// The main window's part of the timeline: every status reply and event of the managed channels
// goes to Timeline.sqlite in the settings folder through the recorder's writer thread.
#include "ui/FormMain.h"

#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "store/TimelineStore.h"
#include "ui/timeline/FormTimeline.h"
#include "ui/timeline/ToolEvents.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QTreeWidget>
#include <optional>

void TFrmMain::CreateTimelineRecorder()
{
    m_timeline = std::make_unique<TimelineStore>(TimelineStore::PathIn(PublicStruct::Instance().SettingsFolder()));
    // The recorder says a problem once until writing works again; monitoring goes on either way.
    connect(m_timeline.get(), &TimelineStore::Problem, this, [this](const QString& text) {
        AddMessage(LanguageText("时间线未记录: %1", "The timeline is not recorded: %1").arg(text));
    });
    RecordEvent(0, 0, TimelineEvent::ShowStart);
    // What the tool windows did: a line in the message list (and Events.log) and an event.
    ToolEvents::SetSink(this, [this](const EventRow& event) {
        AddMessage(event.Text);
        m_timeline->Record(event);
    });
    AddTimelineActions();
}

void TFrmMain::RecordStatus(int rxid, int devIdx, const StatusReply& status, int source)
{
    StatusRow row;
    row.TimeMs = QDateTime::currentMSecsSinceEpoch();
    row.Rxid = rxid;
    row.DevIdx = devIdx;
    row.RfA = status.RfA;
    row.RfB = status.RfB;
    row.Audio = status.Audio;
    row.Battery = status.Battery;
    row.Antenna = status.Antenna;
    row.Squelch = status.Level;
    row.Channel = status.Channel;
    row.Source = source;
    m_timeline->Record(row);
}

void TFrmMain::RecordEvent(int rxid, int devIdx, const QString& kind, int64_t value, const QString& text)
{
    m_timeline->Record(EventRow { QDateTime::currentMSecsSinceEpoch(), rxid, devIdx, kind, value, text });
}

// The Devices menu and the device list's pop-up menu open the timeline; from the pop-up menu it
// shows the channel of the row.
void TFrmMain::AddTimelineActions()
{
    mnTimeline = new QAction(LanguageText("时间线", "Timeline"), this);
    mnTimeline->setObjectName(QStringLiteral("mnTimeline"));
    mnDevices->addAction(mnTimeline);
    connect(mnTimeline, &QAction::triggered, this, [this] { OpenTimeline(false); });
    mnTimeline2 = new QAction(mnTimeline->text(), this);
    mnTimeline2->setObjectName(QStringLiteral("mnTimeline2"));
    PopupMenu1->addAction(mnTimeline2);
    connect(mnTimeline2, &QAction::triggered, this, [this] { OpenTimeline(true); });
}

TFrmTimeline* TFrmMain::OpenTimeline(bool selectedChannel)
{
    const QTreeWidgetItem* row = selectedChannel ? SelectedRow() : nullptr;
    const int index = row ? lbDevList->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(row)) : -1;
    std::optional<ChannelKey> channel;
    if (index >= 0 && index < m_devices.Count())
        channel = ChannelKey { m_devices.At(index)->RXID, m_devices.At(index)->DevIdx };
    auto* window = new TFrmTimeline(*this, channel ? &*channel : nullptr);
    window->show();
    return window;
}
