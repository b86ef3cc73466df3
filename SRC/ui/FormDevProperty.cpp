#include "ui/FormDevProperty.h"

#include "data/DebugPrint.h"
#include "data/Device.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "transport/SendCommand.h"
#include "ui/DialogParts.h"
#include "ui/FormMessage.h"
#include "ui/timeline/ToolEvents.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>

TFrmDevProperty* FrmDevProperty = nullptr;

namespace {

constexpr int SqItems = MaxSqStep + 1;
constexpr int StepKHz = 250;
constexpr int StepButtonWidth = 28;
constexpr unsigned TextSetSuccess = 69;

// The field's number; nothing when the text is not one.
std::optional<double> FieldNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

// The value in whole kHz truncated toward zero, cut down to the 250 kHz grid. The grid is counted
// from the band's first channel, so that a band starting at 640.125 MHz keeps its channels at
// 640.125, 640.375, ... and a frequency the receiver reported stays as it is.
double EntryRule(double value, double startFreq, double bandEnd)
{
    if (!(value >= startFreq)) // also not a number
        return startFreq;
    if (value > bandEnd)
        return bandEnd;
    const long long valueKHz = static_cast<long long>(std::trunc(value * 1000.0));
    const long long startKHz = std::llround(startFreq * 1000.0);
    const long long onGrid = startKHz + (valueKHz - startKHz) / StepKHz * StepKHz;
    // Dividing by 1000 keeps grid values exact (650.25, not 650.2500000000001).
    return std::clamp(static_cast<double>(onGrid) / 1000.0, startFreq, bandEnd);
}

// A prescribed pause on the GUI thread: no reply is handled before the window is ready for it.
void Pause()
{
    QThread::msleep(TFrmDevProperty::CommandPause);
}

unsigned FailureText(int pending)
{
    switch (pending) {
    case TFrmDevProperty::PendingFreq:
        return 70;
    case TFrmDevProperty::PendingSq:
        return 71;
    default:
        return 72;
    }
}

} // namespace

TFrmDevProperty::TFrmDevProperty(QWidget* owner, const TTMICListObj& device)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_device(device)
{
    FrmDevProperty = this;
    RegisterToolWindow(ToolWindow::DevProperty, this);
    PrepareModalWindow(*this, "FrmDevProperty", BuiltinText(59));
    CreateControls();
    ShowDevice();
    setFixedSize(sizeHint());
}

TFrmDevProperty::~TFrmDevProperty()
{
    UnregisterToolWindow(ToolWindow::DevProperty, this);
    if (FrmDevProperty == this)
        FrmDevProperty = nullptr;
}

void TFrmDevProperty::CreateControls()
{
    lbName = Named(new QLabel(BuiltinText(65), this), "lbName");
    edName = Named(new QLineEdit(this), "edName");
    edName->setReadOnly(true);
    lbFreq = Named(new QLabel(BuiltinText(64), this), "lbFreq");
    btProir = Named(new QPushButton(QStringLiteral("《"), this), "btProir");
    edFreq = Named(new QLineEdit(this), "edFreq");
    edFreq->installEventFilter(this);
    btNext = Named(new QPushButton(QStringLiteral("》"), this), "btNext");
    for (QPushButton* step : { btProir, btNext })
        step->setFixedWidth(StepButtonWidth);
    Label4 = Named(new QLabel(QStringLiteral("MHz"), this), "Label4");
    Label3 = Named(new QLabel(QStringLiteral("SQ"), this), "Label3");
    cbSQ = Named(new QComboBox(this), "cbSQ");
    for (int step = 0; step < SqItems; ++step)
        cbSQ->addItem(QStringLiteral("%1dBm").arg(-5 * step));
    lbHWVer = Named(new QLabel(this), "lbHWVer");
    lbSWVer = Named(new QLabel(this), "lbSWVer");
    lbConnect = Named(new QLabel(BuiltinText(66), this), "lbConnect");
    lbConnectStatus = Named(new QLabel(this), "lbConnectStatus");
    btSure = Named(new QPushButton(BuiltinText(60), this), "btSure");
    btSure->setDefault(true);
    btCancel = Named(new QPushButton(BuiltinText(61), this), "btCancel");
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(ReplyTimeout);

    connect(btProir, &QPushButton::clicked, this, &TFrmDevProperty::btProirClick);
    connect(btNext, &QPushButton::clicked, this, &TFrmDevProperty::btNextClick);
    connect(btSure, &QPushButton::clicked, this, &TFrmDevProperty::btSureClick);
    connect(btCancel, &QPushButton::clicked, this, &TFrmDevProperty::btCancelClick);
    connect(Timer1, &QTimer::timeout, this, &TFrmDevProperty::Timer1Timer);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(10);
    fields->addWidget(lbName, 0, 0);
    fields->addWidget(edName, 0, 1, 1, 4);
    fields->addWidget(lbFreq, 1, 0);
    fields->addWidget(btProir, 1, 1);
    fields->addWidget(edFreq, 1, 2);
    fields->addWidget(btNext, 1, 3);
    fields->addWidget(Label4, 1, 4);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(cbSQ, 2, 1, 1, 3);
    fields->addWidget(lbHWVer, 3, 0, 1, 5);
    fields->addWidget(lbSWVer, 4, 0, 1, 5);
    fields->addWidget(lbConnect, 5, 0);
    fields->addWidget(lbConnectStatus, 5, 1, 1, 4);
    fields->setColumnMinimumWidth(2, 110);

    ArrangeFieldsAndButtons(*this, fields, { btSure, btCancel });
}

void TFrmDevProperty::ShowDevice()
{
    edName->setText(m_device.Name);
    SetFreqText(m_device.Freq);
    cbSQ->setCurrentIndex(m_device.SQ >= 0 ? m_device.SQ % SqItems : -1);
    lbHWVer->setText(BuiltinText(62) + m_device.HWVer);
    lbSWVer->setText(BuiltinText(63) + m_device.SWVer);
    lbConnectStatus->setText(BuiltinText(m_device.Connected ? 67 : 68));
    QPalette palette = lbConnectStatus->palette();
    palette.setColor(QPalette::WindowText, m_device.Connected ? Qt::blue : Qt::red);
    lbConnectStatus->setPalette(palette);
    btSure->setEnabled(m_device.Connected);
}

void TFrmDevProperty::SetFreqText(double freq)
{
    edFreq->setText(QString::asprintf("%.03f", freq));
}

double TFrmDevProperty::BandStart() const
{
    return m_device.StartFreq;
}

double TFrmDevProperty::BandLimit() const
{
    return BandEnd(m_device.StartFreq, m_device.MaxChannel);
}

bool TFrmDevProperty::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == edFreq && e->type() == QEvent::FocusOut)
        edFreqExit();
    return QDialog::eventFilter(watched, e);
}

// Text that is not a number is always replaced, so that it can never reach the receiver.
void TFrmDevProperty::edFreqExit()
{
    const std::optional<double> value = FieldNumber(edFreq->text());
    const double freq = EntryRule(value.value_or(0.0), BandStart(), BandLimit());
    if (!value || freq != *value)
        SetFreqText(freq);
}

void TFrmDevProperty::btProirClick()
{
    const double freq = FieldNumber(edFreq->text()).value_or(0.0) - ChannelStep;
    SetFreqText(std::max(freq, BandStart()));
}

void TFrmDevProperty::btNextClick()
{
    const double freq = FieldNumber(edFreq->text()).value_or(0.0) + ChannelStep;
    SetFreqText(std::min(freq, BandLimit()));
}

// A change that cannot be sent stays pending like one the receiver did not answer, so Timer1
// reports it as failed.
void TFrmDevProperty::btSureClick()
{
    m_pending = 0;
    btSure->setFocus();
    // Set from the keyboard leaves no field: the rule is applied here as well (it changes nothing
    // the second time).
    edFreqExit();
    const double freq = FieldNumber(edFreq->text()).value_or(-1.0);
    if (freq != m_device.Freq) {
        m_pending |= PendingFreq;
        Pause();
        SendFrequency(freq);
        Pause();
    }
    // No item chosen (the receiver has not reported its SQ yet) means no SQ change.
    const int sq = cbSQ->currentIndex();
    if (sq >= 0 && sq != m_device.SQ) {
        m_pending |= PendingSq;
        Pause();
        SendSq(sq);
        Pause();
    }
    if (m_pending != 0)
        Timer1->start();
    else
        ShowText(TextSetSuccess);
}

// The receiver takes the absolute channel number, as in its status reports.
void TFrmDevProperty::SendFrequency(double freq) const
{
    const int channel = m_device.StartChannel + static_cast<int>(std::lround((freq - BandStart()) / ChannelStep));
    SendSetting(CMD_SET_CHANNEL, SetChannelPayload(channel), channel);
}

void TFrmDevProperty::SendSq(int step) const
{
    SendSetting(CMD_SET_SQ, SetSqPayload(step), step);
}

void TFrmDevProperty::SendSetting(uint8_t cmd, const std::optional<SingleBytePayload>& payload, int value) const
{
    const int sent = payload ? SendCommand(m_device.IP, static_cast<uint8_t>(m_device.RXID),
                                   static_cast<uint8_t>(m_device.DevIdx), cmd, payload->data(), AckLen)
                             : 0;
    ToolEvents::SettingSent(m_device.RXID, m_device.DevIdx, cmd, value, sent);
    if (sent <= 0)
        DebugPrint("Property [%d:%d]: command 0x%02X with %d not sent (%d)", m_device.RXID, m_device.DevIdx, cmd,
            value, sent);
}

void TFrmDevProperty::btCancelClick()
{
    reject();
}

// Pending keeps the unconfirmed bits: a late reply still completes the Set.
void TFrmDevProperty::Timer1Timer()
{
    Timer1->stop();
    if (m_pending != 0)
        ShowText(FailureText(m_pending));
}

void TFrmDevProperty::OnSetReply(int rxid, int devIdx, int command)
{
    if (rxid != m_device.RXID || devIdx != m_device.DevIdx)
        return;
    if (command == CMD_SET_CHANNEL_ACK)
        Confirm(PendingFreq);
    else if (command == CMD_SET_SQ_ACK)
        Confirm(PendingSq);
}

// The success box is shown from the window's own message, after HandleFrame has returned.
void TFrmDevProperty::Confirm(int bit)
{
    if ((m_pending & bit) == 0)
        return;
    m_pending &= ~bit;
    if (m_pending != 0)
        return;
    Timer1->stop();
    QCoreApplication::postEvent(this, new MessageEvent(MSG_NOTIFY, 3, TextSetSuccess));
}

bool TFrmDevProperty::event(QEvent* e)
{
    if (e->type() != EventType(MSG_NOTIFY))
        return QDialog::event(e);
    if (const auto* message = dynamic_cast<const MessageEvent*>(e); message && message->wParam() == 3)
        ShowText(static_cast<unsigned>(message->lParam()));
    return true;
}

void TFrmDevProperty::ShowText(unsigned builtinText)
{
    ShowMessageBox(this, BuiltinText(builtinText), QStringLiteral("提示"), 0, -1);
}
