#pragma once
// What the two idle-frequency windows share: the threshold list, the list of idle channels, the
// Set and Cancel buttons and the set-channel exchange with its reply time-out.
#include "data/IdleChannels.h"
#include "ui/ToolWindows.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class TTMICListObj;

class TIdleFreqBase : public QDialog, public ToolReplyHandler
{
    Q_OBJECT
public:
    static constexpr int ReplyTimeout = 2000; // ms
    static constexpr int CommandPause = 200; // ms before and after the command
    static inline int CommandPauseMs = CommandPause; // a fuzz target that runs thousands of Sets sets 0

    // The threshold of the chosen cbMaxRF item.
    int Threshold() const;
    // The channel of the selected lvFreq row; -1 when no row is selected.
    int SelectedChannel() const;

    QLabel* lbRxIDTitle = nullptr;
    QLabel* lbRxID = nullptr;
    QLabel* lbBandTitle = nullptr;
    QLabel* lbBand = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbMaxRF = nullptr;
    QTreeWidget* lvFreq = nullptr;
    QPushButton* btSet = nullptr;
    QPushButton* btCancel = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    // done is the opener's flag: cleared here, set after a confirmed assignment.
    TIdleFreqBase(QWidget* owner, bool& done, const char* name);

    virtual void cbMaxRFClick() = 0;
    virtual void Timer1Timer() = 0;
    // MSG_SCAN_DONE: the assignment was confirmed.
    virtual void OnAssignmentConfirmed() = 0;

    // The device, band and threshold rows above the list; rows from 2 on are free.
    QGridLayout* NewHeadGrid();
    void ShowIdleChannels(const std::vector<IdleChannel>& idle);
    // Waits, sends CMD_SET_CHANNEL with the channel number, waits, starts Timer1.
    void SendSetChannel(const TTMICListObj& device, int channel);
    void PostConfirmed();
    void ShowText(const QString& text);
    void SetDone() { m_done = true; }
    bool event(QEvent* e) override;

private:
    bool& m_done;
};
