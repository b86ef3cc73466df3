#include "ui/rf/ScanExport.h"

#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "ui/rf/RfWindowParts.h"

#include <QComboBox>

using interchange::ScanForm;

QComboBox* NewScanFormChoice(QWidget* owner)
{
    auto* choice = new QComboBox(owner);
    choice->setObjectName(QStringLiteral("cbScanForm"));
    choice->addItem(LanguageText("接收机电平 CSV", "Receiver scale CSV"), static_cast<int>(ScanForm::Receiver));
    choice->addItem(LanguageText("MHz, dBm CSV (WWB/IAS)", "MHz, dBm CSV (WWB/IAS)"), static_cast<int>(ScanForm::Wwb));
    choice->addItem(LanguageText("WSM CSV (dBm)", "WSM CSV (dBm)"), static_cast<int>(ScanForm::Wsm));
    choice->setToolTip(LanguageText("导出扫描的格式; dBm = 电平 + Config.ini [Coordination] ScanDbmOffset",
        "Form of the exported scan; dBm = level + Config.ini [Coordination] ScanDbmOffset"));
    return choice;
}

ScanForm ChosenScanForm(const QComboBox& choice)
{
    return static_cast<ScanForm>(choice.currentData().toInt());
}

bool ExportScanPoints(QWidget* owner, const QComboBox& choice, const QString& baseName, const QString& receiver,
    std::span<const interchange::LevelPoint> points)
{
    const ScanForm form = ChosenScanForm(choice);
    const QString suffix = form == ScanForm::Wwb ? QStringLiteral("_dbm")
        : form == ScanForm::Wsm                  ? QStringLiteral("_wsm")
                                                 : QString();
    const double offset = interchange::LoadScanDbmOffset(PublicStruct::Instance().ConfigPath());
    const QByteArray bytes = interchange::WriteScan(
        form, interchange::DbmSamplesOf(points, offset), offset, { receiver, QDateTime::currentDateTime() });
    return ExportToFile(owner, baseName + suffix + QStringLiteral(".csv"), QStringLiteral("CSV (*.csv)"), bytes);
}
