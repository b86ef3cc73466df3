#pragma once
#include "protocol/Commands.h"
#include "ui/ToolWindows.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TTMICListObj;

// One managed channel's name, frequency, squelch, versions and connection state; Set sends the
// changed frequency and SQ to the receiver and reports whether both were acknowledged in time.
// The record itself is never written here: it follows the receiver through its status reports.
class TFrmDevProperty : public QDialog, public ToolReplyHandler {
    Q_OBJECT
public:
    // Bits of Pending: the changes the last Set sent that are not acknowledged yet.
    static constexpr int PendingFreq = 1;
    static constexpr int PendingSq = 2;
    static constexpr int ReplyTimeout = 2000; // ms
    static constexpr int CommandPause = 200;  // ms before and after each command

    TFrmDevProperty(QWidget* owner, const TTMICListObj& device);
    ~TFrmDevProperty() override;

    int Pending() const { return m_pending; }

    void edFreqExit();
    void btProirClick();
    void btNextClick();
    void btSureClick();
    void btCancelClick();
    void Timer1Timer();
    void OnSetReply(int rxid, int devIdx, int command) override;

    QLabel* lbName = nullptr;
    QLineEdit* edName = nullptr;
    QLabel* lbFreq = nullptr;
    QPushButton* btProir = nullptr;
    QLineEdit* edFreq = nullptr;
    QPushButton* btNext = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbSQ = nullptr;
    QLabel* lbHWVer = nullptr;
    QLabel* lbSWVer = nullptr;
    QLabel* lbConnect = nullptr;
    QLabel* lbConnectStatus = nullptr;
    QPushButton* btSure = nullptr;
    QPushButton* btCancel = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void CreateControls();
    void ShowDevice();
    void SetFreqText(double freq);
    double BandStart() const;
    double BandLimit() const;
    void SendFrequency(double freq) const;
    void SendSq(int step) const;
    void SendSetting(uint8_t cmd, const std::optional<SingleBytePayload>& payload, int value) const;
    void Confirm(int bit);
    void ShowText(unsigned builtinText);

    const TTMICListObj& m_device;
    int m_pending = 0;
};

// The open property window, or nullptr.
extern TFrmDevProperty* FrmDevProperty;

