#include "ui/rf/FormSetFreq.h"

#include "data/Device.h"
#include "lang/Language.h"
#include "protocol/Commands.h"
#include "ui/DialogParts.h"

#include <QComboBox>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

TFrmSetFreq* FrmSetFreq = nullptr;

namespace
{
constexpr unsigned TextSetSuccess = 69;
constexpr unsigned TextSetFail = 72;
} // namespace

TFrmSetFreq::TFrmSetFreq(QWidget* owner, bool& done, ScanView points, const TTMICListObj& device)
    : TIdleFreqBase(owner, done, "FrmSetFreq")
    , m_points(points)
    , m_device(device)
{
    FrmSetFreq = this;
    RegisterToolWindow(ToolWindow::SetFreq, this);
    lbRxID->setText(QString::number(device.RXID));
    lbBand->setText(device.Band);
    connect(btSet, &QPushButton::clicked, this, &TFrmSetFreq::btSetClick);

    auto* fields = new QVBoxLayout;
    fields->addLayout(NewHeadGrid());
    fields->addWidget(lvFreq, 1);
    ArrangeFieldsAndButtons(*this, fields, { btSet, btCancel });
    setFixedSize(497, 614);
    BuildList();
}

TFrmSetFreq::~TFrmSetFreq()
{
    UnregisterToolWindow(ToolWindow::SetFreq, this);
    if (FrmSetFreq == this)
        FrmSetFreq = nullptr;
}

void TFrmSetFreq::BuildList()
{
    const BandOfChannels band { m_device.StartFreq, m_device.StartChannel, m_device.MaxChannel };
    ShowIdleChannels(IdleChannels(band, { &m_points, 1 }, Threshold()));
}

void TFrmSetFreq::cbMaxRFClick()
{
    BuildList();
}

void TFrmSetFreq::btSetClick()
{
    const int channel = SelectedChannel();
    if (channel < 0)
        return;
    m_sent = true;
    SendSetChannel(m_device, channel);
}

// An acknowledgement after the time-out still confirms: the receiver did take the channel.
void TFrmSetFreq::OnSetReply(int rxid, int devIdx, int command)
{
    if (!m_sent || rxid != m_device.RXID || devIdx != m_device.DevIdx || command != CMD_SET_CHANNEL_ACK)
        return;
    m_sent = false;
    Timer1->stop();
    PostConfirmed();
}

void TFrmSetFreq::Timer1Timer()
{
    Timer1->stop();
    ShowText(BuiltinText(TextSetFail));
}

void TFrmSetFreq::OnAssignmentConfirmed()
{
    ShowText(BuiltinText(TextSetSuccess));
    SetDone();
    accept();
}
