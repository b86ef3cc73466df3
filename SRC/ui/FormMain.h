#pragma once
#include "data/AlertLines.h"
#include "data/ChannelWatch.h"
#include "data/Device.h"
#include "protocol/Frame.h"
#include "transport/SendCommand.h"

#include <QMainWindow>
#include <array>
#include <deque>
#include <memory>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QModelIndex;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QStyleOptionViewItem;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class AlertSound;
class ShowCommands;
class TimelineStore;
class TFrmTimeline;
class DatagramEvent;
class DeferredSave;
struct StatusReply;
class TTMICObject;
class TUDPServer;

// The application's main window: device list, message list, tile area, menus, tool bar and
// status bar; the single entry for received frames and the monitoring cycle that connects and
// polls the managed channels.
class TFrmMain : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int TileSlotCount = 64;
    static constexpr int StatusPanelCount = 4;
    static constexpr int SerialPanel = 3;
    // The cells of a device row.
    enum DeviceColumn { ColIP, ColRXID, ColChannel, ColFreq, ColName, ColBand };

    // Throws UDPServerException when the UDP endpoint cannot be created on udpPort.
    explicit TFrmMain(int udpPort = LocalUdpPort, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Records and tiles. Row i of lbDevList belongs to record i of Devices().
    DeviceList& Devices() { return m_devices; }
    const std::vector<std::unique_ptr<TTMICObject>>& Tiles() const { return m_tiles; }
    TTMICObject* FindTile(int rxid, int devIdx) const;
    QTreeWidgetItem* FindListItem(int rxid, int devIdx) const;
    // Appends the row of a record just appended to Devices(); frequencyText fills the frequency cell.
    QTreeWidgetItem* AppendDeviceRow(const TTMICListObj& record, const QString& frequencyText);
    static QString FrequencyCellText(double freq); // "%.03f"

    // Config.ini beside the executable. Loading replaces records, tiles and rows; a failed save
    // is reported once in the message list until a save succeeds again.
    void LoadDeviceList();
    bool SaveDeviceList();
    // Saves the device list once for a burst of changes, before the event loop next waits, at
    // most once a second while changes keep coming, and always when the window goes.
    void RequestDeviceListSave();

    void AddMessage(const QString& line); // a line in lbMsg, also appended to Events.log
    QString EventLogPath() const;          // Events.log beside Config.ini
    void SetStatusPanelText(int panel, const QString& text);
    QString StatusPanelText(int panel) const;
    // Opens the serial port on UartPort at UartRate and shows the outcome in the serial panel.
    bool OpenSerialPort();

    void ApplyTexts();

    // The single entry for received frames; source is the sender's IPv4 text, empty for serial.
    void HandleFrame(const QString& source, const uint8_t* frame, int n);
    void OnDatagram(const DatagramEvent& datagram);
    void OnSerialData();
    void Timer1Timer();
    int PollIndex() const { return m_pollIndex; }
    int TileColumns() const { return m_tileColumns; }
    bool TileSlotTaken(int slot) const { return m_tileSlots[static_cast<size_t>(slot)]; }

    // Command handlers.
    void tbAddHRClick();
    void tbConnectClick();
    void tbDisConnectClick();
    void tbRFHistoryClick();
    void tbScanRFClick();
    void tbSingleSetClick();
    void tbCompSetupClick();
    void tbAboutClick();
    void mnSetClick();
    void mnToolsClick();
    void mnStatusClick();
    void mnDetailsClick();
    void mnDeviceManageClick();
    void btDetailsCloseClick();
    void SpeedButton1Click();
    void mnEnglishClick();
    void mnSimpleChineseClick();
    void mnDelDeviceClick();
    void mnPropertyClick();
    void lbDevListDblClick();
    void ScrollBox1Resize();
    // The operator's watch: lost channels and alerts. The benchmark switches it off to measure
    // what it costs; it is on otherwise.
    const ChannelWatch& Watch() const { return m_watch; }
    void SetWatching(bool on) { m_watching = on; }
    void WatchTimerTimer(); // the lost time on the tiles, the low-battery flash, flap summaries
    AlertSound& Sound() const { return *m_alertSound; }
    // Timeline.sqlite: every status reply and event (see store/TimelineStore.h).
    TimelineStore& Timeline() const { return *m_timeline; }
    void RecordStatus(int rxid, int devIdx, const StatusReply& status, int source);
    void RecordEvent(int rxid, int devIdx, const QString& kind, int64_t value = 0, const QString& text = {});
    // Opens a timeline window, on the device list's selected channel or on all channels.
    TFrmTimeline* OpenTimeline(bool selectedChannel);
    // Red text for a row whose data value is not 0; grey for a lost channel.
    void lbDevListCustomDrawItem(const QModelIndex& index, QStyleOptionViewItem& option) const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FormDestroy();
    void CreateControls();
    void CreateMenus();
    void CreateToolBar();
    QWidget* CreateTopBand();
    QWidget* CreateLeftColumn();
    void CreateTileArea();
    void CreateStatusBar();
    void CenterOnScreen();
    void PlaceCloseButtons();
    void UpdateLeftColumn();
    void ShowDetails(bool visible);
    void SetLanguage(int index);

    static constexpr int DeviceAreaHeight = 413;

    // 0 means "nothing pending" in every moment the window keeps; a moment that lands on 0 when
    // the counter wraps is taken 1 ms later instead, so that it is not lost.
    static uint32_t PendingMoment(uint32_t t) { return t != 0 ? t : 1; }

    void OnNotify(quintptr wParam, qintptr lParam);
    void CloseTile(TTMICObject* tile);
    void SyncTx(const TTMICObject& tile);
    void ResizeTileArea();
    int LowestFreeSlot() const;
    QTreeWidgetItem* SelectedRow() const;
    void ReportSaveResult(bool ok, const QString& what);

    void HandleStatus(const uint8_t* frame, int n);
    void HandleSyncResult(const uint8_t* frame, int n);
    void HandleDeviceInfo(const QString& source, const uint8_t* frame, int n);
    void UpdateKnownDevice(TTMICListObj& record, const QString& source, const DeviceBandInfo& info);
    void AddRepliedChannel(const QString& source, int rxid, int devIdx, const DeviceBandInfo& info);
    // Cuts the waiting whole frames; expired: the bytes left are older than the 500 ms rule allows.
    void TakeSerialFrames(bool expired);
    void DrainSerialFrames();

    void CreateWatchTimer();
    static bool IsLostRow(const QModelIndex& index);
    void WatchPollSending(const TTMICListObj& record, uint32_t now);
    void WatchAnswered(int rxid, int devIdx);
    void WatchStatus(const TTMICListObj& record, const StatusReply& status);
    void ShowLost(int rxid, int devIdx, bool lost);
    void ApplyWatchLook(TTMICObject& tile) const;
    void ResetWatch();
    bool AlertStarts(int rxid, int devIdx, AlertKind kind, uint32_t now); // true: show its line
    void CallOperator(AlertKind kind, uint32_t now); // the alert sound
    void CreateAlertControls();
    void ApplyAlertTexts();
    void CreateTimelineRecorder();
    void AddTimelineActions();
    void AddChannelMessage(const char* chinese, const char* english, int rxid, int devIdx);
    void LogEvent(const QString& line);

    // Controls, named as the window's design names them.
    QToolBar* ToolBar1 = nullptr;
    QLabel* Image1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel3 = nullptr;
    QTreeWidget* lbDevList = nullptr;
    QListWidget* lbMsg = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* btDetailsClose = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* TileArea = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, StatusPanelCount> StatusPanels {};
    QTimer* Timer1 = nullptr;

    QMenu* mnSystem = nullptr;
    QAction* mnSet = nullptr;
    QAction* mnInitialization = nullptr;
    QAction* mnOpen = nullptr;
    QAction* mnSave = nullptr;
    QMenu* mnView = nullptr;
    QAction* mnTools = nullptr;
    QAction* mnStatus = nullptr;
    QAction* mnDetails = nullptr;
    QAction* mnDeviceManage = nullptr;
    QMenu* mnLanguage = nullptr;
    QAction* mnEnglish = nullptr;
    QAction* mnSimpleChinese = nullptr;
    QMenu* mnDevices = nullptr;
    QAction* mnConnect = nullptr;
    QAction* mnDisconnect = nullptr;
    QAction* mnAddHR = nullptr;
    QAction* mnRFHistory = nullptr;
    QAction* mnFreqScan = nullptr;
    QAction* mnSingleSetup = nullptr;
    QAction* mnCompSetup = nullptr;
    QMenu* mnHelp = nullptr;
    QAction* mnAbout = nullptr;

    QAction* tbAddHR = nullptr;
    QAction* tbConnect = nullptr;
    QAction* tbDisConnect = nullptr;
    QAction* tbRFHistory = nullptr;
    QAction* tbScanRF = nullptr;
    QAction* tbSingleSet = nullptr;
    QAction* tbCompSetup = nullptr;
    QAction* tbAbout = nullptr;
    QAction* tbMute = nullptr; // silences the alert sound until the next new alert

    QMenu* PopupMenu1 = nullptr;
    QAction* mnDelDevice = nullptr;
    QAction* mnProperty = nullptr;
    QAction* mnRFHistory2 = nullptr;
    QAction* mnScanFreq = nullptr;
    QAction* mnTimeline = nullptr; // Devices menu
    QAction* mnTimeline2 = nullptr; // pop-up menu

    // Tile area state.
    std::array<bool, TileSlotCount> m_tileSlots {};
    int m_tileColumns = 0;

    DeviceList m_devices;
    std::vector<std::unique_ptr<TTMICObject>> m_tiles;
    std::unique_ptr<TUDPServer> m_udp;

    int m_pollIndex = 0;
    bool m_saveFailureShown = false;
    DeferredSave* m_deviceListSave = nullptr;
    bool m_resultBoxOpen = false; // a sync result's box is shown

    // Serial intake: the cutter keeps the unconsumed bytes; whole frames wait in arrival order
    // until the outermost OnSerialData hands them on.
    SerialFrameCutter m_serialCutter;
    uint32_t m_lastSerialRead = 0;
    std::deque<std::vector<uint8_t>> m_serialFrames;
    bool m_drainingSerial = false;

    ChannelWatch m_watch;
    bool m_watching = true;
    QTimer* WatchTimer = nullptr;
    bool m_flashPhase = false;
    bool m_eventLogFailureShown = false;
    AlertLines m_alertLines;
    AlertSound* m_alertSound = nullptr;
    std::unique_ptr<TimelineStore> m_timeline;
    ShowCommands* m_show = nullptr; // Open Show, Save Show, the inputs and Analyze
};
