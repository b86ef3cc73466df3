#include "ui/FormModifyHrIP.h"

#include "lang/Language.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "transport/UDPServer.h"
#include "ui/DialogParts.h"
#include "ui/Discovery.h"
#include "ui/FormMessage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <arpa/inet.h>
#include <cstring>

TFrmModifyHrIP* FrmModifyHrIP = nullptr;

namespace
{

const QStringList MaskItems
    = {QStringLiteral("255.255.255.0"), QStringLiteral("255.255.0.0"), QStringLiteral("255.0.0.0")};
const QString InitialGateway = QStringLiteral("182.168.1.1");

// Addresses in network byte order, as inet_addr gives them; text that does not parse is the
// limited broadcast, inet_addr's failure value.
uint32_t ParsedAddress(const QString& text)
{
    return inet_addr(text.toUtf8().constData());
}

QString AddressText(uint32_t address)
{
    uint8_t octets[4];
    std::memcpy(octets, &address, sizeof octets);
    return QString::asprintf("%u.%u.%u.%u", octets[0], octets[1], octets[2], octets[3]);
}

// A receiver given an address no host can hold (0.x.x.x, multicast and above, or its subnet's own
// network or broadcast address) can no longer be reached, so such an address is not sent.
bool IsHostAddress(uint32_t address, uint32_t mask)
{
    uint8_t first = 0;
    std::memcpy(&first, &address, 1);
    const uint32_t host = address & ~mask;
    return first != 0 && first < 224 && host != 0 && host != ~mask;
}

QLineEdit* NewEdit(QWidget* parent, const char* name)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setMinimumWidth(150);
    return edit;
}

} // namespace

TFrmModifyHrIP::TFrmModifyHrIP(QWidget* owner, uint8_t& changed, const QString& ip, int rxid)
    : QDialog(owner)
    , m_changed(changed)
    , m_rxid(rxid)
{
    PrepareModalWindow(*this, "FrmModifyHrIP", TranslateText(QStringLiteral("修改设备IP")));
    CreateControls();
    setFixedSize(sizeHint());
    if (owner)
        CentreOn(*this, *owner);

    m_changed = 0;
    edDevIP->setText(ip); // runs the gateway update
    FrmModifyHrIP = this;
    RegisterToolWindow(ToolWindow::ModifyHrIP, this);
}

TFrmModifyHrIP::~TFrmModifyHrIP()
{
    UnregisterToolWindow(ToolWindow::ModifyHrIP, this);
    if (FrmModifyHrIP == this)
        FrmModifyHrIP = nullptr;
}

void TFrmModifyHrIP::CreateControls()
{
    Label1 = NewLabel(this, "Label1", TranslateText(QStringLiteral("设备IP")));
    edDevIP = NewEdit(this, "edDevIP");
    Label2 = NewLabel(this, "Label2", TranslateText(QStringLiteral("子网掩码")));
    cbMask = Named(new QComboBox(this), "cbMask");
    cbMask->addItems(MaskItems);
    cbMask->setCurrentIndex(0);
    Label3 = NewLabel(this, "Label3", TranslateText(QStringLiteral("网关")));
    edGateway = NewEdit(this, "edGateway");
    edGateway->setText(InitialGateway);
    btSure = Named(new QPushButton(TranslateText(QStringLiteral("设置")), this), "btSure");
    btSure->setDefault(true);
    // The translation table has no row for this caption: it reads the same in both languages.
    btCancel = Named(new QPushButton(QStringLiteral("返回"), this), "btCancel");

    connect(edDevIP, &QLineEdit::textChanged, this, &TFrmModifyHrIP::edDevIPChange);
    connect(btSure, &QPushButton::clicked, this, &TFrmModifyHrIP::btSureClick);
    connect(btCancel, &QPushButton::clicked, this, &TFrmModifyHrIP::btCancelClick);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(12);
    fields->setVerticalSpacing(8);
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(edDevIP, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(cbMask, 1, 1);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(edGateway, 2, 1);

    ArrangeFieldsAndButtons(*this, fields, { btSure, btCancel });
}

// The gateway keeps its host part and takes the network part of the address.
void TFrmModifyHrIP::edDevIPChange()
{
    if (!TUDPServer::IsValidAddress(edDevIP->text()))
        return;
    const uint32_t ip = ParsedAddress(edDevIP->text());
    const uint32_t mask = ParsedAddress(cbMask->currentText());
    const uint32_t gateway = ParsedAddress(edGateway->text());
    edGateway->setText(AddressText((ip & mask) | (gateway & ~mask)));
}

void TFrmModifyHrIP::ShowMessage(const char* chineseSource)
{
    ShowMessageBox(this, TranslateText(QString::fromUtf8(chineseSource)), QStringLiteral("提示"), 0, -1);
}

// The window then waits for the receiver's confirmation; Set again sends the change again.
void TFrmModifyHrIP::btSureClick()
{
    const QString text = edDevIP->text();
    const uint32_t ip = ParsedAddress(text);
    const uint32_t mask = ParsedAddress(cbMask->currentText());
    const uint32_t gateway = ParsedAddress(edGateway->text());
    if (!TUDPServer::IsValidAddress(text) || !IsHostAddress(ip, mask)) {
        ShowMessage("IP地址不正确!");
        return;
    }
    if ((ip & mask) != (gateway & mask)) {
        ShowMessage("网关与IP地址不在同一个网段!");
        return;
    }
    const std::array<uint8_t, SetIpLen> payload = SetIpPayload(ip, mask, gateway);
    SendBroadcastRequest(this, static_cast<uint8_t>(m_rxid), CMD_SET_IP, payload.data(), SetIpLen);
}

void TFrmModifyHrIP::btCancelClick()
{
    reject();
}

// A second confirmation arriving while the success message is up changes nothing.
void TFrmModifyHrIP::OnSetIpReply(const QString& /*source*/, const uint8_t* frame, int size)
{
    if (m_changed != 0 || !IsSetIpAck(frame, static_cast<size_t>(size)) || FrameRxid(frame) != m_rxid)
        return;
    m_changed = 1;
    ShowMessage("设置成功!");
    accept();
}
