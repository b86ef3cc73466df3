#include "ui/FormSet.h"

#include "data/IniFile.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "data/AlertSettings.h"
#include "transport/ClassCom.h"
#include "ui/AlertSettingsBox.h"
#include "ui/DialogParts.h"
#include "ui/FormDebug.h"
#include "ui/FormMain.h"
#include "ui/FormMessage.h"
#include "ui/RemoteViewSettings.h"
#include "ui/rf/ScanFileSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int HighestListedPort = 32;
constexpr int FallbackRate = 9600;
constexpr int FallbackDelay = 30;
const QStringList RateItems = {QStringLiteral("9600"), QStringLiteral("115200")};
const QStringList DelayItems = {QStringLiteral("5"),  QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("20"),
                                QStringLiteral("25"), QStringLiteral("30"), QStringLiteral("40"), QStringLiteral("50")};
const QString Section = QStringLiteral("Public");

QComboBox* NewList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* list = Named(new QComboBox(parent), name);
    list->addItems(items);
    return list;
}

int NumberOr(const QString& text, int fallback)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

TFrmSet::TFrmSet(TFrmMain& owner) : QDialog(&owner), m_owner(owner)
{
    PrepareModalWindow(*this, "FrmSet", TranslateText(QStringLiteral("系统设置")));
    CreateControls();
    ShowCurrentValues();
    setFixedSize(sizeHint());
    CentreOn(*this, m_owner);
}

void TFrmSet::CreateControls()
{
    cbConnectType = NewList(this, "cbConnectType", {TranslateText(QStringLiteral("网口")), QStringLiteral("485")});
    Label1 = NewLabel(this, "Label1", TranslateText(QStringLiteral("串口端口号")));
    QStringList ports;
    for (int port = 1; port <= HighestListedPort; ++port)
        ports << QString::number(port);
    cbUart = NewList(this, "cbUart", ports);
    Label2 = NewLabel(this, "Label2", TranslateText(QStringLiteral("波特率")));
    cbRate = NewList(this, "cbRate", RateItems);
    Label3 = NewLabel(this, "Label3", TranslateText(QStringLiteral("串口接收延时")));
    cbUartDelay = NewList(this, "cbUartDelay", DelayItems);
    cbDebug = Named(new QCheckBox(TranslateText(QStringLiteral("调试窗口")), this), "cbDebug");
    cbLowBattery = Named(new QCheckBox(LanguageText("低电量报警", "Low battery alert"), this), "cbLowBattery");
    cbRFLoss = Named(new QCheckBox(LanguageText("射频丢失报警", "RF loss alert"), this), "cbRFLoss");
    btSure = Named(new QPushButton(TranslateText(QStringLiteral("确认")), this), "btSure");
    btSure->setDefault(true);
    btCancel = Named(new QPushButton(TranslateText(QStringLiteral("取消")), this), "btCancel");
    connect(btSure, &QPushButton::clicked, this, &TFrmSet::btSureClick);
    connect(btCancel, &QPushButton::clicked, this, &TFrmSet::btCancelClick);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(12);
    fields->setVerticalSpacing(8);
    fields->addWidget(cbConnectType, 0, 0, 1, 2);
    fields->addWidget(Label1, 1, 0);
    fields->addWidget(cbUart, 1, 1);
    fields->addWidget(Label2, 2, 0);
    fields->addWidget(cbRate, 2, 1);
    fields->addWidget(Label3, 3, 0);
    fields->addWidget(cbUartDelay, 3, 1);
    fields->addWidget(cbLowBattery, 4, 0, 1, 2);
    fields->addWidget(cbRFLoss, 5, 0, 1, 2);
    fields->addWidget(cbDebug, 6, 0, 1, 2);
    gbAlerts = new AlertSettingsBox(this);
    fields->addWidget(gbAlerts, 7, 0, 1, 2);
    gbScanFiles = new ScanFileSettingsBox(this, PublicStruct::Instance().ConfigPath());
    fields->addWidget(gbScanFiles, 8, 0, 1, 2);
    fields->setColumnMinimumWidth(1, 120);
    gbRemote = new RemoteViewBox(m_owner, this);
    fields->addWidget(gbRemote, 0, 2, 9, 1);

    ArrangeFieldsAndButtons(*this, fields, { btSure, btCancel });
}

// Values the lists cannot show leave no selection (connection type, port) or the first delay.
void TFrmSet::ShowCurrentValues()
{
    const PublicStruct& ps = PublicStruct::Instance();
    // C++'s remainder keeps the sign of the value: a negative odd type selects nothing.
    cbConnectType->setCurrentIndex(ps.ConnectType % 2);
    const bool listedPort = ps.UartPort >= 1 && ps.UartPort <= HighestListedPort;
    cbUart->setCurrentIndex(listedPort ? ps.UartPort - 1 : -1);
    cbRate->setCurrentIndex(ps.UartRate == FallbackRate ? 0 : 1);
    const int delay = cbUartDelay->findText(QString::number(ps.UartDelayTime));
    cbUartDelay->setCurrentIndex(delay >= 0 ? delay : 0);
    cbDebug->setChecked(FrmDebug != nullptr);
    cbLowBattery->setChecked(ps.AlertLowBattery);
    cbRFLoss->setChecked(ps.AlertRFLoss);
    gbAlerts->Show(ps);
}

void TFrmSet::btSureClick()
{
    PublicStruct& ps = PublicStruct::Instance();
    ps.ConnectType = cbConnectType->currentIndex();
    ps.UartPort = cbUart->currentIndex() + 1;
    ps.UartRate = NumberOr(cbRate->currentText(), FallbackRate);
    ps.UartDelayTime = NumberOr(cbUartDelay->currentText(), FallbackDelay);
    ps.AlertLowBattery = cbLowBattery->isChecked();
    ps.AlertRFLoss = cbRFLoss->isChecked();
    gbAlerts->Apply(ps);

    ReopenSerialPort();
    QString failure;
    const bool remoteStored = gbRemote->Apply(&failure);
    const bool stored = StoreSettings(&failure) && remoteStored;
    ApplyDebugWindow();
    // A settings file that could not be written must not be reported as saved; the settings
    // still hold in memory until the end of the process.
    const QString message = stored ? TranslateText(QStringLiteral("已保存!"))
                                   : QStringLiteral("The settings were not saved.\n") + failure;
    ShowMessageBox(this, message, QStringLiteral("提示"), 0, -1);
    accept();
}

void TFrmSet::btCancelClick()
{
    reject();
}

// Reopened whatever the connection type, so that switching to RS-485 later needs no restart.
void TFrmSet::ReopenSerialPort()
{
    cnComm& serial = cnComm::Instance();
    serial.Close();
    if (m_owner.OpenSerialPort())
        serial.SetDelay(PublicStruct::Instance().UartDelayTime);
}

// The keys go into the file in one replacement: either all of them are stored or none.
bool TFrmSet::StoreSettings(QString* failure) const
{
    const PublicStruct& ps = PublicStruct::Instance();
    IniFile file(ps.ConfigPath());
    if (file.Load()) {
        file.WriteInt(Section, QStringLiteral("ConnectType"), ps.ConnectType);
        file.WriteInt(Section, QStringLiteral("UartPort"), ps.UartPort);
        file.WriteInt(Section, QStringLiteral("UartRate"), ps.UartRate);
        file.WriteInt(Section, QStringLiteral("UartDelayTime"), ps.UartDelayTime);
        file.WriteInt(Section, QStringLiteral("AlertLowBattery"), ps.AlertLowBattery ? 1 : 0);
        file.WriteInt(Section, QStringLiteral("AlertRFLoss"), ps.AlertRFLoss ? 1 : 0);
        WriteAlertSettings(file, ps);
        gbScanFiles->Write(file);
        if (file.Save())
            return true;
    }
    *failure = file.ErrorString();
    return false;
}

// An existing debug window stays as it is, hidden or not, while the box is ticked.
void TFrmSet::ApplyDebugWindow()
{
    if (cbDebug->isChecked() && !FrmDebug)
        CreateDebugWindow(&m_owner);
    else if (!cbDebug->isChecked() && FrmDebug)
        DestroyDebugWindow();
}
