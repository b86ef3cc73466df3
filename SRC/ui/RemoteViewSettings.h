#pragma once
// The "Remote view" group of the system settings window: the web view's switch, address, port,
// certificate and key, its URL with the access code and that URL's QR code, "New code", and the
// MQTT broker's settings. Confirm stores and applies them all at once.
#include "remote/RemoteSettings.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TFrmMain;

class RemoteViewBox : public QGroupBox
{
    Q_OBJECT
public:
    RemoteViewBox(TFrmMain& owner, QWidget* parent);

    RemoteSettings Values() const;
    // Stores the settings in Config.ini and applies them; false with the reason when the file
    // could not be written (they apply all the same).
    bool Apply(QString* failure);
    void btNewCodeClick();

    QCheckBox* cbRemoteOn = nullptr;
    QLineEdit* edRemoteAddress = nullptr;
    QSpinBox* edRemotePort = nullptr;
    QLineEdit* edRemoteCert = nullptr;
    QLineEdit* edRemoteKey = nullptr;
    QLabel* lbRemoteUrl = nullptr;
    QLabel* imRemoteQr = nullptr;
    QPushButton* btNewCode = nullptr;
    QCheckBox* cbMqttOn = nullptr;
    QLineEdit* edMqttHost = nullptr;
    QSpinBox* edMqttPort = nullptr;
    QCheckBox* cbMqttTls = nullptr;
    QLineEdit* edMqttCa = nullptr;
    QLineEdit* edMqttUser = nullptr;
    QLineEdit* edMqttPassword = nullptr;
    QLineEdit* edStation = nullptr;

private:
    void CreateControls();
    void ShowValues(const RemoteSettings& settings);
    void ShowUrl();

    TFrmMain& m_owner;
    QString m_code;
};
