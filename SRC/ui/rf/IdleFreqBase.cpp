#include "ui/rf/IdleFreqBase.h"

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
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

TIdleFreqBase::TIdleFreqBase(QWidget* owner, bool& done, const char* name)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_done(done)
{
    m_done = false;
    PrepareModalWindow(*this, name, TranslateText(QStringLiteral("空闲频率设置")));
    lbRxIDTitle = NewLabel(this, "lbRxIDTitle", TranslateText(QStringLiteral("编号:")));
    lbRxID = NewLabel(this, "lbRxID", QStringLiteral("0"));
    lbBandTitle = NewLabel(this, "lbBandTitle", TranslateText(QStringLiteral("频段:")));
    lbBand = NewLabel(this, "lbBand", QStringLiteral("0"));
    Label1 = NewLabel(this, "Label1", TranslateText(QStringLiteral("底噪阀值:")));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cbMaxRF = Named(new QComboBox(this), "cbMaxRF");
    for (int i = 0; i < ThresholdItems; ++i)
        cbMaxRF->addItem(ThresholdItemText(i));
    cbMaxRF->setCurrentIndex(DefaultThresholdIndex);
    lvFreq = Named(new QTreeWidget(this), "lvFreq");
    lvFreq->setRootIsDecorated(false);
    lvFreq->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFreq->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFreq->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFreq->setHeaderLabels({ TranslateText(QStringLiteral("通道号")), TranslateText(QStringLiteral("空闲频率")) });
    lvFreq->header()->resizeSection(0, 80);
    lvFreq->header()->resizeSection(1, 120);
    btSet = NewButton(this, "btSet", TranslateText(QStringLiteral("设置")));
    btCancel = NewButton(this, "btCancel", TranslateText(QStringLiteral("取消")));
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(ReplyTimeout);

    connect(cbMaxRF, &QComboBox::activated, this, [this] { cbMaxRFClick(); });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

QGridLayout* TIdleFreqBase::NewHeadGrid()
{
    auto* head = new QGridLayout;
    head->addWidget(lbRxIDTitle, 0, 0);
    head->addWidget(lbRxID, 0, 1);
    head->addWidget(lbBandTitle, 0, 2);
    head->addWidget(lbBand, 0, 3);
    head->addWidget(Label1, 1, 0, 1, 2);
    head->addWidget(cbMaxRF, 1, 2, 1, 2);
    head->setColumnStretch(1, 1);
    head->setColumnStretch(3, 1);
    return head;
}

int TIdleFreqBase::Threshold() const
{
    return ThresholdOf(cbMaxRF->currentText());
}

int TIdleFreqBase::SelectedChannel() const
{
    const QList<QTreeWidgetItem*> rows = lvFreq->selectedItems();
    return rows.isEmpty() ? -1 : rows.first()->text(0).toInt();
}

void TIdleFreqBase::ShowIdleChannels(const std::vector<IdleChannel>& idle)
{
    lvFreq->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(idle.size()));
    for (const IdleChannel& channel : idle)
        rows << new QTreeWidgetItem({ QString::number(channel.Channel), IdleFrequencyText(channel.Freq) });
    lvFreq->addTopLevelItems(rows);
}

// The pauses block the GUI thread on purpose: no reply is handled before Timer1 runs.
void TIdleFreqBase::SendSetChannel(const TTMICListObj& device, int channel)
{
    QThread::msleep(static_cast<unsigned long>(CommandPauseMs));
    const std::optional<SingleBytePayload> payload = SetChannelPayload(channel);
    const int sent = payload ? SendCommand(device.IP, static_cast<uint8_t>(device.RXID),
                         static_cast<uint8_t>(device.DevIdx), CMD_SET_CHANNEL, payload->data(), AckLen)
                             : 0;
    ToolEvents::SettingSent(device.RXID, device.DevIdx, CMD_SET_CHANNEL, channel, sent);
    if (sent <= 0)
        DebugPrint("Set channel %d on [%d:%d] not sent (%d)", channel, device.RXID, device.DevIdx, sent);
    QThread::msleep(static_cast<unsigned long>(CommandPauseMs));
    Timer1->start();
}

// The outcome is shown from the window's own message, after HandleFrame has returned.
void TIdleFreqBase::PostConfirmed()
{
    QCoreApplication::postEvent(this, new MessageEvent(MSG_SCAN_DONE, 0, 0));
}

void TIdleFreqBase::ShowText(const QString& text)
{
    ShowMessageBox(this, text, QStringLiteral("提示"), 0, -1);
}

bool TIdleFreqBase::event(QEvent* e)
{
    if (e->type() != EventType(MSG_SCAN_DONE))
        return QDialog::event(e);
    OnAssignmentConfirmed();
    return true;
}
