#pragma once
#include <QDialog>

class AlertSettingsBox;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class RemoteViewBox;
class ScanFileSettingsBox;
class TFrmMain;

// The system settings window: connection type, serial port, baud rate, serial reception delay,
// the alert switches and the debug window switch. Confirm applies everything at once: the settings in memory, the
// serial port (reopened whatever the connection type), Config.ini and the debug window.
class TFrmSet : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSet(TFrmMain& owner);

    void btSureClick();
    void btCancelClick();

    QComboBox* cbConnectType = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbUart = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cbRate = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbUartDelay = nullptr;
    QCheckBox* cbDebug = nullptr;
    QCheckBox* cbLowBattery = nullptr; // alert switches
    QCheckBox* cbRFLoss = nullptr;
    AlertSettingsBox* gbAlerts = nullptr; // thresholds and sound
    QPushButton* btSure = nullptr;
    QPushButton* btCancel = nullptr;
    RemoteViewBox* gbRemote = nullptr;
    ScanFileSettingsBox* gbScanFiles = nullptr;

private:
    void CreateControls();
    void ShowCurrentValues();
    void ReopenSerialPort();
    bool StoreSettings(QString* failure) const;
    void ApplyDebugWindow();

    TFrmMain& m_owner;
};
