// The main window: start-up and shutdown, the device list and its commands, tiles and view.
#include "ui/FormMain.h"

#include "data/Clock.h"
#include "data/DeferredSave.h"
#include "data/IniFile.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "store/TimelineStore.h"
#include "transport/ClassCom.h"
#include "transport/UDPServer.h"
#include "ui/FormAbout.h"
#include "ui/FormDebug.h"
#include "ui/FormDevProperty.h"
#include "ui/rf/FormRFHistory.h"
#include "ui/rf/FormScanRF.h"
#include "ui/rf/FormMulitSet.h"
#include "ui/rf/FormSingleSet.h"
#include "ui/FormMessage.h"
#include "ui/FormSearceHR.h"
#include "ui/FormSet.h"
#include "ui/RemoteView.h"
#include "ui/SerialPortText.h"
#include "ui/TTMICObject.h"

#include <QAction>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>

namespace
{

constexpr int ConnectSpacing = 200;
constexpr int DeviceListSaveGap = 1000; // ms between two saves of the device list at least
const QColor ConnectedRowColour(255, 0, 0);
const QColor LostRowColour(150, 150, 150);
const QString DefaultTileName = QStringLiteral("QX-500");

PublicStruct& Settings()
{
    return PublicStruct::Instance();
}

// A row's number cell; text that is not a decimal number counts as fallback.
int CellNumber(const QTreeWidgetItem& row, int column, int fallback)
{
    bool ok = false;
    const int value = row.text(column).toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

TFrmMain::TFrmMain(int udpPort, QWidget* parent)
    : QMainWindow(parent)
{
    PublicStruct& ps = Settings();
    CreateControls();
    mnSimpleChinese->setChecked(ps.LanguageIndex == 0);
    mnEnglish->setChecked(ps.LanguageIndex != 0);
    m_tileColumns = 0;
    m_tileSlots.fill(false);
    ApplyTexts();

    m_udp = std::make_unique<TUDPServer>(this, udpPort);
    cnComm& serial = cnComm::Instance();
    SetSendTransports(m_udp.get(), &serial);
    serial.SetNotifyWindow(this);
    serial.SetDelay(ps.UartDelayTime);
    OpenSerialPort();

    m_deviceListSave = new DeferredSave([this] { SaveDeviceList(); }, DeviceListSaveGap, this);
    RemoveStaleTemporaryFiles(ps.ConfigPath());
    LoadDeviceList();
    Timer1->start();
    CreateWatchTimer();
    AttachRemoteView(*this);
}

TFrmMain::~TFrmMain()
{
    FormDestroy();
}

// Tiles go before the records they show; only a save still pending is written at shutdown. The
// serial port and the UDP endpoint stop notifying this window before it goes.
void TFrmMain::FormDestroy()
{
    Timer1->stop();
    m_deviceListSave->Flush();
    m_tiles.clear();
    m_devices.Clear();
    DestroyDebugWindow();
    SetSendTransports(nullptr, nullptr);
    cnComm& serial = cnComm::Instance();
    serial.SetNotifyWindow(nullptr);
    serial.Close();
    m_udp.reset();
}

void TFrmMain::SetLanguage(int index)
{
    PublicStruct& ps = Settings();
    ps.LanguageIndex = index;
    mnEnglish->setChecked(index == 1);
    mnSimpleChinese->setChecked(index == 0);
    ReportSaveResult(IniWriteInt(ps.ConfigPath(), QStringLiteral("Public"), QStringLiteral("Language"), index),
        QStringLiteral("the language"));
    ApplyTexts();
}

void TFrmMain::mnEnglishClick()
{
    SetLanguage(1);
}

void TFrmMain::mnSimpleChineseClick()
{
    SetLanguage(0);
}

// ---------------------------------------------------------------------------------------------
// Device list, message list, status bar

TTMICObject* TFrmMain::FindTile(int rxid, int devIdx) const
{
    for (const auto& tile : m_tiles)
        if (tile->RXID() == rxid && tile->DevIdx() == devIdx)
            return tile.get();
    return nullptr;
}

// Compares the cells' text, as the rows show it.
QTreeWidgetItem* TFrmMain::FindListItem(int rxid, int devIdx) const
{
    const QString rxidText = QString::number(rxid);
    const QString devIdxText = QString::number(devIdx);
    for (int i = 0; i < lbDevList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lbDevList->topLevelItem(i);
        if (row->text(ColRXID) == rxidText && row->text(ColChannel) == devIdxText)
            return row;
    }
    return nullptr;
}

QString TFrmMain::FrequencyCellText(double freq)
{
    return QString::asprintf("%.03f", freq);
}

QTreeWidgetItem* TFrmMain::AppendDeviceRow(const TTMICListObj& record, const QString& frequencyText)
{
    auto* row = new QTreeWidgetItem(lbDevList);
    row->setText(ColIP, record.IP);
    row->setText(ColRXID, QString::number(record.RXID));
    row->setText(ColChannel, QString::number(record.DevIdx));
    row->setText(ColFreq, frequencyText);
    row->setText(ColName, record.Name);
    row->setText(ColBand, record.Band);
    row->setData(ColIP, Qt::UserRole, 0);
    return row;
}

void TFrmMain::lbDevListCustomDrawItem(const QModelIndex& index, QStyleOptionViewItem& option) const
{
    if (IsLostRow(index)) {
        option.palette.setColor(QPalette::Text, LostRowColour);
        option.font.setItalic(true);
    } else if (index.siblingAtColumn(ColIP).data(Qt::UserRole).toInt() != 0) {
        option.palette.setColor(QPalette::Text, ConnectedRowColour);
    }
}

void TFrmMain::LoadDeviceList()
{
    m_deviceListSave->Flush();
    m_tiles.clear();
    m_tileSlots.fill(false);
    lbDevList->clear();
    m_watch.Clear();
    const QString path = Settings().ConfigPath();
    const bool complete = ::LoadDeviceList(path, m_devices);
    for (const auto& record : m_devices)
        AppendDeviceRow(*record, FrequencyCellText(record->Freq));
    if (!complete)
        AddMessage(QStringLiteral("The device list in %1 could not be read in full (%2 records loaded)")
                       .arg(path)
                       .arg(m_devices.Count()));
}

bool TFrmMain::SaveDeviceList()
{
    m_deviceListSave->Cancel();
    const bool ok = ::SaveDeviceList(Settings().ConfigPath(), m_devices);
    ReportSaveResult(ok, QStringLiteral("the device list"));
    return ok;
}

void TFrmMain::RequestDeviceListSave()
{
    m_deviceListSave->Request();
}

// One line per run of failures: a save that fails on every status reply must not flood the list.
void TFrmMain::ReportSaveResult(bool ok, const QString& what)
{
    if (ok) {
        m_saveFailureShown = false;
        return;
    }
    if (m_saveFailureShown)
        return;
    m_saveFailureShown = true;
    const QString path = Settings().ConfigPath();
    const QFileInfo file(path);
    const QFileInfo dir(file.absolutePath());
    QString reason = QStringLiteral("the file could not be written");
    if (!dir.exists())
        reason = QStringLiteral("the folder does not exist");
    else if (file.isDir())
        reason = QStringLiteral("a folder of that name is in the way");
    else if (file.exists() && !file.isWritable())
        reason = QStringLiteral("the file is read-only");
    else if (!dir.isWritable())
        reason = QStringLiteral("the folder is read-only");
    AddMessage(QStringLiteral("Cannot save %1 to %2: %3").arg(what, path, reason));
}

void TFrmMain::SetStatusPanelText(int panel, const QString& text)
{
    if (panel >= 0 && panel < StatusPanelCount)
        StatusPanels[static_cast<size_t>(panel)]->setText(text);
}

QString TFrmMain::StatusPanelText(int panel) const
{
    return panel >= 0 && panel < StatusPanelCount ? StatusPanels[static_cast<size_t>(panel)]->text() : QString();
}

bool TFrmMain::OpenSerialPort()
{
    const PublicStruct& ps = Settings();
    const bool opened = cnComm::Instance().Open(static_cast<unsigned>(ps.UartPort), ps.UartRate);
    SetStatusPanelText(SerialPanel, SerialPortStatusText(opened, ps.UartPort, ps.ConnectType));
    return opened;
}

QTreeWidgetItem* TFrmMain::SelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = lbDevList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// ---------------------------------------------------------------------------------------------
// Commands

void TFrmMain::tbConnectClick()
{
    lbMsg->clear();
    uint32_t due = GetTickCount() + ConnectSpacing;
    for (const auto& record : m_devices) {
        record->ConnectDue = PendingMoment(due);
        due += ConnectSpacing;
    }
}

void TFrmMain::tbDisConnectClick()
{
    for (const auto& record : m_devices) {
        record->ConnectDue = 0;
        record->ConnectDeadline = 0;
        record->Connected = false;
    }
    ResetWatch();
    for (int i = 0; i < lbDevList->topLevelItemCount(); ++i)
        lbDevList->topLevelItem(i)->setData(ColIP, Qt::UserRole, 0);
    lbDevList->viewport()->update();
}

// The search window gets every managed channel, however many, so that it offers none of them
// again; the channels it hands back become records up to the device list's bound.
void TFrmMain::tbAddHRClick()
{
    std::vector<SearchDevStruct> channels;
    channels.reserve(static_cast<size_t>(m_devices.Count()));
    for (const auto& record : m_devices)
        channels.push_back({record->IP, record->RXID, record->DevIdx, {}, {}, {}, {}});
    uint8_t accepted = 0;
    {
        TFrmSearceHR search(this, accepted, channels);
        search.exec();
    }
    if (accepted == 0)
        return;
    std::vector<SearchDevStruct> refused;
    bool added = false;
    for (const SearchDevStruct& entry : channels) {
        if (const TTMICListObj* record = AddSearchedDevice(m_devices, entry)) {
            AppendDeviceRow(*record, QStringLiteral("640"));
            added = true;
        } else {
            refused.push_back(entry);
        }
    }
    if (added)
        SaveDeviceList();
    if (!refused.empty())
        ShowMessageBox(this, ChannelsNotAddedText(refused), QStringLiteral("提示"), 0, -1);
}

void TFrmMain::tbRFHistoryClick()
{
    TFrmRFHistory history(this, m_devices);
    history.exec();
}

void TFrmMain::tbScanRFClick()
{
    TFrmScanRF scan(this, m_devices);
    scan.exec();
}

void TFrmMain::tbSingleSetClick()
{
    TFrmSingleSet single(this, m_devices);
    single.exec();
}

void TFrmMain::tbCompSetupClick()
{
    TFrmMulitSet compatibility(this, m_devices);
    compatibility.exec();
}

void TFrmMain::mnSetClick()
{
    TFrmSet settings(*this);
    settings.exec();
}

void TFrmMain::mnPropertyClick()
{
    const QTreeWidgetItem* row = SelectedRow();
    if (!row)
        return;
    const TTMICListObj* record = FindDevice(m_devices, CellNumber(*row, ColRXID, 1), CellNumber(*row, ColChannel, 1));
    if (!record)
        return;
    TFrmDevProperty property(this, *record);
    property.exec();
}

void TFrmMain::tbAboutClick()
{
    TFrmAbout about(this);
    about.exec();
}

void TFrmMain::mnDelDeviceClick()
{
    if (!SelectedRow())
        return;
    if (ShowMessageBox(this, BuiltinText(44), BuiltinText(45), 0x21, -1) != 1)
        return;
    // Frames handled while the box was open may have changed the list: take the row anew.
    QTreeWidgetItem* row = SelectedRow();
    if (!row)
        return;
    const int rxid = CellNumber(*row, ColRXID, 1);
    const int devIdx = CellNumber(*row, ColChannel, 1);

    const int index = lbDevList->indexOfTopLevelItem(row);
    std::unique_ptr<QTreeWidgetItem> removed(lbDevList->takeTopLevelItem(index));
    removed.reset();
    const int rows = lbDevList->topLevelItemCount();
    lbDevList->clearSelection();
    if (rows > 0)
        lbDevList->setCurrentItem(lbDevList->topLevelItem(std::min(index, rows - 1)));

    m_devices.RemoveFirst(rxid, devIdx);
    m_watch.Forget(rxid, devIdx);
    m_alertLines.Forget(rxid, devIdx);
    if (TTMICObject* tile = FindTile(rxid, devIdx))
        CloseTile(tile);
    SaveDeviceList();
}

int TFrmMain::LowestFreeSlot() const
{
    const auto free = std::find(m_tileSlots.begin(), m_tileSlots.end(), false);
    return free == m_tileSlots.end() ? -1 : static_cast<int>(free - m_tileSlots.begin());
}

void TFrmMain::lbDevListDblClick()
{
    const QTreeWidgetItem* row = SelectedRow();
    if (!row)
        return;
    const int slot = LowestFreeSlot();
    if (slot < 0)
        return;
    const int rxid = CellNumber(*row, ColRXID, 0);
    const int devIdx = CellNumber(*row, ColChannel, 1);
    if (FindTile(rxid, devIdx))
        return;

    m_tileSlots[static_cast<size_t>(slot)] = true;
    auto tile = std::make_unique<TTMICObject>(this, m_devices, rxid, devIdx, DefaultTileName, TileArea);
    tile->setObjectName(QStringLiteral("MICObject%1_%2").arg(rxid).arg(devIdx));
    tile->SetSlot(slot);
    tile->move(TTMICObject::CellPosition(slot, TTMICObject::ColumnsFor(ScrollBox1->width())));
    if (const TTMICListObj* record = FindDevice(m_devices, rxid, devIdx)) {
        tile->SetTitle(record->Name);
        tile->SetBand(record->Band);
        tile->SetFreq(record->Freq);
        tile->SetChannel(record->Channel);
    }
    ApplyWatchLook(*tile);
    tile->show();
    m_tiles.push_back(std::move(tile));
    ResizeTileArea();
}

void TFrmMain::CloseTile(TTMICObject* tile)
{
    const auto it = std::find_if(m_tiles.begin(), m_tiles.end(), [tile](const auto& t) { return t.get() == tile; });
    if (it == m_tiles.end())
        return;
    const int slot = tile->Slot();
    if (slot >= 0 && slot < TileSlotCount)
        m_tileSlots[static_cast<size_t>(slot)] = false;
    m_tiles.erase(it);
    ResizeTileArea();
}

void TFrmMain::ScrollBox1Resize()
{
    const int columns = TTMICObject::ColumnsFor(ScrollBox1->width());
    if (columns == m_tileColumns)
        return;
    m_tileColumns = columns;
    for (const auto& tile : m_tiles)
        tile->move(TTMICObject::CellPosition(tile->Slot(), columns));
    ResizeTileArea();
}

// The scrolled area reaches past the lowest and the rightmost tile.
void TFrmMain::ResizeTileArea()
{
    QSize needed = ScrollBox1->viewport()->size();
    for (const auto& tile : m_tiles) {
        const QRect r = tile->geometry();
        needed = needed.expandedTo(QSize(r.right() + 6, r.bottom() + 6));
    }
    TileArea->resize(needed);
}

// ---------------------------------------------------------------------------------------------
// View

void TFrmMain::mnToolsClick()
{
    ToolBar1->setVisible(mnTools->isChecked());
}

void TFrmMain::mnStatusClick()
{
    StatusBar1->setVisible(mnStatus->isChecked());
}

void TFrmMain::mnDeviceManageClick()
{
    Panel2->setVisible(mnDeviceManage->isChecked());
    UpdateLeftColumn();
}

void TFrmMain::mnDetailsClick()
{
    ShowDetails(mnDetails->isChecked());
}

void TFrmMain::btDetailsCloseClick()
{
    mnDetails->setChecked(false);
    ShowDetails(false);
}

// The "x" of the device list area closes it, as the View menu's Device Manage item does.
void TFrmMain::SpeedButton1Click()
{
    mnDeviceManage->trigger();
}

// Shown under a device list area 413 pixels high; hidden, the device list fills the column.
void TFrmMain::ShowDetails(bool visible)
{
    Panel3->setVisible(visible);
    if (visible)
        Splitter1->setSizes({ DeviceAreaHeight, std::max(Splitter1->height() - DeviceAreaHeight, 1) });
    UpdateLeftColumn();
}

// With both areas hidden the tile area takes the whole width.
void TFrmMain::UpdateLeftColumn()
{
    Splitter1->setVisible(!Panel2->isHidden() || !Panel3->isHidden());
}
