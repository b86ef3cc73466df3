#pragma once
#include "data/RfRecords.h"
#include "ui/ToolWindows.h"
#include "ui/rf/ScanProcedure.h"

#include <QColor>
#include <QDialog>
#include <array>
#include <memory>
#include <vector>

class DeviceList;
class ImportedCurves;

// Compatibility setup: the bands of up to ten checked devices are scanned one after another and
// drawn together, one curve and legend per device; Set Freq then offers every listed device the
// channels that no scan found busy (TFrmSetMuiltFreq). Export CSV writes all scans merged. Scans
// imported from other tools join the show, are drawn under the devices' curves and take part in
// the idle rule.
class TFrmMulitSet : public QDialog, public ToolReplyHandler
{
    Q_OBJECT
public:
    static constexpr int MaxScans = 10;

    // One device's scan in the sequence.
    struct ScanBlock {
        int32_t RXID = 0;
        int32_t DevIdx = 0;
        ScanPoints Points;
    };

    // The colour of each position's curve and legend.
    static QColor SeriesColour(int position);
    // White is drawn dashed: on black it cannot be told from the cream before it.
    static bool SeriesDashed(int position);

    TFrmMulitSet(QWidget* owner, const DeviceList& devices);
    ~TFrmMulitSet() override;

    void btStartClick();
    void btStopClick();
    void btSetFreqClick();
    void btExportCsvClick();
    void btImportScanClick();
    void OnScanPoint(int rxid, const uint8_t* payload) override;
    void OnScanEnd(int rxid, int command) override;

    // The scans that ended without Stop: what Set Freq hands on.
    int CompleteScans() const { return m_completeScans; }
    const ScanBlock& Scan(int position) const { return m_scans[static_cast<size_t>(position)]; }
    int ScanIndex() const { return m_scanIndex; }
    double MinFreq() const { return m_minFreq; }
    double MaxFreq() const { return m_maxFreq; }
    const TScanProcedure& Procedure() const { return *m_scan; }

    // The controls, named as the window names them.
    QTreeWidget* lbDevList;
    QFrame* Panel1;
    TGraphDraw* GraphDraw1;
    QLabel* lbRFVal;
    QPushButton* btStart;
    QPushButton* btStop;
    QPushButton* btSetFreq = nullptr;
    QComboBox* cbScanForm = nullptr; // the form Export CSV writes
    QPushButton* btExportCsv = nullptr;
    QPushButton* btImportScan = nullptr;
    const ImportedCurves& Imported() const { return *m_imported; }
    std::array<QLabel*, MaxScans> lbDevCol {}; // lbDevCol1 .. lbDevCol10
    std::array<QLabel*, MaxScans> lbDev {}; // lbDev1 .. lbDev10
    QWidget* LegendStrip = nullptr; // beside the chart, holding the legend
    QLabel* lbNotScanned = nullptr; // under the chart: the checked devices beyond the tenth

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    TScanProcedure* MakeProcedure(const DeviceList& devices);
    void CreateLegend();
    void PlaceLegend();
    void ShowLegend(int position, bool visible);
    void ShowNotScanned();
    void ShowSeriesUnder(QPoint pointer);
    bool StartNextDevice();
    void WidenRange(const TTMICListObj& device);
    void Redraw();
    void ShowImported();

    const DeviceList& m_devices;
    TScanProcedure* m_scan = nullptr; // set once the controls exist
    std::vector<ScanBlock> m_scans;
    int m_scanIndex = 0;
    int m_lastRow = -1;
    bool m_stopped = false;
    bool m_awaitingEnd = false; // a device was started and its end reply has not ended the sequence
    int m_completeScans = 0;
    double m_minFreq = 0.0;
    double m_maxFreq = 0.0;
    bool m_done = false;
    std::unique_ptr<ImportedCurves> m_imported;
};

// The open compatibility setup window, or nullptr.
extern TFrmMulitSet* FrmMulitSet;
