#include "ui/AlertSettingsBox.h"

#include "data/AlertSettings.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "ui/DialogParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSlider>
#include <QSpinBox>

namespace
{

QSpinBox* NewCount(QWidget* parent, const char* name, int high)
{
    auto* box = Named(new QSpinBox(parent), name);
    box->setRange(1, high);
    return box;
}

} // namespace

AlertSettingsBox::AlertSettingsBox(QWidget* parent)
    : QGroupBox(LanguageText("报警", "Alerts"), parent)
{
    setObjectName(QStringLiteral("gbAlerts"));
    seAlertRFLevel = Named(new QSpinBox(this), "seAlertRFLevel");
    seAlertRFLevel->setRange(WatchAlerts::SquelchLevel, 100);
    seAlertRFLevel->setSuffix(QStringLiteral(" dB"));
    seAlertRFLevel->setSpecialValueText(LanguageText("静噪电平", "Squelch level"));
    cbLowBatteryBars = Named(new QComboBox(this), "cbLowBatteryBars");
    cbLowBatteryBars->addItems({ LanguageText("1 格", "1 bar"), LanguageText("2 格", "2 bars") });
    seLostPolls = NewCount(this, "seLostPolls", AlertLimits::MaxPolls);
    seAlertRFHold = NewCount(this, "seAlertRFHold", AlertLimits::MaxHoldReplies);
    cbAlertSound = Named(new QCheckBox(LanguageText("报警声音", "Alert sound"), this), "cbAlertSound");
    tbAlertVolume = Named(new QSlider(Qt::Horizontal, this), "tbAlertVolume");
    tbAlertVolume->setRange(0, 100);
    connect(cbAlertSound, &QCheckBox::toggled, tbAlertVolume, &QSlider::setEnabled);

    auto* form = new QFormLayout(this);
    form->addRow(LanguageText("射频报警电平", "RF alert level"), seAlertRFLevel);
    form->addRow(LanguageText("射频丢失确认次数", "RF loss after replies"), seAlertRFHold);
    form->addRow(LanguageText("低电量报警", "Low battery at"), cbLowBatteryBars);
    form->addRow(LanguageText("连接丢失轮询次数", "Lost after missed polls"), seLostPolls);
    form->addRow(cbAlertSound, tbAlertVolume);
}

void AlertSettingsBox::Show(const PublicStruct& ps)
{
    seAlertRFLevel->setValue(ps.AlertRFLevel);
    cbLowBatteryBars->setCurrentIndex(ps.AlertLowBatteryBars - 1);
    seLostPolls->setValue(ps.AlertLostPolls);
    seAlertRFHold->setValue(ps.AlertRFHoldReplies);
    cbAlertSound->setChecked(ps.AlertSound);
    tbAlertVolume->setValue(ps.AlertVolume);
    tbAlertVolume->setEnabled(ps.AlertSound);
}

void AlertSettingsBox::Apply(PublicStruct& ps) const
{
    ps.AlertRFLevel = seAlertRFLevel->value();
    ps.AlertLowBatteryBars = cbLowBatteryBars->currentIndex() + 1;
    ps.AlertLostPolls = seLostPolls->value();
    ps.AlertRFHoldReplies = seAlertRFHold->value();
    ps.AlertSound = cbAlertSound->isChecked();
    ps.AlertVolume = tbAlertVolume->value();
}
