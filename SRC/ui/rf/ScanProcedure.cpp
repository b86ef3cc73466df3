#include "ui/rf/ScanProcedure.h"

#include "data/Device.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "transport/SendCommand.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"
#include "ui/PublicFont.h"
#include "ui/rf/GraphDraw.h"
#include "ui/rf/RfWindowParts.h"
#include "ui/timeline/ToolEvents.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{

constexpr double UnknownFreq = 640.0;

QComboBox* NewDisplayBox(QWidget* parent, const char* name)
{
    auto* box = Named(new QComboBox(parent), name);
    box->setEnabled(false);
    box->setMinimumWidth(110);
    return box;
}

double FreqOrUnknown(const QComboBox& box)
{
    bool ok = false;
    const double value = box.currentText().toDouble(&ok);
    return ok ? value : UnknownFreq;
}

void ShowOnly(QComboBox& box, const QString& text)
{
    box.clear();
    box.addItem(text);
}

} // namespace

TScanProcedure::TScanProcedure(
    QDialog& window, const DeviceList& devices, CheckRule rule, const std::array<int, 4>& columnWidths)
    : QObject(&window)
    , m_window(window)
    , m_devices(devices)
    , m_rule(rule)
{
    CreateControls(columnWidths);
    Arrange();
    FillConnectedDevices(*m_controls.lbDevList, devices);
    m_quiet = new QTimer(this);
    m_quiet->setSingleShot(true);
    connect(m_quiet, &QTimer::timeout, this, &TScanProcedure::ScanStalled);
    connect(
        m_controls.lbDevList, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row, int) { RowClicked(row); });
}

void TScanProcedure::CreateControls(const std::array<int, 4>& columnWidths)
{
    TScanControls& c = m_controls;
    QWidget* w = &m_window;
    c.lbBand = NewLabel(w, "lbBand", BuiltinText(74));
    c.cbBand = NewDisplayBox(w, "cbBand");
    c.lbStartFreq = NewLabel(w, "lbStartFreq", BuiltinText(75));
    c.cbStartFreq = NewDisplayBox(w, "cbStartFreq");
    c.lbEndFreq = NewLabel(w, "lbEndFreq", BuiltinText(76));
    c.cbEndFreq = NewDisplayBox(w, "cbEndFreq");
    c.lbDevList = NewDeviceChecklist(w, columnWidths);
    c.Panel1 = Named(new QFrame(w), "Panel1");
    c.Panel1->setAutoFillBackground(true);
    QPalette black = c.Panel1->palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, QColor(0, 255, 255));
    c.Panel1->setPalette(black);
    c.GraphDraw1 = Named(new TGraphDraw(c.Panel1), "GraphDraw1");
    SetupRfChart(*c.GraphDraw1);
    c.GraphDraw1->SetColorLine(0, QColor(255, 0, 0));
    const QFont readoutFont = PublicFixedFont(14, true);
    c.Label4 = NewLabel(c.Panel1, "Label4", QStringLiteral("RF:"));
    c.lbRFVal = NewLabel(c.Panel1, "lbRFVal", QStringLiteral("0dB"));
    for (QLabel* label : { c.Label4, c.lbRFVal })
        label->setFont(readoutFont);
    c.btStart = NewButton(w, "btStart", BuiltinText(77));
    c.btStop = NewButton(w, "btStop", BuiltinText(78));
    c.btStop->setEnabled(false);
}

void TScanProcedure::Arrange()
{
    TScanControls& c = m_controls;
    auto* band = new QHBoxLayout;
    for (QWidget* item :
        std::initializer_list<QWidget*> { c.lbBand, c.cbBand, c.lbStartFreq, c.cbStartFreq, c.lbEndFreq, c.cbEndFreq })
        band->addWidget(item);
    band->addStretch(1);

    auto* panel = new QVBoxLayout(c.Panel1);
    panel->setContentsMargins(4, 4, 4, 4);
    panel->addWidget(c.GraphDraw1, 1);
    c.PanelBar = new QHBoxLayout;
    c.PanelBar->addWidget(c.Label4);
    c.PanelBar->addWidget(c.lbRFVal);
    c.PanelBar->addStretch(1);
    panel->addLayout(c.PanelBar);

    auto* middle = new QHBoxLayout;
    middle->addWidget(c.lbDevList);
    middle->addWidget(c.Panel1, 1);

    c.ButtonBar = new QHBoxLayout;
    c.ButtonBar->addStretch(1);
    c.ButtonBar->addWidget(c.btStart);
    c.ButtonBar->addWidget(c.btStop);

    auto* column = new QVBoxLayout(&m_window);
    column->addLayout(band);
    column->addLayout(middle, 1);
    column->addLayout(c.ButtonBar);
}

void TScanProcedure::RowClicked(QTreeWidgetItem* row)
{
    if (!row || row->checkState(0) != Qt::Checked)
        return;
    if (m_rule == CheckRule::OneRow)
        KeepOnlyChecked(*m_controls.lbDevList, row);
    const RowChannel channel = RowDevice(*row, 1);
    if (const TTMICListObj* record = FindDevice(m_devices, channel.Rxid, channel.DevIdx))
        ShowBand(*record);
}

void TScanProcedure::ShowBand(const TTMICListObj& record)
{
    ShowOnly(*m_controls.cbBand, record.Band);
    ShowOnly(*m_controls.cbStartFreq, QString::asprintf("%.03f", record.StartFreq));
    ShowOnly(*m_controls.cbEndFreq, QString::asprintf("%.03f", BandEnd(record.StartFreq, record.MaxChannel)));
}

int TScanProcedure::NextCheckedRow(int after) const
{
    return ::NextCheckedRow(*m_controls.lbDevList, after);
}

void TScanProcedure::ShowSelectDevice()
{
    ShowMessageBox(&m_window, BuiltinText(51), QStringLiteral("提示"), 0, SelectDeviceTimeout);
}

bool TScanProcedure::StartFirstChecked(ScanPoints& target)
{
    const int row = NextCheckedRow(-1);
    if (row < 0) {
        ShowSelectDevice();
        return false;
    }
    return StartRow(row, target, true);
}

bool TScanProcedure::StartRow(int row, ScanPoints& target, bool pauseBeforeStart)
{
    const RowChannel channel = RowDevice(*m_controls.lbDevList->topLevelItem(row), 0);
    target.Clear();
    m_target = &target;
    m_endPending = false;
    m_ignored = 0;
    DeviceRXID = static_cast<uint8_t>(channel.Rxid);
    DeviceDevIdx = static_cast<uint8_t>(channel.DevIdx);
    DeviceIP = channel.Ip;
    SetRunning(true);
    PublicStruct::Instance().ScanBusy = true;
    Device = FindDevice(m_devices, DeviceRXID, DeviceDevIdx);
    // A blocking pause, not an event loop: no reply is handled before the window is ready.
    if (pauseBeforeStart)
        QThread::msleep(static_cast<unsigned long>(StartPauseMs));
    // A start that never left would hold the window (and the polling pause) until Stop.
    const int sent = SendScanCommand(CMD_SCAN_START);
    if (sent > 0) {
        m_quiet->start(PublicStruct::Instance().ScanQuietSeconds * 1000);
        return true;
    }
    SetRunning(false);
    m_target = nullptr;
    PublicStruct::Instance().ScanBusy = false;
    ShowMessageBox(&m_window, SendFailureText(sent), QStringLiteral("提示"), 0, -1);
    return false;
}

bool TScanProcedure::AcceptPoint(int rxid, const uint8_t* payload)
{
    if (rxid != DeviceRXID || !m_target || !m_running || m_endPending)
        return false;
    m_quiet->start();
    m_controls.lbRFVal->setText(QStringLiteral("%1dB").arg(LevelReadout(payload[1])));
    if (!m_target->Add(payload[0], payload[1])) {
        ++m_ignored;
        return false;
    }
    return true;
}

bool TScanProcedure::IsScanEnd(int rxid, int command) const
{
    return m_running && !m_endPending && IsEndOfDevice(rxid, command);
}

bool TScanProcedure::IsEndOfDevice(int rxid, int command) const
{
    return Device && rxid == Device->RXID && command == CMD_SCAN_END;
}

void TScanProcedure::PostScanDone()
{
    m_endPending = true;
    m_target = nullptr;
    m_quiet->stop();
    QCoreApplication::postEvent(&m_window, new MessageEvent(MSG_SCAN_DONE, 0, 0));
}

void TScanProcedure::FinishScan()
{
    m_endPending = false;
    SetRunning(false);
    PublicStruct::Instance().ScanBusy = false;
    ShowOneBox(BuiltinText(79));
}

// The box runs a nested loop in which further replies are handled: none may open a box inside it.
void TScanProcedure::ShowOneBox(const QString& text)
{
    if (m_boxOpen)
        return;
    m_boxOpen = true;
    ShowMessageBox(&m_window, text, QStringLiteral("提示"), 0, -1);
    m_boxOpen = false;
}

bool TScanProcedure::FinishOnScanDone(QEvent* e)
{
    if (e->type() != EventType(MSG_SCAN_DONE))
        return false;
    if (m_endPending)
        FinishScan();
    return true;
}

// A lost end would otherwise keep ScanBusy set, and with it every channel's status polling paused.
void TScanProcedure::ScanStalled()
{
    if (!m_running || m_endPending)
        return;
    if (StallStop)
        StallStop();
    else
        Stop();
    ShowOneBox(LanguageText("扫描已结束: 接收机停止应答", "Scan ended: the receiver stopped answering"));
}

void TScanProcedure::ResetChart(int series, double minX, double maxX)
{
    TGraphDraw& chart = *m_controls.GraphDraw1;
    chart.Clear(series);
    chart.MinAxisY = -10;
    chart.MaxAxisY = 90;
    chart.MinAxisX = minX;
    chart.MaxAxisX = maxX;
}

void TScanProcedure::Stop()
{
    m_target = nullptr;
    m_endPending = false;
    m_quiet->stop();
    SetRunning(false);
    PublicStruct::Instance().ScanBusy = false;
    SendScanCommand(CMD_SCAN_STOP);
}

void TScanProcedure::CloseWindow()
{
    if (!m_running)
        return;
    m_running = false;
    m_quiet->stop();
    SendScanCommand(CMD_SCAN_STOP);
    PublicStruct::Instance().ScanBusy = false;
}

void TScanProcedure::SetRunning(bool running)
{
    m_running = running;
    m_controls.btStart->setEnabled(!running);
    m_controls.btStop->setEnabled(running);
    m_controls.lbDevList->setEnabled(!running);
}

int TScanProcedure::SendScanCommand(uint8_t cmd) const
{
    const uint8_t payload = 0x00;
    const int sent = SendCommand(DeviceIP, DeviceRXID, DeviceDevIdx, cmd, &payload, 1);
    ToolEvents::ScanCommand(DeviceRXID, DeviceDevIdx, cmd, sent);
    return sent;
}

double TScanProcedure::AxisStart() const
{
    return FreqOrUnknown(*m_controls.cbStartFreq);
}

double TScanProcedure::AxisEnd() const
{
    return FreqOrUnknown(*m_controls.cbEndFreq);
}

void PlotScan(TGraphDraw& chart, int series, const ScanPoints& points, const TTMICListObj& device)
{
    for (int i = 0; i < points.PointCount; ++i) {
        chart.AddXY(series,
            ScanPointFrequency(device.StartFreq, device.StartChannel, points.Channels[static_cast<size_t>(i)]),
            points.Levels[static_cast<size_t>(i)]);
    }
}

void PlotLevels(TGraphDraw& chart, int series, const std::map<int, int>& levels, const TTMICListObj& device)
{
    for (const auto& [channel, level] : levels)
        chart.AddXY(series, ScanPointFrequency(device.StartFreq, device.StartChannel, channel), level);
}
