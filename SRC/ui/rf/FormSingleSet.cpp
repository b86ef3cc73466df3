#include "ui/rf/FormSingleSet.h"

#include "data/IdleChannels.h"
#include "lang/Language.h"
#include "protocol/Messages.h"
#include "ui/DialogParts.h"
#include "ui/rf/FormSetFreq.h"
#include "ui/rf/GraphDraw.h"

#include <QHBoxLayout>
#include <QPushButton>

TFrmSingleSet* FrmSingleSet = nullptr;

TFrmSingleSet::TFrmSingleSet(QWidget* owner, const DeviceList& devices)
    : QDialog(owner)
{
    // Made here, not in the initialiser list: making it sends events, which event() must
    // see without a procedure.
    m_scan = MakeProcedure(devices);
    FrmSingleSet = this;
    RegisterToolWindow(ToolWindow::SingleSet, this);
    const TScanControls& c = m_scan->Controls();
    lbDevList = c.lbDevList;
    GraphDraw1 = c.GraphDraw1;
    lbRFVal = c.lbRFVal;
    btStart = c.btStart;
    btStop = c.btStop;
    btSetFreq = NewButton(this, "btSetFreq", BuiltinText(81));
    c.ButtonBar->addWidget(btSetFreq);

    connect(btStart, &QPushButton::clicked, this, &TFrmSingleSet::btStartClick);
    connect(btStop, &QPushButton::clicked, this, &TFrmSingleSet::btStopClick);
    connect(btSetFreq, &QPushButton::clicked, this, &TFrmSingleSet::btSetFreqClick);
    m_scan->StallStop = [this] { btStopClick(); };
    resize(1040, 548);
}

TScanProcedure* TFrmSingleSet::MakeProcedure(const DeviceList& devices)
{
    PrepareModalWindow(*this, "FrmSingleSet", BuiltinText(80));
    return new TScanProcedure(*this, devices, TScanProcedure::CheckRule::OneRow, { 80, 70, 100, 100 });
}

TFrmSingleSet::~TFrmSingleSet()
{
    m_scan->CloseWindow();
    UnregisterToolWindow(ToolWindow::SingleSet, this);
    if (FrmSingleSet == this)
        FrmSingleSet = nullptr;
}

void TFrmSingleSet::btStartClick()
{
    if (m_scan->StartFirstChecked(m_points))
        btSetFreq->setEnabled(false);
}

void TFrmSingleSet::btStopClick()
{
    m_scan->Stop();
    btSetFreq->setEnabled(false);
}

void TFrmSingleSet::OnScanPoint(int rxid, const uint8_t* payload)
{
    if (m_scan->AcceptPoint(rxid, payload) && m_scan->Device)
        Redraw();
}

void TFrmSingleSet::Redraw()
{
    TGraphDraw& chart = *GraphDraw1;
    m_scan->ResetChart(-1, m_scan->AxisStart(), m_scan->AxisEnd());
    PlotScan(chart, 0, m_points, *m_scan->Device);
    chart.DoPaint();
}

void TFrmSingleSet::OnScanEnd(int rxid, int command)
{
    if (!m_scan->IsScanEnd(rxid, command))
        return;
    m_scan->PostScanDone();
    btSetFreq->setEnabled(true);
}

bool TFrmSingleSet::event(QEvent* e)
{
    // Building the controls already sends events, before the procedure exists.
    return (m_scan && m_scan->FinishOnScanDone(e)) || QDialog::event(e);
}

// Device is known from the first Start on: before that there is no band to offer.
void TFrmSingleSet::btSetFreqClick()
{
    if (!m_scan->Device)
        return;
    {
        TFrmSetFreq setFreq(this, m_done, ViewOf(m_points), *m_scan->Device);
        setFreq.exec();
    }
    if (m_done)
        accept();
}
