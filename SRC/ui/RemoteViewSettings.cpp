#include "ui/RemoteViewSettings.h"

#include "data/IniFile.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "remote/AccessGate.h"
#include "ui/DialogParts.h"
#include "ui/FormMain.h"
#include "ui/QrCode.h"
#include "ui/RemoteView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>

namespace
{

constexpr int QrModuleSize = 3;

QSpinBox* NewPortBox(QWidget* parent, const char* name)
{
    auto* box = Named(new QSpinBox(parent), name);
    box->setRange(1, 65535);
    return box;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& placeholder = {})
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

} // namespace

RemoteViewBox::RemoteViewBox(TFrmMain& owner, QWidget* parent)
    : QGroupBox(LanguageText("远程查看", "Remote view"), parent), m_owner(owner)
{
    setObjectName(QStringLiteral("gbRemote"));
    CreateControls();
    const RemoteView* view = RemoteView::Of(owner);
    ShowValues(view ? view->Settings() : RemoteSettings::Load(PublicStruct::Instance().ConfigPath()));
}

void RemoteViewBox::CreateControls()
{
    cbRemoteOn = Named(new QCheckBox(LanguageText("开启网页查看", "Serve the web view"), this), "cbRemoteOn");
    edRemoteAddress = NewEdit(this, "edRemoteAddress", LanguageText("所有网络接口", "all interfaces"));
    edRemotePort = NewPortBox(this, "edRemotePort");
    edRemoteCert = NewEdit(this, "edRemoteCert", LanguageText("无: HTTP", "none: plain HTTP"));
    edRemoteKey = NewEdit(this, "edRemoteKey");
    lbRemoteUrl = Named(new QLabel(this), "lbRemoteUrl");
    lbRemoteUrl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbRemoteUrl->setWordWrap(true);
    imRemoteQr = Named(new QLabel(this), "imRemoteQr");
    btNewCode = NewButton(this, "btNewCode", LanguageText("新访问码", "New code"));
    cbMqttOn = Named(new QCheckBox(LanguageText("发布到 MQTT 服务器", "Publish to an MQTT broker"), this), "cbMqttOn");
    edMqttHost = NewEdit(this, "edMqttHost");
    edMqttPort = NewPortBox(this, "edMqttPort");
    cbMqttTls = Named(new QCheckBox(QStringLiteral("TLS"), this), "cbMqttTls");
    edMqttCa = NewEdit(this, "edMqttCa", LanguageText("系统证书", "system authorities"));
    edMqttUser = NewEdit(this, "edMqttUser");
    edMqttPassword = NewEdit(this, "edMqttPassword");
    edMqttPassword->setEchoMode(QLineEdit::Password);
    edStation = NewEdit(this, "edStation", LanguageText("主机名", "host name"));
    connect(btNewCode, &QPushButton::clicked, this, &RemoteViewBox::btNewCodeClick);
    for (QLineEdit* edit : { edRemoteAddress, edRemoteCert, edRemoteKey })
        connect(edit, &QLineEdit::textChanged, this, &RemoteViewBox::ShowUrl);
    connect(edRemotePort, &QSpinBox::valueChanged, this, &RemoteViewBox::ShowUrl);

    auto* form = new QFormLayout(this);
    form->addRow(cbRemoteOn);
    form->addRow(LanguageText("地址", "Address"), edRemoteAddress);
    form->addRow(LanguageText("端口", "Port"), edRemotePort);
    form->addRow(LanguageText("证书 (PEM)", "Certificate (PEM)"), edRemoteCert);
    form->addRow(LanguageText("私钥 (PEM)", "Key (PEM)"), edRemoteKey);
    auto* code = new QHBoxLayout;
    code->addWidget(imRemoteQr);
    code->addWidget(lbRemoteUrl, 1);
    form->addRow(code);
    form->addRow(btNewCode);
    form->addRow(cbMqttOn);
    form->addRow(LanguageText("服务器", "Broker"), edMqttHost);
    form->addRow(LanguageText("端口", "Port"), edMqttPort);
    form->addRow(cbMqttTls, edMqttCa);
    form->addRow(LanguageText("用户名", "User"), edMqttUser);
    form->addRow(LanguageText("密码", "Password"), edMqttPassword);
    form->addRow(LanguageText("站名", "Station"), edStation);
}

void RemoteViewBox::ShowValues(const RemoteSettings& s)
{
    m_code = s.Code;
    cbRemoteOn->setChecked(s.Enabled);
    edRemoteAddress->setText(s.Address);
    edRemotePort->setValue(s.Port);
    edRemoteCert->setText(s.CertificatePath);
    edRemoteKey->setText(s.KeyPath);
    cbMqttOn->setChecked(s.MqttEnabled);
    edMqttHost->setText(s.MqttHost);
    edMqttPort->setValue(s.MqttPort);
    cbMqttTls->setChecked(s.MqttTls);
    edMqttCa->setText(s.MqttCaFile);
    edMqttUser->setText(s.MqttUser);
    edMqttPassword->setText(s.MqttPassword);
    edStation->setText(s.Station);
    ShowUrl();
}

RemoteSettings RemoteViewBox::Values() const
{
    RemoteSettings s;
    s.Enabled = cbRemoteOn->isChecked();
    s.Address = edRemoteAddress->text().trimmed();
    s.Port = edRemotePort->value();
    s.Code = m_code;
    s.CertificatePath = edRemoteCert->text().trimmed();
    s.KeyPath = edRemoteKey->text().trimmed();
    s.MqttEnabled = cbMqttOn->isChecked();
    s.MqttHost = edMqttHost->text().trimmed();
    s.MqttPort = edMqttPort->value();
    s.MqttTls = cbMqttTls->isChecked();
    s.MqttCaFile = edMqttCa->text().trimmed();
    s.MqttUser = edMqttUser->text();
    s.MqttPassword = edMqttPassword->text();
    s.Station = edStation->text().trimmed();
    return s;
}

// The address a tablet opens, as these fields would serve it.
void RemoteViewBox::ShowUrl()
{
    const RemoteSettings shown = Values();
    const QString pageUrl = shown.PageUrl(RemoteView::HostFor(shown.Address));
    lbRemoteUrl->setText(pageUrl);
    imRemoteQr->setPixmap(QPixmap::fromImage(QrCodeImage(pageUrl, QrModuleSize)));
}

// The new code holds at once: every page and client is cut off, and it is stored.
void RemoteViewBox::btNewCodeClick()
{
    RemoteView* view = RemoteView::Of(m_owner);
    if (view) {
        view->NewCode();
        m_code = view->Settings().Code;
    } else {
        m_code = AccessGate::NewCode();
    }
    IniWriteString(PublicStruct::Instance().ConfigPath(), QStringLiteral("Remote"), QStringLiteral("Code"), m_code);
    ShowUrl();
}

bool RemoteViewBox::Apply(QString* failure)
{
    const RemoteSettings settings = Values();
    if (RemoteView* view = RemoteView::Of(m_owner))
        view->Apply(settings);
    return settings.Save(PublicStruct::Instance().ConfigPath(), failure);
}
