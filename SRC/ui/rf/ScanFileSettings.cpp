#include "ui/rf/ScanFileSettings.h"

#include "data/IniFile.h"
#include "interchange/ShowScans.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"

#include <QDoubleSpinBox>
#include <QFormLayout>

namespace
{

QDoubleSpinBox* NewDbm(QWidget* parent, const char* name, double low, double high, double value)
{
    auto* box = Named(new QDoubleSpinBox(parent), name);
    box->setRange(low, high);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" dB"));
    box->setValue(value);
    return box;
}

} // namespace

ScanFileSettingsBox::ScanFileSettingsBox(QWidget* parent, const QString& configPath)
    : QGroupBox(LanguageText("频率协调: 扫描文件", "Coordination: scan files"), parent)
{
    setObjectName(QStringLiteral("gbScanFiles"));
    seScanDbmOffset = NewDbm(this, "seScanDbmOffset", -200.0, 100.0, interchange::LoadScanDbmOffset(configPath));
    seScanDbmOffset->setToolTip(LanguageText("dBm = 接收机电平 + 偏移; 请用已知电平的信号核对",
        "dBm = receiver level + offset; check it against a signal of known level"));
    seImportThresholdDbm
        = NewDbm(this, "seImportThresholdDbm", -200.0, 50.0, interchange::LoadImportThresholdDbm(configPath));
    seImportThresholdDbm->setSuffix(QStringLiteral(" dBm"));
    seImportThresholdDbm->setToolTip(
        LanguageText("导入的扫描高于此电平的频道视为占用", "An imported scan above this level marks its channel busy"));
    auto* form = new QFormLayout(this);
    form->addRow(LanguageText("dBm 偏移", "dBm offset"), seScanDbmOffset);
    form->addRow(LanguageText("导入扫描阈值", "Import threshold"), seImportThresholdDbm);
}

void ScanFileSettingsBox::Write(IniFile& file) const
{
    const QString section = QStringLiteral("Coordination");
    file.WriteDouble(section, QStringLiteral("ScanDbmOffset"), seScanDbmOffset->value());
    file.WriteDouble(section, QStringLiteral("ImportThresholdDbm"), seImportThresholdDbm->value());
}
