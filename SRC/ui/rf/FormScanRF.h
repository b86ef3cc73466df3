#pragma once
#include "data/RfRecords.h"
#include "ui/ToolWindows.h"
#include "ui/rf/ScanProcedure.h"

#include <QDialog>
#include <memory>

class DeviceList;
class ImportedCurves;
class QCheckBox;

// The frequency scan window: one receiver sweeps its band, and the level of each channel is
// drawn over frequency as the points arrive. Max hold keeps, while the window is open, the
// highest level per channel of successive scans of the same channel as a second curve. A scan's
// points export as CSV (the receiver's scale, or dBm in the forms coordination tools read) and
// the chart as PNG. Scans imported from other tools are drawn under the window's own curves.
class TFrmScanRF : public QDialog, public ToolReplyHandler
{
    Q_OBJECT
public:
    static inline const QColor MaxHoldColour { 255, 255, 0 };

    TFrmScanRF(QWidget* owner, const DeviceList& devices);
    ~TFrmScanRF() override;

    void btStartClick();
    void btStopClick();
    void cbMaxHoldClick();
    void btExportCsvClick();
    void btSavePictureClick();
    void btImportScanClick();
    void OnScanPoint(int rxid, const uint8_t* payload) override;
    void OnScanEnd(int rxid, int command) override;

    const ScanPoints& Points() const { return m_points; }
    const TScanProcedure& Scan() const { return *m_scan; }
    const MaxHold& Hold() const { return m_hold; }

    // The controls, named as the window names them.
    QLabel* lbBand;
    QComboBox* cbBand;
    QLabel* lbStartFreq;
    QComboBox* cbStartFreq;
    QLabel* lbEndFreq;
    QComboBox* cbEndFreq;
    QTreeWidget* lbDevList;
    QFrame* Panel1;
    TGraphDraw* GraphDraw1;
    QLabel* Label4;
    QLabel* lbRFVal;
    QPushButton* btStart;
    QPushButton* btStop;
    QCheckBox* cbMaxHold = nullptr;
    QComboBox* cbScanForm = nullptr; // the form Export CSV writes
    QPushButton* btExportCsv = nullptr;
    QPushButton* btSavePicture = nullptr;
    QPushButton* btImportScan = nullptr;
    const ImportedCurves& Imported() const { return *m_imported; }

protected:
    bool event(QEvent* e) override;

private:
    TScanProcedure* MakeProcedure(const DeviceList& devices);
    void Redraw();
    bool HoldsChannel() const;

    TScanProcedure* m_scan = nullptr; // set once the controls exist
    ScanPoints m_points;
    MaxHold m_hold;
    std::unique_ptr<ImportedCurves> m_imported;
    int m_holdRxid = -1;
    int m_holdDevIdx = -1;
};

// The open scan window, or nullptr.
extern TFrmScanRF* FrmScanRF;
