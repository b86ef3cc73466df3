#include "ui/rf/FormMulitSet.h"

#include "data/Device.h"
#include "data/IdleChannels.h"
#include "lang/Language.h"
#include "protocol/Messages.h"
#include "ui/DialogParts.h"
#include "ui/FormMessage.h"
#include "ui/rf/ChartReadout.h"
#include "ui/rf/FormSetMuiltFreq.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"
#include "ui/rf/ScanExport.h"
#include "ui/rf/ScanImport.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <limits>

TFrmMulitSet* FrmMulitSet = nullptr;

namespace
{
constexpr int LegendTop = 24;
constexpr int LegendStep = 16;
constexpr int LegendWidth = 96; // square and "255:255"
constexpr int WhitePosition = 8;
constexpr int ReadoutTolerance = 6; // pixels above or below a curve that still name it
} // namespace

QColor TFrmMulitSet::SeriesColour(int position)
{
    static const QColor colours[MaxScans - 1] = { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 0 },
        { 255, 0, 255 }, { 0, 255, 255 }, { 255, 251, 240 }, { 192, 220, 192 }, { 255, 255, 255 } };
    if (position >= 0 && position < MaxScans - 1)
        return colours[position];
    return QApplication::palette().color(QPalette::Highlight);
}

bool TFrmMulitSet::SeriesDashed(int position)
{
    return position == WhitePosition;
}

TFrmMulitSet::TFrmMulitSet(QWidget* owner, const DeviceList& devices)
    : QDialog(owner)
    , m_devices(devices)
    , m_scans(MaxScans)
{
    // Made here, not in the initialiser list: making it sends events, which event() must
    // see without a procedure.
    m_scan = MakeProcedure(devices);
    FrmMulitSet = this;
    RegisterToolWindow(ToolWindow::MulitSet, this);
    const TScanControls& c = m_scan->Controls();
    lbDevList = c.lbDevList;
    Panel1 = c.Panel1;
    GraphDraw1 = c.GraphDraw1;
    lbRFVal = c.lbRFVal;
    btStart = c.btStart;
    btStop = c.btStop;
    btSetFreq = NewButton(this, "btSetFreq", BuiltinText(81));
    btSetFreq->setEnabled(false);
    c.ButtonBar->addWidget(btSetFreq);
    cbScanForm = NewScanFormChoice(this);
    btExportCsv = NewButton(this, "btExportCsv", ExportCsvText());
    c.ButtonBar->addWidget(cbScanForm);
    c.ButtonBar->addWidget(btExportCsv);
    btImportScan = NewImportScanButton(this);
    c.ButtonBar->addWidget(btImportScan);
    GraphDraw1->SetColorLine(0, SeriesColour(0));
    CreateLegend();
    m_imported = std::make_unique<ImportedCurves>(*GraphDraw1, *c.PanelBar, *Panel1);

    connect(btStart, &QPushButton::clicked, this, &TFrmMulitSet::btStartClick);
    connect(btStop, &QPushButton::clicked, this, &TFrmMulitSet::btStopClick);
    connect(btSetFreq, &QPushButton::clicked, this, &TFrmMulitSet::btSetFreqClick);
    connect(btExportCsv, &QPushButton::clicked, this, &TFrmMulitSet::btExportCsvClick);
    connect(btImportScan, &QPushButton::clicked, this, &TFrmMulitSet::btImportScanClick);
    m_scan->StallStop = [this] { btStopClick(); };
    resize(1089, 535);
    ShowImported();
}

TScanProcedure* TFrmMulitSet::MakeProcedure(const DeviceList& devices)
{
    PrepareModalWindow(*this, "FrmMulitSet", BuiltinText(82));
    return new TScanProcedure(*this, devices, TScanProcedure::CheckRule::ManyRows, { 80, 70, 100, 100 });
}

TFrmMulitSet::~TFrmMulitSet()
{
    m_scan->CloseWindow();
    UnregisterToolWindow(ToolWindow::MulitSet, this);
    if (FrmMulitSet == this)
        FrmMulitSet = nullptr;
}

// The legend stands in a strip at the chart's right edge, one pair per position, 16 px apart:
// beside the curves, never over them. Under the chart a line names the devices not scanned.
void TFrmMulitSet::CreateLegend()
{
    LegendStrip = new QWidget(Panel1);
    LegendStrip->setObjectName(QStringLiteral("LegendStrip"));
    LegendStrip->setFixedWidth(LegendWidth);
    auto* panel = static_cast<QBoxLayout*>(Panel1->layout());
    panel->removeWidget(GraphDraw1);
    auto* chartRow = new QHBoxLayout;
    chartRow->setSpacing(0);
    chartRow->addWidget(GraphDraw1, 1);
    chartRow->addWidget(LegendStrip);
    panel->insertLayout(0, chartRow, 1);
    lbNotScanned = NewLabel(this, "lbNotScanned", QString());
    m_scan->Controls().ButtonBar->insertWidget(0, lbNotScanned);
    for (int i = 0; i < MaxScans; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        lbDevCol[static_cast<size_t>(i)] = NewLabel(
            LegendStrip, ("lbDevCol" + n).constData(), SeriesDashed(i) ? QStringLiteral("╍") : QStringLiteral("■"));
        lbDev[static_cast<size_t>(i)] = NewLabel(LegendStrip, ("lbDev" + n).constData(), QString());
        for (QLabel* label : { lbDevCol[static_cast<size_t>(i)], lbDev[static_cast<size_t>(i)] }) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, SeriesColour(i));
            label->setPalette(palette);
        }
        ShowLegend(i, i == 0);
    }
    GraphDraw1->installEventFilter(this);
    PlaceLegend();
}

void TFrmMulitSet::PlaceLegend()
{
    for (int i = 0; i < MaxScans; ++i) {
        const int top = LegendTop + i * LegendStep;
        lbDevCol[static_cast<size_t>(i)]->setGeometry(0, top, 16, LegendStep);
        lbDev[static_cast<size_t>(i)]->setGeometry(18, top, LegendWidth - 20, LegendStep);
    }
}

bool TFrmMulitSet::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == GraphDraw1 && e->type() == QEvent::MouseMove)
        ShowSeriesUnder(static_cast<QMouseEvent*>(e)->position().toPoint());
    return QDialog::eventFilter(watched, e);
}

// The read-out of the curve under the pointer: which device, which frequency, which level.
void TFrmMulitSet::ShowSeriesUnder(QPoint pointer)
{
    const SeriesPoint under = SeriesUnderPointer(*GraphDraw1, pointer, ReadoutTolerance);
    QString text;
    if (under.series >= 0 && under.series < MaxScans) {
        const TGraphData& series = GraphDraw1->Graph(under.series);
        text = QStringLiteral("%1  %2 MHz  %3 dB")
                   .arg(lbDev[static_cast<size_t>(under.series)]->text())
                   .arg(series.X(under.point), 0, 'f', 3)
                   .arg(series.Y(under.point));
    }
    GraphDraw1->setToolTip(text);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(GraphDraw1->mapToGlobal(pointer), text, GraphDraw1);
}

// The run scans the first MaxScans checked rows; the others are named, so that nobody takes
// them for scanned.
void TFrmMulitSet::ShowNotScanned()
{
    QStringList skipped;
    int checked = 0;
    for (int row = m_scan->NextCheckedRow(-1); row >= 0; row = m_scan->NextCheckedRow(row))
        if (++checked > MaxScans) {
            const QTreeWidgetItem* item = lbDevList->topLevelItem(row);
            skipped << item->text(0) + QLatin1Char(':') + item->text(1);
        }
    lbNotScanned->setText(skipped.isEmpty()
            ? QString()
            : LanguageText("%1 个设备未扫描: 每次最多十个 (%2)", "%1 devices not scanned: at most ten per run (%2)")
                  .arg(skipped.size())
                  .arg(skipped.join(QStringLiteral(", "))));
}

void TFrmMulitSet::ShowLegend(int position, bool visible)
{
    lbDevCol[static_cast<size_t>(position)]->setVisible(visible);
    lbDev[static_cast<size_t>(position)]->setVisible(visible);
}

// A new run forgets the last one: legends hidden, its curves removed.
void TFrmMulitSet::btStartClick()
{
    m_scanIndex = 0;
    m_lastRow = -1;
    m_stopped = false;
    m_completeScans = 0;
    for (int i = 0; i < MaxScans; ++i)
        ShowLegend(i, false);
    while (GraphDraw1->GraphCount() > 1)
        GraphDraw1->DeleteGraph(GraphDraw1->GraphCount() - 1);
    GraphDraw1->Clear(-1);
    GraphDraw1->DoPaint();
    ShowNotScanned();
    if (!StartNextDevice())
        m_scan->ShowSelectDevice();
}

// The next checked row below the last one started, scanned into the block of ScanIndex; no wait
// before the start command.
bool TFrmMulitSet::StartNextDevice()
{
    const int row = m_scan->NextCheckedRow(m_lastRow);
    if (row < 0)
        return false;
    m_lastRow = row;
    ScanBlock& block = m_scans[static_cast<size_t>(m_scanIndex)];
    m_scan->StartRow(row, block.Points, false);
    m_awaitingEnd = true;
    block.RXID = m_scan->DeviceRXID;
    block.DevIdx = m_scan->DeviceDevIdx;
    lbDev[static_cast<size_t>(m_scanIndex)]->setText(QStringLiteral("%1:%2").arg(block.RXID).arg(block.DevIdx));
    ShowLegend(m_scanIndex, true);
    btSetFreq->setEnabled(false);
    if (m_scan->Device)
        WidenRange(*m_scan->Device);
    return true;
}

void TFrmMulitSet::WidenRange(const TTMICListObj& device)
{
    const double end = BandEnd(device.StartFreq, device.MaxChannel);
    const bool first = m_scanIndex == 0;
    m_minFreq = first ? device.StartFreq : std::min(m_minFreq, device.StartFreq);
    m_maxFreq = first ? end : std::max(m_maxFreq, end);
}

void TFrmMulitSet::OnScanPoint(int rxid, const uint8_t* payload)
{
    if (m_scan->AcceptPoint(rxid, payload) && m_scan->Device)
        Redraw();
}

// Only the curve of the device being scanned is drawn anew; the earlier ones stay.
void TFrmMulitSet::Redraw()
{
    TGraphDraw& chart = *GraphDraw1;
    m_scan->ResetChart(m_scanIndex, m_minFreq, m_maxFreq);
    m_imported->WidenAxis();
    PlotScan(chart, m_scanIndex, m_scans[static_cast<size_t>(m_scanIndex)].Points, *m_scan->Device);
    chart.DoPaint();
}

// The show's imported scans over the span of the scans so far (or their own span); Set Freq
// works from them alone when no run is going on.
void TFrmMulitSet::ShowImported()
{
    m_imported->Reload();
    if (m_imported->Empty())
        return;
    TGraphDraw& chart = *GraphDraw1;
    const bool scanned = m_maxFreq > m_minFreq;
    chart.MinAxisX = scanned ? m_minFreq : std::numeric_limits<double>::max();
    chart.MaxAxisX = scanned ? m_maxFreq : std::numeric_limits<double>::lowest();
    chart.MinAxisY = -10;
    chart.MaxAxisY = 90;
    m_imported->WidenAxis();
    chart.DoPaint();
    if (!m_scan->Running())
        btSetFreq->setEnabled(true);
}

void TFrmMulitSet::btImportScanClick()
{
    if (ImportScanIntoShow(this))
        ShowImported();
}

// An end reply once the sequence is over (a repeated one) starts nothing and counts nothing. After
// Stop the stopped device's end still closes the sequence, once.
void TFrmMulitSet::OnScanEnd(int rxid, int command)
{
    if (!m_awaitingEnd || !m_scan->IsEndOfDevice(rxid, command))
        return;
    if (!m_stopped) {
        m_completeScans = m_scanIndex + 1;
        if (m_scanIndex < MaxScans - 1) {
            ++m_scanIndex;
            if (StartNextDevice()) {
                GraphDraw1->SetDashed(GraphDraw1->AddGraph(SeriesColour(m_scanIndex)), SeriesDashed(m_scanIndex));
                return;
            }
        }
    }
    // The sequence is over: a point that still comes belongs to no block.
    m_awaitingEnd = false;
    m_scan->IgnoreFurtherPoints();
    m_scan->PostScanDone();
    btSetFreq->setEnabled(true);
}

bool TFrmMulitSet::event(QEvent* e)
{
    // Building the controls already sends events, before the procedure exists.
    return (m_scan && m_scan->FinishOnScanDone(e)) || QDialog::event(e);
}

void TFrmMulitSet::btStopClick()
{
    m_scan->Stop();
    m_scan->IgnoreFurtherPoints();
    btSetFreq->setEnabled(false);
    m_stopped = true;
}

void TFrmMulitSet::btSetFreqClick()
{
    std::vector<ScanView> scans;
    for (int i = 0; i < m_completeScans; ++i) {
        const ScanBlock& block = m_scans[static_cast<size_t>(i)];
        ScanView view = ViewOf(block.Points);
        // Devices on other bands number their channels from their own start: a scan marks what
        // lies at its frequencies.
        if (const TTMICListObj* device = FindDevice(m_devices, block.RXID, block.DevIdx))
            view.Band = BandOfChannels { device->StartFreq, device->StartChannel, device->MaxChannel };
        scans.push_back(view);
    }
    {
        TFrmSetMuiltFreq setFreq(this, m_done, std::move(scans), *lbDevList, m_devices);
        setFreq.exec();
    }
    if (m_done)
        accept();
}

// Every device's scan so far in one file: the highest level at each frequency.
void TFrmMulitSet::btExportCsvClick()
{
    std::vector<std::vector<interchange::LevelPoint>> scans;
    for (int position = 0; position <= m_scanIndex && position < MaxScans; ++position) {
        const ScanBlock& block = m_scans[static_cast<size_t>(position)];
        const TTMICListObj* device = FindDevice(m_devices, block.RXID, block.DevIdx);
        if (device && block.Points.PointCount > 0)
            scans.push_back(
                interchange::LevelPointsOf(LatestLevels(block.Points), device->StartFreq, device->StartChannel, device->MaxChannel));
    }
    if (scans.empty()) {
        ShowMessageBox(this, NothingToExportText(), QStringLiteral("提示"), 0, 3000);
        return;
    }
    ExportScanPoints(this, *cbScanForm, QStringLiteral("scan_compatibility"), QStringLiteral("Tessaro"),
        interchange::MergeHighest(scans));
}
