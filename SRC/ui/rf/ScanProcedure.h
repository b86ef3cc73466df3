#pragma once
// The scan procedure the scan windows share: the frequency scan window, the single band setup
// window and the compatibility setup window each own one TScanProcedure and forward their
// receiver replies to it. It creates the controls those windows have in common, keeps the
// channel being scanned, and does the steps every scan takes:
//
//   1. row click      lbDevList itemClicked -> RowClicked: the check rule (one row or many) and
//                     the clicked row's band in cbBand / cbStartFreq / cbEndFreq;
//   2. start          StartFirstChecked (one device, with the 200 ms pause), or for a sequence
//                     NextCheckedRow + StartRow(row, block, pause) per device; no checked row:
//                     ShowSelectDevice ("Please select device!", closes itself after 3 s);
//   3. scan point     OnScanPoint -> AcceptPoint: RXID filter, the point stored into the current
//                     block (at most 1024; later points are ignored, the read-out still shows the
//                     latest level); the window then redraws (PlotScan);
//   4. scan end       OnScanEnd -> IsScanEnd (only while this window's scan runs and no end is
//                     waiting); PostScanDone posts MSG_SCAN_DONE to the window, whose event
//                     handler calls FinishScan (buttons, ScanBusy, "Scan RF finish!"). An end
//                     nobody waits for opens nothing, and never a second box while one is shown;
//   5. stop           Stop: buttons, ScanBusy cleared, CMD_SCAN_STOP sent; the same, with a line
//                     saying so, when neither point nor end came for ScanQuietSeconds (the
//                     window's StallStop runs in place of Stop when it has one);
//   6. close          the window's destructor calls CloseWindow: CMD_SCAN_STOP once if a scan
//                     runs, ScanBusy cleared.
//
// A multi-device window starts each device with StartRow into its own ScanPoints block and
// decides in its OnScanEnd whether to start the next one (no pause) or to post MSG_SCAN_DONE.
// IgnoreFurtherPoints ends point intake until the next start (for a finished sequence).
#include "data/RfRecords.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>

class DeviceList;
class QComboBox;
class QDialog;
class QEvent;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TGraphDraw;
class TTMICListObj;

// The controls every scan window has, named as the windows name them.
struct TScanControls {
    QLabel* lbBand = nullptr;
    QComboBox* cbBand = nullptr;
    QLabel* lbStartFreq = nullptr;
    QComboBox* cbStartFreq = nullptr;
    QLabel* lbEndFreq = nullptr;
    QComboBox* cbEndFreq = nullptr;
    QTreeWidget* lbDevList = nullptr;
    QFrame* Panel1 = nullptr; // black panel holding the chart and the read-out row
    TGraphDraw* GraphDraw1 = nullptr; // series 0 red
    QLabel* Label4 = nullptr; // "RF:"
    QLabel* lbRFVal = nullptr; // level of the latest point, "0dB" at start
    QPushButton* btStart = nullptr; // BuiltinText 77
    QPushButton* btStop = nullptr; // BuiltinText 78, disabled at start
    QHBoxLayout* PanelBar = nullptr; // the read-out row under the chart: add own read-outs here
    QHBoxLayout* ButtonBar = nullptr; // the row of Start and Stop: add own buttons here
};

class TScanProcedure : public QObject
{
    Q_OBJECT
public:
    enum class CheckRule {
        OneRow, // a clicked checked row becomes the only checked one
        ManyRows // any number of rows stay checked
    };
    static constexpr int StartPause = 200; // ms before CMD_SCAN_START in a one-device scan
    static inline int StartPauseMs = StartPause; // a fuzz target that runs thousands of scans sets 0
    static constexpr int SelectDeviceTimeout = 3000;

    // Creates the controls in window (laid out: band row, list beside the chart panel, buttons)
    // and fills lbDevList with the connected records of devices, which must outlive the window.
    TScanProcedure(QDialog& window, const DeviceList& devices, CheckRule rule, const std::array<int, 4>& columnWidths);

    const TScanControls& Controls() const { return m_controls; }

    // Step 1.
    void RowClicked(QTreeWidgetItem* row);

    // Step 2. StartFirstChecked: the first checked row, started after the 200 ms pause, points
    // into target; false (after ShowSelectDevice) when no row is checked or the start failed.
    bool StartFirstChecked(ScanPoints& target);
    // One device of any window: reads the row, empties target, disables Start and the list,
    // enables Stop, sets ScanBusy, finds Device, pauses if asked, sends CMD_SCAN_START. When the
    // start could not be sent, says why, returns to idle and returns false.
    bool StartRow(int row, ScanPoints& target, bool pauseBeforeStart);
    int NextCheckedRow(int after) const;
    void ShowSelectDevice();

    // Step 3. True when the point was stored into the current block (the window redraws then).
    // A point from another RXID, or one that comes when no scan runs, changes nothing; one
    // beyond the block's capacity only updates the read-out.
    bool AcceptPoint(int rxid, const uint8_t* payload);
    // Ends point intake until the next StartRow.
    void IgnoreFurtherPoints() { m_target = nullptr; }

    // Step 4.
    bool IsScanEnd(int rxid, int command) const;
    // The end reply of the device last started, whether or not its scan still runs.
    bool IsEndOfDevice(int rxid, int command) const;
    void PostScanDone();
    void FinishScan(); // MSG_SCAN_DONE: buttons back, ScanBusy cleared, "Scan RF finish!"
    // For the window's event(): true when e is MSG_SCAN_DONE, after FinishScan.
    bool FinishOnScanDone(QEvent* e);

    // Step 5 and 6.
    void Stop();
    void CloseWindow();

    bool Running() const { return m_running; }
    // What ends the scan when the receiver went quiet; Stop when empty.
    std::function<void()> StallStop;
    // The X range of the chart: cbStartFreq / cbEndFreq as numbers, 640.0 when not a number.
    double AxisStart() const;
    double AxisEnd() const;
    // Before a redraw: empties series (-1 for all), the level axis -10..90 and this X range.
    void ResetChart(int series, double minX, double maxX);
    // Points ignored in this scan because the block was full.
    int IgnoredPoints() const { return m_ignored; }

    uint8_t DeviceRXID = 0;
    uint8_t DeviceDevIdx = 0;
    QString DeviceIP;
    const TTMICListObj* Device = nullptr; // found at start; owned by the device list

private:
    void CreateControls(const std::array<int, 4>& columnWidths);
    void Arrange();
    void ShowBand(const TTMICListObj& record);
    void SetRunning(bool running);
    int SendScanCommand(uint8_t cmd) const;
    void ScanStalled();
    void ShowOneBox(const QString& text);

    QDialog& m_window;
    const DeviceList& m_devices;
    CheckRule m_rule;
    TScanControls m_controls;
    ScanPoints* m_target = nullptr;
    bool m_running = false;
    bool m_endPending = false; // an end was accepted, its MSG_SCAN_DONE not yet handled
    bool m_boxOpen = false;
    int m_ignored = 0;
    QTimer* m_quiet = nullptr;
};

// Draws the points of a block as series `series` at their frequencies on device's band.
void PlotScan(TGraphDraw& chart, int series, const ScanPoints& points, const TTMICListObj& device);
// Draws a level per channel (for example a max hold) as series `series`.
void PlotLevels(TGraphDraw& chart, int series, const std::map<int, int>& levels, const TTMICListObj& device);
