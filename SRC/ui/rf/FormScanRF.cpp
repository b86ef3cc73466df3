#include "ui/rf/FormScanRF.h"

#include "data/Device.h"
#include "lang/Language.h"
#include "protocol/Messages.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"
#include "ui/rf/ScanExport.h"
#include "ui/rf/ScanImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <limits>

TFrmScanRF* FrmScanRF = nullptr;

TFrmScanRF::TFrmScanRF(QWidget* owner, const DeviceList& devices)
    : QDialog(owner)
{
    // Made here, not in the initialiser list: making it sends events, which event() must
    // see without a procedure.
    m_scan = MakeProcedure(devices);
    FrmScanRF = this;
    RegisterToolWindow(ToolWindow::ScanRF, this);
    const TScanControls& c = m_scan->Controls();
    lbBand = c.lbBand;
    cbBand = c.cbBand;
    lbStartFreq = c.lbStartFreq;
    cbStartFreq = c.cbStartFreq;
    lbEndFreq = c.lbEndFreq;
    cbEndFreq = c.cbEndFreq;
    lbDevList = c.lbDevList;
    Panel1 = c.Panel1;
    GraphDraw1 = c.GraphDraw1;
    Label4 = c.Label4;
    lbRFVal = c.lbRFVal;
    btStart = c.btStart;
    btStop = c.btStop;
    GraphDraw1->AddGraph(MaxHoldColour);

    cbMaxHold = Named(new QCheckBox(LanguageText("最大保持", "Max hold"), this), "cbMaxHold");
    btExportCsv = NewButton(this, "btExportCsv", ExportCsvText());
    btSavePicture = NewButton(this, "btSavePicture", SavePictureText());
    c.ButtonBar->insertWidget(0, cbMaxHold);
    cbScanForm = NewScanFormChoice(this);
    c.ButtonBar->addWidget(cbScanForm);
    c.ButtonBar->addWidget(btExportCsv);
    c.ButtonBar->addWidget(btSavePicture);
    btImportScan = NewImportScanButton(this);
    c.ButtonBar->addWidget(btImportScan);
    m_imported = std::make_unique<ImportedCurves>(*GraphDraw1, *c.PanelBar, *Panel1);

    connect(btStart, &QPushButton::clicked, this, &TFrmScanRF::btStartClick);
    connect(btStop, &QPushButton::clicked, this, &TFrmScanRF::btStopClick);
    connect(cbMaxHold, &QCheckBox::clicked, this, &TFrmScanRF::cbMaxHoldClick);
    connect(btExportCsv, &QPushButton::clicked, this, &TFrmScanRF::btExportCsvClick);
    connect(btSavePicture, &QPushButton::clicked, this, &TFrmScanRF::btSavePictureClick);
    connect(btImportScan, &QPushButton::clicked, this, &TFrmScanRF::btImportScanClick);
    resize(947, 551);
    m_imported->Reload();
    if (!m_imported->Empty())
        Redraw();
}

TScanProcedure* TFrmScanRF::MakeProcedure(const DeviceList& devices)
{
    PrepareModalWindow(*this, "FrmScanRF", BuiltinText(73));
    return new TScanProcedure(*this, devices, TScanProcedure::CheckRule::OneRow, { 80, 65, 100, 100 });
}

TFrmScanRF::~TFrmScanRF()
{
    m_scan->CloseWindow();
    UnregisterToolWindow(ToolWindow::ScanRF, this);
    if (FrmScanRF == this)
        FrmScanRF = nullptr;
}

void TFrmScanRF::btStartClick()
{
    if (!m_scan->StartFirstChecked(m_points))
        return;
    if (!HoldsChannel()) {
        m_hold.Clear();
        m_holdRxid = m_scan->DeviceRXID;
        m_holdDevIdx = m_scan->DeviceDevIdx;
    }
}

bool TFrmScanRF::HoldsChannel() const
{
    return m_holdRxid == m_scan->DeviceRXID && m_holdDevIdx == m_scan->DeviceDevIdx;
}

void TFrmScanRF::btStopClick()
{
    m_scan->Stop();
}

void TFrmScanRF::OnScanPoint(int rxid, const uint8_t* payload)
{
    if (!m_scan->AcceptPoint(rxid, payload))
        return;
    const int last = m_points.PointCount - 1;
    m_hold.Add(m_points.Channels[static_cast<size_t>(last)], m_points.Levels[static_cast<size_t>(last)]);
    if (m_scan->Device)
        Redraw();
}

// The whole curve is drawn anew for each point, over the band shown in the combo boxes and the
// imported scans' span.
void TFrmScanRF::Redraw()
{
    TGraphDraw& chart = *GraphDraw1;
    // Without a band in the boxes the imported scans alone set the span.
    const bool banded = m_scan->AxisEnd() > m_scan->AxisStart() || m_imported->Empty();
    m_scan->ResetChart(-1, banded ? m_scan->AxisStart() : std::numeric_limits<double>::max(),
        banded ? m_scan->AxisEnd() : std::numeric_limits<double>::lowest());
    m_imported->WidenAxis();
    if (m_scan->Device) {
        PlotScan(chart, 0, m_points, *m_scan->Device);
        if (cbMaxHold->isChecked())
            PlotLevels(chart, 1, m_hold.Levels(), *m_scan->Device);
    }
    chart.DoPaint();
}

void TFrmScanRF::cbMaxHoldClick()
{
    if (m_scan->Device)
        Redraw();
}

void TFrmScanRF::OnScanEnd(int rxid, int command)
{
    if (m_scan->IsScanEnd(rxid, command))
        m_scan->PostScanDone();
}

bool TFrmScanRF::event(QEvent* e)
{
    // Building the controls already sends events, before the procedure exists.
    return (m_scan && m_scan->FinishOnScanDone(e)) || QDialog::event(e);
}

void TFrmScanRF::btExportCsvClick()
{
    const TTMICListObj* device = m_scan->Device;
    if (!device || m_points.PointCount == 0) {
        ShowMessageBox(this, NothingToExportText(), QStringLiteral("提示"), 0, 3000);
        return;
    }
    const auto points = interchange::LevelPointsOf(LatestLevels(m_points), device->StartFreq, device->StartChannel, device->MaxChannel);
    ExportScanPoints(this, *cbScanForm, QStringLiteral("scan_%1_%2").arg(device->RXID).arg(device->DevIdx),
        QStringLiteral("%1:%2").arg(device->RXID).arg(device->DevIdx), points);
}

void TFrmScanRF::btImportScanClick()
{
    if (!ImportScanIntoShow(this))
        return;
    m_imported->Reload();
    Redraw();
}

void TFrmScanRF::btSavePictureClick()
{
    ExportToFile(this, QStringLiteral("scan.png"), QStringLiteral("PNG (*.png)"), PngBytes(GraphDraw1->GetDrawBmp()));
}
