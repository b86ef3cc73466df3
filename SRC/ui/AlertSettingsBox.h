#pragma once
// The settings window's "Alerts" group: RF alert level (the squelch level or a level in dB), the
// low-battery bars, missed polls before a channel is lost, replies that start or end an RF loss
// episode, and the alert sound with its volume.
#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QSlider;
class QSpinBox;
class PublicStruct;

class AlertSettingsBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit AlertSettingsBox(QWidget* parent);
    void Show(const PublicStruct& ps);
    void Apply(PublicStruct& ps) const;

    QSpinBox* seAlertRFLevel = nullptr;
    QComboBox* cbLowBatteryBars = nullptr;
    QSpinBox* seLostPolls = nullptr;
    QSpinBox* seAlertRFHold = nullptr;
    QCheckBox* cbAlertSound = nullptr;
    QSlider* tbAlertVolume = nullptr;
};
