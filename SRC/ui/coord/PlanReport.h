#pragma once
// File > Export Plan Report: the show's printable frequency plan as PDF (Qt's PDF writer, A4 or
// Letter) or as one self-contained HTML file, laid out from interchange::PlanReportModel.
#include "interchange/PlanReport.h"

#include <QDialog>
#include <QImage>
#include <QPageSize>

class QComboBox;
class QLabel;
class QPainter;
class QPushButton;

// The chart: white ground, dBm over MHz with a labelled grid, excluded ranges shaded, the scans
// as curves, each carrier a blue line named at the top, each backup a dashed green line, and a
// legend of the curves under the plot. Sizes follow the area, so it reads the same on a page and
// in an image.
void DrawPlanChart(QPainter& painter, const QRectF& area, const interchange::ReportChart& chart);
QImage PlanChartImage(const interchange::ReportChart& chart, QSize size);

// The report as a PDF document on pages of the given size, 15 mm margins.
QByteArray PlanReportPdf(const interchange::PlanReportModel& report, QPageSize::PageSizeId paper);

class TFrmPlanReport : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmPlanReport(QWidget* owner);

    // Writes the report of the show in the chosen form and paper (asking where).
    void btExportClick();

    QLabel* lbPlanState = nullptr;
    QComboBox* cbReportFormat = nullptr; // PDF, HTML
    QComboBox* cbPaper = nullptr; // A4, Letter
    QPushButton* btExport = nullptr;
    QPushButton* btCancel = nullptr;
};
