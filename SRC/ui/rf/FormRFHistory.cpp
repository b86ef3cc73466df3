#include "ui/rf/FormRFHistory.h"

#include "data/Device.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "transport/SendCommand.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"
#include "ui/PublicFont.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

TFrmRFHistory* FrmRFHistory = nullptr;

namespace
{

// One process-wide tick counter: Start does not reset it, so the first refresh of a record comes
// after one or two ticks.
int g_historyTicks = 0;

QLabel* ReadoutLabel(QWidget* parent, const char* name, const QString& text, QColor colour)
{
    QLabel* label = NewLabel(parent, name, text);
    label->setFont(PublicFixedFont(14, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QString DropoutText(int count)
{
    return LanguageText("信号中断: %1", "Dropouts: %1").arg(count);
}

} // namespace

TFrmRFHistory::TFrmRFHistory(QWidget* owner, const DeviceList& devices)
    : QDialog(owner)
    , m_ring(std::make_unique<RfHistoryRing>())
{
    FrmRFHistory = this;
    RegisterToolWindow(ToolWindow::RFHistory, this);
    PrepareModalWindow(*this, "FrmRFHistory", BuiltinText(48));
    CreateControls();
    Arrange();
    FillConnectedDevices(*lbDevList, devices);
    resize(1036, 502);
}

TFrmRFHistory::~TFrmRFHistory()
{
    PublicStruct::Instance().RFHistoryBusy = false;
    UnregisterToolWindow(ToolWindow::RFHistory, this);
    if (FrmRFHistory == this)
        FrmRFHistory = nullptr;
}

void TFrmRFHistory::CreateControls()
{
    lbDevList = NewDeviceChecklist(this, { 60, 70, 100, 100 });
    connect(lbDevList, &QTreeWidget::itemClicked, this,
        [this](QTreeWidgetItem* row, int) { KeepOnlyChecked(*lbDevList, row); });
    Panel1 = Named(new QFrame(this), "Panel1");
    Panel1->setAutoFillBackground(true);
    QPalette black = Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, QColor(0, 255, 255));
    Panel1->setPalette(black);
    GraphDraw1 = Named(new TGraphDraw(Panel1), "GraphDraw1");
    SetupRfChart(*GraphDraw1);
    GraphDraw1->SetColorLine(0, QColor(255, 0, 0));
    GraphDraw1->AddGraph(QColor(255, 255, 255));
    GraphDraw1->AddGraph(QColor(255, 0, 255));
    GraphDraw1->OnShowData = [this](TGraphDraw*, double x, double y) { GraphDraw1ShowData(x, y); };
    GraphDraw1->OnDrawBackground = [this](QPainter& p, const TGraphDraw& chart) { ShadeDropouts(p, chart); };

    const QColor aqua(0, 255, 255);
    Label1 = ReadoutLabel(Panel1, "Label1", QStringLiteral("RF1:"), aqua);
    lbRF1 = ReadoutLabel(Panel1, "lbRF1", QStringLiteral("0.0dB"), QColor(255, 0, 0));
    Label3 = ReadoutLabel(Panel1, "Label3", QStringLiteral("RF2:"), aqua);
    lbRF2 = ReadoutLabel(Panel1, "lbRF2", QStringLiteral("0.0dB"), QColor(255, 255, 255));
    Label5 = ReadoutLabel(Panel1, "Label5", QStringLiteral("SQ:"), aqua);
    lbSQ = ReadoutLabel(Panel1, "lbSQ", QStringLiteral("0.0dB"), QColor(255, 255, 255));
    lbDropouts = ReadoutLabel(Panel1, "lbDropouts", DropoutText(0), DropoutShade.lighter(180));
    for (QLabel* readout : { lbRF1, lbRF2 }) {
        readout->setCursor(Qt::PointingHandCursor);
        readout->installEventFilter(this);
    }

    ScrollBar1 = Named(new QScrollBar(Qt::Horizontal, this), "ScrollBar1");
    ScrollBar1->setRange(1, 1);
    ScrollBar1->setPageStep(1);
    ScrollBar1->hide();
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TFrmRFHistory::ScrollBar1Change);

    btStart = NewButton(this, "btStart", BuiltinText(49));
    btStop = NewButton(this, "btStop", BuiltinText(50));
    btStop->setEnabled(false);
    btExportCsv = NewButton(this, "btExportCsv", ExportCsvText());
    btSavePicture = NewButton(this, "btSavePicture", SavePictureText());
    connect(btStart, &QPushButton::clicked, this, &TFrmRFHistory::btStartClick);
    connect(btStop, &QPushButton::clicked, this, &TFrmRFHistory::btStopClick);
    connect(btExportCsv, &QPushButton::clicked, this, &TFrmRFHistory::btExportCsvClick);
    connect(btSavePicture, &QPushButton::clicked, this, &TFrmRFHistory::btSavePictureClick);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(PollInterval);
    connect(Timer1, &QTimer::timeout, this, &TFrmRFHistory::Timer1Timer);
}

void TFrmRFHistory::Arrange()
{
    auto* readouts = new QHBoxLayout;
    for (QWidget* item : std::initializer_list<QWidget*> { Label1, lbRF1, Label3, lbRF2, Label5, lbSQ })
        readouts->addWidget(item);
    readouts->addStretch(1);
    readouts->addWidget(lbDropouts);

    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(4, 4, 4, 4);
    panel->addWidget(GraphDraw1, 1);
    panel->addLayout(readouts);

    auto* chartColumn = new QVBoxLayout;
    chartColumn->addWidget(Panel1, 1);
    chartColumn->addWidget(ScrollBar1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(lbDevList);
    middle->addLayout(chartColumn, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QWidget* button : std::initializer_list<QWidget*> { btStart, btStop, btExportCsv, btSavePicture })
        buttons->addWidget(button);

    auto* column = new QVBoxLayout(this);
    column->addLayout(middle, 1);
    column->addLayout(buttons);
}

void TFrmRFHistory::btStartClick()
{
    const int row = NextCheckedRow(*lbDevList);
    if (row < 0) {
        ShowMessageBox(this, BuiltinText(51), QStringLiteral("提示"), 0, SelectDeviceTimeout);
        return;
    }
    m_ring->Reset();
    const RowChannel channel = RowDevice(*lbDevList->topLevelItem(row), 0);
    DeviceRXID = static_cast<uint8_t>(channel.Rxid);
    DeviceDevIdx = static_cast<uint8_t>(channel.DevIdx);
    DeviceIP = channel.Ip;
    Timer1->start();
    SetRecording(true);
    ScrollBar1->hide();
    PublicStruct::Instance().RFHistoryBusy = true;
}

void TFrmRFHistory::SetRecording(bool recording)
{
    btStart->setEnabled(!recording);
    btStop->setEnabled(recording);
    lbDevList->setEnabled(!recording);
}

void TFrmRFHistory::Timer1Timer()
{
    const uint8_t payload = 0x00;
    SendCommand(DeviceIP, DeviceRXID, DeviceDevIdx, CMD_GET_STATUS, &payload, 1);
    if (++g_historyTicks % 2 != 0)
        return;

    const RfHistoryRing& ring = *m_ring;
    const int last = ring.LastSlot();
    lbRF1->setText(QStringLiteral("%1 dB").arg(ring.LevelA(last)));
    lbRF2->setText(QStringLiteral("%1 dB").arg(ring.LevelB(last)));
    lbSQ->setText(QStringLiteral("%1 dB").arg(ring.SquelchLevel()));
    ShowDropouts();

    BeginChart();
    const int n = std::min(ring.SampleCount(), LivePoints);
    const int first = (ring.WriteIndex() - n + RfHistoryRing::Slots) % RfHistoryRing::Slots;
    // X is the slot number: within one drawing it runs on past the ring's end without wrapping.
    for (int k = 0; k < n; ++k)
        PlotSample((first + k) % RfHistoryRing::Slots, (first + k) * RfHistoryRing::SampleStep);
    GraphDraw1->DoPaint();
}

void TFrmRFHistory::OnStatus(int rxid, int devIdx, const uint8_t* payload)
{
    if (rxid != DeviceRXID || devIdx != DeviceDevIdx)
        return;
    m_ring->Add(payload[4], payload[5], payload[7]);
}

void TFrmRFHistory::btStopClick()
{
    SetRecording(false);
    PublicStruct::Instance().RFHistoryBusy = false;
    Timer1->stop();
    const int pages = m_ring->PageCount();
    {
        const QSignalBlocker quiet(ScrollBar1); // one drawing below, not one per change
        ScrollBar1->setRange(1, std::max(pages, 1));
        ScrollBar1->setValue(1);
    }
    ScrollBar1->setVisible(pages > 0);
    ShowDropouts();
    ScrollBar1Change();
}

void TFrmRFHistory::ScrollBar1Change()
{
    BeginChart();
    const RfHistoryRing& ring = *m_ring;
    const int count = std::min(ring.SampleCount(), RfHistoryRing::PageSize);
    const int start = ring.PageStart(ScrollBar1->value());
    for (int i = start; i < start + count; ++i)
        PlotSample(ring.SlotOf(i), i * RfHistoryRing::SampleStep);
    GraphDraw1->DoPaint();
}

void TFrmRFHistory::BeginChart()
{
    GraphDraw1->Clear(-1);
    GraphDraw1->MinAxisY = -10;
    GraphDraw1->MaxAxisY = 90;
    m_dropoutX.clear();
}

void TFrmRFHistory::PlotSample(int slot, double x)
{
    const RfHistoryRing& ring = *m_ring;
    GraphDraw1->AddXY(0, x, ring.LevelA(slot));
    GraphDraw1->AddXY(1, x, ring.LevelB(slot));
    GraphDraw1->AddXY(2, x, ring.SquelchLevel());
    if (ring.IsDropout(slot))
        m_dropoutX.push_back(x);
}

void TFrmRFHistory::ShowDropouts()
{
    lbDropouts->setText(DropoutText(m_ring->DropoutCount()));
}

// Each dropout sample's column, from its X to the next sample's, at least one pixel wide.
void TFrmRFHistory::ShadeDropouts(QPainter& painter, const TGraphDraw& chart) const
{
    const int top = 20, bottom = chart.height() - 26;
    for (double x : m_dropoutX) {
        const int left = chart.PointPosition(x, 0).x();
        const int right = std::max(left, chart.PointPosition(x + RfHistoryRing::SampleStep, 0).x() - 1);
        painter.fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), DropoutShade);
    }
}

void TFrmRFHistory::GraphDraw1ShowData(double, double y)
{
    if (!btStart->isEnabled())
        return;
    QLabel* readout = GraphDraw1->TrackIdx == 0 ? lbRF1 : lbRF2;
    readout->setText(QStringLiteral("%1 %").arg(static_cast<int>(std::trunc(y))));
}

void TFrmRFHistory::lbRF1Click()
{
    GraphDraw1->SetTrackIdx(0);
}

void TFrmRFHistory::lbRF2Click()
{
    GraphDraw1->SetTrackIdx(1);
}

bool TFrmRFHistory::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        if (watched == lbRF1)
            lbRF1Click();
        else if (watched == lbRF2)
            lbRF2Click();
    }
    return QDialog::eventFilter(watched, e);
}

void TFrmRFHistory::btExportCsvClick()
{
    if (m_ring->SampleCount() == 0) {
        ShowMessageBox(this, NothingToExportText(), QStringLiteral("提示"), 0, 3000);
        return;
    }
    ExportToFile(this, QStringLiteral("rf_history_%1_%2.csv").arg(DeviceRXID).arg(DeviceDevIdx),
        QStringLiteral("CSV (*.csv)"), m_ring->Csv());
}

void TFrmRFHistory::btSavePictureClick()
{
    ExportToFile(
        this, QStringLiteral("rf_history.png"), QStringLiteral("PNG (*.png)"), PngBytes(GraphDraw1->GetDrawBmp()));
}
