#pragma once
#include "ui/ToolWindows.h"

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The device IP change window: a new address, netmask and gateway for one receiver, sent as a
// broadcast addressed by its RXID. It closes when that receiver confirms, with changed set to 1.
class TFrmModifyHrIP : public QDialog, public ToolReplyHandler
{
    Q_OBJECT

public:
    TFrmModifyHrIP(QWidget* owner, uint8_t& changed, const QString& ip, int rxid);
    ~TFrmModifyHrIP() override;

    // A confirmation counts only from the receiver this window addresses.
    void OnSetIpReply(const QString& source, const uint8_t* frame, int size) override;

    void edDevIPChange();
    void btSureClick();
    void btCancelClick();

    QLabel* Label1 = nullptr;
    QLineEdit* edDevIP = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cbMask = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* edGateway = nullptr;
    QPushButton* btSure = nullptr;
    QPushButton* btCancel = nullptr;

private:
    void CreateControls();
    void ShowMessage(const char* chineseSource);

    uint8_t& m_changed;
    int m_rxid = 0;
};

// The open IP change window, or nullptr.
extern TFrmModifyHrIP* FrmModifyHrIP;
