#pragma once
#include "data/RfRecords.h"
#include "ui/ToolWindows.h"

#include <QDialog>
#include <memory>
#include <vector>

class DeviceList;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;
class QTimer;
class QTreeWidget;
class TGraphDraw;

// The RF history window: records the RF levels of one channel's antennas A and B and its squelch
// level about ten times a second, for up to an hour, and plots the last five seconds while
// recording and the whole record in pages of one minute afterwards. Samples whose stronger
// antenna lies below the squelch level (dropouts) are shaded and counted. The record exports as
// CSV and the chart as PNG.
class TFrmRFHistory : public QDialog, public ToolReplyHandler
{
    Q_OBJECT
public:
    static constexpr int PollInterval = 100; // ms
    static constexpr int LivePoints = 50;
    static constexpr int SelectDeviceTimeout = 3000;
    static inline const QColor DropoutShade { 110, 60, 0 }; // no series uses it

    TFrmRFHistory(QWidget* owner, const DeviceList& devices);
    ~TFrmRFHistory() override;

    void btStartClick();
    void btStopClick();
    void Timer1Timer();
    void ScrollBar1Change();
    void lbRF1Click();
    void lbRF2Click();
    void GraphDraw1ShowData(double x, double y);
    void btExportCsvClick();
    void btSavePictureClick();
    void OnStatus(int rxid, int devIdx, const uint8_t* payload) override;

    const RfHistoryRing& Record() const { return *m_ring; }
    uint8_t DeviceRXID = 0;
    uint8_t DeviceDevIdx = 0;
    QString DeviceIP;

    QTreeWidget* lbDevList = nullptr;
    QFrame* Panel1 = nullptr;
    TGraphDraw* GraphDraw1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lbRF1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lbRF2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lbSQ = nullptr;
    QLabel* lbDropouts = nullptr;
    QPushButton* btStart = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btExportCsv = nullptr;
    QPushButton* btSavePicture = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void CreateControls();
    void Arrange();
    void SetRecording(bool recording);
    void BeginChart();
    void PlotSample(int slot, double x);
    void ShowDropouts();
    void ShadeDropouts(class QPainter& painter, const TGraphDraw& chart) const;

    std::unique_ptr<RfHistoryRing> m_ring; // 3 x 36000 values: kept off the stack
    std::vector<double> m_dropoutX; // X of the dropout samples on the chart
};

// The open RF history window, or nullptr.
extern TFrmRFHistory* FrmRFHistory;
