#pragma once
// Scans from other tools in the scan windows: Import reads a scan file whole and adds it to the
// show; ImportedCurves draws the show's imported scans under a window's own curves, on the
// receiver's scale (level = dBm - [Coordination] ScanDbmOffset), each named by its file in the
// row under the chart.
#include "interchange/ScanFiles.h"

#include <QColor>
#include <QString>
#include <functional>
#include <vector>

class QBoxLayout;
class QLabel;
class QPainter;
class QPushButton;
class QWidget;
class TGraphDraw;

// "btImportScan": Import scan.
QPushButton* NewImportScanButton(QWidget* owner);

// Asks for a scan file (a file dialog, or the hook a test set) and adds it to the show's scans.
// A refused file is said with its name, line and reason, and nothing of it is added. True when
// a scan was added.
bool ImportScanIntoShow(QWidget* owner);

// Tests answer the file dialog here: while set, ImportScanIntoShow asks the hook (an empty answer
// cancels). An empty hook restores the dialog.
void SetImportPathHook(std::function<QString()> hook);

// The idle channels of a band for the scan windows: our scans at threshold, the show's imported
// scans at [Coordination] ImportThresholdDbm.
std::vector<IdleChannel> IdleChannelsWithShowScans(
    const BandOfChannels& band, std::span<const ScanView> scans, int threshold);

class ImportedCurves
{
public:
    static constexpr int MaxCurves = 8; // drawn; the show may hold more
    static constexpr int CurvePoints = 2048; // per curve at most, peaks kept

    // Draws on chart (under its series) and puts one legend label per curve into legendRow.
    ImportedCurves(TGraphDraw& chart, QBoxLayout& legendRow, QWidget& legendParent);

    // Takes the show's dBm scans anew: curves and legend (the chart shows them at its next paint).
    void Reload();
    bool Empty() const { return m_curves.empty(); }
    // Widens the chart's frequency axis to hold the curves, after the window set its own range.
    void WidenAxis() const;
    static QColor Colour(int index);
    const std::vector<QLabel*>& Legend() const { return m_legend; }

private:
    struct Curve {
        std::vector<interchange::ScanSample> Points; // on the receiver's scale
        QColor Colour;
        double GapMhz = 0; // neighbours further apart are not joined
    };
    void Draw(QPainter& painter, const TGraphDraw& chart) const;

    TGraphDraw& m_chart;
    std::vector<Curve> m_curves;
    std::vector<QLabel*> m_legend;
};
