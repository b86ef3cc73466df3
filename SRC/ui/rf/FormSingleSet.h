#pragma once
#include "data/RfRecords.h"
#include "ui/ToolWindows.h"
#include "ui/rf/ScanProcedure.h"

#include <QDialog>

class DeviceList;

// Single band setup: one scan of a device's band, as the frequency scan window does it, then Set
// Freq offers the channels the scan found idle (TFrmSetFreq). A confirmed assignment closes this
// window too.
class TFrmSingleSet : public QDialog, public ToolReplyHandler
{
    Q_OBJECT
public:
    TFrmSingleSet(QWidget* owner, const DeviceList& devices);
    ~TFrmSingleSet() override;

    void btStartClick();
    void btStopClick();
    void btSetFreqClick();
    void OnScanPoint(int rxid, const uint8_t* payload) override;
    void OnScanEnd(int rxid, int command) override;

    const ScanPoints& Points() const { return m_points; }
    const TScanProcedure& Scan() const { return *m_scan; }

    // The controls, named as the window names them.
    QTreeWidget* lbDevList;
    TGraphDraw* GraphDraw1;
    QLabel* lbRFVal;
    QPushButton* btStart;
    QPushButton* btStop;
    QPushButton* btSetFreq = nullptr;

protected:
    bool event(QEvent* e) override;

private:
    TScanProcedure* MakeProcedure(const DeviceList& devices);
    void Redraw();

    TScanProcedure* m_scan = nullptr; // set once the controls exist
    ScanPoints m_points;
    bool m_done = false;
};

// The open single band setup window, or nullptr.
extern TFrmSingleSet* FrmSingleSet;
