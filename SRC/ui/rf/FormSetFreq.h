#pragma once
#include "ui/rf/IdleFreqBase.h"

// The idle channels of one device's band after its own scan, and Set for the chosen one. Closes
// itself after a confirmed assignment, with the opener's Done flag set.
class TFrmSetFreq : public TIdleFreqBase
{
    Q_OBJECT
public:
    // The points are read while the window is open and are not kept.
    TFrmSetFreq(QWidget* owner, bool& done, ScanView points, const TTMICListObj& device);
    ~TFrmSetFreq() override;

    void btSetClick();
    void OnSetReply(int rxid, int devIdx, int command) override;

protected:
    void cbMaxRFClick() override;
    void Timer1Timer() override;
    void OnAssignmentConfirmed() override;

private:
    void BuildList();

    const ScanView m_points;
    const TTMICListObj& m_device;
    bool m_sent = false;
};

// The open window, or nullptr.
extern TFrmSetFreq* FrmSetFreq;
