#include "ui/FormSearceHR.h"

#include "lang/Language.h"
#include "protocol/Commands.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"
#include "ui/FormModifyHrIP.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

TFrmSearceHR* FrmSearceHR = nullptr;

namespace
{

struct ColumnLayout {
    const char* caption; // Chinese source text for TranslateText
    int width;
};
constexpr ColumnLayout Columns[TFrmSearceHR::ColumnCount] = {
    {"IP地址", 120}, {"设备ID", 60}, {"通道", 65}, {"名称", 100}, {"硬件版本", 80}, {"软件版本", 80}, {"Band", 50},
};

// Field lengths of an entry handed back to the main window.
constexpr int IpChars = 15;
constexpr int NameChars = 15;
constexpr int VersionChars = 3;
constexpr int BandChars = 1;

// Channels named one by one in the message of refused channels; the rest are counted.
constexpr int NamedRefusedChannels = 8;

} // namespace

TFrmSearceHR::TFrmSearceHR(QWidget* owner, uint8_t& result, std::vector<SearchDevStruct>& channels)
    : QDialog(owner)
    , m_result(result)
    , m_channels(channels)
{
    PrepareModalWindow(*this, "FrmSearceHR", TranslateText(QStringLiteral("添加设备")));
    CreateControls();
    resize(sizeHint());
    if (owner)
        CentreOn(*this, *owner);

    m_result = 0;
    FrmSearceHR = this;
    RegisterToolWindow(ToolWindow::SearceHR, this);
    SendSearch();
}

TFrmSearceHR::~TFrmSearceHR()
{
    UnregisterToolWindow(ToolWindow::SearceHR, this);
    if (FrmSearceHR == this)
        FrmSearceHR = nullptr;
}

QTreeWidget* TFrmSearceHR::NewDeviceList(const char* name)
{
    auto* list = new QTreeWidget(this);
    list->setObjectName(QString::fromLatin1(name));
    list->setColumnCount(ColumnCount);
    QStringList captions;
    for (const ColumnLayout& column : Columns)
        captions << TranslateText(QString::fromUtf8(column.caption));
    list->setHeaderLabels(captions);
    for (int i = 0; i < ColumnCount; ++i)
        list->header()->resizeSection(i, Columns[i].width);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    int width = 2 * list->frameWidth();
    for (const ColumnLayout& column : Columns)
        width += column.width;
    list->setMinimumSize(width, 260);
    return list;
}

void TFrmSearceHR::CreateControls()
{
    Label2 = NewLabel(this, "Label2", TranslateText(QStringLiteral("在线设备列表")));
    lvDev = NewDeviceList("lvDev");
    Label3 = NewLabel(this, "Label3", TranslateText(QStringLiteral("添加设备列表")));
    lvAddDev = NewDeviceList("lvAddDev");
    btAddAll = NewButton(this, "btAddAll", QStringLiteral("->>"));
    btAdd = NewButton(this, "btAdd", QStringLiteral("->"));
    btDel = NewButton(this, "btDel", QStringLiteral("<-"));
    btDelAll = NewButton(this, "btDelAll", QStringLiteral("<<-"));
    btSearce = NewButton(this, "btSearce", TranslateText(QStringLiteral("刷新")));
    btModifyIP = NewButton(this, "btModifyIP", TranslateText(QStringLiteral("修改设备IP")));
    btSure = NewButton(this, "btSure", TranslateText(QStringLiteral("确认")));
    btClose = NewButton(this, "btClose", TranslateText(QStringLiteral("取消")));

    connect(lvDev, &QTreeWidget::itemDoubleClicked, this, &TFrmSearceHR::btAddClick);
    connect(lvAddDev, &QTreeWidget::itemDoubleClicked, this, &TFrmSearceHR::btDelClick);
    connect(btAddAll, &QPushButton::clicked, this, &TFrmSearceHR::btAddAllClick);
    connect(btAdd, &QPushButton::clicked, this, &TFrmSearceHR::btAddClick);
    connect(btDel, &QPushButton::clicked, this, &TFrmSearceHR::btDelClick);
    connect(btDelAll, &QPushButton::clicked, this, &TFrmSearceHR::btDelAllClick);
    connect(btSearce, &QPushButton::clicked, this, &TFrmSearceHR::btSearceClick);
    connect(btModifyIP, &QPushButton::clicked, this, &TFrmSearceHR::btModifyIPClick);
    connect(btSure, &QPushButton::clicked, this, &TFrmSearceHR::btSureClick);
    connect(btClose, &QPushButton::clicked, this, &TFrmSearceHR::btCloseClick);

    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QPushButton* button : {btAddAll, btAdd, btDel, btDelAll})
        moves->addWidget(button);
    moves->addStretch(1);

    auto* lists = new QGridLayout;
    lists->addWidget(Label2, 0, 0);
    lists->addWidget(Label3, 0, 2);
    lists->addWidget(lvDev, 1, 0);
    lists->addLayout(moves, 1, 1);
    lists->addWidget(lvAddDev, 1, 2);

    auto* commands = new QHBoxLayout;
    commands->addWidget(btSearce);
    commands->addWidget(btModifyIP);
    commands->addStretch(1);
    commands->addWidget(btSure);
    commands->addWidget(btClose);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    column->addLayout(lists);
    column->addLayout(commands);
}

void TFrmSearceHR::SendSearch()
{
    SendBroadcastRequest(this, SearchRxid, CMD_SEARCH, EmptyRequest, sizeof EmptyRequest);
}

void TFrmSearceHR::OnSearchReply(const QString& source, const uint8_t* frame, int size)
{
    const std::optional<SearchReply> reply = DecodeSearchReply(frame, static_cast<size_t>(size));
    if (!reply)
        return;
    for (int channel = 1; channel <= reply->ChannelCount; ++channel) {
        if (IsKnown(source, reply->Rxid, channel))
            continue;
        auto* row = new QTreeWidgetItem(lvDev);
        row->setText(ColIP, source);
        row->setText(ColRXID, QString::number(reply->Rxid));
        row->setText(ColChannel, QString::number(channel));
        row->setText(ColName, reply->Name);
        row->setText(ColHW, reply->HWVer);
        row->setText(ColSW, reply->SWVer);
        row->setText(ColBand, reply->Band);
    }
}

// Listed, chosen or already managed: a channel is offered once, however often receivers answer.
bool TFrmSearceHR::IsKnown(const QString& ip, int rxid, int channel) const
{
    if (ListHolds(*lvDev, ip, rxid, channel) || ListHolds(*lvAddDev, ip, rxid, channel))
        return true;
    return std::any_of(m_channels.begin(), m_channels.end(), [&](const SearchDevStruct& managed) {
        return managed.IP == ip && managed.RXID == rxid && managed.Channel == channel;
    });
}

bool TFrmSearceHR::ListHolds(const QTreeWidget& list, const QString& ip, int rxid, int channel)
{
    const QString rxidText = QString::number(rxid);
    const QString channelText = QString::number(channel);
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list.topLevelItem(i);
        if (row->text(ColIP) == ip && row->text(ColRXID) == rxidText && row->text(ColChannel) == channelText)
            return true;
    }
    return false;
}

// The copy keeps every cell and data value. The source list then selects the row that took the
// moved one's place, else its new last row.
void TFrmSearceHR::MoveSelected(QTreeWidget& from, QTreeWidget& to)
{
    const QList<QTreeWidgetItem*> selected = from.selectedItems();
    if (selected.isEmpty())
        return;
    const int position = from.indexOfTopLevelItem(selected.first());
    to.addTopLevelItem(selected.first()->clone());
    delete from.takeTopLevelItem(position);

    const int remaining = from.topLevelItemCount();
    if (remaining == 0) {
        from.clearSelection();
        return;
    }
    QTreeWidgetItem* next = from.topLevelItem(std::min(position, remaining - 1));
    from.setCurrentItem(next, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFrmSearceHR::MoveAll(QTreeWidget& from, QTreeWidget& to)
{
    for (int i = 0; i < from.topLevelItemCount(); ++i)
        to.addTopLevelItem(from.topLevelItem(i)->clone());
    from.clear();
}

void TFrmSearceHR::btAddAllClick()
{
    MoveAll(*lvDev, *lvAddDev);
}

void TFrmSearceHR::btAddClick()
{
    MoveSelected(*lvDev, *lvAddDev);
}

void TFrmSearceHR::btDelClick()
{
    MoveSelected(*lvAddDev, *lvDev);
}

void TFrmSearceHR::btDelAllClick()
{
    MoveAll(*lvAddDev, *lvDev);
}

// Both lists stay: replies add only the channels not yet known.
void TFrmSearceHR::btSearceClick()
{
    SendSearch();
}

void TFrmSearceHR::btModifyIPClick()
{
    const QList<QTreeWidgetItem*> selected = lvDev->selectedItems();
    if (selected.isEmpty()) {
        ShowMessageBox(this, TranslateText(QStringLiteral("请选择一个设备!")), QStringLiteral("提示"), 0, -1);
        return;
    }
    const QString ip = selected.first()->text(ColIP);
    const int rxid = selected.first()->text(ColRXID).toInt();
    uint8_t changed = 0;
    {
        TFrmModifyHrIP modify(this, changed, ip, rxid);
        modify.exec();
    }
    if (changed == 0)
        return;
    // The moved receiver answers again from its new address.
    lvDev->clear();
    lvAddDev->clear();
    SendSearch();
}

SearchDevStruct TFrmSearceHR::EntryOf(const QTreeWidgetItem& row)
{
    SearchDevStruct entry;
    entry.IP = row.text(ColIP).left(IpChars);
    entry.RXID = row.text(ColRXID).toInt(); // 0 when not numeric
    entry.Channel = row.text(ColChannel).toInt();
    entry.Name = row.text(ColName).left(NameChars);
    entry.HWVer = row.text(ColHW).left(VersionChars);
    entry.SWVer = row.text(ColSW).left(VersionChars);
    entry.Band = row.text(ColBand).left(BandChars);
    return entry;
}

void TFrmSearceHR::btSureClick()
{
    m_channels.clear();
    m_channels.reserve(static_cast<size_t>(lvAddDev->topLevelItemCount()));
    for (int i = 0; i < lvAddDev->topLevelItemCount(); ++i)
        m_channels.push_back(EntryOf(*lvAddDev->topLevelItem(i)));
    m_result = 1;
    accept();
}

void TFrmSearceHR::btCloseClick()
{
    reject();
}

QString ChannelsNotAddedText(const std::vector<SearchDevStruct>& refused)
{
    QString text = LanguageText("设备列表已满(最多%1个通道), 以下通道未添加:",
        "The device list is full (at most %1 channels); these channels were not added:")
                       .arg(DeviceList::MaxRecords);
    const int named = std::min(static_cast<int>(refused.size()), NamedRefusedChannels);
    for (int i = 0; i < named; ++i) {
        const SearchDevStruct& entry = refused[static_cast<size_t>(i)];
        text += QStringLiteral("\n%1 [%2:%3]").arg(entry.IP).arg(entry.RXID).arg(entry.Channel);
    }
    const int unnamed = static_cast<int>(refused.size()) - named;
    if (unnamed > 0)
        text += QLatin1Char('\n') + LanguageText("以及另外%1个通道", "and %1 more channels").arg(unnamed);
    return text;
}
